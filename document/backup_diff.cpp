#include "document/backup_diff.h"

#include <algorithm>
#include <array>
#include <optional>

#include "document/units.h"
#include "link/calibration_table.h"
#include "platform/user_text.h"

namespace qvx::document {

namespace {

using link::CalibrationMode;
using link::CalibrationTable;

constexpr std::array<const char*, 5> kTransitions{
    QT_TRANSLATE_NOOP("qvx", "Aus<-->Auf"), QT_TRANSLATE_NOOP("qvx", "Auf<-->C"),
    QT_TRANSLATE_NOOP("qvx", "C<-->B"), QT_TRANSLATE_NOOP("qvx", "B<-->A"),
    QT_TRANSLATE_NOOP("qvx", "A<-->Zu")};
constexpr const char* kMissing = QT_TRANSLATE_NOOP("qvx", "fehlt");

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::string position(std::uint16_t raw, const ValueFormat& format) {
    const CalibrationTable* table = format.table;
    if (table != nullptr && table->getMode() == CalibrationMode::Calibrated &&
        table->getCount() >= 2) {
        float mm = 0.0F;
        if (table->RawToDisplay(raw, mm)) {
            const DisplayUnit unit = effectiveUnit(CalibrationMode::Calibrated, format.inchUnit);
            return trimmed(formatGripper(lengthForDisplay(mm, format.inchUnit), unit));
        }
    }
    return trimmed(formatGripper(CalibrationTable::rawToMv(raw), DisplayUnit::Millivolt));
}

std::string span(std::uint16_t raw) {
    return trimmed(formatGripper(CalibrationTable::rawToMv(raw), DisplayUnit::Millivolt));
}

/// The raw value of an item, nullopt when the settings do not hold it. Support points pack
/// voltage word and length into one number, so both take part in the comparison.
std::optional<std::uint32_t> rawValue(const DeviceSettings& s, const BackupItem& item) {
    const auto entry = [&item](const std::vector<std::uint16_t>& table) {
        return item.index < table.size() ? std::optional<std::uint32_t>(table[item.index])
                                         : std::nullopt;
    };
    switch (item.kind) {
        case BackupItemKind::Threshold:
            return item.index < s.thresholds.size()
                       ? std::optional<std::uint32_t>(s.thresholds[item.index])
                       : std::nullopt;
        case BackupItemKind::SwitchingMode:
            return s.statusByte & 0x01U;
        case BackupItemKind::UnderTolerance:
            return s.underTolerance;
        case BackupItemKind::OverTolerance:
            return s.overTolerance;
        case BackupItemKind::CalibrationVersion:
            return s.calibrationHeader[0];
        case BackupItemKind::CalibrationModeByte:
            return s.calibrationHeader[1];
        case BackupItemKind::CalibrationCount:
            return s.calibrationHeader[2];
        case BackupItemKind::CalibrationIndex:
            return s.calibrationHeader[3];
        case BackupItemKind::SupportPoint:
            if (item.index >= s.points.size()) {
                return std::nullopt;
            }
            return (static_cast<std::uint32_t>(s.points[item.index].raw) << 16U) |
                   s.points[item.index].micrometres;
        case BackupItemKind::PointTable:
            return entry(s.pointTable);
        case BackupItemKind::UnderSpanTable:
            return entry(s.underSpanTable);
        case BackupItemKind::OverSpanTable:
            return entry(s.overSpanTable);
    }
    return std::nullopt;
}

std::string number(std::size_t value) {
    return std::to_string(value);
}

/// Every item either settings hold, in the file's order.
std::vector<BackupItem> itemsOf(const DeviceSettings& left, const DeviceSettings& right) {
    std::vector<BackupItem> items;
    const auto add = [&items](BackupItemKind kind, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            items.push_back({kind, i});
        }
    };
    add(BackupItemKind::Threshold, left.thresholds.size());
    add(BackupItemKind::SwitchingMode, 1);
    add(BackupItemKind::UnderTolerance, 1);
    add(BackupItemKind::OverTolerance, 1);
    add(BackupItemKind::CalibrationVersion, 1);
    add(BackupItemKind::CalibrationModeByte, 1);
    add(BackupItemKind::CalibrationCount, 1);
    add(BackupItemKind::CalibrationIndex, 1);
    add(BackupItemKind::SupportPoint, std::max(left.points.size(), right.points.size()));
    add(BackupItemKind::PointTable, std::max(left.pointTable.size(), right.pointTable.size()));
    add(BackupItemKind::UnderSpanTable,
        std::max(left.underSpanTable.size(), right.underSpanTable.size()));
    add(BackupItemKind::OverSpanTable,
        std::max(left.overSpanTable.size(), right.overSpanTable.size()));
    return items;
}

}  // namespace

