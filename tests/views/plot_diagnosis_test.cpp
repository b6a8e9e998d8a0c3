// The time plot's tools for diagnosis: pause, zoom and pan, cursors, reference lines, export.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/plot_export.h"
#include "views/widgets/time_plot.h"
#include "widget_test_support.h"

using namespace qvx::widgets;
using namespace qvx::widgets::test;

namespace {

/// A live plot as the operating-state view has it: 100 s visible, tracking.
class LivePlot : public ::testing::Test {
protected:
    void SetUp() override {
        plot.resize(640, 300);
        setUpGripperPlot(plot, QStringLiteral("Betriebszustand"),
                         QStringLiteral("Zeit ( in Sekunden )"));
        plot.xAxis().setMin(0.0);
        plot.xAxis().setSpan(100.0);
        plot.setXTracking(true);
        for (int c = 0; c < TimePlot::kChannelCount; ++c) {
            plot.channel(c).setRingBufferSize(640);
        }
    }
    /// One sample a second from `from`: gripper rising by 10 mV a second, Ub 24 V, the output
    /// level switching from 1 to 3 at second 50.
    void addSeconds(int from, int count) {
        for (int t = from; t < from + count; ++t) {
            plot.channel(kGripperChannel).addXY(t, 1000.0 + 10.0 * t);
            plot.channel(kSupplyChannel).addXY(t, 24.0);
            plot.channel(kOutputChannel).addXY(t, t < 50 ? 1.0 : 3.0);
        }
    }
    /// Pixel x of value `x` on the plot as laid out now.
    int pixelOf(double x) const {
        return static_cast<int>(std::lround(plot.currentLayout().xToPixel(x)));
    }
    int middleY() const { return static_cast<int>(plot.currentLayout().area.center().y()); }
    TimePlot plot;
};

TEST_F(LivePlot, PauseHoldsTheDrawnPointsWhileTheChannelsFillAndResumeShowsThemAll) {
    addSeconds(0, 120);  // scrolled: 19 .. 119 visible
    ASSERT_TRUE(showAndSettle(plot));
    QSignalSpy paused(&plot, &TimePlot::pausedChanged);
    plot.setPaused(true);
    ASSERT_EQ(paused.count(), 1);
    const QImage frozen = grabImage(plot);
    const AxisRange shown = plot.shownX();
    EXPECT_DOUBLE_EQ(shown.min, 19.0);  // the newest point (119) at the right edge
    QCoreApplication::processEvents();  // the repaint of the pause itself

    PaintCounter paints(plot);
    addSeconds(120, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(paints.count(), 0);  // no repaint for points a paused plot does not show
    EXPECT_EQ(plot.channel(kGripperChannel).count(), 320);
    EXPECT_EQ(plot.shownPoints(kGripperChannel).size(), 120U);
    EXPECT_EQ(plot.shownX(), shown);
    EXPECT_EQ(grabImage(plot), frozen);

    plot.setPaused(false);
    EXPECT_EQ(plot.shownPoints(kGripperChannel).size(), 320U);
    EXPECT_DOUBLE_EQ(plot.shownX().min, 219.0);  // the newest point at the right edge again
    EXPECT_NE(grabImage(plot), frozen);
    EXPECT_EQ(paused.count(), 2);
}

TEST_F(LivePlot, ZoomingAndPanningPauseItAndResetReturnsToTheRunningRange) {
    addSeconds(0, 100);
    ASSERT_TRUE(showAndSettle(plot));
    const QPoint at(pixelOf(50.0), middleY());
    QWheelEvent wheel(at, plot.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&plot, &wheel);
    EXPECT_TRUE(plot.isPaused());
    EXPECT_TRUE(plot.isZoomed());
    EXPECT_LT(plot.shownX().span, 100.0);
    EXPECT_NEAR(plot.currentLayout().pixelToX(at.x()), 50.0, 0.5);  // zoomed around the pointer
    EXPECT_EQ(plot.shownY(kGripperAxis), (AxisRange{1000.0, 3000.0}));

    QWheelEvent shiftWheel(at, plot.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                           Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&plot, &shiftWheel);
    EXPECT_LT(plot.shownY(kGripperAxis).span, 3000.0);
    EXPECT_LT(plot.shownY(kSupplyAxis).span, 40.0);

    addSeconds(100, 10);
    const AxisRange before = plot.shownX();
    QTest::mousePress(&plot, Qt::LeftButton, {}, at);
    QTest::mouseMove(&plot, at + QPoint(60, 0));
    QTest::mouseRelease(&plot, Qt::LeftButton, {}, at + QPoint(60, 0));
    EXPECT_LT(plot.shownX().min, before.min);  // dragged to the right: earlier times
    EXPECT_FALSE(plot.cursor(0));              // a drag places no cursor

    QTest::mouseDClick(&plot, Qt::LeftButton, {}, at);
    EXPECT_FALSE(plot.cursor(0));  // the double click's first click places no cursor
    EXPECT_FALSE(plot.isZoomed());
    EXPECT_FALSE(plot.isPaused());  // the pause the zoom started ends with it
    EXPECT_DOUBLE_EQ(plot.shownX().min, 9.0);
}

TEST_F(LivePlot, APauseAskedForOutlastsTheReset) {
    addSeconds(0, 150);  // 49 .. 149 shown
    plot.setPaused(true);
    plot.zoomX(100.0, 0.5);
    addSeconds(150, 50);  // the recorder runs on meanwhile
    plot.resetZoom();
    EXPECT_TRUE(plot.isPaused());
    EXPECT_EQ(plot.shownX(), (AxisRange{49.0, 100.0}));  // the picture of the pause again
}

TEST_F(LivePlot, ClicksPlaceBothCursorsAndDraggingOneMovesItOntoAnOutputEdge) {
    addSeconds(0, 100);
    ASSERT_TRUE(showAndSettle(plot));
    QSignalSpy changed(&plot, &TimePlot::cursorsChanged);
    QTest::mouseClick(&plot, Qt::LeftButton, {}, QPoint(pixelOf(20.0), middleY()));
    QTest::mouseClick(&plot, Qt::LeftButton, {}, QPoint(pixelOf(80.0), middleY()));
    ASSERT_TRUE(plot.cursor(0) && plot.cursor(1));
    EXPECT_NEAR(*plot.cursor(0), 20.0, 0.5);
    EXPECT_NEAR(*plot.cursor(1), 80.0, 0.5);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_FALSE(plot.isPaused());  // placing cursors does not stop the recorder

    plot.setCursorSnap(true);
    const QPoint grab(pixelOf(*plot.cursor(1)), middleY());
    const QPoint nearEdge(pixelOf(52.0), middleY());
    QTest::mousePress(&plot, Qt::LeftButton, {}, grab);
    QTest::mouseMove(&plot, nearEdge);
    QTest::mouseRelease(&plot, Qt::LeftButton, {}, nearEdge);
    EXPECT_DOUBLE_EQ(*plot.cursor(1), 50.0);  // the output switches from 1 to 3 at second 50
    EXPECT_NEAR(*plot.cursor(0), 20.0, 0.5);

    plot.setCursorSnap(false);
    plot.setCursor(1, 52.0);
    EXPECT_DOUBLE_EQ(*plot.cursor(1), 52.0);
    plot.clearCursors();
    EXPECT_FALSE(plot.cursor(0) || plot.cursor(1));
}

TEST_F(LivePlot, CursorValuesAreThoseDrawnAndFreezeWithThePicture) {
    addSeconds(0, 100);
    plot.setCursor(0, 20.5);
    plot.setCursor(1, 60.0);
    EXPECT_DOUBLE_EQ(plot.cursorValue(0, kGripperChannel), 1205.0);
    EXPECT_DOUBLE_EQ(plot.cursorValue(0, kSupplyChannel), 24.0);
    EXPECT_DOUBLE_EQ(plot.cursorValue(0, kOutputChannel), 1.0);
    EXPECT_DOUBLE_EQ(plot.cursorValue(1, kOutputChannel), 3.0);
    EXPECT_TRUE(std::isnan(plot.cursorValue(0, kGripperChannel, true)));  // no overlay

    plot.setPaused(true);
    plot.setCursor(1, 150.0);
    addSeconds(100, 100);
    EXPECT_TRUE(std::isnan(plot.cursorValue(1, kGripperChannel)));  // not drawn while paused
    plot.setPaused(false);
    EXPECT_DOUBLE_EQ(plot.cursorValue(1, kGripperChannel), 2500.0);
}

/// Rows (image y) where at least `minimum` pixels are of `colour`'s hue family.
int rowsWith(const QImage& image, const std::function<bool(const QColor&)>& match, int minimum) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x) {
            count += match(image.pixelColor(x, y)) ? 1 : 0;
        }
        rows += count >= minimum ? 1 : 0;
    }
    return rows;
}

