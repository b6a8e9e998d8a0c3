#include "document/device_backup.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <ctime>
#include <system_error>

#include "link/calibration_table.h"
#include "platform/ini_file.h"

namespace qvx::document {

namespace {

constexpr std::string_view kCalibrationSection = "KALIBRIERUNG";
constexpr std::string_view kRawSection = "ROHWERTE";
constexpr std::string_view kDeviceSection = "GERAET";
constexpr std::string_view kChecksumSection = "PRUEFSUMME";
constexpr std::string_view kChecksumKey = "CRC32";

constexpr std::string_view kVersion = "Version";
constexpr std::string_view kModeByte = "Modus";
constexpr std::string_view kCount = "Anzahl";
constexpr std::string_view kIndex = "Auswahl";
constexpr std::string_view kPointPrefix = "Punkt";

constexpr std::string_view kThresholds = "Eingangsspeicher";
constexpr std::string_view kStatusByte = "Statusbyte";
constexpr std::string_view kUnderTolerance = "Untertoleranz";
constexpr std::string_view kOverTolerance = "Uebertoleranz";
constexpr std::string_view kPointTable = "Stuetzstellentabelle";
constexpr std::string_view kUnderSpanTable = "Untertoleranztabelle";
constexpr std::string_view kOverSpanTable = "Uebertoleranztabelle";

constexpr std::string_view kSerialNumber = "Seriennummer";
constexpr std::string_view kWeek = "Woche";
constexpr std::string_view kYear = "Jahr";
constexpr std::string_view kSavedAt = "Zeitpunkt";
constexpr std::string_view kProgram = "Programm";
constexpr std::string_view kGateway = "Gateway";

std::string decimal(long long value) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return {digits.data(), result.ptr};
}

std::string fixed(float value, int decimals) {
    std::array<char, 64> digits{};
    const auto result =
        std::to_chars(digits.data(), digits.data() + digits.size(), static_cast<double>(value),
                      std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(digits.data(), result.ptr) : std::string("0");
}

std::string hex(unsigned value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 4 * (width - 1); shift >= 0; shift -= 4) {
        text.push_back(kDigits[(value >> static_cast<unsigned>(shift)) & 0xFU]);
    }
    return text;
}

std::string wordList(std::span<const std::uint16_t> words) {
    std::string text;
    for (const std::uint16_t word : words) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text += hex(word, 4);
    }
    return text;
}

std::string pointText(const StoredPoint& point) {
    return hex(point.raw, 4) + ' ' + decimal(point.micrometres) + ' ' +
           fixed(link::CalibrationTable::rawToMv(point.raw), 2) + ' ' +
           fixed(link::CalibrationTable::lengthFromMicrometres(point.micrometres), 3);
}

/// The text the checksum covers: everything before the checksum section, line ends as '\n'
/// whatever an editor made of them.
std::string checkedContent(std::string_view text) {
    std::string content;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool last = end == std::string_view::npos;
        std::string_view line = text.substr(start, last ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line == "[" + std::string(kChecksumSection) + "]") {
            break;
        }
        content += line;
        content.push_back('\n');
        if (last) {
            break;
        }
        start = end + 1;
    }
    return content;
}

/// Splits a value at blanks.
std::vector<std::string_view> fields(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t first = text.find_first_not_of(' ', start);
        if (first == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(text.find(' ', first), text.size());
        parts.push_back(text.substr(first, end - first));
        start = end;
    }
    return parts;
}

std::optional<unsigned> unsignedOf(std::string_view text, unsigned maximum) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end || value > maximum) {
        return std::nullopt;
    }
    return value;
}

/// Reads the sections after the programming; every failure names the key it stopped at.
class BackupReader {
public:
    explicit BackupReader(const platform::IniDocument& file) : m_file(file) {}

    [[nodiscard]] const std::string& error() const { return m_error; }

    std::optional<unsigned> number(std::string_view section, std::string_view key,
                                   unsigned maximum) {
        const std::optional<std::string> text = m_file.value(section, key);
        const std::optional<unsigned> value = text ? unsignedOf(*text, maximum) : std::nullopt;
        if (!value) {
            fail(section, key, text ? "is not a number in range" : "is missing");
        }
        return value;
    }

    std::optional<std::vector<std::uint16_t>> words(std::string_view section, std::string_view key,
                                                    std::size_t count) {
        const std::optional<std::string> text = m_file.value(section, key);
        if (!text) {
            fail(section, key, "is missing");
            return std::nullopt;
        }
        std::vector<std::uint16_t> values;
        for (const std::string_view part : fields(*text)) {
            const std::optional<unsigned> value = unsignedOf(part, 0xFFFF);
            if (!value) {
                fail(section, key, "holds a value that is not a 16-bit word");
                return std::nullopt;
            }
            values.push_back(static_cast<std::uint16_t>(*value));
        }
        if (values.size() != count) {
            fail(section, key,
                 "holds " + decimal(static_cast<long long>(values.size())) + " words, not " +
                     decimal(static_cast<long long>(count)));
            return std::nullopt;
        }
        return values;
    }

