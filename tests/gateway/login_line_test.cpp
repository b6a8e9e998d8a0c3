#include "gateway/login_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tcp_test_client.h"

using qvx::gateway::LoginLineCollector;
using qvx::gateway::test::Bytes;
using qvx::gateway::test::bytesOf;

namespace {

struct LineCase {
    const char* name;
    Bytes input;
    bool complete;
    std::string line;
    std::size_t taken;  // bytes up to and including the one that completed the line
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.name;
}

Bytes withTerminator(std::string_view text, std::uint8_t terminator) {
    Bytes bytes = bytesOf(text);
    bytes.push_back(terminator);
    return bytes;
}

std::string repeated(std::string_view text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

class LoginLine : public testing::TestWithParam<LineCase> {};

}  // namespace

// Fed in one piece and one byte at a time, the result is the same.
TEST_P(LoginLine, IsCutOutOfTheReceivedBytes) {
    const LineCase& c = GetParam();
    LoginLineCollector whole;
    EXPECT_EQ(whole.feed(c.input), c.taken);
    EXPECT_EQ(whole.complete(), c.complete);
    EXPECT_EQ(whole.line(), c.line);

    LoginLineCollector single;
    std::size_t taken = 0;
    for (const std::uint8_t byte : c.input) {
        taken += single.feed(std::span(&byte, 1));
    }
    EXPECT_EQ(taken, c.taken);
    EXPECT_EQ(single.complete(), c.complete);
    EXPECT_EQ(single.line(), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoginLine,
    testing::Values(
        LineCase{"LineFeedEndsTheLine", bytesOf("Pelmar\n"), true, "Pelmar", 7},
        LineCase{"CrLfEndsTheLine", bytesOf("Pelmar\r\n"), true, "Pelmar", 8},
        LineCase{"ZeroByteEndsTheLine", withTerminator("Pelmar", 0), true, "Pelmar", 7},
        LineCase{"CarriageReturnsAreSkippedAnywhere", bytesOf("\rPel\rmar\r\r\n"), true, "Pelmar",
                 11},
        LineCase{"CarriageReturnAloneEndsNothing", bytesOf("Pelmar\r"), false, "Pelmar", 7},
        LineCase{"BareLineFeedIsAnEmptyLine", bytesOf("\n"), true, "", 1},
        LineCase{"BytesAfterTheTerminatorAreNotTaken", bytesOf("Pelmar\nrest\n"), true, "Pelmar",
                 7},
        LineCase{"ClientLineFeedThenCarriageReturn", bytesOf("Pelmar\n\r"), true, "Pelmar", 7},
        LineCase{"FiftyBytesWaitForMore", bytesOf(std::string(50, 'x')), false,
                 std::string(50, 'x'), 50},
        LineCase{"FiftyOneBytesCompleteWithoutTerminator", bytesOf(std::string(60, 'x')), true,
                 std::string(51, 'x'), 51},
        LineCase{"CarriageReturnsDoNotCountTowardsTheLimit",
                 bytesOf(std::string(50, 'x') + "\r\r" + "y"), true, std::string(50, 'x') + "y",
                 53},
        // "ä" is two bytes: the limit counts bytes and may cut a character apart.
        LineCase{"MultiByteCharactersCountAsTheirBytes",
                 bytesOf(std::string(26, 'x') + repeated("ä", 13)), true,
                 std::string(26, 'x') + repeated("ä", 12) + "\xC3", 51}),
    [](const testing::TestParamInfo<LineCase>& row) { return std::string(row.param.name); });

TEST(LoginLineCollector, ClearStartsANewLine) {
    LoginLineCollector collector;
    (void)collector.feed(bytesOf("first\n"));
    ASSERT_TRUE(collector.complete());
    EXPECT_EQ(collector.feed(bytesOf("more")), 0U);
    collector.clear();
    EXPECT_FALSE(collector.complete());
    EXPECT_EQ(collector.line(), "");
    (void)collector.feed(bytesOf("second\n"));
    EXPECT_EQ(collector.line(), "second");
}
