#include "sim/request_handler.h"

#include <gtest/gtest.h>

#include <random>

#include "sim/memory_map.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/scripted_peer.h"

using namespace qvx::sim;
using qvx::link::LinkMessage;
using qvx::simtest::Bytes;
using qvx::simtest::bytesOf;
using qvx::simtest::messagesIn;
using qvx::test::frameOf;
using namespace std::chrono_literals;

namespace {

const TimePoint kT0 = TimePoint{} + 1h;

struct Handler {
    Controller controller{ControllerConfig{}, kT0};
    RequestHandler handler{controller, 5};

    Bytes send(const Bytes& bytes, TimePoint now = kT0) {
        return bytesOf(handler.receive(bytes, now));
    }
    std::vector<LinkMessage> exchange(const Bytes& bytes) { return messagesIn(send(bytes)); }
};

struct RequestCase {
    int code;
    Area area;
    std::uint16_t address;
};

}  // namespace

class EveryRequest : public testing::TestWithParam<RequestCase> {};

TEST_P(EveryRequest, GetsItsConfirmAndTakesEffect) {
    const RequestCase c = GetParam();
    Handler h;
    const bool isWrite = c.code >= 4;
    const Bytes written{0x5A, 0x02, 0x03};
    const Bytes request =
        isWrite ? frameOf(c.code, c.address, 3, written) : frameOf(c.code, c.address, 3);
    const auto replies = h.exchange(request);
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].code, c.code + 128);
    EXPECT_EQ(replies[0].address, c.address);
    EXPECT_EQ(replies[0].length, 3);
    std::vector<std::uint8_t> memory;
    ASSERT_TRUE(h.controller.read(c.area, c.address, 3, memory));
    if (isWrite) {
        EXPECT_TRUE(replies[0].data.empty());
        EXPECT_EQ(memory, written);
    } else {
        EXPECT_EQ(replies[0].data, memory);
    }
}

INSTANTIATE_TEST_SUITE_P(
    MessageSet, EveryRequest,
    testing::Values(RequestCase{1, Area::Eeprom, 22}, RequestCase{2, Area::Program, 0},
                    RequestCase{3, Area::Ram, 32}, RequestCase{4, Area::Eeprom, 0x1F00},
                    RequestCase{5, Area::Program, 0x0FFD}, RequestCase{6, Area::Ram, 200}),
    [](const testing::TestParamInfo<RequestCase>& row) {
        return "Code" + std::to_string(row.param.code);
    });

TEST(RequestHandler, RequestsBeyondTheirAreaGetNoConfirmAndChangeNothing) {
    Handler h;
    const Bytes eepromBefore(h.controller.eeprom().begin(), h.controller.eeprom().end());
    EXPECT_TRUE(h.send(frameOf(1, memory::kEepromSize - 1, 2)).empty());
    EXPECT_TRUE(h.send(frameOf(3, 0x0100, 1)).empty());
    EXPECT_TRUE(h.send(frameOf(2, 0x1000, 1)).empty());
    EXPECT_TRUE(h.send(frameOf(4, memory::kEepromSize - 1, 2, {1, 2})).empty());
    EXPECT_TRUE(h.send(frameOf(6, 0xFFFF, 1, {1})).empty());
    EXPECT_TRUE(
        std::equal(eepromBefore.begin(), eepromBefore.end(), h.controller.eeprom().begin()));
    // The last bytes of each area are still reachable.
    EXPECT_EQ(h.exchange(frameOf(3, 0x00FE, 2)).size(), 1U);
    EXPECT_EQ(h.exchange(frameOf(1, memory::kEepromSize - 2, 2)).size(), 1U);
}

TEST(RequestHandler, IgnoresConfirmsStatusReportsAndNoise) {
    Handler h;
    EXPECT_TRUE(h.send(frameOf(129, 22, 3, {1, 2, 3})).empty());
    EXPECT_TRUE(h.send(frameOf(132, 1, 10)).empty());
    EXPECT_TRUE(h.send(frameOf(255, 0, 2, {7, 7})).empty());

    std::mt19937 random(11);
    Bytes noise(20000);
    for (auto& byte : noise) {
        byte = static_cast<std::uint8_t>(random());
    }
    (void)h.send(noise);  // may hold chance frames; what matters is that nothing breaks
    // Noise may leave the receiver inside a long data field or hunting for an end mark; a
    // quiet stretch of zeros and one end mark with its two checksum bytes end either.
    Bytes resync(270, 0x00);
    resync.insert(resync.end(), {0x03, 0x00, 0x00});
    EXPECT_TRUE(h.send(resync).empty());
    const auto replies = h.exchange(frameOf(1, 22, 3));
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].data, (Bytes{23, 24, 42}));
}

TEST(RequestHandler, DropsEveryRequestWithASingleBitFlipped) {
    const Bytes request = frameOf(4, 0x0200, 2, {0x11, 0x22});
    for (std::size_t bit = 8; bit < request.size() * 8; ++bit) {  // the start mark is not a frame
        Handler h;
        Bytes damaged = request;
        damaged[bit / 8] = static_cast<std::uint8_t>(damaged[bit / 8] ^ (1U << (bit % 8)));
        EXPECT_TRUE(h.send(damaged).empty()) << "bit " << bit;
        EXPECT_EQ(h.controller.eeprom()[0x0200], 0xFF) << "bit " << bit;
    }
}

