#include "views/widgets/plot_interaction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qvx::widgets;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(PlotViewport, ZoomKeepsTheAnchorWhereItIsAndResetReturnsToTheFullRange) {
    PlotViewport viewport;
    const AxisRange full{0.0, 1000.0};
    EXPECT_FALSE(viewport.isZoomed());
    viewport.zoomX(full, full, 250.0, 0.5);  // the anchor lies at a quarter of the width
    const AxisRange zoomed = viewport.x(full);
    EXPECT_DOUBLE_EQ(zoomed.span, 500.0);
    EXPECT_DOUBLE_EQ((250.0 - zoomed.min) / zoomed.span, 0.25);
    EXPECT_TRUE(viewport.isZoomed());

    viewport.zoomX(zoomed, full, 250.0, 2.0);
    EXPECT_EQ(viewport.x(full), full);
    viewport.reset();
    EXPECT_FALSE(viewport.isZoomed());
    EXPECT_EQ(viewport.x(AxisRange{5.0, 10.0}), (AxisRange{5.0, 10.0}));  // follows the owner
}

TEST(PlotViewport, ZoomIsBoundedAndIgnoresWhatIsNotANumber) {
    PlotViewport viewport;
    const AxisRange full{0.0, 100.0};
    for (int i = 0; i < 100; ++i) {
        viewport.zoomX(viewport.x(full), full, 50.0, 0.1);
    }
    EXPECT_DOUBLE_EQ(viewport.x(full).span, 100.0 * PlotViewport::kMinZoom);
    for (int i = 0; i < 100; ++i) {
        viewport.zoomX(viewport.x(full), full, 50.0, 10.0);
    }
    EXPECT_DOUBLE_EQ(viewport.x(full).span, 100.0 * PlotViewport::kMaxZoom);
    const AxisRange before = viewport.x(full);
    viewport.zoomX(before, full, kNaN, 0.5);
    viewport.zoomX(before, full, 10.0, 0.0);
    viewport.zoomX(before, full, 10.0, -1.0);
    EXPECT_EQ(viewport.x(full), before);
}

TEST(PlotViewport, ValueZoomScalesEveryAxisAroundTheSameHeightAndPansOnlyWhenZoomed) {
    PlotViewport viewport;
    const std::array<AxisRange, 3> full{AxisRange{1000.0, 3000.0}, AxisRange{0.0, 40.0},
                                        AxisRange{-0.25, 5.5}};
    viewport.panY(0.5);  // nothing zoomed: nothing moves
    EXPECT_EQ(viewport.y(0, full[0]), full[0]);

    viewport.zoomY(full, full, 0.5, 0.5);
    EXPECT_EQ(viewport.y(0, full[0]), (AxisRange{1750.0, 1500.0}));
    EXPECT_EQ(viewport.y(1, full[1]), (AxisRange{10.0, 20.0}));
    EXPECT_EQ(viewport.x(AxisRange{0.0, 9.0}), (AxisRange{0.0, 9.0}));  // time untouched

    viewport.panY(0.1);
    EXPECT_DOUBLE_EQ(viewport.y(0, full[0]).min, 1900.0);
    viewport.panX(AxisRange{0.0, 9.0}, -3.0);
    EXPECT_EQ(viewport.x(AxisRange{0.0, 9.0}), (AxisRange{-3.0, 9.0}));
}

TEST(SeriesValueAt, InterpolatesLinesHoldsStairsAndKnowsNothingOutside) {
    const std::vector<QPointF> points{{0.0, 10.0}, {10.0, 20.0}, {20.0, 0.0}};
    EXPECT_DOUBLE_EQ(seriesValueAt(points, 0.0, false), 10.0);
    EXPECT_DOUBLE_EQ(seriesValueAt(points, 2.5, false), 12.5);
    EXPECT_DOUBLE_EQ(seriesValueAt(points, 15.0, false), 10.0);
    EXPECT_DOUBLE_EQ(seriesValueAt(points, 20.0, false), 0.0);
    EXPECT_DOUBLE_EQ(seriesValueAt(points, 2.5, true), 10.0);
    EXPECT_DOUBLE_EQ(seriesValueAt(points, 19.9, true), 20.0);
    EXPECT_DOUBLE_EQ(seriesValueAt(points, 10.0, true), 20.0);
    EXPECT_TRUE(std::isnan(seriesValueAt(points, -0.1, false)));
    EXPECT_TRUE(std::isnan(seriesValueAt(points, 20.1, true)));
    EXPECT_TRUE(std::isnan(seriesValueAt({}, 1.0, false)));
    EXPECT_TRUE(std::isnan(seriesValueAt(points, kNaN, false)));

    const std::vector<QPointF> broken{{0.0, 1.0}, {1.0, kNaN}, {2.0, 3.0}};
    EXPECT_TRUE(std::isnan(seriesValueAt(broken, 0.5, false)));
    EXPECT_TRUE(std::isnan(seriesValueAt(broken, 1.5, true)));
}

TEST(SeriesEdges, AreWhereAStaircaseChangesAndCursorsSnapToTheNearestWithinReach) {
    const std::vector<QPointF> levels{{0.0, 0.0},  {30.0, 0.0},  {60.0, 3.0},
                                      {90.0, 3.0}, {120.0, 2.0}, {150.0, 2.0}};
    const std::vector<double> edges = seriesEdges(levels);
    EXPECT_EQ(edges, (std::vector<double>{60.0, 120.0}));
    EXPECT_DOUBLE_EQ(snapToEdge(70.0, edges, 15.0), 60.0);
    EXPECT_DOUBLE_EQ(snapToEdge(100.0, edges, 25.0), 120.0);
    EXPECT_DOUBLE_EQ(snapToEdge(90.0, edges, 15.0), 90.0);  // none within reach: stays
    EXPECT_DOUBLE_EQ(snapToEdge(90.0, {}, 100.0), 90.0);
}

TEST(PlotCursors, AClickPlacesTheFirstFreeCursorThenMovesTheNearerOne) {
    PlotCursors cursors;
    EXPECT_EQ(cursors.forClickAt(10.0), 0);
    cursors.place(0, 10.0);
    EXPECT_EQ(cursors.forClickAt(5.0), 1);
    cursors.place(1, 50.0);
    EXPECT_EQ(cursors.forClickAt(20.0), 0);
    EXPECT_EQ(cursors.forClickAt(40.0), 1);
    EXPECT_EQ(cursors.near(12.0, 3.0), 0);
    EXPECT_EQ(cursors.near(47.5, 3.0), 1);
    EXPECT_EQ(cursors.near(30.0, 3.0), -1);
    cursors.clear();
    EXPECT_FALSE(cursors.at(0));
    EXPECT_EQ(cursors.near(10.0, 100.0), -1);
}

}  // namespace
