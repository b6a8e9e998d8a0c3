#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "link/device_link.h"
#include "link/device_memory_map.h"
#include "tests/support/memory_controller.h"
#include "tests/support/scripted_peer.h"

using namespace std::chrono_literals;
using namespace qvx::link;
using qvx::test::Bytes;
using qvx::test::ScriptedPeer;

namespace {

using Memory = qvx::test::ControllerMemory;

struct Controller {
    Controller() : peer([this](const LinkMessage& request, int) { return memory.serve(request); }) {
        link.setReplyWait(200);
        link.setMaxRetry(2);
        EXPECT_TRUE(link.connect(peer.port(), "127.0.0.1"));
        EXPECT_TRUE(qvx::test::waitUntil([this] { return link.isConnected(); }, 5s));
        EXPECT_TRUE(peer.waitForClient(5s));
    }
    Memory memory;
    ScriptedPeer peer;
    DeviceLink link;

    std::vector<std::pair<std::uint16_t, int>> writesSeen() const {
        std::vector<std::pair<std::uint16_t, int>> writes;
        for (const auto& r : peer.requests()) {
            if (r.code == 4) {
                writes.emplace_back(r.address, r.length);
            }
        }
        return writes;
    }
};

}  // namespace

TEST(DeviceOperations, SupplyVoltageDecodesFromItsWord) {
    Controller c;
    float volts = 0;
    c.memory.put(c.memory.ram, 34, {61, 0});
    ASSERT_TRUE(c.link.readSupplyVoltage(volts));
    EXPECT_FLOAT_EQ(volts, 12.0F);
    c.memory.put(c.memory.ram, 34, {62, 0});
    ASSERT_TRUE(c.link.readSupplyVoltage(volts));
    EXPECT_NEAR(volts, 12.0 + 256.0 / 1369.0, 1e-5);
}

TEST(DeviceOperations, TemperatureDecodesFromItsByte) {
    Controller c;
    for (const auto& [byte, celsius] : {std::pair{10, -20.0F}, std::pair{47, -2.0F}, std::pair{83, 15.5F}}) {
        c.memory.put(c.memory.ram, 36, {static_cast<std::uint8_t>(byte)});
        float value = 99;
        ASSERT_TRUE(c.link.readTemperature(value));
        EXPECT_NEAR(value, celsius, 0.02) << byte;  // 83 is 15.51 °C, shown as 15.5
    }
}

TEST(DeviceOperations, GripperValueVariantsConvertTheRawWord) {
    Controller c;
    c.memory.put(c.memory.ram, 32, {0x80, 0x0F});  // 2047 counts: about 2500 mV
    float mv = 0;
    ASSERT_TRUE(c.link.readGripperValue(mv, 1));
    EXPECT_NEAR(mv, 2047 * 5 * 0.24420024F, 1e-3);
    float display = 0;
    ASSERT_TRUE(c.link.readGripperValue(display, 0));  // mV mode by default
    EXPECT_FLOAT_EQ(display, mv);
    ASSERT_TRUE(c.link.calibration().applyLoaded({1, 0, 2, 1}, std::array{CalibrationPoint{0, 50}, CalibrationPoint{5000, 0}}));
    float length = 0;
    ASSERT_TRUE(c.link.readGripperValue(length, 2));
    EXPECT_NEAR(length, 50.0F - mv / 100.0F, 1e-3);
}

