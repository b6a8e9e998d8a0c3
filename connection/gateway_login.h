#pragma once

#include <atomic>
#include <string_view>

#include "connection/sleep_pumping.h"
#include "link/device_link.h"

namespace qvx::connection {

/// Logs in at the gateway's login port with the passphrase, then starts the data connection.
/// True when the data connection was started (it may still be coming up). Afterwards the
/// link's port is the data port and its reply wait 5000 ms. `cancel`, when given, ends every
/// wait early with false (a login run by a worker thread that is asked to stop).
[[nodiscard]] bool GatewayLogin(link::DeviceLink& link, std::string_view address, std::string_view passphrase,
                                int loginPort, int dataPort, const UiPump& pump,
                                const std::atomic<bool>* cancel = nullptr);

/// The text sent on the login port: the passphrase cut to 197 bytes on a UTF-8 character
/// boundary, then LF and CR.
[[nodiscard]] std::string loginText(std::string_view passphrase);

}  // namespace qvx::connection
