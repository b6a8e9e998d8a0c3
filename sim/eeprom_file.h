#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvx::sim {

/// Result of reading a stored EEPROM image.
enum class LoadResult : std::uint8_t {
    Loaded,   ///< the image was read
    Missing,  ///< no file at the path
    Failed,   ///< the file exists but cannot be used; the error text says why
};

/// Reads the raw image at `path`, which must hold exactly `size` bytes. A file of another
/// size is refused, never cut or padded, so a wrong file is not overwritten later.
[[nodiscard]] LoadResult loadEepromImage(const std::string& path, std::size_t size,
                                         std::vector<std::uint8_t>& image, std::string& error);

/// Writes the image so that the file always holds either the old or the new image: a
/// temporary file in the same folder, written and synced, renamed over the target, then the
/// folder synced. A symbolic link is followed and its target replaced; an existing file keeps
/// its permissions. False with an error text when any step fails (the old file stays).
[[nodiscard]] bool saveEepromImage(const std::string& path, std::span<const std::uint8_t> image,
                                   std::string& error);

}  // namespace qvx::sim
