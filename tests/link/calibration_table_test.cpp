#include "link/calibration_table.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <ostream>
#include <thread>
#include <vector>

using qvx::link::CalibrationHeader;
using qvx::link::CalibrationMode;
using qvx::link::CalibrationPoint;
using qvx::link::CalibrationTable;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Loads points 1..n as a controller table of the current format, index 1.
void load(CalibrationTable& table, const std::vector<CalibrationPoint>& points) {
    const CalibrationHeader header{1, 1, static_cast<std::uint8_t>(points.size()), 1};
    ASSERT_TRUE(table.applyLoaded(header, points));
}

// Voltages rise, lengths fall: the usual orientation of a gripper table.
const std::vector<CalibrationPoint> kTwoPoints{{1000.0F, 40.0F}, {3000.0F, 20.0F}};

}  // namespace

// ---- Encodings --------------------------------------------------------------------------------

struct RawMv {
    std::uint16_t raw;
    float mv;
};

std::ostream& operator<<(std::ostream& out, const RawMv& c) {
    return out << "0x" << std::hex << c.raw << std::dec << " <-> " << c.mv << " mV";
}

class RawToMv : public testing::TestWithParam<RawMv> {};

TEST_P(RawToMv, DecodesTheInvertedMeasurementInTheUpperTwelveBits) {
    EXPECT_NEAR(CalibrationTable::rawToMv(GetParam().raw), GetParam().mv, 0.001F);
}

INSTANTIATE_TEST_SUITE_P(CalibrationEncoding, RawToMv,
                         testing::Values(RawMv{0xFFFF, 0.0F}, RawMv{0x000F, 5000.0F},
                                         RawMv{0x0000, 5000.0F}, RawMv{0xFFF0, 0.0F},
                                         RawMv{0x800F, 2499.3895F}));

class MvToRaw : public testing::TestWithParam<RawMv> {};

TEST_P(MvToRaw, EncodesTruncatedCountsAndClampsToTheSensorRange) {
    std::uint16_t raw = 0x1234;
    ASSERT_TRUE(CalibrationTable::mvToRaw(GetParam().mv, raw));
    EXPECT_EQ(raw, GetParam().raw) << GetParam().mv << " mV";
}

INSTANTIATE_TEST_SUITE_P(
    CalibrationEncoding, MvToRaw,
    testing::Values(RawMv{0xFFFF, 0.0F}, RawMv{0x800F, 2500.0F}, RawMv{0x000F, 5000.0F},
                    RawMv{0xFFEF, 1.23F}, RawMv{0xFFFF, 1.2F}, RawMv{0x999F, 2000.0F},
                    // out of range: clamped instead of wrapping to the other end of the scale
                    RawMv{0x000F, 5100.0F}, RawMv{0x000F, 1e30F}, RawMv{0xFFFF, -10.0F},
                    RawMv{0xFFFF, -1e30F}));

TEST(CalibrationEncoding, MvToRawRefusesNonFiniteVoltagesAndLeavesTheWordAlone) {
    for (const float mv : {kNaN, kInf, -kInf}) {
        std::uint16_t raw = 0x1234;
        EXPECT_FALSE(CalibrationTable::mvToRaw(mv, raw)) << mv;
        EXPECT_EQ(raw, 0x1234);
    }
}

TEST(CalibrationEncoding, EveryStoredLengthComesBackUnchangedWhenSavedAgain) {
    for (std::uint32_t word = 0; word <= 0xFFFF; ++word) {
        const auto micrometres = static_cast<std::uint16_t>(word);
        std::uint16_t back = 0;
        ASSERT_TRUE(CalibrationTable::lengthToMicrometres(
            CalibrationTable::lengthFromMicrometres(micrometres), back));
        ASSERT_EQ(back, micrometres);
    }
}

