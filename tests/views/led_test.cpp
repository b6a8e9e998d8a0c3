#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include "views/widgets/rectangular_led.h"
#include "views/widgets/round_led.h"
#include "widget_test_support.h"

using qvx::widgets::BevelStyle;
using qvx::widgets::LedColors;
using qvx::widgets::RectangularLed;
using qvx::widgets::RoundLed;
using namespace qvx::widgets::test;

namespace {

bool reddish(const QColor& c) {
    return c.red() > 150 && c.green() < 110 && c.blue() < 110;
}
bool greenish(const QColor& c) {
    return c.green() > 140 && c.red() < 120 && c.blue() < 120;
}

TEST(RectangularLed, MouseClickAndSpaceReportAClick) {
    RectangularLed led;
    led.setCaption(QStringLiteral("Aufnahme starten"));
    led.resize(150, 32);
    ASSERT_TRUE(showAndSettle(led));
    QSignalSpy clicks(&led, &RectangularLed::clicked);
    QTest::mouseClick(&led, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    led.setFocus();
    QTest::keyClick(&led, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 2);
    // A press that leaves the lamp before release is no click.
    QTest::mousePress(&led, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&led, Qt::LeftButton, {}, QPoint(400, 10));
    EXPECT_EQ(clicks.count(), 2);
}

TEST(RectangularLed, ActiveLightsTheLampInItsColour) {
    RectangularLed led;
    led.resize(120, 30);
    const QImage dark = grabImage(led);
    led.setActive(true);
    const QImage lit = grabImage(led);
    EXPECT_NE(lit, dark);
    EXPECT_GT(countPixels(lit, greenish), countPixels(dark, greenish) + 500);
    led.setActiveColor(QColor(0xe0, 0x20, 0x20));
    EXPECT_GT(countPixels(grabImage(led), reddish), 500);
}

TEST(RectangularLed, LoweredBevelLooksPressedAndDiffersFromRaised) {
    RectangularLed led;
    led.resize(120, 30);
    led.setBevelStyle(BevelStyle::Raised);
    const QImage raised = grabImage(led);
    led.setBevelStyle(BevelStyle::Lowered);
    const QImage lowered = grabImage(led);
    // Light falls from the upper left: a raised edge is bright there, a lowered one dark.
    EXPECT_GT(raised.pixelColor(1, 1).lightness(), lowered.pixelColor(1, 1).lightness() + 80);
    EXPECT_GT(lowered.pixelColor(118, 28).lightness(), raised.pixelColor(118, 28).lightness() + 80);
}

TEST(RectangularLed, CaptionIsDrawnAndServesAsAccessibleText) {
    RectangularLed led;
    led.resize(150, 32);
    const QImage empty = grabImage(led);
    led.setCaption(QStringLiteral("Offline."));
    EXPECT_NE(grabImage(led), empty);
    EXPECT_EQ(led.text(), QStringLiteral("Offline."));
    led.setCaption(QStringLiteral("A & B"));
    EXPECT_EQ(led.caption(), QStringLiteral("A & B"));
    EXPECT_EQ(led.text(), QStringLiteral("A && B"));  // no mnemonic
}

TEST(RectangularLed, ChangesBetweenBeginAndEndUpdateAppearTogether) {
    RectangularLed led;
    led.resize(150, 32);
    led.setCaption(QStringLiteral("Aufnahme starten"));
    const QImage before = grabImage(led);

    led.beginUpdate();
    led.beginUpdate();
    led.setCaption(QStringLiteral("Aufnahme läuft"));
    led.setActive(true);
    EXPECT_EQ(grabImage(led), before);
    led.endUpdate();
    EXPECT_EQ(grabImage(led), before);  // still inside the outer bracket
    led.endUpdate();
    EXPECT_FALSE(led.isUpdating());

    RectangularLed direct;
    direct.resize(150, 32);
    direct.setCaption(QStringLiteral("Aufnahme läuft"));
    direct.setActive(true);
    EXPECT_EQ(grabImage(led), grabImage(direct));

    led.endUpdate();  // unmatched: ignored
    led.setActive(false);
    EXPECT_NE(grabImage(led), grabImage(direct));
}

TEST(RectangularLed, BlinkingInsideABracketRepaintsOncePerBracket) {
    RectangularLed led;
    led.resize(150, 32);
    ASSERT_TRUE(showAndSettle(led));
    PaintCounter paints(led);
    led.beginUpdate();
    for (int i = 0; i < 5; ++i) {
        led.setActive(i % 2 == 1);
        led.setCaption(QStringLiteral("Aufnahme läuft"));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(paints.count(), 0);
    led.endUpdate();
    EXPECT_EQ(paintsAfterEvents(paints), 1);

    // Setting what it already shows, in a bracket or not, repaints nothing.
    paints.reset();
    led.beginUpdate();
    led.setActive(false);
    led.setActive(true);
    led.setActive(false);
    led.setCaption(QStringLiteral("Aufnahme läuft"));
    led.endUpdate();
    led.setActiveColor(led.activeColor());
    led.setInactiveColor(led.inactiveColor());
    EXPECT_EQ(paintsAfterEvents(paints), 0);
}

TEST(RoundLed, RedGreenPairShowsRedWhenActiveAndGreenWhenNot) {
    RoundLed led;
    led.resize(24, 24);
    led.setColors(LedColors::RedGreen);
    const QImage inactive = grabImage(led);
    EXPECT_TRUE(greenish(inactive.pixelColor(12, 14)))
        << inactive.pixelColor(12, 14).name().toStdString();
    led.setActive(true);
    const QImage active = grabImage(led);
    EXPECT_TRUE(reddish(active.pixelColor(12, 14)))
        << active.pixelColor(12, 14).name().toStdString();
}

TEST(RoundLed, GreenOffPairIsDarkWhenInactive) {
    RoundLed led;
    led.resize(24, 24);
    const QColor off = grabImage(led).pixelColor(12, 14);
    EXPECT_LT(off.lightness(), 70) << off.name().toStdString();
    led.setActive(true);
    EXPECT_TRUE(greenish(grabImage(led).pixelColor(12, 14)));
    EXPECT_EQ(led.accessibleDescription(), QStringLiteral("an"));
}

}  // namespace