std::string itemName(const BackupItem& item) {
    const std::string n = number(item.index + 1);
    switch (item.kind) {
        case BackupItemKind::Threshold:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Schaltschwelle ")) +
                   (item.index < kTransitions.size() ? platform::userText(kTransitions[item.index])
                                                     : n);
        case BackupItemKind::SwitchingMode:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Betriebsart"));
        case BackupItemKind::UnderTolerance:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Untertoleranz"));
        case BackupItemKind::OverTolerance:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Übertoleranz"));
        case BackupItemKind::CalibrationVersion:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Kalibrierung: Formatversion"));
        case BackupItemKind::CalibrationModeByte:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Kalibrierung: Modus"));
        case BackupItemKind::CalibrationCount:
            return platform::userText(
                QT_TRANSLATE_NOOP("qvx", "Kalibrierung: Anzahl Stützstellen"));
        case BackupItemKind::CalibrationIndex:
            return platform::userText(
                QT_TRANSLATE_NOOP("qvx", "Kalibrierung: gewählte Stützstelle"));
        case BackupItemKind::SupportPoint:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Stützstelle ")) + n;
        case BackupItemKind::PointTable:
            return platform::userText(
                       QT_TRANSLATE_NOOP("qvx", "Stützstellentabelle der QVX, Eintrag ")) +
                   n;
        case BackupItemKind::UnderSpanTable:
            return platform::userText(
                       QT_TRANSLATE_NOOP("qvx", "Untertoleranztabelle der QVX, Eintrag ")) +
                   n;
        case BackupItemKind::OverSpanTable:
            return platform::userText(
                       QT_TRANSLATE_NOOP("qvx", "Übertoleranztabelle der QVX, Eintrag ")) +
                   n;
    }
    return n;
}

std::string itemValue(const DeviceSettings& settings, const BackupItem& item,
                      const ValueFormat& format) {
    const std::optional<std::uint32_t> raw = rawValue(settings, item);
    if (!raw) {
        return platform::userText(kMissing);
    }
    const auto word = static_cast<std::uint16_t>(*raw & 0xFFFFU);
    switch (item.kind) {
        case BackupItemKind::Threshold:
        case BackupItemKind::UnderTolerance:
        case BackupItemKind::OverTolerance:
            return position(word, format);
        case BackupItemKind::SwitchingMode:
            return platform::userText(*raw != 0 ? QT_TRANSLATE_NOOP("qvx", "Bereich")
                                                : QT_TRANSLATE_NOOP("qvx", "Schaltpunkt"));
        case BackupItemKind::SupportPoint: {
            const StoredPoint& point = settings.points[item.index];
            return span(point.raw) + " / " +
                   formatValue("%.3f mm",
                               CalibrationTable::lengthFromMicrometres(point.micrometres));
        }
        case BackupItemKind::PointTable:
        case BackupItemKind::UnderSpanTable:
        case BackupItemKind::OverSpanTable:
            return span(word);
        case BackupItemKind::CalibrationVersion:
        case BackupItemKind::CalibrationModeByte:
        case BackupItemKind::CalibrationCount:
        case BackupItemKind::CalibrationIndex:
            break;
    }
    return number(*raw);
}

bool itemMatches(const DeviceSettings& left, const DeviceSettings& right, const BackupItem& item) {
    return rawValue(left, item) == rawValue(right, item);
}

std::vector<BackupDifference> compareSettings(const DeviceSettings& left,
                                              const DeviceSettings& right,
                                              const ValueFormat& format) {
    std::vector<BackupDifference> differences;
    for (const BackupItem& item : itemsOf(left, right)) {
        if (!itemMatches(left, right, item)) {
            differences.push_back(
                {item, itemValue(left, item, format), itemValue(right, item, format)});
        }
    }
    return differences;
}

std::vector<ItemCheck> checkReadBack(const std::vector<BackupDifference>& restored,
                                     const DeviceSettings& wanted, const DeviceSettings& readBack,
                                     const ValueFormat& format) {
    std::vector<ItemCheck> checks;
    const auto check = [&](const BackupItem& item) {
        checks.push_back({item, itemMatches(wanted, readBack, item),
                          itemValue(wanted, item, format), itemValue(readBack, item, format)});
    };
    for (const BackupDifference& difference : restored) {
        check(difference.item);
    }
    for (const BackupItem& item : itemsOf(wanted, readBack)) {
        const bool listed =
            std::any_of(restored.begin(), restored.end(),
                        [&item](const BackupDifference& d) { return d.item == item; });
        if (!listed && !itemMatches(wanted, readBack, item)) {
            check(item);
        }
    }
    return checks;
}

bool allMatch(const std::vector<ItemCheck>& checks) {
    return std::all_of(checks.begin(), checks.end(), [](const ItemCheck& c) { return c.matches; });
}

}  // namespace qvx::document
