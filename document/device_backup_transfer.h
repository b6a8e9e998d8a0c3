#pragma once

// Reading a whole device backup from the controller and writing a backup's settings back.
// Device operations only: nothing is shown or logged here, failures come back as results
// that name the part that failed. Safe to run on a worker thread: every transfer takes the
// engine lock.

#include <string>
#include <vector>

#include "document/backup_diff.h"
#include "document/device_backup.h"
#include "link/device_link.h"

namespace qvx::document {

/// Reads every cell a backup holds. False, with the part that could not be read in
/// `failedPart` (German, for the user), when any read fails; `settings` is then incomplete.
[[nodiscard]] bool readDeviceSettings(link::DeviceLink& link, DeviceSettings& settings,
                                      std::string& failedPart);

/// Reads serial number, week and year of manufacture; the context fields stay as they are.
[[nodiscard]] bool readDeviceIdentity(link::DeviceLink& link, BackupIdentity& identity);

/// The programming section of a backup of `settings`: thresholds and tolerances as the
/// program shows them in the table's mode (and tenths of an inch when `inchUnit` is 1).
[[nodiscard]] Programming programmingOf(const DeviceSettings& settings,
                                        const link::CalibrationTable& table, int inchUnit);

/// Reads a whole backup: settings, identity and the programming section; the context is
/// filled from the link (gateway address), the clock and `programVersion`.
[[nodiscard]] bool readDeviceBackup(link::DeviceLink& link, const std::string& programVersion,
                                    int inchUnit, DeviceBackup& backup, std::string& failedPart);

/// One part of the controller a restore writes in one transfer.
struct RestorePart {
    std::string name;  ///< German, for the user ("Kalibriertabelle", "Schaltschwellen", ...)
    enum class Outcome { Written, Failed, NotWritten } outcome = Outcome::NotWritten;
};

/// What a restore wrote.
struct RestoreWriteResult {
    std::vector<RestorePart> parts;  ///< the parts that differed, in the order of writing
    [[nodiscard]] bool complete() const;
};

/// Writes the parts of `wanted` that hold one of `differences`, in a fixed order (calibration
/// table, the controller's tables, tolerances, thresholds, mode). The first failed transfer
/// stops it: that part is Failed and every later one NotWritten. The mode is written as the
/// programming view does (bits 1..6 kept, bit 7 set), from a fresh read of the status byte.
[[nodiscard]] RestoreWriteResult writeDeviceSettings(
    link::DeviceLink& link, const DeviceSettings& wanted,
    const std::vector<BackupDifference>& differences);

}  // namespace qvx::document
