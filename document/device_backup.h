#pragma once

// The device backup: everything a controller holds that a technician sets, and where it came
// from, in one programming file. The file starts with the PROGRAMMIERUNG section of a plain
// programming file, so every reader of those reads a backup as well; the sections after it
// hold the raw cells, the calibration table and the identity, and a checksum over all of it
// ends the file. Text in, text out: no I/O here.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/programming_file.h"

namespace qvx::document {

/// One support point of the controller's calibration table as stored.
struct StoredPoint {
    std::uint16_t raw = 0;          ///< raw position word of the point's voltage
    std::uint16_t micrometres = 0;  ///< the point's length, µm

    bool operator==(const StoredPoint&) const = default;
};

/// Which controller a backup came from and when.
struct BackupIdentity {
    int serialNumber = 0;        ///< serial number, 0..255
    int week = 0;                ///< week of manufacture, 0..255
    int year = 2000;             ///< year of manufacture, 2000..2255
    std::string savedAt;         ///< ISO 8601 local time with its offset
    std::string programVersion;  ///< program and version that wrote the file
    std::string gateway;         ///< gateway address in use, "host:port"
};

/// The controller's settings as its memory holds them: what a restore writes back.
struct DeviceSettings {
    std::array<std::uint16_t, 5> thresholds{};  ///< input record, raw words by transition
    std::uint8_t statusByte = 0;                ///< RAM status byte; bit 0 = range mode
    std::uint16_t underTolerance = 0;           ///< raw word of the under-tolerance cell
    std::uint16_t overTolerance = 0;            ///< raw word of the over-tolerance cell
    /// Calibration header bytes: format version, mode byte, count, selected point.
    std::array<std::uint8_t, 4> calibrationHeader{};
    std::vector<StoredPoint> points;            ///< support points 1..count
    std::vector<std::uint16_t> pointTable;      ///< the controller's point table, last point first
    std::vector<std::uint16_t> underSpanTable;  ///< under-tolerance spans, last point down to 2
    std::vector<std::uint16_t> overSpanTable;   ///< over-tolerance spans, same layout

    bool operator==(const DeviceSettings&) const = default;
};

/// A whole device backup.
struct DeviceBackup {
    Programming programming;  ///< the PROGRAMMIERUNG section, display texts
    DeviceSettings settings;  ///< the raw cells
    BackupIdentity identity;  ///< where and when it was taken
};

/// The number of support points the header's count byte stands for: 1..62, or 0 for a count
/// byte outside that range (erased memory), whose points mean nothing.
[[nodiscard]] std::size_t pointCountOf(std::uint8_t countByte);

/// CRC-32 (IEEE 802.3, reflected, as zip and PNG use it) of `bytes`.
[[nodiscard]] std::uint32_t crc32(std::string_view bytes);

/// The file's text: the programming section exactly as a programming file writes it, then
/// the sections of the calibration table, the raw cells and the identity, then the checksum.
/// Numbers are written in the C locale.
[[nodiscard]] std::string deviceBackupText(const DeviceBackup& backup);

/// What reading a backup file found.
struct BackupReadResult {
    std::optional<DeviceBackup> backup;  ///< the backup; nullopt when the text holds none
    bool checksumMatches = false;        ///< false: edited by hand, damaged or no checksum
    std::string error;                   ///< why there is no backup (English, for logs and qvxctl)
};

/// Reads a backup from a file's text. A text without the backup's sections or with a value
/// that does not read gives no backup and a reason; a checksum that is missing or does not
/// match the content still gives the backup, with `checksumMatches` false.
[[nodiscard]] BackupReadResult parseDeviceBackup(std::string_view text);

/// The current local time as ISO 8601 with its offset ("2026-12-09T08:15:00+01:00").
[[nodiscard]] std::string localTimestamp();

}  // namespace qvx::document
