#include "document/recording_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stop_token>
#include <thread>

#include "tests/support/memory_controller.h"

namespace qvx::document {
namespace {

using namespace std::chrono_literals;
using link::CalibrationMode;
using link::CalibrationTable;
using qvx::test::Bytes;
using qvx::test::waitUntil;

constexpr std::uint32_t kGripperBase = 356;
constexpr std::uint32_t kSupplyBase = 1956;
constexpr std::uint32_t kOutputsBase = 3556;
constexpr std::size_t kSamples = CQvx_controllerDoc::kRecordingSamples;
constexpr int kReadEeprom = 1;

void connect(link::DeviceLink& link, int port) {
    link.setReplyWait(300);
    link.setMaxRetry(1);
    ASSERT_TRUE(link.connect(port, "127.0.0.1"));
    ASSERT_TRUE(waitUntil([&link] { return link.isConnected(); }, 5s));
}

/// Raw word of sample i of channel c: different in every sample and channel.
std::uint16_t wordOf(int channel, std::size_t i) {
    return static_cast<std::uint16_t>(0x1000U * static_cast<std::size_t>(channel + 1) + 7 * i);
}

/// A controller memory holding a recognisable recording, and a link connected to it.
struct RecordingController {
    RecordingController() {
        for (std::size_t i = 0; i < kSamples; ++i) {
            const std::array<std::uint32_t, 3> bases{kGripperBase, kSupplyBase, kOutputsBase};
            for (int c = 0; c < 3; ++c) {
                const std::uint16_t word = wordOf(c, i);
                memory().put(
                    memory().eeprom, bases[static_cast<std::size_t>(c)] + 2 * i,
                    {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)});
            }
        }
        connect(link, controller.peer.port());
    }
    qvx::test::ControllerMemory& memory() { return controller.memory; }
    [[nodiscard]] int readsAt(std::uint32_t address) const {
        const std::vector<link::LinkMessage> requests = controller.peer.requests();
        return static_cast<int>(std::count_if(requests.begin(), requests.end(), [&](const auto& r) {
            return r.code == kReadEeprom && r.address == address;
        }));
    }
    [[nodiscard]] int reads() const {
        const std::vector<link::LinkMessage> requests = controller.peer.requests();
        return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                              [](const auto& r) { return r.code == kReadEeprom; }));
    }
    qvx::test::MemoryController controller;
    link::DeviceLink link;
};

TEST(RecordingTransfer, ReadsEveryChunkOfTheThreeChannelsWithTheGripperInMillivolts) {
    RecordingController c;
    // Length mode with an empty table converts no gripper value; the transfer reads millivolts
    // whatever the mode, so a unit switch meanwhile cannot mix units.
    c.link.calibration().setMode(CalibrationMode::Calibrated);
    const TransferredRecording r = transferRecording(c.link, 10s, std::stop_token());
    EXPECT_EQ(r.end, TransferEnd::Complete);
    ASSERT_EQ(r.samples, kSamples);
    for (const std::size_t i : {0UL, 19UL, 20UL, 333UL, 639UL}) {
        EXPECT_FLOAT_EQ(r.gripperMv[i], CalibrationTable::rawToMv(wordOf(0, i))) << i;
        EXPECT_EQ(r.outputWords[i], wordOf(2, i)) << i;
    }
    // Ub words decode as 12 V + (high byte - 61) * 256 + low byte) / 1369.
    const std::uint16_t supply = wordOf(1, 5);
    EXPECT_NEAR(r.supplyVolts[5], 12.0 + (((supply >> 8) - 61) * 256 + (supply & 0xFF)) / 1369.0,
                1e-4);
    // 32 chunks of 20 samples, 40 bytes each: two blocks per read with the default length.
    EXPECT_EQ(c.reads(), 32 * 3 * 2);
    EXPECT_EQ(c.readsAt(kOutputsBase + 2 * 620), 1);
}

TEST(RecordingTransfer, StopsAtTheFirstReadTheControllerDoesNotAnswer) {
    RecordingController c;
    c.memory().failReadsAt.push_back(kSupplyBase + 2 * 100);
    const TransferredRecording r = transferRecording(c.link, 10s, std::stop_token());
    EXPECT_EQ(r.end, TransferEnd::ReadFailed);
    EXPECT_EQ(r.samples, 100U);                      // chunks 0 to 4 on all three channels
    EXPECT_EQ(c.readsAt(kSupplyBase + 2 * 100), 1);  // one attempt, as the link allows
    EXPECT_EQ(c.readsAt(kOutputsBase + 2 * 100), 0);
    EXPECT_EQ(c.readsAt(kGripperBase + 2 * 120), 0);
}

TEST(RecordingTransfer, StartsNoReadOnceTheTimeLimitHasPassed) {
    RecordingController c;
    // Every look at the clock finds one second more.
    auto now = std::chrono::steady_clock::time_point{};
    const SteadyClock clock = [&now] { return now += 1s; };
    const TransferredRecording r = transferRecording(c.link, 10s, std::stop_token(), clock);
    EXPECT_EQ(r.end, TransferEnd::TimedOut);
    // The limit was set at second 1: the reads at seconds 2 to 10 ran, three whole chunks.
    EXPECT_EQ(r.samples, 60U);
    EXPECT_EQ(c.reads(), 9 * 2);
}

