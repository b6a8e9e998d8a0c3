#include "sim/controller.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/encoding.h"
#include "sim/memory_map.h"

using namespace qvx::sim;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

const TimePoint kT0 = TimePoint{} + 1h;

// The desktop program's decodings, written out independently of the simulator's encoder.
double mvOf(std::uint16_t raw) {
    return static_cast<double>((~raw >> 4) & 0xFFF) * 5 * 0.24420024;
}
double voltsOf(std::uint8_t high, std::uint8_t low) {
    return 12 + ((high - 61) * 256 + low) * 0.0007304601899196494;
}
double celsiusOf(std::uint8_t byte) {
    return (byte - 10) * 0.4864864864864865 - 20;
}

std::uint16_t wordAt(std::span<const std::uint8_t> memory, std::size_t address) {
    return static_cast<std::uint16_t>(memory[address] << 8 | memory[address + 1]);
}

Bytes recordOf(std::initializer_list<double> mvs) {
    Bytes record;
    for (const double mv : mvs) {
        const std::uint16_t raw = encoding::rawFromMv(mv);
        record.push_back(static_cast<std::uint8_t>(raw >> 8));
        record.push_back(static_cast<std::uint8_t>(raw & 0xFF));
    }
    return record;
}

std::uint8_t outputsAt(Controller& c, double mv, TimePoint now = kT0) {
    c.holdGripper(mv);
    c.update(now);
    return c.ram()[memory::kRamOutputStatus];
}

void setStatus(Controller& c, std::uint8_t status, TimePoint now = kT0) {
    ASSERT_TRUE(c.write(Area::Ram, memory::kRamStatus, Bytes{status}, now));
}

}  // namespace

TEST(Controller, WritingTheInputRecordTakesItIntoWorkingMemory) {
    Controller c(ControllerConfig{}, kT0);
    const Bytes record = recordOf({1000, 1400, 2000, 2600, 3000});
    ASSERT_TRUE(c.write(Area::Eeprom, memory::kInputRecord, record, kT0));
    EXPECT_TRUE(
        std::equal(record.begin(), record.end(), c.eeprom().begin() + memory::kSwitchPoints));

    // A record arriving in pieces: after the last piece the working memory holds all of it.
    const Bytes next = recordOf({1050, 1450, 2050, 2650, 3050});
    ASSERT_TRUE(c.write(Area::Eeprom, 1, std::span(next).first(4), kT0));
    ASSERT_TRUE(c.write(Area::Eeprom, 5, std::span(next).subspan(4), kT0));
    EXPECT_TRUE(std::equal(next.begin(), next.end(), c.eeprom().begin() + memory::kSwitchPoints));

    // Writing the working memory directly leaves the input record alone.
    ASSERT_TRUE(c.write(Area::Eeprom, memory::kSwitchPoints, Bytes{0, 0}, kT0));
    EXPECT_EQ(wordAt(c.eeprom(), memory::kInputRecord), wordAt(next, 0));
}

class SwitchPointMode : public testing::TestWithParam<std::pair<double, std::uint8_t>> {};

TEST_P(SwitchPointMode, OneOutputPerPositionBetweenTheFactoryPoints) {
    Controller c(ControllerConfig{}, kT0);  // points at 1100, 1500, 2300, 3100, 3600 mV
    EXPECT_EQ(outputsAt(c, GetParam().first), GetParam().second);
}

// Output k is bit k + 2, numbered as the fixed pane's columns: Auf is output 1, C 2, B 3, A 4,
// Zu 5, Aus none.
INSTANTIATE_TEST_SUITE_P(Positions, SwitchPointMode,
                         testing::Values(std::make_pair(900.0, 0x00), std::make_pair(1300.0, 0x08),
                                         std::make_pair(1900.0, 0x10), std::make_pair(2700.0, 0x20),
                                         std::make_pair(3300.0, 0x40),
                                         std::make_pair(3800.0, 0x80)),
                         [](const auto& row) {
                             return "At" + std::to_string(static_cast<int>(row.param.first)) + "mV";
                         });