TEST(DeviceOperations, SwitchPointsAndInputRecordAreBigEndianWords) {
    Controller c;
    c.memory.put(c.memory.eeprom, 11, {0x12, 0x34, 0x00, 0x01, 0xFF, 0xFF, 0x80, 0x0F, 0x00, 0x00});
    std::array<int, 5> points{};
    ASSERT_TRUE(c.link.readSwitchPoints(points));
    EXPECT_EQ(points, (std::array<int, 5>{0x1234, 1, 0xFFFF, 0x800F, 0}));
    ASSERT_TRUE(c.link.writeInputRecord({0x0102, 0x0304, 0x0506, 0x0708, 0x090A}));
    EXPECT_EQ(c.memory.get(c.memory.eeprom, 1, 10), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    std::array<int, 5> record{};
    ASSERT_TRUE(c.link.readInputRecord(record));
    EXPECT_EQ(record[4], 0x090A);
}

TEST(DeviceOperations, CellsAreDecodedFromTheWholeReadEvenWithOneByteBlocks) {
    Controller c;
    c.link.setMaxBlockLength(1);
    c.memory.put(c.memory.eeprom, 11, {0xAB, 0xCD, 0, 2, 0, 3, 0, 4, 0, 5});
    std::array<int, 5> points{};
    ASSERT_TRUE(c.link.readSwitchPoints(points));
    EXPECT_EQ(points[0], 0xABCD);
    EXPECT_EQ(points[4], 5);
    EXPECT_EQ(c.peer.requests().size(), 10U);
}

TEST(DeviceOperations, ServiceDataAndSingleBytes) {
    Controller c;
    c.memory.put(c.memory.eeprom, 21, {0x05, 33, 24, 117});
    c.memory.put(c.memory.ram, 6, {0xF8});
    int flags = 0, week = 0, year = 0, serial = 0, outputs = 0;
    ASSERT_TRUE(c.link.readLimitFlags(flags));
    ASSERT_TRUE(c.link.readServiceData(week, year, serial));
    ASSERT_TRUE(c.link.readOutputStatus(outputs));
    EXPECT_EQ(flags, 5);
    EXPECT_EQ(week, 33);
    EXPECT_EQ(year, 2024);
    EXPECT_EQ(serial, 117);
    EXPECT_EQ(outputs, 0xF8);
}

TEST(DeviceOperations, StartRecordingClearsFinishedAndSetsStart) {
    Controller c;
    c.memory.put(c.memory.ram, 37, {0x21});
    ASSERT_TRUE(c.link.startRecording());
    EXPECT_EQ(c.memory.get(c.memory.ram, 37, 1), Bytes{0x41});
    bool finished = true;
    ASSERT_TRUE(c.link.readRecordingFinished(finished));
    EXPECT_FALSE(finished);
}

TEST(DeviceOperations, AnOperationFailsWithoutTrafficWhileAnotherThreadHoldsTheEngine) {
    Controller c;
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        ASSERT_TRUE(c.link.lockEngine());
        held = true;
        ASSERT_TRUE(qvx::test::waitUntil([&] { return release.load(); }, 10s));
        c.link.unlockEngine();
    });
    ASSERT_TRUE(qvx::test::waitUntil([&] { return held.load(); }, 5s));
    int status = 0;
    EXPECT_FALSE(c.link.readStatusByte(status));
    release = true;
    holder.join();
    EXPECT_TRUE(c.peer.requests().empty());
}

namespace {

/// Holds the engine lock on a thread of its own until destroyed.
class EngineHeldElsewhere {
public:
    explicit EngineHeldElsewhere(DeviceLink& link)
        : m_thread([this, &link] {
              m_locked = link.lockEngine();
              m_held = true;
              (void)qvx::test::waitUntil([this] { return m_release.load(); }, 30s);
              if (m_locked) {
                  link.unlockEngine();
              }
          }) {
        EXPECT_TRUE(qvx::test::waitUntil([this] { return m_held.load(); }, 5s));
        EXPECT_TRUE(m_locked);
    }
    ~EngineHeldElsewhere() {
        m_release = true;
        m_thread.join();
    }
    EngineHeldElsewhere(const EngineHeldElsewhere&) = delete;
    EngineHeldElsewhere& operator=(const EngineHeldElsewhere&) = delete;

private:
    std::atomic<bool> m_held{false};
    std::atomic<bool> m_locked{false};
    std::atomic<bool> m_release{false};
    std::thread m_thread;
};

void putTolerances(Memory& memory, float underMv, float overMv) {
    std::uint16_t raw = 0;
    ASSERT_TRUE(CalibrationTable::mvToRaw(underMv, raw));
    memory.put(memory.eeprom, 354,
               {static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw)});
    ASSERT_TRUE(CalibrationTable::mvToRaw(overMv, raw));
    memory.put(memory.eeprom, 352,
               {static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw)});
}

}  // namespace

