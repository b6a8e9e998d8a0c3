#include "views/widgets/scale_ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

using qvx::widgets::computeScaleTicks;
using qvx::widgets::ScaleTicks;

namespace {

struct TickCase {
    const char* name;
    double min;
    double max;
    int maxTicks;
    double firstMajor;
    double step;
    int count;
    const char* lastLabel;
};

void PrintTo(const TickCase& c, std::ostream* os) {
    *os << c.name;
}

class ScaleTicksOnViewRanges : public ::testing::TestWithParam<TickCase> {};

TEST_P(ScaleTicksOnViewRanges, PicksRoundStepsThatFit) {
    const TickCase& c = GetParam();
    const ScaleTicks ticks = computeScaleTicks(c.min, c.max, c.maxTicks);
    EXPECT_DOUBLE_EQ(ticks.firstMajor, c.firstMajor);
    EXPECT_DOUBLE_EQ(ticks.majorStep, c.step);
    EXPECT_EQ(ticks.majorCount, c.count);
    EXPECT_EQ(ticks.label(ticks.major(ticks.majorCount - 1)).toStdString(), c.lastLabel);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ScaleTicksOnViewRanges,
    ::testing::Values(TickCase{"GaugeMillivolt", 1000, 4000, 7, 1000, 500, 7, "4000"},
                      TickCase{"SmallGaugeMillivolt", 1000, 4000, 5, 1000, 1000, 4, "4000"},
                      TickCase{"GaugeMillimetre", 0, 25.4, 7, 0, 5, 6, "25"},
                      TickCase{"GaugeTenthInch", 0, 10, 11, 0, 1, 11, "10"},
                      TickCase{"Temperature", -30, 80, 12, -30, 10, 12, "80"},
                      TickCase{"SupplyVoltage", 0, 40, 9, 0, 5, 9, "40"},
                      TickCase{"RecordingMilliseconds", 0, 19170, 9, 0, 2500, 8, "17500"},
                      TickCase{"QuarterSteps", 0, 1, 5, 0, 0.25, 5, "1.00"},
                      TickCase{"TenthSteps", 0, 0.3, 4, 0, 0.1, 4, "0.3"},
                      TickCase{"ShortScaleAwayFromZero", -1234.5, -1209.1, 2, -1225, 25, 1,
                               "-1225"}),
    [](const ::testing::TestParamInfo<TickCase>& param) { return std::string(param.param.name); });

TEST(ScaleTicks, StayInsideTheRangeAndWithinTheTickBudget) {
    for (const double min : {-1234.5, -3.0, 0.0, 0.07, 1000.0}) {
        for (const double span : {0.01, 0.9, 7.0, 25.4, 3000.0, 19170.0, 1e6}) {
            for (int maxTicks = 2; maxTicks <= 12; ++maxTicks) {
                const ScaleTicks t = computeScaleTicks(min, min + span, maxTicks);
                ASSERT_GE(t.majorCount, 1) << min << " " << span << " " << maxTicks;
                EXPECT_LE(t.majorCount, maxTicks) << min << " " << span << " " << maxTicks;
                EXPECT_GE(t.major(0), min - span * 1e-9);
                EXPECT_LE(t.major(t.majorCount - 1), min + span * (1 + 1e-9));
                const double mantissa =
                    t.majorStep / std::pow(10.0, std::floor(std::log10(t.majorStep)));
                EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                            std::abs(mantissa - 2.5) < 1e-9 || std::abs(mantissa - 5) < 1e-9)
                    << "step " << t.majorStep;
            }
        }
    }
}

TEST(ScaleTicks, LabelsCarryNoRoundingNoise) {
    const ScaleTicks t = computeScaleTicks(-0.3, 0.3, 7);
    for (int i = 0; i < t.majorCount; ++i) {
        const QString label = t.label(t.major(i));
        EXPECT_LE(label.size(), 4) << label.toStdString();
        EXPECT_NE(label, QStringLiteral("-0.0"));
    }
}

TEST(ScaleTicks, EmptyOrInvalidRangeGetsOneTickAtTheMinimum) {
    const ScaleTicks same = computeScaleTicks(5.0, 5.0, 7);
    EXPECT_EQ(same.majorCount, 1);
    EXPECT_DOUBLE_EQ(same.major(0), 5.0);
    EXPECT_EQ(computeScaleTicks(4000.0, 25.4, 7).majorCount, 1);
    EXPECT_EQ(computeScaleTicks(0.0, std::numeric_limits<double>::quiet_NaN(), 7).majorCount, 1);
    EXPECT_EQ(computeScaleTicks(0.0, std::numeric_limits<double>::infinity(), 7).majorCount, 1);
}

TEST(ScaleTicks, FarFromZeroTheCountStaysBounded) {
    const ScaleTicks t = computeScaleTicks(1e17, 1e17 + 64.0, 5);
    EXPECT_GE(t.majorCount, 1);
    EXPECT_LE(t.majorCount, 5);
}

}  // namespace