TEST(CalibrationEncoding, LengthsOutsideTheSixteenBitMicrometreWordAreRefused) {
    std::uint16_t micrometres = 7;
    EXPECT_TRUE(CalibrationTable::lengthToMicrometres(65.535F, micrometres));
    EXPECT_EQ(micrometres, 65535);
    EXPECT_TRUE(CalibrationTable::lengthToMicrometres(0.0F, micrometres));
    EXPECT_EQ(micrometres, 0);
    micrometres = 7;
    for (const float mm : {65.536F, 100.0F, -0.001F, kNaN, kInf}) {
        EXPECT_FALSE(CalibrationTable::lengthToMicrometres(mm, micrometres)) << mm;
        EXPECT_EQ(micrometres, 7);
    }
}

TEST(CalibrationEncoding, TableWithAnUnstorableLengthInUseIsReportedUnstorable) {
    CalibrationTable table;
    load(table, {{1000.0F, 70.0F}, {3000.0F, 20.0F}, {4000.0F, 80.0F}});
    EXPECT_FALSE(table.lengthsStorable());
    ASSERT_TRUE(table.setPoint(1, 1000.0F, 65.0F));
    EXPECT_FALSE(table.lengthsStorable());
    table.setCount(2);  // the 80 mm point is no longer in use
    EXPECT_TRUE(table.lengthsStorable());
}

// ---- Interpolation ----------------------------------------------------------------------------

enum class Direction { MvToMm, MmToMv };

struct Lookup {
    std::vector<CalibrationPoint> points;
    Direction direction;
    float from;
    float to;
};

std::ostream& operator<<(std::ostream& out, const Lookup& c) {
    return out << c.points.size() << " points, " << c.from
               << (c.direction == Direction::MvToMm ? " mV -> " : " mm -> ") << c.to;
}

class TableLookup : public testing::TestWithParam<Lookup> {};

TEST_P(TableLookup, InterpolatesOnTheFirstEnclosingSegmentAndExtrapolatesAtTheEnds) {
    CalibrationTable table;
    load(table, GetParam().points);
    float out = 0.0F;
    ASSERT_TRUE(GetParam().direction == Direction::MvToMm ? table.mvToMm(GetParam().from, out)
                                                          : table.mmToMv(GetParam().from, out));
    EXPECT_FLOAT_EQ(out, GetParam().to);
}

const std::vector<CalibrationPoint> kThreePoints{
    {1000.0F, 40.0F}, {2000.0F, 35.0F}, {4000.0F, 15.0F}};
const std::vector<CalibrationPoint> kFoldedBack{{1000.0F, 40.0F}, {3000.0F, 20.0F}, {500.0F, 0.0F}};
const std::vector<CalibrationPoint> kEqualVoltages{
    {1000.0F, 40.0F}, {1000.0F, 35.0F}, {3000.0F, 20.0F}, {3000.0F, 15.0F}};
const std::vector<CalibrationPoint> kEqualLengths{
    {1000.0F, 40.0F}, {2000.0F, 40.0F}, {3000.0F, 20.0F}};
const std::vector<CalibrationPoint> kOnePoint{{1500.0F, 12.5F}};
constexpr auto kToMm = Direction::MvToMm;
constexpr auto kToMv = Direction::MmToMv;

INSTANTIATE_TEST_SUITE_P(
    CalibrationInterpolation, TableLookup,
    testing::Values(
        // inside the table, on the points and beyond both ends (two points, one segment)
        Lookup{kTwoPoints, kToMm, 2000.0F, 30.0F}, Lookup{kTwoPoints, kToMm, 500.0F, 45.0F},
        Lookup{kTwoPoints, kToMm, 4000.0F, 10.0F}, Lookup{kTwoPoints, kToMm, 1000.0F, 40.0F},
        Lookup{kTwoPoints, kToMm, 3000.0F, 20.0F}, Lookup{kTwoPoints, kToMv, 30.0F, 2000.0F},
        Lookup{kTwoPoints, kToMv, 45.0F, 500.0F}, Lookup{kTwoPoints, kToMv, 10.0F, 4000.0F},
        Lookup{kTwoPoints, kToMv, 40.0F, 1000.0F}, Lookup{kTwoPoints, kToMv, 20.0F, 3000.0F},
        // beyond each end along that end's own segment
        Lookup{kThreePoints, kToMm, 500.0F, 42.5F}, Lookup{kThreePoints, kToMm, 4500.0F, 10.0F},
        Lookup{kThreePoints, kToMv, 45.0F, 0.0F}, Lookup{kThreePoints, kToMv, 10.0F, 4500.0F},
        // 2500 mV lies in segments 2 and 3: the first wins; 750 mV only in the falling one
        Lookup{kFoldedBack, kToMm, 2500.0F, 25.0F}, Lookup{kFoldedBack, kToMm, 750.0F, 2.0F},
        // equal neighbours give the first point's value instead of dividing by zero
        Lookup{kEqualVoltages, kToMm, 1000.0F, 40.0F},
        Lookup{kEqualVoltages, kToMm, 4000.0F, 20.0F}, Lookup{kEqualLengths, kToMv, 40.0F, 1000.0F},
        Lookup{kEqualLengths, kToMv, 50.0F, 1000.0F},
        // a single point maps everything to its other value
        Lookup{kOnePoint, kToMm, 4000.0F, 12.5F}, Lookup{kOnePoint, kToMv, 99.0F, 1500.0F}));

