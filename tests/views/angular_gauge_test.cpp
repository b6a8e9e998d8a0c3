#include "views/widgets/angular_gauge.h"

#include <gtest/gtest.h>

#include <limits>

#include "widget_test_support.h"

using qvx::widgets::AngularGauge;
using namespace qvx::widgets::test;

namespace {

void configureMillivolt(AngularGauge& gauge) {
    gauge.resize(200, 200);
    gauge.setPositionMin(1000.0);
    gauge.setPositionMax(4000.0);
    gauge.setMinLabel(QStringLiteral("Auf"));
    gauge.setMaxLabel(QStringLiteral("Zu"));
}

TEST(AngularGauge, PointerFollowsThePosition) {
    AngularGauge gauge;
    configureMillivolt(gauge);
    gauge.setPosition(1500.0);
    const QImage low = grabImage(gauge);
    gauge.setPosition(3500.0);
    const QImage high = grabImage(gauge);
    EXPECT_NE(low, high);
    EXPECT_DOUBLE_EQ(gauge.pointerFraction(), 2500.0 / 3000.0);
    gauge.setPosition(1500.0);
    EXPECT_EQ(grabImage(gauge), low);
}

TEST(AngularGauge, ValuesOutsideTheScalePinThePointerToTheNearerEnd) {
    AngularGauge gauge;
    configureMillivolt(gauge);
    gauge.setPosition(4000.0);
    const QImage atMax = grabImage(gauge);
    gauge.setPosition(9999.0);
    EXPECT_EQ(grabImage(gauge), atMax);
    gauge.setPosition(1000.0);
    const QImage atMin = grabImage(gauge);
    gauge.setPosition(-50.0);
    EXPECT_EQ(grabImage(gauge), atMin);
    EXPECT_DOUBLE_EQ(gauge.pointerFraction(), 0.0);
}

TEST(AngularGauge, NotANumberLeavesThePointerWhereItWas) {
    AngularGauge gauge;
    configureMillivolt(gauge);
    gauge.setPosition(2000.0);
    gauge.setPosition(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(gauge.position(), 2000.0);
}

// The dial is cached: a changed scale or label must be drawn exactly as a fresh gauge would.
TEST(AngularGauge, ScaleAndLabelChangesRedrawTheDial) {
    AngularGauge gauge;
    configureMillivolt(gauge);
    gauge.setPosition(2000.0);
    const QImage millivolt = grabImage(gauge);

    gauge.setPositionMin(0.0);
    gauge.setPositionMax(25.4);
    gauge.setMinLabel(QStringLiteral("Zu"));
    gauge.setMaxLabel(QStringLiteral("Auf"));
    gauge.setPosition(12.0);
    gauge.refresh();
    const QImage length = grabImage(gauge);
    EXPECT_NE(length, millivolt);

    AngularGauge fresh;
    fresh.resize(200, 200);
    fresh.setPositionMin(0.0);
    fresh.setPositionMax(25.4);
    fresh.setMinLabel(QStringLiteral("Zu"));
    fresh.setMaxLabel(QStringLiteral("Auf"));
    fresh.setPosition(12.0);
    EXPECT_EQ(grabImage(fresh), length);
}

// The dial and the scale are cached in two layers; a new size or font must reach both.
TEST(AngularGauge, ResizeAndFontChangesRedrawLikeAFreshGauge) {
    AngularGauge gauge;
    configureMillivolt(gauge);
    gauge.setPosition(2000.0);
    (void)grabImage(gauge);  // fills the caches
    gauge.resize(160, 170);
    (void)grabImage(gauge);  // and again at the new size
    QFont italic = gauge.font();
    italic.setItalic(true);
    gauge.setFont(italic);

    AngularGauge fresh;
    configureMillivolt(fresh);
    fresh.resize(160, 170);
    fresh.setFont(italic);
    fresh.setPosition(2000.0);
    EXPECT_EQ(grabImage(gauge), grabImage(fresh));
}

TEST(AngularGauge, EndLabelsAreDrawn) {
    AngularGauge gauge;
    configureMillivolt(gauge);
    const QImage labelled = grabImage(gauge);
    gauge.setMinLabel(QString());
    gauge.setMaxLabel(QString());
    EXPECT_NE(grabImage(gauge), labelled);
}

TEST(AngularGauge, EmptyOrInvertedRangeDrawsWithThePointerAtTheStart) {
    AngularGauge gauge;
    configureMillivolt(gauge);
    gauge.setPositionMin(4000.0);
    gauge.setPositionMax(25.4);  // a view may set the new maximum before the new minimum
    gauge.setPosition(12.0);
    EXPECT_DOUBLE_EQ(gauge.pointerFraction(), 0.0);
    EXPECT_FALSE(grabImage(gauge).isNull());
    gauge.setPositionMax(4000.0);
    EXPECT_DOUBLE_EQ(gauge.pointerFraction(), 0.0);
    EXPECT_FALSE(grabImage(gauge).isNull());
}

TEST(AngularGauge, ABurstOfPositionChangesCostsOneRepaint) {
    AngularGauge gauge;
    configureMillivolt(gauge);
    ASSERT_TRUE(showAndSettle(gauge));
    PaintCounter paints(gauge);
    for (int i = 0; i < 20; ++i) {
        gauge.setPosition(1000.0 + 100.0 * i);
    }
    EXPECT_EQ(paintsAfterEvents(paints), 1);
}

}  // namespace
