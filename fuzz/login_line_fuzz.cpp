// The gateway's login-line collector on arbitrary bytes, fed in pieces the input chooses.
//
// Input: the first byte sets the piece length (1..16), the rest are the received bytes.
//
// Properties:
// - the collected line never exceeds the limit and never holds CR, LF or NUL;
// - the line is complete exactly when a terminator arrived or the limit was reached, and then
//   nothing more is taken;
// - feeding in pieces gives the same line as feeding everything at once.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz/fuzz_check.h"
#include "gateway/login_line.h"

using qvx::gateway::LoginLineCollector;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = 1 + (data[0] % 16);
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);

    LoginLineCollector whole;
    const std::size_t takenAtOnce = whole.feed(bytes);
    QVX_FUZZ_CHECK(takenAtOnce <= bytes.size());

    LoginLineCollector pieces;
    std::size_t taken = 0;
    for (std::size_t offset = 0; offset < bytes.size(); offset += piece) {
        const auto part = bytes.subspan(offset, std::min(piece, bytes.size() - offset));
        const std::size_t took = pieces.feed(part);
        QVX_FUZZ_CHECK(took <= part.size());
        taken += took;
        if (pieces.complete()) {
            QVX_FUZZ_CHECK(pieces.feed(part.subspan(took)) == 0);
            break;
        }
        QVX_FUZZ_CHECK(took == part.size());
    }
    QVX_FUZZ_CHECK(taken == takenAtOnce);
    QVX_FUZZ_CHECK(pieces.line() == whole.line());
    QVX_FUZZ_CHECK(pieces.complete() == whole.complete());

    const std::string& line = whole.line();
    QVX_FUZZ_CHECK(line.size() <= LoginLineCollector::kMaxLineBytes);
    QVX_FUZZ_CHECK(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
    if (!whole.complete()) {
        QVX_FUZZ_CHECK(takenAtOnce == bytes.size());
    }
    return 0;
}