    std::optional<StoredPoint> point(std::size_t p) {
        const std::string key = std::string(kPointPrefix) + decimal(static_cast<long long>(p));
        const std::optional<std::string> text = m_file.value(kCalibrationSection, key);
        const std::vector<std::string_view> parts =
            text ? fields(*text) : std::vector<std::string_view>{};
        const std::optional<unsigned> raw =
            parts.size() >= 2 ? unsignedOf(parts[0], 0xFFFF) : std::nullopt;
        const std::optional<unsigned> micrometres =
            parts.size() >= 2 ? unsignedOf(parts[1], 0xFFFF) : std::nullopt;
        if (!raw || !micrometres) {
            fail(kCalibrationSection, key,
                 text ? "is not a raw word and a length in µm" : "is missing");
            return std::nullopt;
        }
        return StoredPoint{static_cast<std::uint16_t>(*raw),
                           static_cast<std::uint16_t>(*micrometres)};
    }

    std::string text(std::string_view section, std::string_view key) {
        return m_file.value(section, key).value_or("");
    }

private:
    void fail(std::string_view section, std::string_view key, const std::string& why) {
        if (m_error.empty()) {
            m_error = "[" + std::string(section) + "] " + std::string(key) + " " + why;
        }
    }

    const platform::IniDocument& m_file;
    std::string m_error;
};

std::optional<DeviceSettings> readSettings(BackupReader& reader) {
    DeviceSettings settings;
    const auto version = reader.number(kCalibrationSection, kVersion, 0xFF);
    const auto modeByte = reader.number(kCalibrationSection, kModeByte, 0xFF);
    const auto count = reader.number(kCalibrationSection, kCount, 0xFF);
    const auto index = reader.number(kCalibrationSection, kIndex, 0xFF);
    if (!version || !modeByte || !count || !index) {
        return std::nullopt;
    }
    settings.calibrationHeader = {
        static_cast<std::uint8_t>(*version), static_cast<std::uint8_t>(*modeByte),
        static_cast<std::uint8_t>(*count), static_cast<std::uint8_t>(*index)};
    const std::size_t points = pointCountOf(settings.calibrationHeader[2]);
    for (std::size_t p = 1; p <= points; ++p) {
        const std::optional<StoredPoint> point = reader.point(p);
        if (!point) {
            return std::nullopt;
        }
        settings.points.push_back(*point);
    }

    const auto thresholds = reader.words(kRawSection, kThresholds, settings.thresholds.size());
    const auto status = reader.number(kRawSection, kStatusByte, 0xFF);
    const auto under = reader.number(kRawSection, kUnderTolerance, 0xFFFF);
    const auto over = reader.number(kRawSection, kOverTolerance, 0xFFFF);
    const std::size_t spans = points > 0 ? points - 1 : 0;
    auto pointTable = reader.words(kRawSection, kPointTable, points);
    auto underSpans = reader.words(kRawSection, kUnderSpanTable, spans);
    auto overSpans = reader.words(kRawSection, kOverSpanTable, spans);
    if (!thresholds || !status || !under || !over || !pointTable || !underSpans || !overSpans) {
        return std::nullopt;
    }
    std::copy(thresholds->begin(), thresholds->end(), settings.thresholds.begin());
    settings.statusByte = static_cast<std::uint8_t>(*status);
    settings.underTolerance = static_cast<std::uint16_t>(*under);
    settings.overTolerance = static_cast<std::uint16_t>(*over);
    settings.pointTable = std::move(*pointTable);
    settings.underSpanTable = std::move(*underSpans);
    settings.overSpanTable = std::move(*overSpans);
    return settings;
}

std::optional<BackupIdentity> readIdentity(BackupReader& reader) {
    const auto serial = reader.number(kDeviceSection, kSerialNumber, 0xFF);
    const auto week = reader.number(kDeviceSection, kWeek, 0xFF);
    const auto year = reader.number(kDeviceSection, kYear, 9999);
    if (!serial || !week || !year) {
        return std::nullopt;
    }
    BackupIdentity identity;
    identity.serialNumber = static_cast<int>(*serial);
    identity.week = static_cast<int>(*week);
    identity.year = static_cast<int>(*year);
    identity.savedAt = reader.text(kDeviceSection, kSavedAt);
    identity.programVersion = reader.text(kDeviceSection, kProgram);
    identity.gateway = reader.text(kDeviceSection, kGateway);
    return identity;
}

}  // namespace

