#include "document/recording_file.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

namespace qvx::document {

namespace {

constexpr std::string_view kColumnsMv = "time_ms,gripper_mV,ub_V,outputs";
constexpr std::string_view kColumnsMm = "time_ms,gripper_mm,ub_V,outputs";

/// `value` with `decimals` digits after a point, whatever the process' locale says.
std::string fixed(double value, int decimals) {
    char text[64];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(text, end) : std::string("nan");
}

std::string_view unitName(link::CalibrationMode unit) {
    return unit == link::CalibrationMode::Millivolt ? "mV" : "mm";
}

void headerLine(std::string& text, std::string_view key, const std::string& value) {
    if (value.empty()) {
        return;
    }
    text += "# ";
    text += key;
    text += '=';
    // A line break would end the header line early.
    for (const char c : value) {
        text += (c == '\n' || c == '\r') ? ' ' : c;
    }
    text += '\n';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view field) {
    field = trimmed(field);
    if (!field.empty() && field.front() == '+') {
        field.remove_prefix(1);
    }
    Number value{};
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size() || field.empty()) {
        return std::nullopt;
    }
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(value)) {
            return std::nullopt;
        }
    }
    return value;
}

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return fields;
        }
        start = end + 1;
    }
}

/// Reads one "key=value" header line into `file`; false when it is not one.
bool readHeaderLine(std::string_view line, RecordingFile& file,
                    std::optional<link::CalibrationMode>& unit) {
    line.remove_prefix(1);  // '#'
    line = trimmed(line);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    const std::string_view key = trimmed(line.substr(0, equals));
    const std::string value(trimmed(line.substr(equals + 1)));
    RecordingHeader& header = file.header;
    if (key == "serial_number") {
        header.serialNumber = value;
    } else if (key == "manufactured") {
        const std::size_t slash = value.find('/');
        header.week = value.substr(0, slash);
        header.year = slash == std::string::npos ? std::string() : value.substr(slash + 1);
    } else if (key == "program") {
        header.program = value;
    } else if (key == "recorded") {
        header.recorded = value;
    } else if (key == "unit") {
        if (value != "mV" && value != "mm") {
            return false;
        }
        unit = value == "mV" ? link::CalibrationMode::Millivolt : link::CalibrationMode::Calibrated;
    }
    // Keys this program does not know (written by a later version) are passed over.
    return true;
}

/// Reads one sample line as sample `index`.
std::optional<RecordingFileError> readSample(std::string_view line, std::size_t index,
                                             RecordingData& recording) {
    if (index >= kRecordingFileSamples) {
        return RecordingFileError::TooManySamples;
    }
    const std::vector<std::string_view> fields = split(line, ',');
    if (fields.size() != 4) {
        return RecordingFileError::WrongFieldCount;
    }
    const auto time = parseNumber<long long>(fields[0]);
    const auto gripper = parseNumber<float>(fields[1]);
    const auto supply = parseNumber<float>(fields[2]);
    const auto outputs = parseNumber<int>(fields[3]);
    if (!time || !gripper || !supply || !outputs || *outputs < 0 || *outputs > 0xFFFF) {
        return RecordingFileError::BadNumber;
    }
    if (*time != static_cast<long long>(index) * kRecordingFileIntervalMs) {
        return RecordingFileError::WrongTime;
    }
    recording.gripper[index] = *gripper;
    recording.supply[index] = *supply;
    recording.outputs[index] = *outputs;
    return std::nullopt;
}

}  // namespace

std::string recordingColumnsText(const RecordingData& recording) {
    std::string csv(recording.unit == link::CalibrationMode::Millivolt ? kColumnsMv : kColumnsMm);
    csv += '\n';
    const std::size_t samples = std::min(recording.samples, kRecordingFileSamples);
    csv.reserve(csv.size() + samples * 32);
    for (std::size_t i = 0; i < samples; ++i) {
        csv += std::to_string(i * kRecordingFileIntervalMs);
        csv += ',';
        csv += fixed(static_cast<double>(recording.gripper[i]), 2);
        csv += ',';
        csv += fixed(static_cast<double>(recording.supply[i]), 3);
        csv += ',';
        csv += std::to_string(recording.outputs[i]);
        csv += '\n';
    }
    return csv;
}

std::string recordingFileText(const RecordingData& recording, const RecordingHeader& header) {
    std::string text;
    headerLine(text, "serial_number", header.serialNumber);
    if (!header.week.empty() || !header.year.empty()) {
        headerLine(text, "manufactured", header.week + "/" + header.year);
    }
    headerLine(text, "unit", std::string(unitName(recording.unit)));
    headerLine(text, "program", header.program);
    headerLine(text, "recorded", header.recorded);
    return text + recordingColumnsText(recording);
}

std::variant<RecordingFile, RecordingFileRefusal> parseRecordingFile(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    RecordingFile file;
    std::optional<link::CalibrationMode> headerUnit;
    bool columnsSeen = false;
    std::size_t samples = 0;
    std::size_t lineNumber = 0;
    for (std::string_view line : split(text, '\n')) {
        ++lineNumber;
        line = trimmed(line);
        if (line.empty()) {
            continue;
        }
        if (!columnsSeen) {
            if (line.front() == '#') {
                if (!readHeaderLine(line, file, headerUnit)) {
                    return RecordingFileRefusal{RecordingFileError::BadHeader, lineNumber};
                }
                continue;
            }
            if (line != kColumnsMv && line != kColumnsMm) {
                return RecordingFileRefusal{RecordingFileError::NoColumns, lineNumber};
            }
            file.recording.unit = line == kColumnsMv ? link::CalibrationMode::Millivolt
                                                     : link::CalibrationMode::Calibrated;
            if (headerUnit && *headerUnit != file.recording.unit) {
                return RecordingFileRefusal{RecordingFileError::UnitMismatch, lineNumber};
            }
            columnsSeen = true;
            continue;
        }
        if (const auto error = readSample(line, samples, file.recording)) {
            return RecordingFileRefusal{*error, lineNumber};
        }
        ++samples;
    }
    if (!columnsSeen) {
        return RecordingFileRefusal{RecordingFileError::NoColumns, lineNumber};
    }
    if (samples == 0) {
        return RecordingFileRefusal{RecordingFileError::NoSamples, lineNumber};
    }
    file.recording.samples = samples;
    return file;
}

}  // namespace qvx::document
