#include "document/device_backup_transfer.h"

#include <algorithm>
#include <span>

#include "document/units.h"
#include "link/device_memory_map.h"
#include "platform/user_text.h"

namespace qvx::document {

namespace {

namespace mm = link::memory_map;
using link::CalibrationMode;
using link::CalibrationTable;

/// Bit 7 of the status byte, always written as 1.
constexpr int kStatusWriteMark = 0x80;

/// One engine-locked EEPROM read of `count` bytes; the bytes, or nullopt.
std::optional<std::vector<std::uint8_t>> readBytes(link::DeviceLink& link, std::uint32_t address,
                                                   std::size_t count) {
    if (count == 0) {
        return std::vector<std::uint8_t>{};
    }
    if (!link.lockEngine()) {
        return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> bytes;
    if (link.readEeprom(address, count) && link.eepromBuffer().size() == count) {
        bytes = link.eepromBuffer();
    }
    link.unlockEngine();
    return bytes;
}

bool writeBytes(link::DeviceLink& link, std::uint32_t address,
                std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return true;
    }
    if (!link.lockEngine()) {
        return false;
    }
    const bool ok = link.writeEeprom(address, bytes);
    link.unlockEngine();
    return ok;
}

std::uint16_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((bytes[offset] << 8U) | bytes[offset + 1]);
}

void appendWord(std::vector<std::uint8_t>& bytes, std::uint16_t word) {
    bytes.push_back(static_cast<std::uint8_t>(word >> 8U));
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFFU));
}

std::optional<std::vector<std::uint16_t>> readWords(link::DeviceLink& link, std::uint32_t address,
                                                    std::size_t count) {
    const auto bytes = readBytes(link, address, 2 * count);
    if (!bytes) {
        return std::nullopt;
    }
    std::vector<std::uint16_t> words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = wordAt(*bytes, 2 * i);
    }
    return words;
}

std::vector<std::uint8_t> bytesOf(std::span<const std::uint16_t> words) {
    std::vector<std::uint8_t> bytes;
    for (const std::uint16_t word : words) {
        appendWord(bytes, word);
    }
    return bytes;
}

/// The parts a restore writes, in their order, and the item kinds each one carries.
enum class Part { Calibration, PointTable, UnderSpans, OverSpans, Tolerances, Thresholds, Mode };

constexpr std::array<Part, 7> kPartOrder{Part::Calibration, Part::PointTable, Part::UnderSpans,
                                         Part::OverSpans,   Part::Tolerances, Part::Thresholds,
                                         Part::Mode};

Part partOf(BackupItemKind kind) {
    switch (kind) {
        case BackupItemKind::Threshold:
            return Part::Thresholds;
        case BackupItemKind::SwitchingMode:
            return Part::Mode;
        case BackupItemKind::UnderTolerance:
        case BackupItemKind::OverTolerance:
            return Part::Tolerances;
        case BackupItemKind::PointTable:
            return Part::PointTable;
        case BackupItemKind::UnderSpanTable:
            return Part::UnderSpans;
        case BackupItemKind::OverSpanTable:
            return Part::OverSpans;
        case BackupItemKind::CalibrationVersion:
        case BackupItemKind::CalibrationModeByte:
        case BackupItemKind::CalibrationCount:
        case BackupItemKind::CalibrationIndex:
        case BackupItemKind::SupportPoint:
            break;
    }
    return Part::Calibration;
}

std::string partName(Part part) {
    switch (part) {
        case Part::Calibration:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Kalibriertabelle"));
        case Part::PointTable:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Stützstellentabelle der QVX"));
        case Part::UnderSpans:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Untertoleranztabelle der QVX"));
        case Part::OverSpans:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Übertoleranztabelle der QVX"));
        case Part::Tolerances:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Toleranzen"));
        case Part::Thresholds:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Schaltschwellen"));
        case Part::Mode:
            break;
    }
    return platform::userText(QT_TRANSLATE_NOOP("qvx", "Betriebsart"));
}

bool writeMode(link::DeviceLink& link, bool rangeMode) {
    int status = 0;
    if (!link.readStatusByte(status)) {
        return false;
    }
    status = rangeMode ? status | mm::kStatusRangeMode : status & ~mm::kStatusRangeMode;
    return link.writeStatusByte(status | kStatusWriteMark);
}

bool writePart(link::DeviceLink& link, const DeviceSettings& wanted, Part part) {
    switch (part) {
        case Part::Calibration: {
            // Header and points lie back to back from 100 on: one transfer.
            std::vector<std::uint8_t> bytes(wanted.calibrationHeader.begin(),
                                            wanted.calibrationHeader.end());
            for (const StoredPoint& point : wanted.points) {
                appendWord(bytes, point.raw);
                appendWord(bytes, point.micrometres);
            }
            return writeBytes(link, mm::kCalibrationHeader, bytes);
        }
        case Part::PointTable:
            return writeBytes(link, mm::kPointTable, bytesOf(wanted.pointTable));
        case Part::UnderSpans:
            return writeBytes(link, mm::kUnderToleranceTable, bytesOf(wanted.underSpanTable));
        case Part::OverSpans:
            return writeBytes(link, mm::kOverToleranceTable, bytesOf(wanted.overSpanTable));
        case Part::Tolerances: {
            std::vector<std::uint8_t> bytes;
            appendWord(bytes, wanted.overTolerance);  // 352, then 354
            appendWord(bytes, wanted.underTolerance);
            return writeBytes(link, mm::kOverTolerance, bytes);
        }
        case Part::Thresholds: {
            std::array<int, 5> record{};
            std::copy(wanted.thresholds.begin(), wanted.thresholds.end(), record.begin());
            return link.writeInputRecord(record);
        }
        case Part::Mode:
            break;
    }
    return writeMode(link, (wanted.statusByte & mm::kStatusRangeMode) != 0);
}

}  // namespace