std::size_t pointCountOf(std::uint8_t countByte) {
    return countByte >= 1 && countByte <= link::CalibrationTable::kMaxPoints ? countByte : 0;
}

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) != 0 ? (crc >> 1U) ^ 0xEDB88320U : crc >> 1U;
        }
    }
    return ~crc;
}

std::string deviceBackupText(const DeviceBackup& backup) {
    platform::IniDocument file(programmingFileText(backup.programming));
    const auto set = [&file](std::string_view section, std::string_view key,
                             const std::string& value) {
        // Every value here is a number, a word list or a one-line text without NUL bytes.
        (void)file.setValue(section, key, value);
    };
    const DeviceSettings& settings = backup.settings;
    set(kCalibrationSection, kVersion, decimal(settings.calibrationHeader[0]));
    set(kCalibrationSection, kModeByte, decimal(settings.calibrationHeader[1]));
    set(kCalibrationSection, kCount, decimal(settings.calibrationHeader[2]));
    set(kCalibrationSection, kIndex, decimal(settings.calibrationHeader[3]));
    for (std::size_t p = 0; p < settings.points.size(); ++p) {
        set(kCalibrationSection, std::string(kPointPrefix) + decimal(static_cast<long long>(p + 1)),
            pointText(settings.points[p]));
    }

    set(kRawSection, kThresholds, wordList(settings.thresholds));
    set(kRawSection, kStatusByte, hex(settings.statusByte, 2));
    set(kRawSection, kUnderTolerance, hex(settings.underTolerance, 4));
    set(kRawSection, kOverTolerance, hex(settings.overTolerance, 4));
    set(kRawSection, kPointTable, wordList(settings.pointTable));
    set(kRawSection, kUnderSpanTable, wordList(settings.underSpanTable));
    set(kRawSection, kOverSpanTable, wordList(settings.overSpanTable));

    const BackupIdentity& identity = backup.identity;
    const auto oneLine = [](std::string text) {
        for (char& c : text) {
            c = (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
        }
        return text;
    };
    set(kDeviceSection, kSerialNumber, decimal(identity.serialNumber));
    set(kDeviceSection, kWeek, decimal(identity.week));
    set(kDeviceSection, kYear, decimal(identity.year));
    set(kDeviceSection, kSavedAt, oneLine(identity.savedAt));
    set(kDeviceSection, kProgram, oneLine(identity.programVersion));
    set(kDeviceSection, kGateway, oneLine(identity.gateway));

    // A blank line sets the checksum apart, as between the other sections.
    std::string text = checkedContent(file.text()) + "\n";
    const std::uint32_t checksum = crc32(text);
    text += "[" + std::string(kChecksumSection) + "]\n";
    text += std::string(kChecksumKey) + "=" + hex(checksum, 8).substr(2) + "\n";
    return text;
}

BackupReadResult parseDeviceBackup(std::string_view text) {
    BackupReadResult result;
    const platform::IniDocument file(text);
    const std::optional<Programming> programming = parseProgrammingFile(text);
    if (!programming) {
        result.error = "the file holds no [PROGRAMMIERUNG] section";
        return result;
    }
    for (const std::string_view section : {kCalibrationSection, kRawSection, kDeviceSection}) {
        if (!file.hasSection(section)) {
            result.error = "the file is a programming file, not a device backup (no [" +
                           std::string(section) + "] section)";
            return result;
        }
    }
    BackupReader reader(file);
    std::optional<DeviceSettings> settings = readSettings(reader);
    std::optional<BackupIdentity> identity = settings ? readIdentity(reader) : std::nullopt;
    if (!settings || !identity) {
        result.error = reader.error();
        return result;
    }
    result.backup = DeviceBackup{*programming, std::move(*settings), std::move(*identity)};
    const std::optional<std::string> stored = file.value(kChecksumSection, kChecksumKey);
    const std::optional<unsigned> checksum =
        stored ? unsignedOf("0x" + *stored, 0xFFFFFFFFU) : std::nullopt;
    result.checksumMatches = checksum && *checksum == crc32(checkedContent(text));
    return result;
}

std::string localTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return {};
    }
    std::array<char, 40> text{};
    const std::size_t length =
        std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string stamp(text.data(), length);
    // strftime writes the offset as +0100; ISO 8601's extended form wants +01:00.
    if (stamp.size() >= 5) {
        stamp.insert(stamp.size() - 2, ":");
    }
    return stamp;
}

}  // namespace qvx::document
