#include "document/document.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/support/memory_controller.h"

using namespace std::chrono_literals;
using qvx::document::CQvx_controllerDoc;
using qvx::document::DocumentView;
using qvx::test::waitUntil;

namespace {

struct PolledController {
    PolledController() {
        auto& memory = controller.memory;
        memory.put(memory.ram, 6, {0x48});        // outputs 1 and 4
        memory.put(memory.ram, 32, {0x80, 0x0F});  // about 2500 mV
        memory.put(memory.eeprom, 11, {0x10, 0x00, 0x20, 0x00, 0x30, 0x00, 0x40, 0x00, 0x50, 0x00});
        document.link().setReplyWait(100);
        document.link().setMaxRetry(2);
        EXPECT_TRUE(document.link().connect(controller.peer.port(), "127.0.0.1"));
        EXPECT_TRUE(waitUntil([this] { return document.link().isConnected(); }, 5s));
    }
    qvx::test::MemoryController controller;
    CQvx_controllerDoc document;
};

}  // namespace

TEST(Polling, LiveValuesArriveWithNewData) {
    PolledController p;
    p.document.startPolling();
    ASSERT_TRUE(waitUntil([&] { return p.document.pollOk.load() && p.document.newData.load(); }, 5s));
    EXPECT_TRUE(p.document.outputActive[0]);
    EXPECT_FALSE(p.document.outputActive[1]);
    EXPECT_TRUE(p.document.outputActive[3]);
    EXPECT_EQ(p.document.switchPoints[0], 0x1000);
    EXPECT_EQ(p.document.switchPoints[4], 0x5000);
    EXPECT_NEAR(p.document.gripperMv.load(), 2499.4F, 0.1F);
    EXPECT_FLOAT_EQ(p.document.gripperDisplay.load(), p.document.gripperMv.load());
    p.document.stopPolling();
    EXPECT_FALSE(p.document.isPolling());
}

