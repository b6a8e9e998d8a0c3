#include "document/programming_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "platform/ini_file.h"

namespace qvx::document {

namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";
constexpr std::string_view kToleranzUnter = "ToleranzUnter";
constexpr std::string_view kToleranzUeber = "ToleranzUeber";
constexpr std::string_view kRange = "Range";
constexpr std::string_view kUnit = "Unit";
constexpr std::string_view kRangeMode = "BEREICH";
constexpr std::string_view kSwitchPointMode = "SCHALTPUNKT";

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A value as the file holds it: at most kProgrammingTextLength bytes on one line.
std::string storable(std::string_view text) {
    std::string value(platform::truncateUtf8(text, kProgrammingTextLength));
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; },
        ' ');
    return value;
}

std::string_view unitText(ProgrammingUnit unit) {
    switch (unit) {
        case ProgrammingUnit::Millimetre:
            return "mm";
        case ProgrammingUnit::TenthInch:
            return "inch";
        case ProgrammingUnit::Millivolt:
            break;
    }
    return "volt";
}

std::string asciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

std::string padLeft(std::string_view text, std::size_t width) {
    std::string padded(width > text.size() ? width - text.size() : 0, ' ');
    padded += text;
    return padded;
}

}  // namespace

std::string withProgrammingExtension(std::string name) {
    if (!name.ends_with(kProgrammingExtension)) {
        name += kProgrammingExtension;
    }
    return name;
}

std::string programmingFileText(const Programming& programming) {
    platform::IniDocument file;
    const auto set = [&file](std::string_view key, std::string_view value) {
        // Only line breaks or NUL bytes make a value unwritable, and storable removes them.
        const bool written = file.setValue(kProgrammingSection, key, storable(value));
        (void)written;
    };
    // Highest position first, as the file has always listed them.
    for (std::size_t i = kThresholdKeys.size(); i-- > 0;) {
        set(kThresholdKeys[i], programming.thresholds[i]);
    }
    set(kToleranzUnter, programming.underTolerance);
    set(kToleranzUeber, programming.overTolerance);
    set(kRange, programming.rangeMode ? kRangeMode : kSwitchPointMode);
    set(kUnit, unitText(programming.unit));
    return file.text();
}

std::optional<Programming> parseProgrammingFile(std::string_view text) {
    const platform::IniDocument file(text);
    if (!file.hasSection(kProgrammingSection)) {
        return std::nullopt;
    }
    const auto read = [&file](std::string_view key, std::string_view defaultValue) {
        const std::optional<std::string> value = file.value(kProgrammingSection, key);
        return std::string(platform::truncateUtf8(value ? std::string_view(*value) : defaultValue,
                                                  kProgrammingTextLength));
    };
    Programming programming;
    for (std::size_t i = 0; i < kThresholdKeys.size(); ++i) {
        programming.thresholds[i] = read(kThresholdKeys[i], "");
    }
    programming.underTolerance = read(kToleranzUnter, "");
    programming.overTolerance = read(kToleranzUeber, "");
    programming.rangeMode = read(kRange, kSwitchPointMode) != kSwitchPointMode;
    const std::string unit = asciiLower(read(kUnit, "volt"));
    if (unit == "mm") {
        programming.unit = ProgrammingUnit::Millimetre;
    } else if (unit == "inch") {
        programming.unit = ProgrammingUnit::TenthInch;
    } else {
        programming.unit = ProgrammingUnit::Millivolt;
    }
    return programming;
}

ProgrammingUnit shownLengthUnit(int inchUnit) {
    return inchUnit == 1 ? ProgrammingUnit::TenthInch : ProgrammingUnit::Millimetre;
}

bool lengthUnitInDoubt(ProgrammingUnit fileUnit, int inchUnit) {
    return fileUnit != ProgrammingUnit::Millivolt && fileUnit != shownLengthUnit(inchUnit);
}

std::optional<float> parseNumber(std::string_view text) {
    text = trimmed(text);
    // from_chars takes a minus but no plus sign.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    float value = 0.0F;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string formatFixed(float value) {
    std::array<char, 64> digits{};
    const auto [end, error] =
        std::to_chars(digits.data(), digits.data() + digits.size(), static_cast<double>(value),
                      std::chars_format::fixed, 2);
    if (error != std::errc()) {
        return padLeft("", 8);
    }
    return padLeft(std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data())),
                   8);
}

std::string formatEditValue(float value) {
    std::array<char, 64> digits{};
    const auto [end, error] =
        std::to_chars(digits.data(), digits.data() + digits.size(), static_cast<double>(value),
                      std::chars_format::general, 6);
    if (error != std::errc()) {
        return {};
    }
    return {digits.data(), static_cast<std::size_t>(end - digits.data())};
}

}  // namespace qvx::document
