#pragma once

// Comparing device settings item by item: the differences a restore would write, and
// whether a restore's read-back holds what was meant. Raw words are compared, so a value
// that rounds to the same display text still counts as a difference.

#include <cstddef>
#include <string>
#include <vector>

#include "document/device_backup.h"

namespace qvx::link {
class CalibrationTable;
}

namespace qvx::document {

/// The kinds of items a device backup holds.
enum class BackupItemKind {
    Threshold,            ///< one threshold of the input record (index: transition 0..4)
    SwitchingMode,        ///< range or switch-point mode (status byte bit 0)
    UnderTolerance,       ///< under-tolerance cell
    OverTolerance,        ///< over-tolerance cell
    CalibrationVersion,   ///< calibration header: format version
    CalibrationModeByte,  ///< calibration header: mode byte
    CalibrationCount,     ///< calibration header: number of support points
    CalibrationIndex,     ///< calibration header: selected support point
    SupportPoint,         ///< one support point (index: point - 1)
    PointTable,           ///< one entry of the controller's point table (index: entry)
    UnderSpanTable,       ///< one entry of the under-tolerance span table
    OverSpanTable,        ///< one entry of the over-tolerance span table
};

/// One item of a device backup.
struct BackupItem {
    BackupItemKind kind = BackupItemKind::Threshold;
    std::size_t index = 0;  ///< position within its kind, from 0

    bool operator==(const BackupItem&) const = default;
};

/// How values are shown: positions in mV, or in the length unit through a table.
struct ValueFormat {
    /// Converts positions to lengths; nullptr, or a table in mV mode, shows millivolts.
    const link::CalibrationTable* table = nullptr;
    int inchUnit = 0;  ///< 1: lengths in tenths of an inch
};

/// One item whose value differs between two sets of settings, both values as shown.
struct BackupDifference {
    BackupItem item;
    std::string left;   ///< value on the left (the controller, or the first file)
    std::string right;  ///< value on the right (the file, or the second file)
};

/// The item's name as the user reads it ("Schaltschwelle Aus<-->Auf", "Stützstelle 3").
[[nodiscard]] std::string itemName(const BackupItem& item);

/// The item's value in `settings` as shown; "fehlt" when the settings have no such item.
[[nodiscard]] std::string itemValue(const DeviceSettings& settings, const BackupItem& item,
                                    const ValueFormat& format);

/// True when both settings hold the item with the same raw value (or neither holds it).
[[nodiscard]] bool itemMatches(const DeviceSettings& left, const DeviceSettings& right,
                               const BackupItem& item);

/// Every item that differs, in the file's order: thresholds, mode, tolerances, calibration
/// header, support points, the controller's tables.
[[nodiscard]] std::vector<BackupDifference> compareSettings(const DeviceSettings& left,
                                                            const DeviceSettings& right,
                                                            const ValueFormat& format);

/// One line of a restore's read-back check.
struct ItemCheck {
    BackupItem item;
    bool matches = false;  ///< the controller now holds the file's value
    std::string wanted;    ///< the file's value as shown
    std::string found;     ///< the value read back as shown
};

/// The read-back check of a restore: every item that differed before it, and any other item
/// that differs now, each with whether the controller now holds the file's value.
[[nodiscard]] std::vector<ItemCheck> checkReadBack(const std::vector<BackupDifference>& restored,
                                                   const DeviceSettings& wanted,
                                                   const DeviceSettings& readBack,
                                                   const ValueFormat& format);

/// True when every check matches.
[[nodiscard]] bool allMatch(const std::vector<ItemCheck>& checks);

}  // namespace qvx::document