TEST(Controller, OutputsFollowANewProgrammingAtOnce) {
    Controller c(ControllerConfig{}, kT0);
    EXPECT_EQ(outputsAt(c, 2000), 0x10);
    ASSERT_TRUE(
        c.write(Area::Eeprom, memory::kInputRecord, recordOf({1000, 1200, 1400, 1600, 1800}), kT0));
    EXPECT_EQ(c.ram()[memory::kRamOutputStatus], 0x80);  // now past every point: closed
}

TEST(Controller, RangeModeDrivesTheOutputOfEachBandAroundItsPoint) {
    Controller c(ControllerConfig{}, kT0);
    setStatus(c, memory::kStatusRangeMode);
    // Factory spans are ~49 mV both ways; point 3 (2300 mV) drives output 3.
    EXPECT_EQ(outputsAt(c, 2300), 0x20);
    EXPECT_EQ(outputsAt(c, 2340), 0x20);
    EXPECT_EQ(outputsAt(c, 2260), 0x20);
    EXPECT_EQ(outputsAt(c, 2360), 0x00);
    EXPECT_EQ(outputsAt(c, 1100), 0x08);  // point 1 drives output 1
    EXPECT_EQ(outputsAt(c, 3600), 0x80);  // point 5 drives output 5

    // The span comes from the table entry of the segment the centre lies in: 2300 mV lies
    // between support points 3 and 4 of six, entry 2 of the under-span table.
    const std::uint16_t wide = encoding::rawFromMv(200);
    ASSERT_TRUE(c.write(
        Area::Eeprom, memory::kUnderSpanTable + 4,
        Bytes{static_cast<std::uint8_t>(wide >> 8), static_cast<std::uint8_t>(wide & 0xFF)}, kT0));
    EXPECT_EQ(outputsAt(c, 2150), 0x20);
    EXPECT_EQ(outputsAt(c, 2360), 0x00);

    setStatus(c, 0);
    EXPECT_EQ(outputsAt(c, 2360), 0x20);  // switch-point mode again: position B
}

TEST(Controller, LiveValuesDecodeAsTheProgramDecodesThem) {
    Controller c(ControllerConfig{.seed = 3}, kT0);
    double lowest = 5000;
    double highest = 0;
    for (auto t = kT0; t < kT0 + 6s; t += 20ms) {
        c.update(t);
        const auto ram = c.ram();
        const double volts = voltsOf(ram[memory::kRamSupply], ram[memory::kRamSupply + 1]);
        const double celsius = celsiusOf(ram[memory::kRamTemperature]);
        ASSERT_NEAR(volts, 24.0, 0.15);
        ASSERT_NEAR(celsius, 35.0, 0.8);
        const double mv = mvOf(wordAt(ram, memory::kRamGripper));
        lowest = std::min(lowest, mv);
        highest = std::max(highest, mv);
        EXPECT_EQ(wordAt(ram, memory::kRamGripper) & 0x000F, 0x000F);
    }
    // One cycle reaches both ends of the travel.
    EXPECT_NEAR(lowest, 1200, 10);
    EXPECT_NEAR(highest, 3800, 10);
}

