// IniDocument parsing, look-ups and writes on arbitrary text, and parseProfileInt.
//
// Input: TEXT NUL SECTION NUL KEY NUL VALUE NUL OTHER-SECTION NUL OTHER-KEY, the fields taken
// from the end so the text itself may hold NUL bytes. With fewer than five NUL bytes the whole
// input is the text and fixed names are written.
//
// Properties:
// - parsing keeps the text byte for byte;
// - setValue either refuses for one of its documented reasons, leaving the text unchanged, or
//   the value reads back as the profile functions read it (trimmed, one enclosing pair of
//   quotes removed), from the document and from its re-parsed text;
// - a write changes nothing but its own key: any other key reads as before, every other line
//   is kept, at most a line terminator is added to the last line;
// - parseProfileInt gives a number that reads back from its own decimal text, an unsigned
//   32-bit number comes back bit for bit, and digits followed by other text read as the digits;
// - truncateUtf8 gives a prefix within the limit that does not end inside a UTF-8 sequence.

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/ini_file.h"

namespace {

using qvx::platform::IniDocument;
using qvx::platform::parseProfileInt;
using qvx::platform::truncateUtf8;

// The blanks names and values are trimmed of when read.
constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// What reading gives for a value written as it is: blanks trimmed, one enclosing pair of
// single or double quotes removed, as the profile functions do.
std::string asRead(std::string_view value) {
    std::string_view text = trim(value);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool hasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The reasons setValue documents for refusing a write.
bool mayBeRefused(std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    return hasLineBreakOrNul(section) || hasLineBreakOrNul(key) || hasLineBreakOrNul(value) ||
           section.find(']') != std::string_view::npos || key.empty() ||
           key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
           key.front() == '#';
}

// Lines with their terminators, as the document keeps them.
std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::size_t length = newline == std::string_view::npos ? text.size() : newline + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

bool isLineEnding(std::string_view text) {
    return text == "\n" || text == "\r\n";
}

// One line's value replaced in place, or lines added with every old line kept in order (an
// old line may only gain a terminator it lacked, which only the last line can).
void checkOnlyOneKeyChanged(std::string_view before, std::string_view after) {
    const std::vector<std::string_view> old = linesOf(before);
    const std::vector<std::string_view> now = linesOf(after);
    if (now.size() == old.size()) {
        std::size_t changed = 0;
        for (std::size_t i = 0; i < old.size(); ++i) {
            if (old[i] != now[i]) {
                ++changed;
                QVX_FUZZ_CHECK(i + 1 == old.size() ||
                               old[i].ends_with('\n') == now[i].ends_with('\n'));
            }
        }
        QVX_FUZZ_CHECK(changed <= 1);
        return;
    }
    QVX_FUZZ_CHECK(now.size() > old.size() && now.size() <= old.size() + 3);
    std::size_t j = 0;
    for (std::size_t i = 0; i < old.size(); ++i) {
        bool found = false;
        for (; j < now.size() && !found; ++j) {
            found = now[j] == old[i] || (!old[i].ends_with('\n') && now[j].starts_with(old[i]) &&
                                         isLineEnding(now[j].substr(old[i].size())));
        }
        QVX_FUZZ_CHECK(found);
    }
}

void checkWrite(std::string_view text, std::string_view section, std::string_view key,
                std::string_view value, std::string_view otherSection, std::string_view otherKey) {
    IniDocument document(text);
    QVX_FUZZ_CHECK(document.text() == text);
    const std::optional<std::string> otherBefore = document.value(otherSection, otherKey);

    if (!document.setValue(section, key, value)) {
        QVX_FUZZ_CHECK(mayBeRefused(section, key, value));
        QVX_FUZZ_CHECK(document.text() == text);
        return;
    }
    const std::string written = document.text();
    const IniDocument reparsed(written);
    QVX_FUZZ_CHECK(reparsed.text() == written);
    QVX_FUZZ_CHECK(document.value(trim(section), trim(key)) == asRead(value));
    QVX_FUZZ_CHECK(reparsed.value(trim(section), trim(key)) == asRead(value));
    QVX_FUZZ_CHECK(reparsed.hasSection(trim(section)));

    const bool sameKey = equalsIgnoringAsciiCase(trim(section), otherSection) &&
                         equalsIgnoringAsciiCase(trim(key), otherKey);
    if (!sameKey) {
        QVX_FUZZ_CHECK(reparsed.value(otherSection, otherKey) == otherBefore);
    }
    checkOnlyOneKeyChanged(text, written);

    // Writing the same value again changes nothing.
    IniDocument again(written);
    QVX_FUZZ_CHECK(again.setValue(section, key, value));
    QVX_FUZZ_CHECK(again.text() == written);
}

std::string decimal(std::int64_t number) {
    std::array<char, 24> digits{};
    const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), number);
    QVX_FUZZ_CHECK(ec == std::errc());
    return {digits.data(), end};
}

void checkNumbers(std::string_view value, std::string_view raw) {
    const std::int32_t number = parseProfileInt(value, 7);
    QVX_FUZZ_CHECK(parseProfileInt(decimal(number), 7) == number);
    if (trim(value).empty()) {
        QVX_FUZZ_CHECK(number == 7);
    }
    if (raw.size() >= 4) {
        const std::uint32_t bits =
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(raw[0])) |
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(raw[1])) << 8U |
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(raw[2])) << 16U |
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(raw[3])) << 24U;
        QVX_FUZZ_CHECK(static_cast<std::uint32_t>(parseProfileInt(decimal(bits), 0)) == bits);
        const std::string digits = decimal(static_cast<std::int32_t>(bits));
        // Text after the digits does not count, unless it is itself a digit.
        if (!value.empty() && (value.front() < '0' || value.front() > '9')) {
            QVX_FUZZ_CHECK(parseProfileInt(digits + std::string(value), 0) ==
                           static_cast<std::int32_t>(bits));
        }
    }
}

void checkTruncation(std::string_view text, std::size_t maxBytes) {
    const std::string_view cut = truncateUtf8(text, maxBytes);
    QVX_FUZZ_CHECK(text.starts_with(cut));
    QVX_FUZZ_CHECK(cut.size() <= maxBytes || cut.size() == text.size());
    QVX_FUZZ_CHECK(cut.size() <= maxBytes || text.size() <= maxBytes);
    if (cut.size() < text.size()) {
        QVX_FUZZ_CHECK((static_cast<unsigned char>(text[cut.size()]) & 0xC0U) != 0x80U ||
                       cut.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    std::array<std::string_view, 5> fields{"Globals", "Ports", "2", "Globals", "IPAddress"};
    std::string_view text = input;
    std::size_t end = input.size();
    std::size_t found = 0;
    for (; found < fields.size(); ++found) {
        const std::size_t nul = end == 0 ? std::string_view::npos : input.rfind('\0', end - 1);
        if (nul == std::string_view::npos) {
            break;
        }
        fields[fields.size() - 1 - found] = input.substr(nul + 1, end - nul - 1);
        end = nul;
    }
    if (found == fields.size()) {
        text = input.substr(0, end);
    } else {
        fields = {"Globals", "Ports", "2", "Globals", "IPAddress"};
    }

    checkWrite(text, fields[0], fields[1], fields[2], fields[3], fields[4]);
    checkNumbers(fields[2], text);
    checkTruncation(text, fields[2].size());
    return 0;
}