TEST(RecordingTransfer, AStopRequestEndsItBeforeTheNextRead) {
    qvx::test::ControllerMemory memory;
    std::stop_source stop;
    // The stop arrives while the gripper read of chunk 1 is under way.
    qvx::test::ScriptedPeer peer([&](const link::LinkMessage& request, int) {
        if (request.address == kGripperBase + 2 * 20) {
            stop.request_stop();
        }
        return memory.serve(request);
    });
    link::DeviceLink link;
    connect(link, peer.port());
    const TransferredRecording r = transferRecording(link, 10s, stop.get_token());
    EXPECT_EQ(r.end, TransferEnd::Cancelled);
    EXPECT_EQ(r.samples, 20U);
    EXPECT_EQ(peer.requests().size(), 4U * 2);  // chunk 0 and the gripper of chunk 1

    const std::size_t before = peer.requests().size();
    const TransferredRecording none = transferRecording(link, 10s, stop.get_token());
    EXPECT_EQ(none.end, TransferEnd::Cancelled);
    EXPECT_EQ(none.samples, 0U);
    EXPECT_EQ(peer.requests().size(), before);
}

TEST(RecordingEndWait, EndsWhenFinishedAtAFailedPollAndAfterTheLimit) {
    RecordingController c;
    c.memory().put(c.memory().ram, 37, {0x20});
    EXPECT_EQ(waitForRecordingEnd(c.link, 10s, 1ms, std::stop_token()), TransferEnd::Complete);

    c.memory().put(c.memory().ram, 37, {0x40});
    auto now = std::chrono::steady_clock::time_point{};
    const SteadyClock clock = [&now] { return now += 1s; };
    EXPECT_EQ(waitForRecordingEnd(c.link, 3s, 1ms, std::stop_token(), clock),
              TransferEnd::TimedOut);

    {
        const std::lock_guard guard(c.memory().mutex);
        c.memory().silent = true;
    }
    EXPECT_EQ(waitForRecordingEnd(c.link, 10s, 1ms, std::stop_token()), TransferEnd::ReadFailed);
}

TEST(RecordingEndWait, AStopRequestEndsThePauseBetweenPollsAtOnce) {
    RecordingController c;
    c.memory().put(c.memory().ram, 37, {0x40});  // recording, not finished
    std::stop_source stop;
    TransferEnd end = TransferEnd::Complete;
    const auto started = std::chrono::steady_clock::now();
    {
        std::jthread waiter(
            [&] { end = waitForRecordingEnd(c.link, 600s, 60s, stop.get_token()); });
        ASSERT_TRUE(c.controller.peer.waitForRequests(1, 5s));
        stop.request_stop();
    }
    EXPECT_EQ(end, TransferEnd::Cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);  // not the 60 s pause
}

/// A transfer of `samples` samples: gripper 1000 mV + i, Ub 24 V, output word i.
TransferredRecording transferOf(std::size_t samples) {
    TransferredRecording r;
    for (std::size_t i = 0; i < samples; ++i) {
        r.gripperMv[i] = 1000.0F + static_cast<float>(i);
        r.supplyVolts[i] = 24.0F;
        r.outputWords[i] = static_cast<int>(i);
    }
    r.samples = samples;
    return r;
}

TEST(KeepRecording, KeepsWhatWasReadInTheUnitOfTheTransferAndZeroesTheRest) {
    CQvx_controllerDoc doc;
    doc.recSupply.fill(-1.0F);  // an earlier recording
    const std::array points{link::CalibrationPoint{0.0F, 50.0F},
                            link::CalibrationPoint{5000.0F, 0.0F}};
    ASSERT_TRUE(doc.link().calibration().applyLoaded({1, 0, 2, 1}, points));
    keepRecording(doc, transferOf(100), CalibrationMode::Calibrated);
    EXPECT_TRUE(doc.recordingPresent);
    EXPECT_EQ(doc.recordingSamples, 100U);
    EXPECT_EQ(doc.recGripperUnit, CalibrationMode::Calibrated);
    EXPECT_NEAR(doc.recGripper[0], 40.0F, 1e-3);  // 1000 mV of 0..5000 mV over 50..0 mm
    EXPECT_FLOAT_EQ(doc.recSupply[99], 24.0F);
    EXPECT_EQ(doc.recOutputs[99], 99);
    EXPECT_EQ(doc.recSupply[100], 0.0F);  // nothing of the earlier recording remains
    EXPECT_EQ(doc.recGripper[639], 0.0F);
}

TEST(KeepRecording, StaysInMillivoltsWhenALengthCannotBeHadAndKeepsAnEarlierOneWhenNothingWasRead) {
    CQvx_controllerDoc doc;  // an empty table converts nothing to lengths
    keepRecording(doc, transferOf(kSamples), CalibrationMode::Calibrated);
    EXPECT_EQ(doc.recGripperUnit, CalibrationMode::Millivolt);
    EXPECT_FLOAT_EQ(doc.recGripper[5], 1005.0F);
    EXPECT_EQ(doc.recordingSamples, kSamples);

    TransferredRecording nothing = transferOf(0);
    nothing.end = TransferEnd::ReadFailed;
    keepRecording(doc, nothing, CalibrationMode::Millivolt);
    EXPECT_EQ(doc.recordingSamples, kSamples);
    EXPECT_FLOAT_EQ(doc.recGripper[5], 1005.0F);
}

}  // namespace
}  // namespace qvx::document
