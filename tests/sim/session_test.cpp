#include "sim/session.h"

#include <gtest/gtest.h>

#include "sim/line_pacer.h"
#include "sim/memory_map.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/scripted_peer.h"

using namespace qvx::sim;
using namespace std::chrono_literals;
using qvx::simtest::Bytes;
using qvx::simtest::messagesIn;
using qvx::test::frameOf;

namespace {

const TimePoint kT0 = TimePoint{} + 1h;

/// A session on fake time with the text and bytes it sent so far.
struct Line {
    explicit Line(SessionConfig config) : session(controller, config, 1, kT0) {}

    void send(const std::string& text, TimePoint now) {
        session.receive(Bytes(text.begin(), text.end()), now);
    }
    void send(const Bytes& bytes, TimePoint now) { session.receive(bytes, now); }
    /// Everything due by `now`, as text.
    std::string sentBy(TimePoint now) {
        const Bytes bytes = sentBytesBy(now);
        return {bytes.begin(), bytes.end()};
    }
    Bytes sentBytesBy(TimePoint now) {
        Bytes bytes;
        for (const Emission& e : session.takeDue(now)) {
            bytes.insert(bytes.end(), e.bytes.begin(), e.bytes.end());
        }
        return bytes;
    }

    Controller controller{ControllerConfig{}, kT0};
    Session session;
};

SessionConfig modem(ModemBehaviour behaviour) {
    return SessionConfig{
        .modem = true,
        .modemBehaviour = behaviour,
        .modemTiming = {.dialDelay = 500ms, .noCarrierAfter = 3s, .emptyLineGap = 1s}};
}

}  // namespace

TEST(Modem, AnswersCommandsWithOkAndADialWithConnectAfterTheDelay) {
    Line line(modem(ModemBehaviour::Answer));
    line.send("AT&FX0E0\r\n", kT0);
    EXPECT_EQ(line.sentBy(kT0), "\r\nOK\r\n");
    line.send("hello\r", kT0);  // not a command
    line.send("\r", kT0);       // an empty line
    EXPECT_EQ(line.sentBy(kT0), "");

    line.send(frameOf(1, 22, 3), kT0);  // frames mean nothing before the call is up
    line.send("ATDT0815\r\n", kT0);
    EXPECT_EQ(line.sentBy(kT0 + 499ms), "");
    EXPECT_EQ(line.sentBy(kT0 + 500ms), "\r\nCONNECT 9600\r\n");
    EXPECT_TRUE(line.session.framesActive());

    line.send(frameOf(1, 22, 3), kT0 + 600ms);
    const auto replies = messagesIn(line.sentBytesBy(kT0 + 600ms));
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].data, (Bytes{23, 24, 42}));
}

TEST(Modem, BusyAndNoAnswerEndTheCallAndTakeCommandsAgain) {
    Line busy(modem(ModemBehaviour::Busy));
    busy.send("ATDT1\r", kT0);
    EXPECT_EQ(busy.sentBy(kT0 + 500ms), "\r\nBUSY\r\n");
    EXPECT_FALSE(busy.session.framesActive());
    busy.send("AT\r", kT0 + 600ms);
    EXPECT_EQ(busy.sentBy(kT0 + 600ms), "\r\nOK\r\n");

    Line silent(modem(ModemBehaviour::NoAnswer));
    silent.send("ATDT1\r", kT0);
    EXPECT_EQ(silent.sentBy(kT0 + 2999ms), "");
    EXPECT_EQ(silent.sentBy(kT0 + 3s), "\r\nNO CARRIER\r\n");
    EXPECT_FALSE(silent.session.framesActive());
}

TEST(Modem, EmptyLineVariantSendsAnEmptyLineLongBeforeConnect) {
    Line line(modem(ModemBehaviour::EmptyLineFirst));
    line.send("ATD\r", kT0);
    EXPECT_EQ(line.sentBy(kT0 + 500ms), "\r\n");
    EXPECT_FALSE(line.session.framesActive());
    EXPECT_EQ(line.sentBy(kT0 + 1499ms), "");
    EXPECT_EQ(line.sentBy(kT0 + 1500ms), "CONNECT 9600\r\n");
    EXPECT_TRUE(line.session.framesActive());
}

TEST(Modem, ACommandLineBetweenFramesEndsTheCallForTheNextCaller) {
    Line line(modem(ModemBehaviour::Answer));
    line.send("ATD\r", kT0);
    (void)line.sentBy(kT0 + 500ms);
    ASSERT_TRUE(line.session.framesActive());
    line.send("AT&FX0E0\r\n", kT0 + 1s);
    EXPECT_EQ(line.sentBy(kT0 + 1s), "\r\nOK\r\n");
    EXPECT_FALSE(line.session.framesActive());
    line.send("ATDT2\r\n", kT0 + 1s);
    EXPECT_EQ(line.sentBy(kT0 + 1500ms), "\r\nCONNECT 9600\r\n");
}