bool isReferenceInk(const QColor& c) {
    return c.red() > 100 && c.blue() > 140 && c.green() < 110;  // the purple of the lines
}

TEST_F(LivePlot, ReferenceLinesAreDrawnAtTheirValuesWithLabelsAndBands) {
    const QImage none = grabImage(plot);
    EXPECT_EQ(rowsWith(none, isReferenceInk, 100), 0);
    plot.setReferenceLines(kGripperAxis, {{1500.0, QStringLiteral("Aus<-->Auf  1500.00")},
                                          {3500.0, QStringLiteral("A<-->Zu  3500.00")}});
    const QImage lines = grabImage(plot);
    EXPECT_EQ(rowsWith(lines, isReferenceInk, 100), 2);  // two dashed lines across the area
    const PlotLayout layout = plot.currentLayout();
    const int y = static_cast<int>(std::round(layout.yToPixel(kGripperAxis, 1500.0)));
    int onLine = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int x = 0; x < lines.width(); ++x) {
            onLine += isReferenceInk(lines.pixelColor(x, y + dy)) ? 1 : 0;
        }
    }
    EXPECT_GT(onLine, 100);

    plot.setReferenceLines(kGripperAxis, {{2000.0, QStringLiteral("C<-->B")}});
    const QImage plain = grabImage(plot);
    plot.setReferenceLines(kGripperAxis, {{2000.0, QStringLiteral("C<-->B"), 1900.0, 2150.0}});
    const QImage band = grabImage(plot);
    const int inside = static_cast<int>(layout.yToPixel(kGripperAxis, 2100.0));
    const int outside = static_cast<int>(layout.yToPixel(kGripperAxis, 2300.0));
    const int x = static_cast<int>(layout.area.center().x());
    EXPECT_NE(band.pixelColor(x, inside), plain.pixelColor(x, inside));  // shaded
    EXPECT_EQ(band.pixelColor(x, outside), plain.pixelColor(x, outside));
}

