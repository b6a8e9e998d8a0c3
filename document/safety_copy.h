#pragma once

// Safety copies: a backup of the controller's state taken before anything overwrites it,
// kept in the user's data folder, one file per controller and time stamp, the newest
// kSafetyCopiesKept per controller.

#include <filesystem>
#include <optional>
#include <string>

#include "document/device_backup.h"

namespace qvx::document {

/// Safety copies kept per controller; older ones are removed when a new one is saved.
inline constexpr std::size_t kSafetyCopiesKept = 20;

/// The folder of the safety copies: "qvx" in $XDG_DATA_HOME, or in ~/.local/share when that
/// is unset or not an absolute path. Empty when neither it nor $HOME is known.
[[nodiscard]] std::filesystem::path safetyCopyFolder();

/// The file name of a safety copy of controller `serialNumber` taken at `utcStamp`
/// ("20261209T081500.250Z"): "qvx_SN042_20261209T081500.250Z.qvx", so names sort by time.
[[nodiscard]] std::string safetyCopyName(int serialNumber, const std::string& utcStamp);

/// Saves `backup` as a new safety copy in `folder` (created when missing, readable by the
/// user only) and removes the copies of the same controller beyond the newest
/// kSafetyCopiesKept. The path written, or nullopt with the reason in `error`.
[[nodiscard]] std::optional<std::filesystem::path> saveSafetyCopy(
    const DeviceBackup& backup, const std::filesystem::path& folder, std::string& error);

}  // namespace qvx::document