bool readDeviceSettings(link::DeviceLink& link, DeviceSettings& settings, std::string& failedPart) {
    std::array<int, 5> record{};
    if (!link.readInputRecord(record)) {
        failedPart = platform::userText(QT_TRANSLATE_NOOP("qvx", "Schaltschwellen"));
        return false;
    }
    std::copy(record.begin(), record.end(), settings.thresholds.begin());
    int status = 0;
    if (!link.readStatusByte(status)) {
        failedPart = platform::userText(QT_TRANSLATE_NOOP("qvx", "Betriebsart"));
        return false;
    }
    settings.statusByte = static_cast<std::uint8_t>(status);
    const auto tolerances = readWords(link, mm::kOverTolerance, 2);
    if (!tolerances) {
        failedPart = platform::userText(QT_TRANSLATE_NOOP("qvx", "Toleranzen"));
        return false;
    }
    settings.overTolerance = (*tolerances)[0];
    settings.underTolerance = (*tolerances)[1];

    const auto header = readBytes(link, mm::kCalibrationHeader, 4);
    if (!header) {
        failedPart = platform::userText(QT_TRANSLATE_NOOP("qvx", "Kalibriertabelle"));
        return false;
    }
    std::copy(header->begin(), header->end(), settings.calibrationHeader.begin());
    const std::size_t count = pointCountOf(settings.calibrationHeader[2]);
    const auto points = readWords(link, mm::kCalibrationPoints, 2 * count);
    if (!points) {
        failedPart = platform::userText(QT_TRANSLATE_NOOP("qvx", "Kalibriertabelle"));
        return false;
    }
    settings.points.clear();
    for (std::size_t p = 0; p < count; ++p) {
        settings.points.push_back({(*points)[2 * p], (*points)[2 * p + 1]});
    }
    const std::size_t spans = count > 0 ? count - 1 : 0;
    const auto pointTable = readWords(link, mm::kPointTable, count);
    const auto underSpans =
        pointTable ? readWords(link, mm::kUnderToleranceTable, spans) : std::nullopt;
    const auto overSpans =
        underSpans ? readWords(link, mm::kOverToleranceTable, spans) : std::nullopt;
    if (!overSpans) {
        failedPart = platform::userText(QT_TRANSLATE_NOOP("qvx", "Tabellen der QVX"));
        return false;
    }
    settings.pointTable = *pointTable;
    settings.underSpanTable = *underSpans;
    settings.overSpanTable = *overSpans;
    return true;
}

bool readDeviceIdentity(link::DeviceLink& link, BackupIdentity& identity) {
    return link.readServiceData(identity.week, identity.year, identity.serialNumber);
}

Programming programmingOf(const DeviceSettings& settings, const CalibrationTable& table,
                          int inchUnit) {
    const bool lengths = table.getMode() == CalibrationMode::Calibrated;
    const auto shown = [&](std::uint16_t raw) {
        float value = 0.0F;
        (void)table.RawToDisplay(raw, value);
        return lengths ? lengthForDisplay(value, inchUnit) : value;
    };
    Programming programming;
    for (std::size_t k = 0; k < settings.thresholds.size(); ++k) {
        programming.thresholds[k] = formatFixed(shown(settings.thresholds[k]));
    }
    // Tolerances are in the mode's own unit, never in tenths of an inch.
    float under = 0.0F;
    float over = 0.0F;
    (void)table.RawToDisplay(settings.underTolerance, under);
    (void)table.RawToDisplay(settings.overTolerance, over);
    programming.underTolerance = formatEditValue(under);
    programming.overTolerance = formatEditValue(over);
    programming.rangeMode = (settings.statusByte & mm::kStatusRangeMode) != 0;
    programming.unit = !lengths ? ProgrammingUnit::Millivolt : shownLengthUnit(inchUnit);
    return programming;
}

bool readDeviceBackup(link::DeviceLink& link, const std::string& programVersion, int inchUnit,
                      DeviceBackup& backup, std::string& failedPart) {
    if (!readDeviceSettings(link, backup.settings, failedPart)) {
        return false;
    }
    if (!readDeviceIdentity(link, backup.identity)) {
        failedPart = platform::userText(QT_TRANSLATE_NOOP("qvx", "Seriennummer"));
        return false;
    }
    backup.identity.savedAt = localTimestamp();
    backup.identity.programVersion = programVersion;
    backup.identity.gateway = link.host() + ":" + std::to_string(link.port());
    backup.programming = programmingOf(backup.settings, link.calibration(), inchUnit);
    return true;
}

bool RestoreWriteResult::complete() const {
    return std::all_of(parts.begin(), parts.end(), [](const RestorePart& p) {
        return p.outcome == RestorePart::Outcome::Written;
    });
}

RestoreWriteResult writeDeviceSettings(link::DeviceLink& link, const DeviceSettings& wanted,
                                       const std::vector<BackupDifference>& differences) {
    RestoreWriteResult result;
    bool failed = false;
    for (const Part part : kPartOrder) {
        const bool needed =
            std::any_of(differences.begin(), differences.end(),
                        [part](const BackupDifference& d) { return partOf(d.item.kind) == part; });
        if (!needed) {
            continue;
        }
        RestorePart written{partName(part)};
        if (!failed) {
            failed = !writePart(link, wanted, part);
            written.outcome = failed ? RestorePart::Outcome::Failed : RestorePart::Outcome::Written;
        }
        result.parts.push_back(std::move(written));
    }
    return result;
}

}  // namespace qvx::document