TEST(CalibrationInterpolation, EmptyTableOrNonFiniteInputReturnsTheInputAndFails) {
    CalibrationTable empty;
    float out = 0.0F;
    EXPECT_FALSE(empty.mvToMm(1234.0F, out));
    EXPECT_EQ(out, 1234.0F);
    EXPECT_FALSE(empty.mmToMv(12.0F, out));
    EXPECT_EQ(out, 12.0F);

    CalibrationTable table;
    load(table, kTwoPoints);
    EXPECT_FALSE(table.mvToMm(kNaN, out));
    EXPECT_TRUE(std::isnan(out));
    EXPECT_FALSE(table.mmToMv(-kInf, out));
    EXPECT_EQ(out, -kInf);
}

// ---- Display conversions ----------------------------------------------------------------------

TEST(CalibrationDisplay, ConvertsThroughTheTableOnlyInCalibratedMode) {
    CalibrationTable table;
    load(table, kTwoPoints);
    float value = 0.0F;
    std::uint16_t raw = 0;

    EXPECT_EQ(table.getMode(), CalibrationMode::Millivolt);
    ASSERT_TRUE(table.RawToDisplay(0x800F, value));
    EXPECT_NEAR(value, 2499.3895F, 0.001F);
    ASSERT_TRUE(table.DisplayToRaw(2500.0F, raw));
    EXPECT_EQ(raw, 0x800F);

    table.setMode(CalibrationMode::Calibrated);
    ASSERT_TRUE(table.RawToDisplay(0x800F, value));
    EXPECT_NEAR(value, 25.0061F, 0.001F);
    ASSERT_TRUE(table.DisplayToRaw(30.0F, raw));  // 30 mm is 2000 mV
    EXPECT_EQ(raw, 0x999F);
}

TEST(CalibrationDisplay, CalibratedModeWithAnEmptyTableFailsAndWritesNoRawWord) {
    CalibrationTable table;
    table.setMode(CalibrationMode::Calibrated);
    float value = 0.0F;
    EXPECT_FALSE(table.RawToDisplay(0x000F, value));
    EXPECT_EQ(value, 5000.0F);  // the mV, for callers that show the value regardless
    std::uint16_t raw = 0x1234;
    EXPECT_FALSE(table.DisplayToRaw(20.0F, raw));
    EXPECT_EQ(raw, 0x1234);
}

TEST(CalibrationDisplay, UnknownModeConvertsNothing) {
    CalibrationTable table;
    load(table, kTwoPoints);
    table.setMode(static_cast<CalibrationMode>(7));
    float value = -1.0F;
    std::uint16_t raw = 0x1234;
    EXPECT_FALSE(table.RawToDisplay(0x800F, value));
    EXPECT_FALSE(table.DisplayToRaw(2500.0F, raw));
    EXPECT_EQ(value, -1.0F);
    EXPECT_EQ(raw, 0x1234);
}

// ---- Count, index and points ------------------------------------------------------------------

struct Limit {
    std::uint32_t requested;
    std::uint32_t result;
};

std::ostream& operator<<(std::ostream& out, const Limit& c) {
    return out << c.requested << " -> " << c.result;
}