TEST(StartUpReads, TheCalibrationIsReadEvenWhileAnotherThreadHoldsTheEngine) {
    Controller c;
    c.memory.put(c.memory.eeprom, 100, {1, 1, 2, 1});
    {
        const EngineHeldElsewhere busy(c.link);
        EXPECT_TRUE(c.link.readCalibration());  // after the lock's wait it goes on without
    }
    EXPECT_EQ(c.link.calibration().getCount(), 2U);
    // It released only what it had: the lock is free again for everyone.
    std::thread other([&] {
        EXPECT_TRUE(c.link.lockEngine());
        c.link.unlockEngine();
    });
    other.join();
}

TEST(StartUpReads, TheTolerancesAreReadWithoutTheEngine) {
    Controller c;
    putTolerances(c.memory, 100.0F, 200.0F);
    const EngineHeldElsewhere busy(c.link);
    float under = -1;
    float over = -1;
    ASSERT_TRUE(c.link.readToleranceValues(under, over));
    EXPECT_NEAR(under, 100.0F, 1.3F);
    EXPECT_NEAR(over, 200.0F, 1.3F);
}

TEST(DeviceOperations, RecordingSamplesAreReadTwoBytesApart) {
    Controller c;
    Bytes channel(1280);
    for (std::size_t i = 0; i < 640; ++i) {
        channel[2 * i] = static_cast<std::uint8_t>(i >> 8);
        channel[2 * i + 1] = static_cast<std::uint8_t>(i & 0xFF);
    }
    c.memory.put(c.memory.eeprom, memory_map::kRecordingOutputs, channel);
    std::array<int, 640> samples{};
    for (std::size_t first = 0; first < 640; first += 20) {
        ASSERT_TRUE(c.link.readRecordingOutputs(samples, first, 20)) << first;
    }
    for (std::size_t i = 0; i < 640; ++i) {
        ASSERT_EQ(samples[i], static_cast<int>(i));
    }
    EXPECT_FALSE(c.link.readRecordingOutputs(samples, 630, 20));  // would overrun the array
}

TEST(DeviceOperations, RecordingSupplyAndGripperDecodeTheirWords) {
    Controller c;
    c.memory.put(c.memory.eeprom, memory_map::kRecordingSupply, {61, 0, 62, 0});
    c.memory.put(c.memory.eeprom, memory_map::kRecordingGripper, {0xFF, 0xFF, 0x00, 0x0F});
    std::array<float, 2> supply{};
    std::array<float, 2> gripper{};
    ASSERT_TRUE(c.link.readRecordingSupply(supply, 0, 2));
    ASSERT_TRUE(c.link.readRecordingGripper(gripper, 0, 2));
    EXPECT_FLOAT_EQ(supply[0], 12.0F);
    EXPECT_GT(supply[1], 12.18F);
    EXPECT_FLOAT_EQ(gripper[0], 0.0F);
    EXPECT_NEAR(gripper[1], 5000.0F, 0.01F);
}

namespace {

void putCalibration(Memory& memory, std::uint8_t version, std::uint8_t count, std::uint8_t index) {
    memory.put(memory.eeprom, 100, {version, 1, count, index});
    for (std::uint8_t p = 0; p < count; ++p) {
        std::uint16_t raw = 0;
        ASSERT_TRUE(CalibrationTable::mvToRaw(1000.0F * p, raw));
        const std::uint16_t micrometres = static_cast<std::uint16_t>(40000 - 10000 * p);
        memory.put(memory.eeprom, 104 + 4U * p,
                   {static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw), static_cast<std::uint8_t>(micrometres >> 8),
                    static_cast<std::uint8_t>(micrometres)});
    }
}

}  // namespace

TEST(Calibration, AVersionOneTableIsTakenOverWithItsPoints) {
    Controller c;
    putCalibration(c.memory, 1, 4, 2);
    ASSERT_TRUE(c.link.readCalibration());
    const CalibrationTable& table = c.link.calibration();
    EXPECT_EQ(table.getCount(), 4U);
    EXPECT_EQ(table.getIndex(), 2U);
    CalibrationPoint point;
    ASSERT_TRUE(table.getPoint(3, point));
    EXPECT_NEAR(point.mm, 20.0F, 1e-4);
    EXPECT_NEAR(point.mv, 2000.0F, 1.3F);
    EXPECT_FALSE(table.isChanged(3));
}

