#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qvx::gateway::test {

/// What a terminal device's settings say, read with the kernel's own record (any baud rate).
struct LineState {
    std::uint32_t outputBaud = 0;  // bit/s
    std::uint32_t inputBaud = 0;   // bit/s
    bool extraStopBit = false;     // CSTOPB: two stop bits, one and a half with 5 data bits
    bool hardwareFlowControl = false;
    bool softwareFlowControl = false;  // XON/XOFF in either direction or any-key restart
    bool inputTranslation = false;     // CR/LF mapping, stripping, parity marking or checking
    bool outputProcessing = false;
    bool canonicalOrEcho = false;    // line editing, echo or signal characters
    bool ignoresModemLines = false;  // CLOCAL
    bool receiverOn = false;         // CREAD
};

/// Opens `path` (without becoming its controlling terminal) and reads its settings.
[[nodiscard]] std::optional<LineState> probeLine(const std::string& path);
/// The settings of the terminal open as `fd`. A pty master gives those of its slave, which
/// works while the slave is held in exclusive mode.
[[nodiscard]] std::optional<LineState> probeLine(int fd);

}  // namespace qvx::gateway::test