class SetCount : public testing::TestWithParam<Limit> {};
class SetIndex : public testing::TestWithParam<Limit> {};

TEST_P(SetCount, KeepsTheCountWithinOneTo62) {
    CalibrationTable table;
    table.setCount(GetParam().requested);
    EXPECT_EQ(table.getCount(), GetParam().result);
}

TEST_P(SetIndex, KeepsTheIndexAtMost62) {
    CalibrationTable table;
    table.setIndex(GetParam().requested);
    EXPECT_EQ(table.getIndex(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(CalibrationTable, SetCount,
                         testing::Values(Limit{0, 1}, Limit{1, 1}, Limit{5, 5}, Limit{62, 62},
                                         Limit{63, 62}, Limit{100, 62}));
INSTANTIATE_TEST_SUITE_P(CalibrationTable, SetIndex,
                         testing::Values(Limit{0, 0}, Limit{10, 10}, Limit{62, 62}, Limit{70, 62}));

TEST(CalibrationTable, ShrinkingTheCountPullsTheIndexDownToIt) {
    CalibrationTable table;
    table.setCount(10);
    table.setIndex(8);
    table.setCount(5);
    EXPECT_EQ(table.getIndex(), 5U);
    table.setCount(10);
    EXPECT_EQ(table.getIndex(), 5U);
}

TEST(CalibrationTable, NextStopsAtTheCountAndPrevAtOne) {
    CalibrationTable table;
    table.setCount(3);
    table.setIndex(0);
    table.prev();
    EXPECT_EQ(table.getIndex(), 0U);
    for (int i = 0; i < 5; ++i) {
        table.next();
    }
    EXPECT_EQ(table.getIndex(), 3U);
    for (int i = 0; i < 5; ++i) {
        table.prev();
    }
    EXPECT_EQ(table.getIndex(), 1U);
}

TEST(CalibrationTable, PointsOutsideTheCountCannotBeReadOrWritten) {
    CalibrationTable table;
    load(table, kTwoPoints);
    CalibrationPoint point{};
    EXPECT_FALSE(table.getPoint(0, point));
    EXPECT_FALSE(table.getPoint(3, point));
    EXPECT_FALSE(table.setPoint(0, 1.0F, 1.0F));
    EXPECT_FALSE(table.setPoint(3, 1.0F, 1.0F));
    EXPECT_FALSE(table.isChanged(0));
    EXPECT_FALSE(table.isChanged(63));
    table.setIndex(0);
    EXPECT_FALSE(table.getPointAtIndex(point));
    EXPECT_FALSE(table.setPointAtIndex(1.0F, 1.0F));
}

TEST(CalibrationTable, EditsStoreBothValuesAndMarkThePointChanged) {
    CalibrationTable table;
    load(table, kTwoPoints);
    ASSERT_TRUE(table.setPoint(2, 3500.0F, 15.0F));
    EXPECT_TRUE(table.isChanged(2));
    EXPECT_FALSE(table.isChanged(1));
    table.setIndex(1);
    ASSERT_TRUE(table.setPointAtIndex(900.0F, 41.0F));
    EXPECT_TRUE(table.isChanged(1));

    CalibrationPoint point{};
    ASSERT_TRUE(table.getPoint(2, point));
    EXPECT_EQ(point.mv, 3500.0F);
    EXPECT_EQ(point.mm, 15.0F);
    ASSERT_TRUE(table.getPointAtIndex(point));
    EXPECT_EQ(point.mv, 900.0F);
    EXPECT_EQ(point.mm, 41.0F);

    table.clearChanged(2);
    EXPECT_FALSE(table.isChanged(2));
}

TEST(CalibrationTable, NonFiniteValuesAreNotStored) {
    CalibrationTable table;
    load(table, kTwoPoints);
    EXPECT_FALSE(table.setPoint(1, kNaN, 10.0F));
    EXPECT_FALSE(table.setPointAtIndex(1000.0F, kInf));
    EXPECT_FALSE(table.isChanged(1));
    CalibrationPoint point{};
    ASSERT_TRUE(table.getPoint(1, point));
    EXPECT_EQ(point.mv, 1000.0F);
    EXPECT_EQ(point.mm, 40.0F);
}

TEST(CalibrationTable, LengthRangeCoversOnlyThePointsInUse) {
    CalibrationTable table;
    EXPECT_EQ(table.maxMm(), 0.0F);
    EXPECT_EQ(table.minMm(), 0.0F);
    load(table, {{1000.0F, 40.0F}, {2000.0F, 30.0F}, {3000.0F, 20.0F}, {4000.0F, 90.0F}});
    table.setCount(3);
    EXPECT_EQ(table.maxMm(), 40.0F);
    EXPECT_EQ(table.minMm(), 20.0F);
}

// ---- Loading and the stored header ------------------------------------------------------------

TEST(CalibrationLoading, AcceptedTableReplacesCountIndexAndPointsAndClearsTheMarks) {
    CalibrationTable table;
    load(table, kTwoPoints);
    ASSERT_TRUE(table.setPoint(1, 1.0F, 1.0F));

    const CalibrationHeader header{1, 0, 3, 2};
    std::uint32_t count = 0;
    ASSERT_TRUE(table.pointsToLoad(header, count));
    ASSERT_EQ(count, 3U);
    const std::vector<CalibrationPoint> points{{100.0F, 9.0F}, {200.0F, 8.0F}, {300.0F, 7.0F}};
    ASSERT_TRUE(table.applyLoaded(header, points));

    EXPECT_EQ(table.getCount(), 3U);
    EXPECT_EQ(table.getIndex(), 2U);
    EXPECT_EQ(table.storedCount(), 3U);
    for (std::uint32_t p = 1; p <= 3; ++p) {
        CalibrationPoint point{};
        ASSERT_TRUE(table.getPoint(p, point));
        EXPECT_EQ(point.mv, points[p - 1].mv);
        EXPECT_EQ(point.mm, points[p - 1].mm);
        EXPECT_FALSE(table.isChanged(p));
    }
}

TEST(CalibrationLoading, StoredCountAbove62IsClampedButStaysReadable) {
    CalibrationTable table;
    const CalibrationHeader header{1, 1, 63, 63};
    std::uint32_t count = 0;
    ASSERT_TRUE(table.pointsToLoad(header, count));
    ASSERT_EQ(count, 62U);
    ASSERT_TRUE(table.applyLoaded(header, std::vector<CalibrationPoint>(62)));
    EXPECT_EQ(table.getCount(), 62U);
    EXPECT_EQ(table.getIndex(), 62U);
    EXPECT_EQ(table.storedCount(), 63U);
}

TEST(CalibrationLoading, NewerFormatOrErasedHeaderChangesNothing) {
    for (const std::uint8_t version : {std::uint8_t{2}, std::uint8_t{255}}) {
        CalibrationTable table;
        load(table, kTwoPoints);
        const CalibrationHeader header{version, 1, 3, 3};
        std::uint32_t count = 99;
        EXPECT_FALSE(table.pointsToLoad(header, count));
        EXPECT_FALSE(table.applyLoaded(header, std::vector<CalibrationPoint>(3)));
        EXPECT_EQ(table.getCount(), 2U);
        EXPECT_EQ(table.getIndex(), 1U);
        EXPECT_EQ(table.storedCount(), 2U);
        CalibrationPoint point{};
        ASSERT_TRUE(table.getPoint(1, point));
        EXPECT_EQ(point.mv, 1000.0F);
    }
}

TEST(CalibrationLoading, VersionZeroKeepsCountAndIndexAndReloadsThePresentPoints) {
    CalibrationTable empty;
    std::uint32_t count = 99;
    ASSERT_TRUE(empty.pointsToLoad({0, 0, 9, 9}, count));
    EXPECT_EQ(count, 0U);
    EXPECT_TRUE(empty.applyLoaded({0, 0, 9, 9}, {}));
    EXPECT_EQ(empty.getCount(), 0U);

    CalibrationTable table;
    load(table, kTwoPoints);
    table.setIndex(2);
    ASSERT_TRUE(table.setPoint(2, 1.0F, 1.0F));
    ASSERT_TRUE(table.pointsToLoad({0, 0, 9, 9}, count));
    ASSERT_EQ(count, 2U);
    ASSERT_TRUE(table.applyLoaded({0, 0, 9, 9}, kTwoPoints));
    EXPECT_EQ(table.getCount(), 2U);
    EXPECT_EQ(table.getIndex(), 2U);
    EXPECT_FALSE(table.isChanged(2));
    CalibrationPoint point{};
    ASSERT_TRUE(table.getPoint(2, point));
    EXPECT_EQ(point.mv, 3000.0F);
}

TEST(CalibrationLoading, IncompleteOrNonFinitePointSetIsRefusedWhole) {
    CalibrationTable table;
    load(table, kTwoPoints);
    EXPECT_FALSE(table.applyLoaded({1, 1, 3, 1}, kTwoPoints));
    const std::vector<CalibrationPoint> withNaN{{1.0F, 1.0F}, {2.0F, kNaN}};
    EXPECT_FALSE(table.applyLoaded({1, 1, 2, 1}, withNaN));
    EXPECT_EQ(table.getCount(), 2U);
    CalibrationPoint point{};
    ASSERT_TRUE(table.getPoint(2, point));
    EXPECT_EQ(point.mm, 20.0F);
}

TEST(CalibrationLoading, HeaderToWriteCarriesOwnVersionModeCountAndIndex) {
    CalibrationTable table;
    load(table, kTwoPoints);
    table.setIndex(2);
    CalibrationHeader header = table.header();
    EXPECT_EQ(header.version, 1);
    EXPECT_EQ(header.modeByte, 1);
    EXPECT_EQ(header.count, 2);
    EXPECT_EQ(header.index, 2);
    table.setMode(CalibrationMode::Calibrated);
    header = table.header();
    EXPECT_EQ(header.modeByte, 0);
}

// ---- Concurrency ------------------------------------------------------------------------------

TEST(CalibrationConcurrency, ConversionsNeverSeeATornTableWhileAnotherThreadEdits) {
    // Both tables map 2000 mV to a distinct length and keep point 1 at mv == mm, so a
    // conversion or read that mixes them shows up as a value outside the expected ones.
    const std::vector<CalibrationPoint> a{{0.0F, 0.0F}, {4000.0F, 40.0F}};  // 2000 mV: 20 mm
    const std::vector<CalibrationPoint> b{
        {100.0F, 100.0F}, {1000.0F, 200.0F}, {4000.0F, 500.0F}};  // 2000 mV: 300 mm
    CalibrationTable table;
    load(table, a);
    table.setMode(CalibrationMode::Calibrated);

    std::atomic<bool> stop{false};
    std::atomic<std::uint32_t> rounds{0};
    std::atomic<bool> editsOk{true};
    std::thread editor([&] {
        while (!stop.load()) {
            const bool useB = (rounds.load() % 2U) == 1U;
            const auto& points = useB ? b : a;
            const CalibrationHeader header{1, 0, static_cast<std::uint8_t>(points.size()), 1};
            bool ok = table.applyLoaded(header, points);
            ok = table.setPoint(1, points[0].mv, points[0].mm) && ok;
            table.next();
            ok = table.setPointAtIndex(points[1].mv, points[1].mm) && ok;
            if (!ok) {
                editsOk = false;
            }
            ++rounds;
        }
    });

    std::uint32_t torn = 0;
    for (std::uint32_t i = 0; i < 20000 || rounds.load() < 200; ++i) {
        float mm = 0.0F;
        const bool converted = table.mvToMm(2000.0F, mm);
        CalibrationPoint first{};
        const bool read = table.getPoint(1, first);
        const float top = table.maxMm();
        if (!converted || (mm != 20.0F && mm != 300.0F) || !read || first.mv != first.mm ||
            (top != 40.0F && top != 500.0F)) {
            ++torn;
        }
    }
    stop = true;
    editor.join();

    EXPECT_EQ(torn, 0U);
    EXPECT_TRUE(editsOk.load());
    EXPECT_GE(rounds.load(), 200U);
}
