#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <array>
#include <limits>
#include <vector>

#include "views/widgets/plot_model.h"
#include "views/widgets/scale_ticks.h"

class QPainter;

namespace qvx::widgets {

/// The part of an axis on screen: [min, min + span].
struct AxisRange {
    double min = 0.0;
    double span = 1.0;
    [[nodiscard]] double max() const { return min + span; }
    friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

/// A labelled horizontal line at a value of one y axis, optionally with a shaded band
/// [bandLow, bandHigh] around it (a tolerance band). NaN band ends draw no band.
struct ReferenceLine {
    double value = 0.0;
    QString label;
    double bandLow = std::numeric_limits<double>::quiet_NaN();
    double bandHigh = std::numeric_limits<double>::quiet_NaN();
    friend bool operator==(const ReferenceLine&, const ReferenceLine&) = default;
};

/// One line drawn in the plot area.
struct SeriesPicture {
    const std::vector<QPointF>* points = nullptr;
    QColor color;
    int yAxis = 0;
    bool stepped = false;
    bool dashed = false;  // an overlaid series
    friend bool operator==(const SeriesPicture&, const SeriesPicture&) = default;
};

/// One entry of the legend: a line sample and its text.
struct LegendEntry {
    QString text;
    QColor color;
    Qt::PenStyle style = Qt::SolidLine;
    bool shown = true;  // hidden entries are drawn grey and dotted
    friend bool operator==(const LegendEntry&, const LegendEntry&) = default;
};

/// One y axis as drawn.
struct YAxisPicture {
    QString title;
    AxisRange range;
    QList<TickLabel> tickLabels;
    bool used = false;  // axis 0 is always drawn; the right axes only when a series uses them
    QColor color;
    friend bool operator==(const YAxisPicture&, const YAxisPicture&) = default;
};

/// Everything a plot picture shows. The painter draws it and knows nothing of widgets.
struct PlotScene {
    QString title;
    QString xTitle;
    AxisRange x;
    std::array<YAxisPicture, 3> y;
    std::vector<SeriesPicture> series;
    std::vector<LegendEntry> legend;
    /// A second legend row (the recordings laid over each other); none when empty.
    std::vector<LegendEntry> recordingLegend;
    int referenceAxis = 0;
    QList<ReferenceLine> references;
    /// x of cursor 1 and 2; NaN for a cursor not placed.
    std::array<double, 2> cursors{std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::quiet_NaN()};
    /// A short mark in the plot area's corner (for instance that the picture is paused).
    QString mark;
    friend bool operator==(const PlotScene&, const PlotScene&) = default;
};

/// Where everything of a scene goes in a picture of a given size, and the mapping between
/// values and pixels of the plot area.
struct PlotLayout {
    bool valid = false;  // false when the picture is too small for a plot area
    QFont font;
    QFont titleFont;
    double width = 0.0;
    double height = 0.0;
    double titleTop = 0.0;
    double legendTop = 0.0;
    double recordingLegendTop = 0.0;
    double xTitleTop = 0.0;
    QRectF area;
    AxisRange x;
    std::array<AxisRange, 3> y;
    std::array<double, 3> axisX{};  // x of each right axis' line
    struct AxisLabels {
        QList<TickLabel> labels;
        ScaleTicks ticks;
        bool numbered = true;
        double width = 0.0;  // widest label, pixels
    };
    std::array<AxisLabels, 3> labels;
    ScaleTicks xTicks;

    [[nodiscard]] double xToPixel(double v) const {
        return area.left() + (v - x.min) / x.span * area.width();
    }
    [[nodiscard]] double pixelToX(double px) const {
        return x.min + (px - area.left()) / area.width() * x.span;
    }
    [[nodiscard]] double yToPixel(int axis, double v) const {
        const AxisRange& r = y[static_cast<std::size_t>(axis)];
        return area.bottom() - (v - r.min) / r.span * area.height();
    }
    [[nodiscard]] double pixelToY(int axis, double py) const {
        const AxisRange& r = y[static_cast<std::size_t>(axis)];
        return r.min + (area.bottom() - py) / area.height() * r.span;
    }
};

/// Lays out `scene` in a picture of `size` pixels drawn with `font` (its size is clamped to
/// 9..15 pixels).
[[nodiscard]] PlotLayout layOutPlot(const PlotScene& scene, QSizeF size, const QFont& font);
/// The same without the time axis (the x range and its ticks), which moves with every point.
[[nodiscard]] PlotLayout layOutFixedParts(const PlotScene& scene, QSizeF size, const QFont& font);
/// A layout of the fixed parts completed with the time axis showing `x`.
[[nodiscard]] PlotLayout withTimeAxis(PlotLayout layout, AxisRange x);

/// Draws `scene` as laid out; the background outside the plot area is left to the caller.
void paintPlot(QPainter& painter, const PlotScene& scene, const PlotLayout& layout);

/// What the parts of a plot that do not move with its curves are drawn from: a scene with all
/// that does move left out (the series, the x range, the reference lines, the cursors, the
/// mark), the picture's size and font, and the colour around the plot area. The backdrop and
/// its layout are drawn from this alone, so both stay right for as long as the next record
/// compares equal.
struct PlotBackdrop {
    PlotScene scene;
    QSizeF size;
    QFont font;
    QColor background;
    friend bool operator==(const PlotBackdrop&, const PlotBackdrop&) = default;
};

[[nodiscard]] PlotBackdrop plotBackdrop(const PlotScene& scene, QSizeF size, const QFont& font,
                                        const QColor& background);
/// The whole picture's background, then the plot area with its horizontal grid, the y axes,
/// the x title, the title and the legend, in the layout layOutFixedParts gives the backdrop's
/// scene.
void paintBackdrop(QPainter& painter, const PlotBackdrop& backdrop, const PlotLayout& layout);
/// What moves, over the backdrop of the same scene and layout: the vertical grid, the
/// reference lines, the curves, the cursors, the frame, the time axis' ticks and labels and
/// the mark.
void paintForeground(QPainter& painter, const PlotScene& scene, const PlotLayout& layout);

}  // namespace qvx::widgets
