#include "link/device_link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/support/scripted_peer.h"

using namespace std::chrono_literals;
using qvx::link::DeviceLink;
using qvx::link::LinkMessage;
using qvx::test::Bytes;
using qvx::test::ScriptedPeer;

namespace {

/// A link connected to a scripted peer, with short waits so failures cost milliseconds.
struct Connected {
    explicit Connected(ScriptedPeer::Script script) : peer(std::move(script)) {
        link.setReplyWait(100);
        EXPECT_TRUE(link.connect(peer.port(), "127.0.0.1"));
        EXPECT_TRUE(qvx::test::waitUntil([this] { return link.isConnected(); }, 5s));
        EXPECT_TRUE(peer.waitForClient(5s));
    }
    ScriptedPeer peer;
    DeviceLink link;
};

std::vector<int> lengthsOf(const std::vector<LinkMessage>& requests) {
    std::vector<int> lengths;
    for (const auto& r : requests) {
        lengths.push_back(r.length);
    }
    return lengths;
}

ScriptedPeer::Script answerAll() {
    return [](const LinkMessage& request, int) { return ScriptedPeer::confirm(request); };
}

}  // namespace

class Segmentation : public testing::TestWithParam<std::pair<std::size_t, std::vector<int>>> {};

TEST_P(Segmentation, SplitsAReadIntoBlocksOfTheMaximumLength) {
    const auto& [count, expected] = GetParam();
    Connected c(answerAll());
    ASSERT_TRUE(c.link.lockEngine());
    ASSERT_TRUE(c.link.readEeprom(0x100, count));
    const Bytes buffer = c.link.eepromBuffer();
    c.link.unlockEngine();
    EXPECT_EQ(lengthsOf(c.peer.requests()), expected);
    ASSERT_EQ(buffer.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(buffer[i], static_cast<std::uint8_t>((0x100 + i) & 0xFF)) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(DefaultBlockLength, Segmentation,
                         testing::Values(std::make_pair(std::size_t{10}, std::vector<int>{10}),
                                         std::make_pair(std::size_t{32}, std::vector<int>{32}),
                                         std::make_pair(std::size_t{33}, std::vector<int>{32, 1}),
                                         std::make_pair(std::size_t{64}, std::vector<int>{32, 32})));

TEST(TransferEngine, SecondBlockGoesToTheAddressAfterTheFirst) {
    Connected c(answerAll());
    ASSERT_TRUE(c.link.readRam(0x20, 33));
    const auto requests = c.peer.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0].address, 0x20);
    EXPECT_EQ(requests[1].address, 0x40);
    EXPECT_EQ(requests[0].code, 3);
}

TEST(TransferEngine, ReadingZeroBytesSendsNothingAndEmptiesTheBuffer) {
    Connected c(answerAll());
    ASSERT_TRUE(c.link.readEeprom(0, 4));
    ASSERT_EQ(c.link.eepromBuffer().size(), 4U);
    ASSERT_TRUE(c.link.readEeprom(0, 0));
    EXPECT_TRUE(c.link.eepromBuffer().empty());
    EXPECT_EQ(c.peer.requests().size(), 1U);
}

