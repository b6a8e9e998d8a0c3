#pragma once

#include <filesystem>

#include "connection/settings_store.h"
#include "link/calibration_table.h"
#include "link/device_link.h"

namespace qvx::connection {

/// `qvx.ini` in the current working directory (the program never looks beside itself).
[[nodiscard]] std::filesystem::path clientSettingsPath();

/// Reads every connection setting of the link, and the display mode of its calibration
/// table, from the file; missing file, section or key give the defaults. The keys are read in
/// the order of the settings table, `BaseUnit` last.
void ReadConnectionSettings(link::DeviceLink& link, const std::filesystem::path& path);
void ReadConnectionSettings(link::DeviceLink& link, const SettingsStore& store);

/// Writes every connection setting but the display unit, `Connectiontype` last; false if a
/// write failed (the program goes on with the values in memory).
bool WriteConnectionSettings(const link::DeviceLink& link, const std::filesystem::path& path);
bool WriteConnectionSettings(const link::DeviceLink& link, const SettingsStore& store);

/// `AutoReconnect`: whether a lost link is restored by itself; true when the key is missing.
[[nodiscard]] bool readAutoReconnect(const SettingsStore& store);
/// Writes `AutoReconnect` as 1 or 0; only called when the user changed it, so files that
/// never had the key keep their content.
bool writeAutoReconnect(const SettingsStore& store, bool on);

/// The unit preference: 1 (tenths of an inch) when `BaseUnit` is "INCH" in any case, else 0.
[[nodiscard]] int readInchUnit(const std::filesystem::path& path);

/// Writes `BaseUnit`: "MV" in mV mode, otherwise "INCH" or "MM" by `inchUnit`.
bool writeBaseUnit(const std::filesystem::path& path, link::CalibrationMode mode, int inchUnit);

}  // namespace qvx::connection
