// What the link tells about its own health: retries and time-outs since connecting, the
// lines it logs (every frame in hexadecimal at the debug level), and the buffer that keeps
// log lines for the user interface without ever holding the link up.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/log_buffer.h"
#include "tests/support/scripted_peer.h"

using namespace std::chrono_literals;
using qvx::link::BufferedLogSink;
using qvx::link::DeviceLink;
using qvx::link::LinkMessage;
using qvx::test::Bytes;
using qvx::test::ScriptedPeer;

namespace {

class MemorySink final : public qvx::link::LogSink {
public:
    void writeLine(int, std::string_view line) override {
        const std::lock_guard guard(m_mutex);
        m_lines.emplace_back(line);
    }
    [[nodiscard]] std::vector<std::string> lines() const {
        const std::lock_guard guard(m_mutex);
        return m_lines;
    }
    [[nodiscard]] bool has(const std::string& start) const {
        for (const std::string& line : lines()) {
            if (line.rfind(start, 0) == 0) {
                return true;
            }
        }
        return false;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

/// A link to a peer that leaves the first `lost` requests unanswered and confirms the others.
struct LossyPeer {
    explicit LossyPeer(int lost)
        : peer([lost](const LinkMessage& request, int index) {
              return index < lost ? std::vector<Bytes>{} : ScriptedPeer::confirm(request, 0x42);
          }) {
        link.setSink(sink);
        link.setReplyWait(100);
        EXPECT_TRUE(link.connect(peer.port(), "127.0.0.1"));
        EXPECT_TRUE(qvx::test::waitUntil([this] { return link.isConnected(); }, 5s));
    }
    MemorySink sink;
    ScriptedPeer peer;
    DeviceLink link;
};

}  // namespace

TEST(LinkHealth, RetriesAndTimeOutsAreCountedFromTheLatestConnection) {
    LossyPeer c(2);
    c.link.setMaxRetry(3);
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_EQ(c.link.retries(), 2U);
    EXPECT_EQ(c.link.timeouts(), 2U);
    EXPECT_TRUE(c.sink.has(
        "Warning: Keine passende Antwort auf ReadRamDataReq Adresse 32 Länge 2 (Versuch 1 von 3)"));
    EXPECT_TRUE(c.sink.has(
        "Warning: Keine passende Antwort auf ReadRamDataReq Adresse 32 Länge 2 (Versuch 2 von 3)"));
    c.peer.dropClient();
    ASSERT_TRUE(qvx::test::waitUntil([&] { return !c.link.isConnected(); }, 5s));
    ASSERT_TRUE(c.link.connect(c.peer.port(), "127.0.0.1"));
    ASSERT_TRUE(qvx::test::waitUntil([&] { return c.link.isConnected(); }, 5s));
    EXPECT_EQ(c.link.retries(), 0U);
    EXPECT_EQ(c.link.timeouts(), 0U);
}

TEST(LinkHealth, AttemptsWithoutAConnectionAreNeitherCountedNorLogged) {
    DeviceLink link;
    MemorySink sink;
    link.setSink(sink);
    link.setMaxRetry(4);
    EXPECT_FALSE(link.readRam(32, 2));
    EXPECT_EQ(link.retries(), 0U);
    EXPECT_TRUE(sink.lines().empty());
}

TEST(LinkLog, DebugAddsEveryFrameInHexadecimal) {
    LossyPeer c(0);
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_FALSE(c.sink.has("Debug: "));  // not with the default mask
    c.link.setMask(15);
    ASSERT_TRUE(c.link.readRam(32, 2));
    // Start mark, ReadRamDataReq, address 32 little-endian, length 2, end mark, checksum.
    EXPECT_TRUE(c.sink.has("Debug: TX 02 03 20 00 02 03 "))
        << testing::PrintToString(c.sink.lines());
    EXPECT_TRUE(c.sink.has("Debug: RX 02 ")) << testing::PrintToString(c.sink.lines());
}

TEST(BufferedLogSink, DropsAndCountsLinesBeyondItsCapacity) {
    BufferedLogSink sink(3);
    for (int i = 0; i < 5; ++i) {
        sink.writeLine(qvx::link::kLogInfo, "Info: " + std::to_string(i));
    }
    auto taken = sink.take();
    ASSERT_EQ(taken.lines.size(), 3U);
    EXPECT_EQ(taken.lines.front().text, "Info: 0");
    EXPECT_EQ(taken.lines.back().text, "Info: 2");  // the oldest are kept, the newest dropped
    EXPECT_EQ(taken.dropped, 2U);
    taken = sink.take();
    EXPECT_TRUE(taken.lines.empty());
    EXPECT_EQ(taken.dropped, 0U);
    sink.writeLine(qvx::link::kLogWarning, "Warning: x");  // room again once taken
    EXPECT_EQ(sink.take().lines.size(), 1U);
}

TEST(BufferedLogSink, LinesAreShownWithTheirTimeToTheMillisecond) {
    const qvx::link::LogLine line{std::chrono::system_clock::now(), qvx::link::kLogInfo, "Info: x"};
    EXPECT_TRUE(std::regex_match(qvx::link::formatLogLine(line),
                                 std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d Info: x)")))
        << qvx::link::formatLogLine(line);
    EXPECT_EQ(qvx::link::hexBytes({0x02, 0xAB, 0x0F}), "02 AB 0F");
    EXPECT_EQ(qvx::link::hexBytes({}), "");
}
