// The programming-file reader on arbitrary text, and its writer on what the reader found.
//
// Properties:
// - reading never fails in any other way than "no PROGRAMMIERUNG section";
// - a programming read from any text, written out and read again, is the same programming
//   (texts cut to the file's length and with line breaks turned into blanks, as the writer does);
// - a number the reader accepts is finite.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/programming_file.h"
#include "fuzz/fuzz_check.h"

using qvx::app::parseNumber;
using qvx::app::parseProgrammingFile;
using qvx::app::programmingFileText;

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
    // Writing normalises the texts once; after that a round trip changes nothing.
    const std::string rewritten = programmingFileText(*again);
    QVX_FUZZ_CHECK(rewritten == written);
    QVX_FUZZ_CHECK(again->rangeMode == programming->rangeMode);
    QVX_FUZZ_CHECK(again->unit == programming->unit);
    return 0;
}
