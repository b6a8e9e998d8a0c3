#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qvx::tools {

/// What qvxctl says about received frames whose checksum did not match: nothing when there
/// were none; otherwise how many, and what became of them (`checking`: --crc-check or
/// UseCrcCheck=1 dropped them and asked again; without it they were taken as they came).
[[nodiscard]] std::optional<std::string> checksumWarning(std::uint64_t errors, bool checking);

}  // namespace qvx::tools