TEST(TransferEngine, WritesAreSplitIntoSlicesOfTheData) {
    Connected c(answerAll());
    c.link.setMaxBlockLength(4);
    const Bytes data{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(c.link.writeEeprom(0x1500, data));
    const auto requests = c.peer.requests();
    ASSERT_EQ(requests.size(), 3U);
    EXPECT_EQ(requests[0].data, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(requests[1].address, 0x1504);
    EXPECT_EQ(requests[2].data, (Bytes{9, 10}));
    EXPECT_EQ(requests[2].code, 4);
}

TEST(TransferEngine, ASilentControllerCostsMaxRetrySendsAndWaits) {
    Connected c([](const LinkMessage&, int) { return std::vector<Bytes>{}; });
    c.link.setMaxRetry(3);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.link.readRam(32, 2));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_TRUE(c.peer.waitForRequests(3, 1s));
    EXPECT_EQ(c.peer.requests().size(), 3U);
}

TEST(TransferEngine, RetryCountZeroSendsABlockOnce) {
    Connected c([](const LinkMessage&, int) { return std::vector<Bytes>{}; });
    c.link.setMaxRetry(0);
    EXPECT_FALSE(c.link.readRam(32, 2));
    EXPECT_TRUE(c.peer.waitForRequests(1, 1s));
    EXPECT_EQ(c.peer.requests().size(), 1U);
}

TEST(TransferEngine, AFailingSecondBlockKeepsTheFirstAndSkipsTheThird) {
    Connected c([](const LinkMessage& request, int) {
        return request.address == 0x20 ? std::vector<Bytes>{} : ScriptedPeer::confirm(request, 0xAA);
    });
    c.link.setMaxRetry(2);
    EXPECT_FALSE(c.link.readEeprom(0, 96));
    EXPECT_EQ(c.link.eepromBuffer(), Bytes(32, 0xAA));
    for (const auto& request : c.peer.requests()) {
        EXPECT_NE(request.address, 0x40);
    }
    EXPECT_EQ(c.peer.requests().size(), 3U);  // one first block, two attempts at the second
}

/// A link whose connected event a test can set at a chosen moment, as the connector does
/// just after it has published a new connection.
class LinkWithLateConnectedEvent : public DeviceLink {
public:
    // As the most derived class it closes the channel, so no callback of the receive thread
    // reaches it while it is being destroyed.
    ~LinkWithLateConnectedEvent() override { close(); }
    using DeviceLink::signalConnected;
};

TEST(TransferEngine, AConnectedEventDuringTheWaitDoesNotFailTheAttempt) {
    // A transfer may start between the connection becoming usable and its connected event:
    // the event then arrives while the transfer waits for its confirm.
    LinkWithLateConnectedEvent link;
    ScriptedPeer peer([&link](const LinkMessage& request, int) {
        link.signalConnected();
        std::this_thread::sleep_for(30ms);
        return ScriptedPeer::confirm(request, 0x5A);
    });
    link.setReplyWait(2000);
    link.setMaxRetry(1);
    ASSERT_TRUE(link.connect(peer.port(), "127.0.0.1"));
    ASSERT_TRUE(qvx::test::waitUntil([&link] { return link.isConnected(); }, 5s));
    ASSERT_TRUE(link.readRam(32, 2));
    EXPECT_EQ(link.ramBuffer(), (Bytes{0x5A, 0x5A}));
    EXPECT_EQ(peer.requests().size(), 1U);
}

TEST(TransferEngine, AConfirmThatNeverComesIsNotAnsweredFromTheMailbox) {
    // The first read is answered; the same read again is not. The confirm of the first
    // still sits in the mailbox and must not pass for the second.
    Connected c([](const LinkMessage& request, int index) {
        return index == 0 ? ScriptedPeer::confirm(request, 0x11) : std::vector<Bytes>{};
    });
    c.link.setMaxRetry(2);
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_FALSE(c.link.readRam(32, 2));
}

TEST(TransferEngine, ALostConfirmIsRetriedAndTheRetryCounts) {
    Connected c([](const LinkMessage& request, int index) {
        return index == 0 ? std::vector<Bytes>{} : ScriptedPeer::confirm(request, 0x42);
    });
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_EQ(c.link.ramBuffer(), (Bytes{0x42, 0x42}));
    EXPECT_EQ(c.peer.requests().size(), 2U);
}

TEST(TransferEngine, AStatusInfoInsteadOfTheConfirmFailsTheAttemptOnly) {
    Connected c([](const LinkMessage& request, int index) {
        if (index == 0) {
            return std::vector<Bytes>{qvx::test::frameOf(255, 0, 1, {0x7F})};
        }
        return ScriptedPeer::confirm(request, 0x05);
    });
    ASSERT_TRUE(c.link.readEeprom(21, 1));
    EXPECT_EQ(c.link.eepromBuffer(), Bytes{0x05});
    EXPECT_EQ(c.peer.requests().size(), 2U);
}

namespace {

/// A peer whose first answer is `first` (a confirm that must not count) and whose retry is
/// answered properly with 0x42 bytes.
ScriptedPeer::Script wrongFirst(std::function<Bytes(const LinkMessage& request)> first) {
    return [first = std::move(first)](const LinkMessage& request, int index) {
        return index == 0 ? std::vector<Bytes>{first(request)}
                          : ScriptedPeer::confirm(request, 0x42);
    };
}

}  // namespace

TEST(TransferEngine, AConfirmOfTheRightLengthForAnotherAddressIsNoMatch) {
    Connected c(wrongFirst([](const LinkMessage& request) {
        return qvx::test::frameOf(131, static_cast<std::uint16_t>(request.address + 1), 2,
                                  {0x11, 0x11});
    }));
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_EQ(c.link.ramBuffer(), (Bytes{0x42, 0x42}));
    EXPECT_EQ(c.peer.requests().size(), 2U);
}

TEST(TransferEngine, AConfirmOfTheRightAddressAndLengthButAnotherKindIsNoMatch) {
    // A ReadEepromDataCnf where the RAM read's confirm belongs.
    Connected c(wrongFirst([](const LinkMessage& request) {
        return qvx::test::frameOf(129, request.address, 2, {0x11, 0x11});
    }));
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_EQ(c.link.ramBuffer(), (Bytes{0x42, 0x42}));
    EXPECT_EQ(c.peer.requests().size(), 2U);
}

/// A message that may come while a transfer waits for its confirm and answers something else:
/// an unsolicited status message, or, through a gateway, a confirm for a request of the
/// client it served before.
struct StrayCase {
    const char* name;
    std::function<Bytes(const LinkMessage& request)> frame;
};

class StrayMessage : public testing::TestWithParam<StrayCase> {};

TEST_P(StrayMessage, DuringTheWaitDoesNotSendTheRequestAgain) {
    std::atomic<ScriptedPeer*> peer{nullptr};
    const auto& stray = GetParam().frame;
    Connected c([&peer, &stray](const LinkMessage& request, int) {
        peer.load()->sendRaw(stray(request));
        std::this_thread::sleep_for(30ms);
        return ScriptedPeer::confirm(request, 0x42);
    });
    peer = &c.peer;
    c.link.setReplyWait(2000);
    c.link.setMaxRetry(3);
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_EQ(c.link.ramBuffer(), (Bytes{0x42, 0x42}));
    EXPECT_EQ(c.peer.requests().size(), 1U);
    EXPECT_EQ(c.link.retries(), 0U);
}

INSTANTIATE_TEST_SUITE_P(
    TransferEngine, StrayMessage,
    testing::Values(
        StrayCase{"StatusInfo", [](const LinkMessage&) { return qvx::test::frameOf(255, 0, 1, {0x7F}); }},
        StrayCase{"AnotherAddress",
                  [](const LinkMessage& request) {
                      return qvx::test::frameOf(131, static_cast<std::uint16_t>(request.address + 1), 2,
                                                {1, 2});
                  }},
        StrayCase{"AnotherLength",
                  [](const LinkMessage& request) { return qvx::test::frameOf(131, request.address, 1, {1}); }},
        StrayCase{"AnotherKind",
                  [](const LinkMessage& request) {
                      return qvx::test::frameOf(129, request.address, 2, {1, 2});
                  }}),
    [](const testing::TestParamInfo<StrayCase>& param) { return std::string(param.param.name); });

TEST(TransferEngine, AStaleMessageEventBeforeTheRequestDoesNotCount) {
    // The answer is held back a little, so a wait that ended on the old event would fail.
    Connected c([](const LinkMessage& request, int) {
        std::this_thread::sleep_for(50ms);
        return ScriptedPeer::confirm(request, 0x42);
    });
    c.peer.sendRaw(qvx::test::frameOf(255, 0, 1, {0x7F}));  // nobody waits for it
    ASSERT_TRUE(qvx::test::waitUntil([&] { return c.link.mailbox().lastSequence() == 1; }, 5s));
    c.link.setReplyWait(2000);
    c.link.setMaxRetry(1);
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_EQ(c.link.ramBuffer(), (Bytes{0x42, 0x42}));
}

TEST(TransferEngine, AStaleDisconnectedEventBeforeTheRequestDoesNotCount) {
    Connected c([](const LinkMessage& request, int) {
        std::this_thread::sleep_for(50ms);
        return ScriptedPeer::confirm(request, 0x42);
    });
    // A connection lost and made again leaves its "disconnected" event behind.
    c.peer.dropClient();
    ASSERT_TRUE(qvx::test::waitUntil([&] { return !c.link.isConnected(); }, 5s));
    ASSERT_TRUE(c.link.connect(c.peer.port(), "127.0.0.1"));
    ASSERT_TRUE(qvx::test::waitUntil([&] { return c.link.isConnected(); }, 5s));
    c.link.setReplyWait(2000);
    c.link.setMaxRetry(1);
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_EQ(c.link.ramBuffer(), (Bytes{0x42, 0x42}));
}

TEST(TransferEngine, AConfirmForAnotherAddressOrLengthIsNoMatch) {
    Connected c([](const LinkMessage& request, int) {
        return std::vector<Bytes>{qvx::test::frameOf(131, static_cast<std::uint16_t>(request.address + 1), 2, {1, 2}),
                                  qvx::test::frameOf(131, request.address, 1, {1})};
    });
    c.link.setMaxRetry(2);
    EXPECT_FALSE(c.link.readRam(32, 2));
}

TEST(TransferEngine, ADisconnectedLinkFailsAtOnceWithoutWaiting) {
    DeviceLink link;
    link.setReplyWait(2000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link.readEeprom(0, 10));
    EXPECT_FALSE(link.writeRam(37, Bytes{1}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(TransferEngine, APeerThatClosesEndsTheWaitAndLaterSendsFailAtOnce) {
    Connected c([](const LinkMessage&, int) { return std::vector<Bytes>{}; });
    c.link.setReplyWait(5000);
    c.link.setMaxRetry(3);
    std::thread closer([&] {
        ASSERT_TRUE(c.peer.waitForRequests(1, 5s));
        c.peer.dropClient();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.link.readRam(32, 2));
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_FALSE(c.link.isConnected());
}

namespace {

/// The confirm of the request with one checksum bit flipped.
Bytes damaged(const LinkMessage& request) {
    Bytes frame = ScriptedPeer::confirm(request, 0x42).front();
    frame.back() ^= 0x01;
    return frame;
}

}  // namespace

TEST(ChecksumErrors, AreCountedAndTheFrameTakenWhileCheckingIsOff) {
    Connected c(
        [](const LinkMessage& request, int) { return std::vector<Bytes>{damaged(request)}; });
    EXPECT_FALSE(c.link.useCrcCheck());
    ASSERT_TRUE(c.link.readRam(32, 2));
    ASSERT_TRUE(c.link.readRam(34, 2));
    EXPECT_EQ(c.link.checksumErrors(), 2U);
    EXPECT_EQ(c.peer.requests().size(), 2U);
}

TEST(ChecksumErrors, AreCountedAndTheFrameDroppedWhileCheckingIsOn) {
    Connected c([](const LinkMessage& request, int index) {
        return index == 0 ? std::vector<Bytes>{damaged(request)}
                          : ScriptedPeer::confirm(request, 0x42);
    });
    c.link.setUseCrcCheck(true);
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_EQ(c.link.checksumErrors(), 1U);
    EXPECT_EQ(c.peer.requests().size(), 2U);  // the damaged confirm was retried
}

TEST(ChecksumErrors, CountFromTheLatestConnection) {
    Connected c([](const LinkMessage& request, int index) {
        return index == 0 ? std::vector<Bytes>{damaged(request)} : ScriptedPeer::confirm(request);
    });
    ASSERT_TRUE(c.link.readRam(32, 2));
    ASSERT_EQ(c.link.checksumErrors(), 1U);
    c.peer.dropClient();
    ASSERT_TRUE(qvx::test::waitUntil([&] { return !c.link.isConnected(); }, 5s));
    ASSERT_TRUE(c.link.connect(c.peer.port(), "127.0.0.1"));
    ASSERT_TRUE(qvx::test::waitUntil([&] { return c.link.isConnected(); }, 5s));
    EXPECT_EQ(c.link.checksumErrors(), 0U);
    ASSERT_TRUE(c.link.readRam(32, 2));
    EXPECT_EQ(c.link.checksumErrors(), 0U);
}

TEST(TransferEngine, BlockLengthIsClampedToTheOneByteLengthField) {
    DeviceLink link;
    link.setMaxBlockLength(0);
    EXPECT_EQ(link.maxBlockLength(), 1U);
    link.setMaxBlockLength(1000);
    EXPECT_EQ(link.maxBlockLength(), 255U);
}

TEST(TransferEngine, DefaultsMatchTheSettingsTable) {
    DeviceLink link;
    EXPECT_EQ(link.replyWait(), 5000);
    EXPECT_EQ(link.maxRetry(), 5U);
    EXPECT_EQ(link.maxBlockLength(), 32U);
    EXPECT_FALSE(link.useCrcCheck());
    EXPECT_TRUE(link.tcpConnection());
    EXPECT_EQ(link.host(), "localhost");
    EXPECT_EQ(link.internTimeout(), 5000);
}

TEST(EngineLock, AnotherThreadWaitsAboutOneSecondThenFails) {
    DeviceLink link;
    ASSERT_TRUE(link.lockEngine());
    ASSERT_TRUE(link.lockEngine());  // the owner may nest
    bool got = true;
    const auto start = std::chrono::steady_clock::now();
    std::thread other([&] { got = link.lockEngine(); });
    other.join();
    EXPECT_FALSE(got);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
    link.unlockEngine();
    link.unlockEngine();
}

TEST(FrameSending, FramesOfTwoThreadsStayWholeOnTheWire) {
    Connected c([](const LinkMessage&, int) { return std::vector<Bytes>{}; });
    constexpr int kPerThread = 200;
    auto sender = [&](std::uint16_t base) {
        for (int i = 0; i < kPerThread; ++i) {
            ASSERT_TRUE(c.link.sendWriteEepromDataReq(base, Bytes(40, static_cast<std::uint8_t>(i))));
        }
    };
    std::thread a(sender, std::uint16_t{0x100});
    std::thread b(sender, std::uint16_t{0x200});
    a.join();
    b.join();
    ASSERT_TRUE(c.peer.waitForRequests(2 * kPerThread, 10s));
    // Every byte on the wire belongs to a valid frame: nothing was interleaved.
    EXPECT_EQ(c.peer.rawReceived().size(), 2U * kPerThread * (8 + 40));
    EXPECT_EQ(c.peer.requests().size(), 2U * kPerThread);
}

TEST(TextLineMode, CollectsALineWithItsTerminatorAndFlagsTheLineFeed) {
    Connected c([](const LinkMessage&, int) { return std::vector<Bytes>{}; });
    c.link.setTextMode(true);
    c.peer.sendRaw({'+', 'O', 'K', '\r', '\n'});
    EXPECT_TRUE(qvx::test::waitUntil([&] { return c.link.lineComplete(); }, 5s));
    EXPECT_EQ(c.link.lineBuffer(), "+OK\r\n");
}

TEST(TextLineMode, CutsALongLineToItsFirst198Characters) {
    Connected c([](const LinkMessage&, int) { return std::vector<Bytes>{}; });
    c.link.setTextMode(true);
    Bytes line(250, 'x');
    line.push_back('\n');
    c.peer.sendRaw(line);
    EXPECT_TRUE(qvx::test::waitUntil([&] { return c.link.lineComplete(); }, 5s));
    EXPECT_EQ(c.link.lineBuffer(), std::string(198, 'x'));
}

TEST(TextLineMode, AFrameRightAfterTheLineIsFramedOnceTextModeEnds) {
    Connected c(answerAll());
    c.link.setTextMode(true);
    c.peer.sendRaw({'O', 'K', '\n'});
    ASSERT_TRUE(qvx::test::waitUntil([&] { return c.link.lineComplete(); }, 5s));
    c.link.setTextMode(false);
    ASSERT_TRUE(c.link.readRam(6, 1));
    EXPECT_EQ(c.link.ramBuffer(), Bytes{6});
}
