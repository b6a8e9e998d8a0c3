#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "tools/ctl_options.h"

namespace qvx::tools {

/// Runs one command on a connected link and writes its figures to `out`. On failure returns
/// false with a one-line reason in `error`.
[[nodiscard]] bool runCtlCommand(link::DeviceLink& link, const CtlOptions& options, std::ostream& out,
                                 std::string& error);

/// Bytes as two-digit hexadecimal numbers separated by single spaces ("0A FF 00").
[[nodiscard]] std::string hexDump(std::span<const std::uint8_t> bytes);

/// Bytes written as two hexadecimal digits each; nothing if any is not.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> parseHexBytes(std::span<const std::string> texts);

}  // namespace qvx::tools
