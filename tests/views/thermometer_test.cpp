#include "views/widgets/thermometer.h"

#include <gtest/gtest.h>

#include "views/widgets/color_ref.h"
#include "widget_test_support.h"

using namespace qvx::widgets;
using namespace qvx::widgets::test;

namespace {

bool reddish(const QColor& c) {
    return c.red() > 150 && c.green() < 110 && c.blue() < 110;
}

TEST(ColorRef, ViewColoursDecodeAsRedGreenYellow) {
    EXPECT_EQ(colorFromColorRef(255), QColor(255, 0, 0));
    EXPECT_EQ(colorFromColorRef(65280), QColor(0, 255, 0));
    EXPECT_EQ(colorFromColorRef(65535), QColor(255, 255, 0));
    EXPECT_EQ(colorFromColorRef(0x00563412u), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(colorFromColorRef(0xFF000000u), QColor(0, 0, 0));  // top byte ignored
    EXPECT_EQ(colorRefFromColor(QColor(0x12, 0x34, 0x56)), 0x00563412u);
}

class TemperatureThermometer : public ::testing::Test {
protected:
    void SetUp() override {
        thermometer.resize(80, 220);
        thermometer.setPositionMin(-30.0);
        thermometer.setPositionMax(80.0);
        thermometer.setIndicatorColor(kColorRefRed);
    }
    int columnTop(double value) {
        thermometer.setPosition(value);
        return topmostPixel(grabImage(thermometer), reddish);
    }
    Thermometer thermometer;
};

TEST_F(TemperatureThermometer, ColumnRisesWithThePosition) {
    const int cold = columnTop(-10.0);
    const int warm = columnTop(25.0);
    const int hot = columnTop(70.0);
    ASSERT_GT(cold, 0);
    EXPECT_LT(warm, cold);
    EXPECT_LT(hot, warm);
    // The column is linear in the value: 35 °C between cold and warm, 45 °C between warm and hot.
    EXPECT_NEAR(static_cast<double>(cold - warm) / 35.0, static_cast<double>(warm - hot) / 45.0,
                0.2);
}

TEST_F(TemperatureThermometer, ColumnStopsAtTheEndsOfTheScale) {
    EXPECT_EQ(columnTop(200.0), columnTop(80.0));
    EXPECT_EQ(columnTop(-100.0), columnTop(-30.0));
    EXPECT_DOUBLE_EQ(thermometer.columnFraction(), 0.0);
    thermometer.setPosition(200.0);
    EXPECT_DOUBLE_EQ(thermometer.columnFraction(), 1.0);
}

TEST_F(TemperatureThermometer, IndicatorColourPaintsColumnAndBulb) {
    thermometer.setPosition(25.0);
    const QImage red = grabImage(thermometer);
    thermometer.setIndicatorColor(kColorRefGreen);
    const QImage green = grabImage(thermometer);
    EXPECT_GT(countPixels(red, reddish), 150);
    EXPECT_EQ(countPixels(green, reddish), 0);
    EXPECT_EQ(thermometer.indicatorColor(), QColor(0, 255, 0));
}

// The liquid is cached at its full height and copied down to the position: after a new size
// and a new colour the column must still end where a fresh thermometer's does.
TEST_F(TemperatureThermometer, ResizeAndColourChangesRedrawLikeAFreshThermometer) {
    thermometer.setPosition(20.0);
    (void)grabImage(thermometer);  // fills the caches
    thermometer.resize(60, 160);
    thermometer.setIndicatorColor(kColorRefYellow);
    thermometer.setPosition(50.0);
    Thermometer fresh;
    fresh.resize(60, 160);
    fresh.setPositionMin(-30.0);
    fresh.setPositionMax(80.0);
    fresh.setIndicatorColor(kColorRefYellow);
    fresh.setPosition(50.0);
    EXPECT_EQ(grabImage(thermometer), grabImage(fresh));
}

TEST_F(TemperatureThermometer, ScaleChangeRedrawsLikeAFreshThermometer) {
    thermometer.setPosition(20.0);
    (void)grabImage(thermometer);  // fills the cached scale
    thermometer.setPositionMin(0.0);
    thermometer.setPositionMax(40.0);
    Thermometer fresh;
    fresh.resize(80, 220);
    fresh.setPositionMin(0.0);
    fresh.setPositionMax(40.0);
    fresh.setIndicatorColor(kColorRefRed);
    fresh.setPosition(20.0);
    EXPECT_EQ(grabImage(thermometer), grabImage(fresh));
}

}  // namespace
