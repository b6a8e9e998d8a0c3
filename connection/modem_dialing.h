#pragma once

#include <optional>
#include <string>

#include "connection/sleep_pumping.h"
#include "link/device_link.h"

namespace qvx::connection {

/// Dials the controller's modem through the gateway's serial line: initialisation command,
/// its OK, dial command, its CONNECT. True when the modem reported the connection; the link
/// is back in frame mode afterwards in every case.
[[nodiscard]] bool DialModem(link::DeviceLink& link, const UiPump& pump);

/// The dial command: prefix, number and CR LF; nothing when the number holds a line break
/// or the command would exceed 199 characters (a cut command would dial a wrong number or
/// never end its line).
[[nodiscard]] std::optional<std::string> dialCommand(const link::ModemSettings& modem);

/// The text of the dialling notice: "Wähle" + number + " ...".
[[nodiscard]] std::string dialingNoticeText(const std::string& callNumber);

}  // namespace qvx::connection
