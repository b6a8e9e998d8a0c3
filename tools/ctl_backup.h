#pragma once

#include <ostream>
#include <string>

#include "link/device_link.h"
#include "tools/ctl_options.h"

namespace qvx::tools {

/// Exit codes of the backup commands.
enum BackupExit : int {
    kBackupMatches = 0,  ///< done; controller and file (or both files) hold the same settings
    kBackupDiffers = 1,  ///< they differ, or a restore was not confirmed with --yes
    kBackupError = 2,    ///< a file, the connection or a transfer failed
};

/// True for backup, verify, restore and diff.
[[nodiscard]] bool isBackupCommand(const std::string& command);
/// True for the commands that work on files alone (diff).
[[nodiscard]] bool worksOffline(const std::string& command);

/// Runs a backup command: `link` is connected, or nullptr for an offline command. Results go
/// to `out`; a failure's reason to `error`. Returns one of BackupExit.
[[nodiscard]] int runBackupCommand(link::DeviceLink* link, const CtlOptions& options,
                                   std::ostream& out, std::string& error);

}  // namespace qvx::tools
