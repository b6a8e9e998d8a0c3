#include "document/units.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>

using namespace qvx::document;
using qvx::link::CalibrationMode;
using qvx::link::CalibrationPoint;
using qvx::link::CalibrationTable;

namespace {

void loadTable(CalibrationTable& table, float maxLength, std::uint8_t count = 2) {
    std::vector<CalibrationPoint> points;
    for (std::uint8_t i = 0; i < count; ++i) {
        points.push_back({1000.0F + 1000.0F * i, maxLength - maxLength * static_cast<float>(i) / static_cast<float>(count)});
    }
    ASSERT_TRUE(table.applyLoaded({1, 0, count, 1}, points));
}

}  // namespace

TEST(Formats, PadToEightCharactersWithTheSignCounting) {
    EXPECT_EQ(formatCelsius(-12.5F), "   -12.5 °C");
    EXPECT_EQ(formatVolts(24.04F), "    24.0 V");
    EXPECT_EQ(formatGripper(2500.0F, DisplayUnit::Millivolt), " 2500.00 mV");
    EXPECT_EQ(formatGripper(12.345F, DisplayUnit::Millimetre), "   12.35 mm");
    EXPECT_EQ(formatGripper(10.0F, DisplayUnit::TenthInch), "   10.00 * 1/10 ''");
    EXPECT_EQ(formatPlain(3.14159F), "    3.14");
}

TEST(Formats, UseADecimalPointWhateverTheUsersLocale) {
    // The program keeps LC_NUMERIC at "C"; this guards against anyone setting it from the
    // environment later (de_DE may be missing on the machine, so the C locale's own point is
    // what is checked when it is).
    const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const std::string text = formatPlain(1.5F);
    std::setlocale(LC_NUMERIC, "C");
    if (german != nullptr) {
        EXPECT_EQ(text, "    1,50") << "snprintf follows LC_NUMERIC: the program must not set it";
    } else {
        EXPECT_EQ(text, "    1.50");
    }
}

TEST(Units, TwentyFiveFourMillimetresAreTenTenthsOfAnInch) {
    EXPECT_FLOAT_EQ(lengthForDisplay(25.4F, 1), 10.0F);
    EXPECT_FLOAT_EQ(lengthForDisplay(25.4F, 0), 25.4F);
    EXPECT_FLOAT_EQ(lengthFromDisplay(1.0F, 1), 2.54F);
    EXPECT_EQ(effectiveUnit(CalibrationMode::Millivolt, 1), DisplayUnit::Millivolt);
    EXPECT_EQ(effectiveUnit(CalibrationMode::Calibrated, 1), DisplayUnit::TenthInch);
}

TEST(Units, CaptionsFollowModeAndPreference) {
    EXPECT_EQ(toggleCaption(CalibrationMode::Millivolt, 0), "-> mm");
    EXPECT_EQ(toggleCaption(CalibrationMode::Millivolt, 1), "-> 1/10 ''");
    EXPECT_EQ(toggleCaption(CalibrationMode::Calibrated, 1), "-> mV");
    EXPECT_EQ(valuesCaption(CalibrationMode::Millivolt, 1), "Werte in mV");
    EXPECT_EQ(valuesCaption(CalibrationMode::Calibrated, 0), "Werte in mm");
    EXPECT_EQ(valuesCaption(CalibrationMode::Calibrated, 1), "Werte in 1/10 ''");
}

TEST(Units, RangesFollowTheLargestSupportPointLength) {
    CalibrationTable table;
    EXPECT_FLOAT_EQ(gaugeRange(table, 0).minimum, 1000.0F);
    EXPECT_FLOAT_EQ(gaugeRange(table, 0).maximum, 4000.0F);
    EXPECT_FLOAT_EQ(plotAxis(table, 0).maximum, 3000.0F);  // the span
    loadTable(table, 25.4F);
    table.setMode(CalibrationMode::Calibrated);
    EXPECT_FLOAT_EQ(gaugeRange(table, 1).maximum, 10.0F);
    EXPECT_NEAR(plotAxis(table, 1).maximum, 11.0F, 1e-5);
    EXPECT_FLOAT_EQ(gaugeRange(table, 0).maximum, 25.4F);
}

TEST(Units, TheToggleNeedsTwoSupportPointsForLengths) {
    CalibrationTable table;
    EXPECT_FALSE(toggleUnit(table));
    EXPECT_EQ(table.getMode(), CalibrationMode::Millivolt);
    loadTable(table, 20.0F, 1);
    EXPECT_FALSE(toggleUnit(table));
    EXPECT_EQ(table.getMode(), CalibrationMode::Millivolt);
    loadTable(table, 20.0F, 2);
    EXPECT_TRUE(toggleUnit(table));
    EXPECT_EQ(table.getMode(), CalibrationMode::Calibrated);
    EXPECT_TRUE(toggleUnit(table));
    EXPECT_EQ(table.getMode(), CalibrationMode::Millivolt);
}
