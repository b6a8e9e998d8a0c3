#include "views/widgets/time_plot.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPainter>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "views/widgets/gripper_plot_setup.h"
#include "widget_test_support.h"

using namespace qvx::widgets;
using namespace qvx::widgets::test;

namespace {

class GripperPlot : public ::testing::Test {
protected:
    void SetUp() override {
        plot.resize(640, 300);
        setUpGripperPlot(plot, QStringLiteral("Betriebszustand"),
                         QStringLiteral("Zeit ( in Sekunden )"));
        plot.xAxis().setMin(0.0);
        plot.xAxis().setSpan(640.0);
        for (int c = 0; c < TimePlot::kChannelCount; ++c) {
            plot.channel(c).setRingBufferSize(640);
        }
    }
    void addLivePoints(int n) {
        for (int i = 0; i < n; ++i) {
            plot.channel(kGripperChannel).addY(1500.0 + (i % 50) * 40.0);
            plot.channel(kSupplyChannel).addY(24.0);
            plot.channel(kOutputChannel).addY(i % 6);
        }
    }
    TimePlot plot;
};

TEST_F(GripperPlot, RingBufferKeepsItsSizeAndTheNewestPoints) {
    addLivePoints(700);
    for (int c = 0; c < TimePlot::kChannelCount; ++c) {
        EXPECT_EQ(plot.channel(c).count(), 640);
        EXPECT_DOUBLE_EQ(plot.channel(c).point(0).x(), 60.0);
        EXPECT_DOUBLE_EQ(plot.channel(c).point(639).x(), 699.0);
    }
    plot.channel(kGripperChannel).setRingBufferSize(100);
    EXPECT_EQ(plot.channel(kGripperChannel).count(), 100);
    EXPECT_DOUBLE_EQ(plot.channel(kGripperChannel).point(0).x(), 600.0);
}

TEST_F(GripperPlot, RingBufferSizeIsBounded) {
    TimePlotChannel& channel = plot.channel(kGripperChannel);
    channel.setRingBufferSize(0);
    EXPECT_EQ(channel.ringBufferSize(), 1);
    channel.setRingBufferSize(-5);
    EXPECT_EQ(channel.ringBufferSize(), 1);
    channel.setRingBufferSize(2'000'000'000);
    EXPECT_EQ(channel.ringBufferSize(), TimePlotChannel::kMaxRingBufferSize);
}

TEST_F(GripperPlot, AddYStepsXAndClearStartsAgainAtZero) {
    TimePlotChannel& channel = plot.channel(kSupplyChannel);
    EXPECT_EQ(channel.addY(24.0), 0);
    EXPECT_EQ(channel.addY(23.5), 1);
    EXPECT_EQ(channel.addXY(10.0, 22.0), 2);
    EXPECT_EQ(channel.addY(21.0), 3);
    EXPECT_EQ(channel.point(1), QPointF(1.0, 23.5));
    EXPECT_EQ(channel.point(3), QPointF(11.0, 21.0));
    channel.clear();
    EXPECT_EQ(channel.count(), 0);
    channel.addY(20.0);
    EXPECT_EQ(channel.point(0), QPointF(0.0, 20.0));
}

TEST_F(GripperPlot, PointsChangeThePicture) {
    const QImage empty = grabImage(plot);
    addLivePoints(50);
    EXPECT_NE(grabImage(plot), empty);
    for (int c = 0; c < TimePlot::kChannelCount; ++c) {
        plot.channel(c).clear();
    }
    EXPECT_EQ(grabImage(plot), empty);
}

TEST_F(GripperPlot, HiddenChannelIsNotDrawnButKeepsItsPoints) {
    plot.channel(kGripperChannel).setVisible(false);
    const QImage hiddenEmpty = grabImage(plot);
    for (int i = 0; i < 100; ++i) {
        plot.channel(kGripperChannel).addY(1000.0 + 30.0 * i);
    }
    EXPECT_EQ(grabImage(plot), hiddenEmpty);
    EXPECT_EQ(plot.channel(kGripperChannel).count(), 100);
    plot.channel(kGripperChannel).setVisible(true);
    EXPECT_NE(grabImage(plot), hiddenEmpty);
}

TEST_F(GripperPlot, YAxisRangeMovesTheLine) {
    for (int i = 0; i < 100; ++i) {
        plot.channel(kGripperChannel).addY(2000.0);
    }
    const QImage millivolt = grabImage(plot);
    plot.yAxis(kGripperAxis).setMin(0.0);
    plot.yAxis(kGripperAxis).setSpan(1.1 * 25.4);
    plot.yAxis(kGripperAxis).setTitle(QStringLiteral("Werte in mm"));
    plot.refresh();
    EXPECT_NE(grabImage(plot), millivolt);
    EXPECT_DOUBLE_EQ(plot.yAxis(kGripperAxis).span(), 1.1 * 25.4);
    plot.yAxis(kGripperAxis).setSpan(0.0);  // ignored: the axis needs a range
    plot.yAxis(kGripperAxis).setSpan(-3.0);
    EXPECT_DOUBLE_EQ(plot.yAxis(kGripperAxis).span(), 1.1 * 25.4);
}

TEST_F(GripperPlot, AxesAndLegendAreThoseOfTheViews) {
    EXPECT_EQ(plot.channel(kGripperChannel).name(), QStringLiteral("Greifer"));
    EXPECT_EQ(plot.channel(kOutputChannel).name(), QStringLiteral("Schaltausgänge"));
    EXPECT_EQ(plot.channel(kSupplyChannel).yAxis(), kSupplyAxis);
    EXPECT_EQ(plot.yAxis(kSupplyAxis).title(), QStringLiteral("Eingangsspannung in V"));
    EXPECT_DOUBLE_EQ(plot.yAxis(kSupplyAxis).min(), 0.0);
    EXPECT_DOUBLE_EQ(plot.yAxis(kSupplyAxis).span(), 40.0);
    const QList<TickLabel>& legend = plot.yAxis(kOutputAxis).tickLabels();
    ASSERT_EQ(legend.size(), 5);
    const char* texts[] = {"1 = Zu", "2 = A", "3 = B", "4 = C", "5 = Offen"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(legend[i].value, i + 1.0);
        EXPECT_EQ(legend[i].text, QString::fromUtf8(texts[i]));
    }
    // Levels 0 and 5 lie inside the axis, off the frame.
    const TimePlotAxis& level = plot.yAxis(kOutputAxis);
    EXPECT_LT(level.min(), 0.0);
    EXPECT_GT(level.min() + level.span(), 5.0);
}

TEST_F(GripperPlot, RefillBetweenBeginAndEndShowsAtOnceAndRepaintsOnce) {
    addLivePoints(30);
    plot.setCursor(0, 10.0);
    ASSERT_TRUE(showAndSettle(plot));
    const QImage before = grabImage(plot);
    const double readout = plot.cursorValue(0, kGripperChannel);
    PaintCounter paints(plot);

    plot.beginUpdate();
    for (int c = 0; c < TimePlot::kChannelCount; ++c) {
        plot.channel(c).clear();
    }
    plot.resetXView();
    plot.setTitle(QStringLiteral("Aufnahme"));
    plot.channel(kSupplyChannel).setVisible(false);
    for (int i = 0; i < 640; ++i) {
        plot.channel(kGripperChannel).addXY(30.0 * i, 3000.0);
        plot.channel(kSupplyChannel).addXY(30.0 * i, 12.0);
        plot.channel(kOutputChannel).addXY(30.0 * i, 2.0);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(paints.count(), 0);
    EXPECT_DOUBLE_EQ(plot.cursorValue(0, kGripperChannel), readout);  // what is drawn
    EXPECT_EQ(grabImage(plot), before);  // an expose meanwhile shows the old picture
    paints.reset();
    plot.endUpdate();
    EXPECT_EQ(paintsAfterEvents(paints), 1);
    EXPECT_NE(grabImage(plot), before);
    EXPECT_EQ(plot.channel(kOutputChannel).count(), 640);
    EXPECT_DOUBLE_EQ(plot.channel(kOutputChannel).point(639).x(), 19170.0);
}

// The widget keeps the parts that do not move with the curves in a picture of their own; after
// any change it must show what a drawing from scratch shows.
TEST_F(GripperPlot, TheKeptBackdropFollowsEveryChangeOfAxesTitleAndLegend) {
    const auto drawnAfresh = [this] {
        QImage image(plot.size(), QImage::Format_ARGB32);
        QPainter painter(&image);
        plot.renderPicture(painter, plot.size());
        painter.end();
        return image;
    };
    addLivePoints(50);
    const QImage first = grabImage(plot);
    EXPECT_TRUE(first == drawnAfresh());

    const std::vector<std::pair<const char*, std::function<void()>>> changes{
        {"title", [this] { plot.setTitle(QStringLiteral("Aufnahme")); }},
        {"y range and title",
         [this] {
             plot.yAxis(kGripperAxis).setMin(0.0);
             plot.yAxis(kGripperAxis).setSpan(1.1 * 25.4);
             plot.yAxis(kGripperAxis).setTitle(QStringLiteral("Werte in mm"));
             plot.refresh();
         }},
        {"x title",
         [this] {
             plot.xAxis().setTitle(QStringLiteral("Zeit in s"));
             plot.refresh();
         }},
        {"zoomed y", [this] { plot.zoomY(0.5, 0.5); }},
        {"hidden channel", [this] { plot.channel(kSupplyChannel).setVisible(false); }},
        {"recording legend",
         [this] {
             plot.setRecordingNames(QStringLiteral("vorher.csv"), QStringLiteral("nachher.csv"));
         }},
        {"scrolling x",
         [this] {
             plot.setXTracking(true);
             addLivePoints(700);
         }},
        {"cursor and reference line",
         [this] {
             plot.setCursor(0, plot.xViewMin() + 100.0);
             plot.setReferenceLines(kGripperAxis, {{10.0, QStringLiteral("Schaltpunkt 1"), 9.0, 11.0}});
         }},
        {"size", [this] { plot.resize(700, 330); }},
        {"paused", [this] { plot.setPaused(true); }},
    };
    for (const auto& [what, change] : changes) {
        change();
        EXPECT_TRUE(grabImage(plot) == drawnAfresh()) << what;
    }
    EXPECT_FALSE(grabImage(plot) == first);
}

TEST_F(GripperPlot, ManyPointsOutsideABracketStillCostOneRepaint) {
    ASSERT_TRUE(showAndSettle(plot));
    PaintCounter paints(plot);
    addLivePoints(10);
    EXPECT_EQ(paintsAfterEvents(paints), 1);
}

TEST_F(GripperPlot, TrackingScrollsToTheNewestPointUntilReset) {
    plot.xAxis().setSpan(10.0);
    addLivePoints(15);                       // x = 0 .. 14
    EXPECT_DOUBLE_EQ(plot.xViewMin(), 0.0);  // tracking is off by default

    plot.setXTracking(true);
    plot.channel(kGripperChannel).addY(1000.0);  // x = 15
    EXPECT_DOUBLE_EQ(plot.xViewMin(), 5.0);
    const QImage scrolled = grabImage(plot);
    plot.resetXView();
    EXPECT_DOUBLE_EQ(plot.xViewMin(), 0.0);
    EXPECT_NE(grabImage(plot), scrolled);
    plot.channel(kGripperChannel).addY(1000.0);  // x = 16
    EXPECT_DOUBLE_EQ(plot.xViewMin(), 6.0);
    plot.xAxis().setMin(-2.0);
    EXPECT_DOUBLE_EQ(plot.xViewMin(), -2.0);
}

TEST(TimePlot, PointsThatAreNotNumbersBreakTheLineWithoutHarm) {
    TimePlot plot;
    plot.resize(400, 240);
    plot.yAxis(0).setMin(0.0);
    plot.yAxis(0).setSpan(10.0);
    plot.xAxis().setSpan(10.0);
    plot.channel(0).addY(1.0);
    plot.channel(0).addY(std::numeric_limits<double>::quiet_NaN());
    plot.channel(0).addY(std::numeric_limits<double>::infinity());
    plot.channel(0).addY(5.0);
    EXPECT_EQ(plot.channel(0).count(), 4);
    EXPECT_FALSE(grabImage(plot).isNull());
}

}  // namespace
