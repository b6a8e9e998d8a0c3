#pragma once

#include <cstdint>
#include <string>

#include "gateway/gateway_settings.h"

namespace qvx::gateway {

/// What --check-config prints, and whether the settings let the gateway do its work.
struct ConfigReport {
    std::string text;    // lines for standard output
    bool usable = true;  // false when any "Problem:" line was written
};

/// Reads every setting through `settings` (configured with its store; set it read-only for the
/// service store) and describes the login listener and each channel: data port, COM port and
/// whether its device is there, line settings, IdleTimeout and Trace. Problems are what would
/// keep a listener or a channel from working, or leave security other than written: a port
/// outside 1 to 65535, a listen address that does not resolve, no channel, a channel beyond
/// the four that get a listener, line settings no UART can send, a COM port that is not a
/// character device, a Secured that is no number, a Password no login can match. A device
/// that is missing is no problem: the channel waits for it. Opens no port and no device.
[[nodiscard]] ConfigReport checkConfiguration(GatewaySettings& settings);

/// The character frame in the usual short form: data bits, parity letter (N, O, E, M, S) and
/// stop bits ("8N1", "7E2", "5N1.5"); "?" stands for a code outside the table.
[[nodiscard]] std::string frameText(std::uint8_t byteSize, std::uint8_t parity,
                                    std::uint8_t stopBits);

}  // namespace qvx::gateway