TEST_F(LivePlot, SavesAsVectorGraphicsAndCopiesToTheClipboard) {
    addSeconds(0, 100);
    plot.setCursor(0, 30.0);
    plot.setReferenceLines(kGripperAxis, {{1500.0, QStringLiteral("Aus<-->Auf  1500.00")}});
    const QByteArray svg = plotSvg(plot);
    EXPECT_TRUE(svg.contains("<svg"));
    EXPECT_TRUE(svg.contains("<path") || svg.contains("<polyline"));
    EXPECT_TRUE(svg.contains("Betriebszustand"));
    EXPECT_TRUE(svg.contains("Aus&lt;--&gt;Auf"));
    EXPECT_FALSE(svg.contains("<image"));  // drawn, not a picture of the widget

    EXPECT_EQ(pictureFormatFor(QStringLiteral("a.SVG")), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatFor(QStringLiteral("a.png")), PictureFormat::Png);
    EXPECT_EQ(pictureFormatFor(QStringLiteral("a")), PictureFormat::Png);

    copyPlotToClipboard(plot);
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.size(), plotImage(plot).size());
    EXPECT_EQ(copied.convertToFormat(QImage::Format_ARGB32),
              plotImage(plot).convertToFormat(QImage::Format_ARGB32));
}

TEST(TimePlotOverlay, IsDrawnDashedWithALegendRowForBothRecordings) {
    TimePlot plot;
    plot.resize(640, 300);
    setUpGripperPlot(plot, QStringLiteral("Aufnahme"), QStringLiteral("Zeit in 1/1000 Sekunden"));
    plot.xAxis().setSpan(19170.0);
    for (int i = 0; i < 640; ++i) {
        plot.channel(kGripperChannel).addXY(30.0 * i, 1500.0);
    }
    plot.setRecordingNames(QStringLiteral("vorher.csv"), QStringLiteral("nachher.csv"));
    const QImage alone = grabImage(plot);
    for (int i = 0; i < 640; ++i) {
        plot.overlay(kGripperChannel).addXY(30.0 * i, 3000.0);
    }
    const QImage overlaid = grabImage(plot);
    EXPECT_NE(overlaid, alone);
    EXPECT_LT(plot.currentLayout().area.top(), 200.0);
    plot.setCursor(0, 300.0);
    EXPECT_DOUBLE_EQ(plot.cursorValue(0, kGripperChannel, true), 3000.0);
    EXPECT_DOUBLE_EQ(plot.cursorValue(0, kGripperChannel, false), 1500.0);

    const auto isGripperBlue = [](const QColor& c) {
        return c.blue() > 150 && c.red() < 90 && c.green() > 60 && c.green() < 130;
    };
    const int overlayRow =
        static_cast<int>(std::lround(plot.currentLayout().yToPixel(kGripperAxis, 3000.0)));
    const QRect area = plot.currentLayout().area.toRect().adjusted(2, 0, -2, 0);
    const QImage row = overlaid.copy(area.left(), overlayRow - 1, area.width(), 3);
    EXPECT_GT(countPixels(row, isGripperBlue), 100);
    plot.channel(kGripperChannel).setVisible(false);  // the overlay follows its channel
    const QImage hidden = grabImage(plot).copy(area.left(), overlayRow - 1, area.width(), 3);
    EXPECT_EQ(countPixels(hidden, isGripperBlue), 0);
}

}  // namespace