TEST(Polling, ASilentControllerTurnsPollOkOffWithinOneRetryBudget) {
    PolledController p;
    p.document.startPolling();
    ASSERT_TRUE(waitUntil([&] { return p.document.pollOk.load(); }, 5s));
    {
        const std::lock_guard guard(p.controller.memory.mutex);
        p.controller.memory.silent = true;
    }
    const auto start = std::chrono::steady_clock::now();
    // One read's budget: two attempts of 100 ms, plus the cycle's own waits.
    ASSERT_TRUE(waitUntil([&] { return !p.document.pollOk.load(); }, 5s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(Polling, AFailedSwitchPointReadKeepsTheOldValuesAndSkipsTheGripper) {
    PolledController p;
    p.document.startPolling();
    ASSERT_TRUE(waitUntil([&] { return p.document.pollOk.load(); }, 5s));
    {
        const std::lock_guard guard(p.controller.memory.mutex);
        p.controller.memory.failReadsAt = {11};
    }
    // Every cycle that ends after this one started with the switch-point read failing.
    ASSERT_TRUE(waitUntil([&] { return !p.document.pollOk.load(); }, 5s));
    p.controller.memory.put(p.controller.memory.ram, 32, {0xFF, 0xFF});  // 0 mV, never read now
    p.controller.memory.put(p.controller.memory.eeprom, 11, {0x77, 0x77});
    p.document.newData = false;
    ASSERT_TRUE(waitUntil([&] { return p.document.newData.load(); }, 5s));
    EXPECT_EQ(p.document.switchPoints[0], 0x1000);
    EXPECT_GT(p.document.gripperMv.load(), 2000.0F);
}

TEST(Polling, StoppingDoesNotWaitOutATransfersRetries) {
    PolledController p;
    p.document.link().setReplyWait(5000);
    p.document.link().setMaxRetry(5);
    {
        const std::lock_guard guard(p.controller.memory.mutex);
        p.controller.memory.silent = true;
    }
    p.document.startPolling();
    ASSERT_TRUE(p.controller.peer.waitForRequests(1, 5s));
    const auto start = std::chrono::steady_clock::now();
    p.document.stopPolling();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(Polling, ADisconnectedLinkIdlesWithoutNewData) {
    CQvx_controllerDoc document;
    document.startPolling();
    document.pollOk = true;
    ASSERT_TRUE(waitUntil([&] { return !document.pollOk.load(); }, 5s));
    EXPECT_FALSE(document.newData.load());
}

TEST(Polling, LengthModeShowsTenthsOfAnInch) {
    PolledController p;
    const std::array points{qvx::link::CalibrationPoint{0.0F, 50.8F}, qvx::link::CalibrationPoint{5000.0F, 0.0F}};
    ASSERT_TRUE(p.document.link().calibration().applyLoaded({1, 0, 2, 1}, points));
    p.document.link().calibration().setMode(qvx::link::CalibrationMode::Calibrated);
    p.document.inchUnit = 1;
    p.document.startPolling();
    ASSERT_TRUE(waitUntil([&] { return p.document.pollOk.load(); }, 5s));
    const float mm = 50.8F - p.document.gripperMv.load() * 50.8F / 5000.0F;
    EXPECT_NEAR(p.document.gripperDisplay.load(), mm / 2.54F, 1e-3);
}

namespace {

constexpr int kReadEeprom = 1;
constexpr int kReadRam = 3;

/// Read requests the controller received with this code at this address.
int readsAt(const qvx::test::MemoryController& controller, int code, std::uint16_t address) {
    int count = 0;
    for (const qvx::link::LinkMessage& request : controller.peer.requests()) {
        count += request.code == code && request.address == address ? 1 : 0;
    }
    return count;
}

/// The operating-state values and the status byte in the controller: 24.0 V, 16.0 °C,
/// temperature over and voltage under (limit flags 0x09), range mode.
void putOperatingValues(qvx::test::ControllerMemory& memory) {
    memory.put(memory.ram, 34, {0x7D, 0x2C});
    memory.put(memory.ram, 36, {84});
    memory.put(memory.ram, 37, {0x01});
    memory.put(memory.eeprom, 21, {0x09});
}

}  // namespace

TEST(Polling, ReadsTheOperatingValuesAndTheStatusByteOnlyWhenAskedAndOncePerRequest) {
    PolledController p;
    putOperatingValues(p.controller.memory);
    CQvx_controllerDoc& doc = p.document;
    doc.startPolling();
    ASSERT_TRUE(waitUntil([&] { return doc.pollCycles.load() >= 3; }, 5s));
    const auto readsOfTheValues = [&p] {
        return readsAt(p.controller, kReadRam, 34) + readsAt(p.controller, kReadRam, 36) +
               readsAt(p.controller, kReadRam, 37) + readsAt(p.controller, kReadEeprom, 21);
    };
    EXPECT_EQ(readsOfTheValues(), 0);  // nobody asked
    EXPECT_EQ(doc.operatingValueAnswers.load(), 0U);
    EXPECT_EQ(doc.statusByteAnswers.load(), 0U);

    doc.operatingValuesWanted = true;
    doc.statusByteWanted = true;
    ASSERT_TRUE(waitUntil([&] { return doc.operatingValueAnswers.load() == 1 && doc.statusByteAnswers.load() == 1; },
                          5s));
    EXPECT_TRUE(doc.temperatureRead.load());
    EXPECT_FLOAT_EQ(doc.temperature.load(), 16.0F);
    EXPECT_TRUE(doc.supplyVoltsRead.load());
    EXPECT_NEAR(doc.supplyVolts.load(), 24.0F, 1e-4);
    EXPECT_TRUE(doc.limitFlagsRead.load());
    EXPECT_EQ(doc.limitFlags.load(), 0x09);
    EXPECT_TRUE(doc.statusByteRead.load());
    EXPECT_EQ(doc.statusByte.load(), 0x01);
    EXPECT_FALSE(doc.operatingValuesWanted.load());
    EXPECT_FALSE(doc.statusByteWanted.load());

    // Later cycles read none of them again until the next request.
    const std::uint64_t cycles = doc.pollCycles.load();
    ASSERT_TRUE(waitUntil([&] { return doc.pollCycles.load() >= cycles + 3; }, 5s));
    EXPECT_EQ(readsOfTheValues(), 4);
    EXPECT_EQ(doc.operatingValueAnswers.load(), 1U);
    EXPECT_EQ(doc.statusByteAnswers.load(), 1U);
    doc.stopPolling();
}

TEST(Polling, AFailedReadIsAnsweredAsFailedAndKeepsTheLastValue) {
    PolledController p;
    const auto silent = [&p](bool on) {
        const std::lock_guard guard(p.controller.memory.mutex);
        p.controller.memory.silent = on;
    };
    putOperatingValues(p.controller.memory);
    CQvx_controllerDoc& doc = p.document;
    doc.startPolling();
    doc.operatingValuesWanted = true;
    ASSERT_TRUE(waitUntil([&] { return doc.operatingValueAnswers.load() == 1; }, 5s));
    ASSERT_TRUE(doc.limitFlagsRead.load());

    {
        const std::lock_guard guard(p.controller.memory.mutex);
        p.controller.memory.failReadsAt = {21};  // the limit flags
    }
    doc.operatingValuesWanted = true;
    ASSERT_TRUE(waitUntil([&] { return doc.operatingValueAnswers.load() == 2; }, 5s));
    EXPECT_FALSE(doc.limitFlagsRead.load());
    EXPECT_EQ(doc.limitFlags.load(), 0x09);  // the value read before stays
    EXPECT_TRUE(doc.temperatureRead.load());
    EXPECT_TRUE(doc.supplyVoltsRead.load());

    // A silent controller: the status byte is answered as failed after the failed cycle; the
    // operating values wait for a cycle that succeeds.
    silent(true);
    ASSERT_TRUE(waitUntil([&] { return !doc.pollOk.load(); }, 5s));
    doc.operatingValuesWanted = true;
    doc.statusByteWanted = true;
    ASSERT_TRUE(waitUntil([&] { return doc.statusByteAnswers.load() == 1; }, 5s));
    EXPECT_FALSE(doc.statusByteRead.load());
    EXPECT_EQ(doc.operatingValueAnswers.load(), 2U);
    EXPECT_TRUE(doc.operatingValuesWanted.load());
    silent(false);
    ASSERT_TRUE(waitUntil([&] { return doc.operatingValueAnswers.load() == 3; }, 5s));
    EXPECT_TRUE(doc.temperatureRead.load());
    EXPECT_FLOAT_EQ(doc.temperature.load(), 16.0F);
    doc.stopPolling();

    // Without a link the status byte is answered at once as failed; the operating values are
    // not read at all.
    CQvx_controllerDoc offline;
    offline.startPolling();
    offline.operatingValuesWanted = true;
    offline.statusByteWanted = true;
    ASSERT_TRUE(waitUntil([&] { return offline.statusByteAnswers.load() == 1; }, 5s));
    EXPECT_FALSE(offline.statusByteRead.load());
    EXPECT_EQ(offline.operatingValueAnswers.load(), 0U);
    EXPECT_TRUE(offline.operatingValuesWanted.load());
}

namespace {
struct CountingView : DocumentView {
    std::vector<int> hints;
    void OnUpdate(DocumentView*, int hint) override { hints.push_back(hint); }
};
}  // namespace

TEST(Document, UpdatesReachEveryViewButTheSender) {
    CQvx_controllerDoc document;
    CountingView a;
    CountingView b;
    document.addView(&a);
    document.addView(&b);
    document.UpdateAllViews(&a, CQvx_controllerDoc::kHintNewData);
    document.UpdateAllViews(nullptr, CQvx_controllerDoc::kHintSupervisor);
    EXPECT_EQ(a.hints, std::vector<int>{512});
    EXPECT_EQ(b.hints, (std::vector<int>{256, 512}));
    document.removeView(&b);
    document.UpdateAllViews(nullptr, 256);
    EXPECT_EQ(b.hints.size(), 2U);
}

TEST(Document, UnitPreferenceRoundTripsThroughTheSettingsFile) {
    const auto path = std::filesystem::temp_directory_path() / ("qvx_doc_" + std::to_string(::getpid()) + ".ini");
    std::ofstream(path) << "[Globals]\nBaseUnit=inch\n";
    CQvx_controllerDoc document;
    ASSERT_TRUE(document.OnNewDocument(path));
    EXPECT_EQ(document.inchUnit, 1);
    // Closing in mV mode stores MV: the inch preference is not kept then.
    document.OnCloseDocument(path);
    CQvx_controllerDoc next;
    ASSERT_TRUE(next.OnNewDocument(path));
    EXPECT_EQ(next.inchUnit, 0);
    std::filesystem::remove(path);
}