TEST(Session, StatusReportsCarryTheLiveCellsAndNeverSplitAConfirm) {
    Line line(SessionConfig{.statusEvery = 100ms});
    EXPECT_TRUE(line.sentBytesBy(kT0 + 99ms).empty());
    auto messages = messagesIn(line.sentBytesBy(kT0 + 100ms));
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].code, 255);
    EXPECT_EQ(messages[0].address, memory::kRamGripper);
    const auto ram = line.controller.ram();
    EXPECT_EQ(messages[0].data,
              Bytes(ram.begin() + memory::kRamGripper, ram.begin() + memory::kRamStatus + 1));

    line.session.handler().setFaultPlan(FaultPlan{.byteGap = 10ms, .byteWiseOnce = true});
    line.send(frameOf(1, 22, 3), kT0 + 150ms);   // its bytes go out until 150 + 10 × 10 ms
    Bytes sent = line.sentBytesBy(kT0 + 200ms);  // a report falls due halfway through
    const Bytes rest = line.sentBytesBy(kT0 + 400ms);
    sent.insert(sent.end(), rest.begin(), rest.end());
    messages = messagesIn(sent);
    ASSERT_EQ(messages.size(), 3U);  // reports due at 200 and 300 ms
    EXPECT_EQ(messages[0].code, 129);
    EXPECT_EQ(messages[1].code, 255);
    EXPECT_EQ(messages[2].code, 255);
}

TEST(LinePacer, LetsBytesThroughAtTenBitTimesEach) {
    LinePacer pacer(1000);  // 10 ms a byte
    pacer.push(Bytes{1, 2, 3}, kT0);
    EXPECT_TRUE(pacer.popDue(kT0 + 9ms).bytes.empty());
    const LinePacer::Delivery first = pacer.popDue(kT0 + 13ms);
    EXPECT_EQ(first.bytes, Bytes{1});
    EXPECT_EQ(first.lastEnd, kT0 + 10ms);  // when it ended, not when it was collected
    pacer.push(Bytes{4}, kT0 + 15ms);      // queues behind the bytes still on the line
    EXPECT_EQ(pacer.nextDue(), kT0 + 20ms);
    EXPECT_EQ(pacer.popDue(kT0 + 39ms).bytes, (Bytes{2, 3}));
    EXPECT_EQ(pacer.popDue(kT0 + 40ms).bytes, Bytes{4});
    pacer.push(Bytes{5}, kT0 + 100ms);  // an idle line starts afresh
    EXPECT_EQ(pacer.nextDue(), kT0 + 110ms);
    pacer.clear();
    pacer.push(Bytes{6}, kT0 + 101ms);  // so does a closed one
    EXPECT_EQ(pacer.nextDue(), kT0 + 111ms);

    LinePacer unpaced;
    unpaced.push(Bytes{1, 2}, kT0);
    EXPECT_EQ(unpaced.popDue(kT0).bytes, (Bytes{1, 2}));
}

TEST(LinePacer, ByteNOfARunEndsAtStartPlusNByteTimesWithNoRoundingCarriedOver) {
    // 10/9600 s is no whole number of nanoseconds: summing a rounded byte time would be
    // 0.67 ms off after a million bytes.
    LinePacer pacer(9600);
    constexpr std::uint64_t kCount = 1'000'000;
    pacer.push(Bytes(kCount, 0x55), kT0);
    const auto exactEnd = kT0 + std::chrono::nanoseconds(kCount * 10 * 1'000'000'000 / 9600);
    EXPECT_EQ(pacer.popDue(exactEnd - 1ns).bytes.size(), kCount - 1);
    const LinePacer::Delivery last = pacer.popDue(exactEnd);
    EXPECT_EQ(last.bytes.size(), 1U);
    EXPECT_EQ(last.lastEnd, exactEnd);
}

TEST(LinePacer, LateCollectionsDelayNoLaterByteSoTheErrorStaysBounded) {
    // The owner wakes up to three byte times late for every collection and pushes the next
    // piece only then, dated when it was ready: after thousands of bytes no byte comes out
    // later than one wake-up after its place in the run.
    constexpr unsigned kBaud = 115200;
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / kBaud);
    const auto maxLate = 3 * byteTime;
    LinePacer pacer(kBaud);
    const auto idealEnd = [&](std::uint64_t n) {
        return kT0 + std::chrono::nanoseconds(n * 10 * 1'000'000'000 / kBaud);
    };
    constexpr std::uint64_t kPieces = 500;
    constexpr std::size_t kPieceBytes = 8;
    TimePoint now = kT0;
    std::uint64_t pushed = 0;
    std::uint64_t collected = 0;
    std::chrono::nanoseconds worst{0};
    unsigned lateness = 0;
    while (collected < kPieces * kPieceBytes) {
        // The next piece is ready while the line still carries the current one.
        if (pushed < kPieces && (pushed == 0 || collected + kPieceBytes >= pushed * kPieceBytes)) {
            pacer.push(Bytes(kPieceBytes, static_cast<std::uint8_t>(pushed)),
                       pushed == 0 ? kT0 : idealEnd(collected));
            ++pushed;
        }
        ASSERT_TRUE(pacer.nextDue().has_value());
        lateness = (lateness * 7 + 3) % 11;  // a spread of wake-up delays, 0 to 10 tenths
        now = std::max(now, *pacer.nextDue() + maxLate * lateness / 10);
        const LinePacer::Delivery due = pacer.popDue(now);
        for (std::size_t i = 0; i < due.bytes.size(); ++i) {
            worst = std::max(worst, now - idealEnd(collected + i + 1));
        }
        collected += due.bytes.size();
        EXPECT_EQ(due.lastEnd, idealEnd(collected));
    }
    EXPECT_LE(worst, maxLate);
}
