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

}  // namespace qvx::gateway::test
