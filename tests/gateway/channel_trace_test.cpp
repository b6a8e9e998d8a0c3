#include "gateway/channel_trace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using qvx::gateway::TraceDirection;
using qvx::gateway::traceLines;

namespace {

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "every line ends with a line feed";
    return lines;
}

}  // namespace

// A piece of 20 bytes makes two lines of the same time stamp (local time with microseconds),
// 16 bytes and 4, as upper-case hexadecimal; the mark says which way the bytes went.
TEST(ChannelTrace, LinesCarryTheTimeToTheMicrosecondTheDirectionAndSixteenBytesEach) {
    std::vector<std::uint8_t> bytes;
    for (int value = 0; value < 20; ++value) {
        bytes.push_back(static_cast<std::uint8_t>(value * 13));
    }
    const std::chrono::system_clock::time_point time =
        std::chrono::system_clock::from_time_t(1'700'000'000) + std::chrono::microseconds(42);
    const std::vector<std::string> lines = split(traceLines(time, TraceDirection::ToDevice, bytes));
    ASSERT_EQ(lines.size(), 2U);
    const std::string stamp = lines[0].substr(0, 26);
    EXPECT_EQ(lines[1].substr(0, 26), stamp);
    EXPECT_EQ(stamp.substr(19), ".000042");
    EXPECT_EQ(stamp[4], '-');
    EXPECT_EQ(stamp[10], ' ');
    EXPECT_EQ(stamp[13], ':');
    EXPECT_EQ(lines[0].substr(26), " TX> 00 0D 1A 27 34 41 4E 5B 68 75 82 8F 9C A9 B6 C3");
    EXPECT_EQ(lines[1].substr(26), " TX> D0 DD EA F7");

    EXPECT_EQ(split(traceLines(time, TraceDirection::FromDevice, std::vector<std::uint8_t>{0xFF}))
                  .at(0)
                  .substr(26),
              " RX< FF");
    EXPECT_EQ(traceLines(time, TraceDirection::FromDevice, {}), "");
}