TEST(Calibration, ErasedOrNewerHeadersLeaveTheTableAsItWas) {
    Controller c;
    putCalibration(c.memory, 1, 3, 1);
    ASSERT_TRUE(c.link.readCalibration());
    for (std::uint8_t version : {std::uint8_t{255}, std::uint8_t{2}}) {
        putCalibration(c.memory, version, 5, 4);
        EXPECT_FALSE(c.link.readCalibration()) << int(version);
        EXPECT_EQ(c.link.calibration().getCount(), 3U);
        EXPECT_EQ(c.link.calibration().getIndex(), 1U);
    }
}

TEST(Calibration, VersionZeroKeepsCountAndSelectionAndSucceeds) {
    Controller c;
    putCalibration(c.memory, 1, 3, 2);
    ASSERT_TRUE(c.link.readCalibration());
    c.memory.put(c.memory.eeprom, 100, {0, 0, 9, 9});
    EXPECT_TRUE(c.link.readCalibration());
    EXPECT_EQ(c.link.calibration().getCount(), 3U);
    EXPECT_EQ(c.link.calibration().getIndex(), 2U);
}

TEST(Calibration, AFailedPointReadLeavesTheTableAsItWas) {
    Controller c;
    putCalibration(c.memory, 1, 2, 1);
    ASSERT_TRUE(c.link.readCalibration());
    // A header announcing 62 points reaches past what this controller answers.
    c.memory.failWritesAt.clear();
    putCalibration(c.memory, 1, 60, 1);
    {
        // Make the point read fail: the peer answers nothing beyond its memory.
        Memory& m = c.memory;
        const std::lock_guard guard(m.mutex);
        m.eeprom.resize(200);
    }
    EXPECT_FALSE(c.link.readCalibration());
    EXPECT_EQ(c.link.calibration().getCount(), 2U);
}

TEST(Calibration, TheStoredCountAbove62StaysReadable) {
    Controller c;
    putCalibration(c.memory, 1, 62, 1);
    c.memory.put(c.memory.eeprom, 102, {63});
    ASSERT_TRUE(c.link.readCalibration());
    EXPECT_EQ(c.link.calibration().getCount(), 62U);
    EXPECT_EQ(c.link.calibration().storedCount(), 63);
}

TEST(Calibration, WriteSendsTheHeaderAndOnlyTheChangedPoints) {
    Controller c;
    putCalibration(c.memory, 1, 3, 1);
    ASSERT_TRUE(c.link.readCalibration());
    ASSERT_TRUE(c.link.calibration().setPoint(2, 2500.0F, 12.345F));
    ASSERT_TRUE(c.link.writeCalibration());
    EXPECT_EQ(c.writesSeen(), (std::vector<std::pair<std::uint16_t, int>>{{100, 4}, {108, 4}}));
    EXPECT_EQ(c.memory.get(c.memory.eeprom, 100, 4), (Bytes{1, 1, 3, 1}));
    // 2500 mV is raw 0x800F; 12.345 mm is 12345 µm = 0x3039.
    EXPECT_EQ(c.memory.get(c.memory.eeprom, 108, 4), (Bytes{0x80, 0x0F, 0x30, 0x39}));
}

TEST(Calibration, WriteRefusesALengthTheMicrometreWordCannotHold) {
    Controller c;
    putCalibration(c.memory, 1, 3, 1);
    ASSERT_TRUE(c.link.readCalibration());
    ASSERT_TRUE(c.link.calibration().setPoint(1, 100.0F, 70.0F));
    EXPECT_FALSE(c.link.writeCalibration());
    EXPECT_TRUE(c.writesSeen().empty());
}

TEST(Calibration, WriteRefusesATableWithoutPointsEvenWithAnEditedFirstPoint) {
    Controller c;
    // An erased header (version 0) leaves the table empty; point 1 is still selected.
    c.memory.put(c.memory.eeprom, 100, {0, 0, 0, 0});
    ASSERT_TRUE(c.link.readCalibration());
    ASSERT_EQ(c.link.calibration().getCount(), 0U);
    ASSERT_TRUE(c.link.calibration().setPointAtIndex(2500.0F, 12.0F));
    EXPECT_FALSE(c.link.writeCalibration());
    EXPECT_TRUE(c.writesSeen().empty());
    EXPECT_EQ(c.memory.get(c.memory.eeprom, 100, 4), (Bytes{0, 0, 0, 0}));
}