TEST(Controller, LimitFlagsLatchUntilTheResetCellGets255) {
    Controller c(ControllerConfig{}, kT0);
    const auto flags = [&] { return c.eeprom()[memory::kLimitFlags]; };
    EXPECT_EQ(flags(), 0);
    c.setSupplyVolts(31);
    c.update(kT0 + 1s);
    EXPECT_EQ(flags(), 0x02);
    c.setSupplyVolts(17);
    c.setTemperatureCelsius(-5);
    c.update(kT0 + 2s);
    EXPECT_EQ(flags(), 0x07);
    c.setSupplyVolts(24);
    c.setTemperatureCelsius(75);
    c.update(kT0 + 3s);
    EXPECT_EQ(flags(), 0x0F);  // latched: back inside does not clear them

    c.setTemperatureCelsius(35);
    ASSERT_TRUE(c.write(Area::Eeprom, memory::kResetCell, Bytes{0x12}, kT0 + 4s));
    EXPECT_EQ(flags(), 0x0F);  // only 255 resets
    ASSERT_TRUE(c.write(Area::Eeprom, memory::kResetCell, Bytes{255}, kT0 + 4s));
    EXPECT_EQ(flags(), 0x00);
    EXPECT_EQ(c.eeprom()[memory::kResetCell], 0);
}

TEST(Controller, RecordingTakes640SamplesAtTheirTimesAndSetsBit5) {
    const ControllerConfig config{.seed = 4};
    Controller c(config, kT0);
    Controller twin(config, kT0);  // the same controller, sampled directly for comparison
    const TimePoint start = kT0 + 700ms;
    c.update(start);
    setStatus(c, memory::kStatusRecordingDone | memory::kStatusRecording, start);
    EXPECT_EQ(c.ram()[memory::kRamStatus] & memory::kStatusRecordingDone, 0);

    // A mode change keeping bit 6, as the programming view writes it, does not restart it.
    c.update(start + 3s);
    setStatus(c, 0x80 | memory::kStatusRecording, start + 3s);
    c.update(start + 639 * 30ms - 1ms);
    EXPECT_TRUE(c.recording());
    c.update(start + 639 * 30ms);
    EXPECT_FALSE(c.recording());
    EXPECT_EQ(c.ram()[memory::kRamStatus], 0x80 | memory::kStatusRecordingDone);

    for (std::uint32_t i = 0; i < memory::kRecordingSamples; ++i) {
        twin.update(start + i * 30ms);
        const auto live = twin.ram();
        ASSERT_EQ(wordAt(c.eeprom(), memory::kRecordingGripper + 2 * i),
                  wordAt(live, memory::kRamGripper))
            << i;
        ASSERT_EQ(wordAt(c.eeprom(), memory::kRecordingSupply + 2 * i),
                  wordAt(live, memory::kRamSupply))
            << i;
        ASSERT_EQ(wordAt(c.eeprom(), memory::kRecordingOutputs + 2 * i),
                  live[memory::kRamOutputStatus])
            << i;
    }
    // Nothing beyond the 640th sample is touched.
    EXPECT_EQ(wordAt(c.eeprom(), memory::kRecordingGripper + 2 * memory::kRecordingSamples),
              0xFFFF);
}

TEST(Controller, ClearingBit6AbandonsARecording) {
    Controller c(ControllerConfig{}, kT0);
    setStatus(c, memory::kStatusRecording);
    c.update(kT0 + 100ms);
    setStatus(c, 0, kT0 + 100ms);
    c.update(kT0 + 30s);
    EXPECT_FALSE(c.recording());
    EXPECT_EQ(c.ram()[memory::kRamStatus] & memory::kStatusRecordingDone, 0);
}

TEST(Controller, TheSameSeedGivesTheSameValuesWhateverTheUpdateRate) {
    Controller a(ControllerConfig{.seed = 7}, kT0);
    Controller b(ControllerConfig{.seed = 7}, kT0);
    Controller other(ControllerConfig{.seed = 8}, kT0);
    bool differs = false;
    for (auto t = kT0; t < kT0 + 2s; t += 10ms) {
        a.update(t);
        b.update(t - 3ms);  // b is updated at other moments in between
        b.update(t);
        other.update(t);
        ASSERT_TRUE(std::equal(a.ram().begin(), a.ram().end(), b.ram().begin()));
        differs = differs || !std::equal(a.ram().begin(), a.ram().end(), other.ram().begin());
    }
    EXPECT_TRUE(differs);
}