TEST(RequestHandler, ATruncatedFrameCostsAtMostTheNextRequest) {
    Handler h;
    const Bytes request = frameOf(1, 0x25, 1);
    Bytes stream(request.begin(), request.begin() + 4);
    for (int i = 0; i < 2; ++i) {
        stream.insert(stream.end(), request.begin(), request.end());
    }
    EXPECT_EQ(h.exchange(stream).size(), 1U);
}

TEST(FaultPlan, SilentCarriesOutAndAnswersNothing) {
    Handler h;
    h.handler.setFaultPlan(FaultPlan{.silent = true});
    EXPECT_TRUE(h.send(frameOf(4, 0x0200, 1, {0x42})).empty());
    EXPECT_EQ(h.controller.eeprom()[0x0200], 0xFF);
}

TEST(FaultPlan, FallsSilentForGoodAfterTheGivenNumberOfWrites) {
    Handler h;
    h.handler.setFaultPlan(FaultPlan{.writesBeforeSilence = 2U});
    EXPECT_EQ(h.exchange(frameOf(1, 0x0200, 1)).size(), 1U);  // reads do not count
    EXPECT_EQ(h.exchange(frameOf(4, 0x0200, 1, {0x01})).size(), 1U);
    EXPECT_EQ(h.exchange(frameOf(4, 0x0201, 1, {0x02})).size(), 1U);
    EXPECT_TRUE(h.send(frameOf(4, 0x0202, 1, {0x03})).empty());
    EXPECT_TRUE(h.send(frameOf(1, 0x0200, 1)).empty());
    EXPECT_EQ(h.controller.eeprom()[0x0201], 0x02);
    EXPECT_EQ(h.controller.eeprom()[0x0202], 0xFF);
}

TEST(FaultPlan, ADroppedConfirmStillCarriesOutTheWrite) {
    Handler h;
    h.handler.setFaultPlan(FaultPlan{.dropShare = 1.0});
    EXPECT_TRUE(h.send(frameOf(4, 0x0200, 1, {0x42})).empty());
    EXPECT_EQ(h.controller.eeprom()[0x0200], 0x42);
}

TEST(FaultPlan, CorruptedConfirmsKeepTheirSizeAndFailTheirChecksum) {
    Handler h;
    h.handler.setFaultPlan(FaultPlan{.corruptShare = 1.0});
    for (int i = 0; i < 50; ++i) {
        const auto replies = h.handler.receive(frameOf(1, 100, 4), kT0);
        ASSERT_EQ(replies.size(), 1U);
        EXPECT_EQ(replies[0].bytes.size(), 12U);
        EXPECT_EQ(replies[0].bytes[0], 0x02);
        EXPECT_FALSE(qvx::simtest::checksumHolds(replies[0].bytes));
    }
}

TEST(FaultPlan, SharesAreRoughlyKeptAndRepeatableForOneSeed) {
    const auto pattern = [](std::uint64_t seed) {
        Controller controller(ControllerConfig{}, kT0);
        RequestHandler handler(controller, seed);
        handler.setFaultPlan(FaultPlan{.dropShare = 0.25});
        std::vector<bool> answered;
        answered.reserve(400);
        for (int i = 0; i < 400; ++i) {
            answered.push_back(!handler.receive(frameOf(3, 32, 2), kT0).empty());
        }
        return answered;
    };
    const auto first = pattern(9);
    const auto answeredCount = std::count(first.begin(), first.end(), true);
    EXPECT_GT(answeredCount, 260);
    EXPECT_LT(answeredCount, 340);
    EXPECT_EQ(pattern(9), first);
    EXPECT_NE(pattern(10), first);
}

TEST(FaultPlan, OneShotFaultsHitOnlyTheNextConfirm) {
    Handler h;
    h.handler.setFaultPlan(FaultPlan{.wrongAddressOnce = true, .wrongLengthOnce = true});
    auto replies = h.exchange(frameOf(1, 22, 2));
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].address, 23);
    EXPECT_EQ(replies[0].length, 3);
    EXPECT_EQ(replies[0].data.size(), 3U);
    replies = h.exchange(frameOf(1, 22, 2));
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].address, 22);
    EXPECT_EQ(replies[0].length, 2);
    EXPECT_FALSE(h.handler.faultPlan().wrongAddressOnce);
}

TEST(FaultPlan, ByteWiseConfirmComesInSingleBytesWithGaps) {
    Handler h;
    h.handler.setFaultPlan(FaultPlan{.replyDelay = 7ms, .byteGap = 3ms, .byteWiseOnce = true});
    const auto replies = h.handler.receive(frameOf(3, 32, 2), kT0);
    ASSERT_EQ(replies.size(), 10U);
    EXPECT_EQ(replies[0].gapBefore, 7ms);
    for (std::size_t i = 1; i < replies.size(); ++i) {
        EXPECT_EQ(replies[i].bytes.size(), 1U);
        EXPECT_EQ(replies[i].gapBefore, 3ms);
    }
    EXPECT_EQ(messagesIn(bytesOf(replies)).size(), 1U);
    EXPECT_EQ(h.handler.receive(frameOf(3, 32, 2), kT0).size(), 1U);
}

TEST(FaultPlan, CloseMidFrameSendsHalfAConfirmAndAsksToClose) {
    Handler h;
    h.handler.setFaultPlan(FaultPlan{.closeMidFrameOnce = true});
    const auto replies = h.handler.receive(frameOf(1, 22, 3), kT0);
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].bytes.size(), 5U);
    EXPECT_TRUE(replies[0].closeAfter);
    EXPECT_TRUE(messagesIn(replies[0].bytes).empty());
}