TEST(Tolerances, ReadConvertsBothCellsToDisplayValues) {
    Controller c;
    std::uint16_t raw = 0;
    ASSERT_TRUE(CalibrationTable::mvToRaw(100.0F, raw));
    c.memory.put(c.memory.eeprom, 354, {static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw)});
    ASSERT_TRUE(CalibrationTable::mvToRaw(200.0F, raw));
    c.memory.put(c.memory.eeprom, 352, {static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw)});
    float under = -1, over = -1;
    ASSERT_TRUE(c.link.readToleranceValues(under, over));
    EXPECT_NEAR(under, 100.0F, 1.3F);
    EXPECT_NEAR(over, 200.0F, 1.3F);
}

TEST(Tolerances, FivePointsWriteOneChunkPerTable) {
    Controller c;
    putCalibration(c.memory, 1, 5, 1);
    ASSERT_TRUE(c.link.readCalibration());
    ASSERT_TRUE(c.link.writeTolerances(50.0F, 60.0F));
    EXPECT_EQ(c.writesSeen(), (std::vector<std::pair<std::uint16_t, int>>{
                                  {354, 2}, {352, 2}, {0x1500, 10}, {0x1600, 8}, {0x1700, 8}}));
    // The point table starts with the last point (4000 mV).
    std::uint16_t raw = 0;
    ASSERT_TRUE(CalibrationTable::mvToRaw(4000.0F * 0.99999F, raw));
    const Bytes first = c.memory.get(c.memory.eeprom, 0x1500, 2);
    std::uint16_t expectedLast = 0;
    CalibrationPoint last;
    ASSERT_TRUE(c.link.calibration().getPoint(5, last));
    ASSERT_TRUE(CalibrationTable::mvToRaw(last.mv, expectedLast));
    EXPECT_EQ(first, (Bytes{static_cast<std::uint8_t>(expectedLast >> 8), static_cast<std::uint8_t>(expectedLast)}));
    // In mV mode every span is the tolerance itself.
    std::uint16_t underRaw = 0;
    ASSERT_TRUE(CalibrationTable::mvToRaw(50.0F, underRaw));
    EXPECT_EQ(c.memory.get(c.memory.eeprom, 0x1600, 2),
              (Bytes{static_cast<std::uint8_t>(underRaw >> 8), static_cast<std::uint8_t>(underRaw)}));
}

TEST(Tolerances, NinePointsSplitThePointTableIntoSixteenAndTwoBytes) {
    Controller c;
    putCalibration(c.memory, 1, 5, 1);
    ASSERT_TRUE(c.link.readCalibration());
    c.link.calibration().setCount(9);
    ASSERT_TRUE(c.link.writeTolerances(1.0F, 1.0F));
    EXPECT_EQ(c.writesSeen(), (std::vector<std::pair<std::uint16_t, int>>{
                                  {354, 2}, {352, 2}, {0x1500, 16}, {0x1510, 2}, {0x1600, 16}, {0x1700, 16}}));
}

TEST(Tolerances, LengthModeSpansAreTheVoltageDistanceOfTheShiftedLength) {
    Controller c;
    putCalibration(c.memory, 1, 5, 1);  // 1 mm every 100 mV, lengths falling
    ASSERT_TRUE(c.link.readCalibration());
    c.link.calibration().setMode(CalibrationMode::Calibrated);
    ASSERT_TRUE(c.link.writeTolerances(2.0F, 2.0F));
    const Bytes word = c.memory.get(c.memory.eeprom, 0x1600, 2);
    const float span = CalibrationTable::rawToMv(static_cast<std::uint16_t>((word[0] << 8) | word[1]));
    EXPECT_NEAR(span, 200.0F, 2.5F);
}

TEST(Tolerances, AFailedCellWriteStopsBeforeTheTables) {
    Controller c;
    putCalibration(c.memory, 1, 5, 1);
    ASSERT_TRUE(c.link.readCalibration());
    c.memory.failWritesAt = {352};
    EXPECT_FALSE(c.link.writeTolerances(10.0F, 10.0F));
    for (const auto& [address, length] : c.writesSeen()) {
        EXPECT_LT(address, 0x1500) << "table written after a failed cell write";
    }
}
