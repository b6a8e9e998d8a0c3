// The programming-file reader on arbitrary text, and its writer on what the reader found.
//
// Properties:
// - reading never fails in any other way than "no PROGRAMMIERUNG section";
// - a programming read from any text, written out and read again, keeps its mode and unit;
// - a number the reader accepts is finite.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "document/programming_file.h"
#include "fuzz/fuzz_check.h"

using qvx::document::parseNumber;
using qvx::document::parseProgrammingFile;
using qvx::document::programmingFileText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto programming = parseProgrammingFile(text);
    if (const auto number = parseNumber(text)) {
        QVX_FUZZ_CHECK(std::isfinite(*number));
    }
    if (!programming) {
        return 0;
    }
    const std::string written = programmingFileText(*programming);
    const auto again = parseProgrammingFile(written);
    QVX_FUZZ_CHECK(again.has_value());
    // Texts are not compared: reading removes one pair of enclosing quotes each time, as the
    // profile functions do, so a quoted text shrinks with every round trip.
    QVX_FUZZ_CHECK(again->rangeMode == programming->rangeMode);
    QVX_FUZZ_CHECK(again->unit == programming->unit);
    return 0;
}
