#include "tools/ctl_checksums.h"

namespace qvx::tools {

std::optional<std::string> checksumWarning(std::uint64_t errors, bool checking) {
    if (errors == 0) {
        return std::nullopt;
    }
    std::string text = "warning: " + std::to_string(errors) +
                       (errors == 1 ? " received frame" : " received frames") +
                       " had a wrong checksum";
    if (checking) {
        return text + " and " + (errors == 1 ? "was" : "were") +
               " dropped; the requests were repeated";
    }
    // Without checking a damaged confirm passes for a good one: its bytes may be wrong.
    return text +
           "; taken as they came, so the figures above may be wrong (--crc-check, or UseCrcCheck=1 "
           "in "
           "qvx.ini, drops such frames and asks again)";
}

}  // namespace qvx::tools
