#include "views/widgets/plot_painter.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>

namespace qvx::widgets {

namespace {

const QColor kInk(0x1b, 0x1d, 0x21);
const QColor kFrame(0x86, 0x8c, 0x94);
const QColor kMajorGrid(0xd9, 0xdd, 0xe2);
const QColor kMinorGrid(0xf2, 0xf3, 0xf5);
const QColor kHidden(0x9a, 0x9e, 0xa4);
const QColor kReference(0x7a, 0x3e, 0xa8);
const QColor kCursor(0xc0, 0x20, 0x30);
const QColor kLabelBackground(255, 255, 255, 200);
constexpr double kTickLength = 5.0;
constexpr double kGap = 4.0;
constexpr double kMargin = 6.0;
constexpr double kSwatch = 18.0;

// Numbered ticks that leave at least `minSpacing` pixels between labels on a `pixels` long axis.
ScaleTicks fittingTicks(double min, double span, double pixels, double minSpacing) {
    const int maxTicks = std::max(2, static_cast<int>(pixels / std::max(1.0, minSpacing)) + 1);
    return computeScaleTicks(min, min + span, std::min(maxTicks, 21));
}

PlotLayout::AxisLabels axisLabels(const YAxisPicture& axis, double pixels,
                                  const QFontMetricsF& metrics) {
    PlotLayout::AxisLabels result;
    const double max = axis.range.max();
    if (!axis.tickLabels.isEmpty()) {
        result.numbered = false;
        for (const TickLabel& label : axis.tickLabels) {
            if (label.value >= axis.range.min - 1e-9 && label.value <= max + 1e-9) {
                result.labels.append(label);
            }
        }
    } else {
        result.ticks =
            fittingTicks(axis.range.min, axis.range.span, pixels, metrics.height() * 2.2);
        for (int i = 0; i < result.ticks.majorCount; ++i) {
            const double v = result.ticks.major(i);
            result.labels.append({v, result.ticks.label(v)});
        }
    }
    for (const TickLabel& label : result.labels) {
        result.width = std::max(result.width, metrics.horizontalAdvance(label.text));
    }
    return result;
}

void drawRotatedText(QPainter& painter, const QPointF& centre, double degrees, const QString& text,
                     const QFontMetricsF& metrics) {
    painter.save();
    painter.translate(centre);
    painter.rotate(degrees);
    const double w = metrics.horizontalAdvance(text) + 2.0;
    painter.drawText(QRectF(-w / 2.0, -metrics.height() / 2.0, w, metrics.height()),
                     Qt::AlignCenter, text);
    painter.restore();
}

void paintGridLines(QPainter& painter, const PlotLayout& layout, const ScaleTicks& ticks,
                    AxisRange range, bool vertical) {
    if (ticks.majorCount < 1 || !(range.span > 0.0)) {
        return;
    }
    const QRectF& area = layout.area;
    const double minorStep = ticks.majorStep / ticks.minorPerMajor;
    const int before =
        static_cast<int>(std::clamp(std::floor((ticks.firstMajor - range.min) / minorStep + 1e-9),
                                    0.0, static_cast<double>(ticks.minorPerMajor)));
    const int count = before + ticks.majorCount * ticks.minorPerMajor + 1;
    // Drawn in two batches, minor lines first: a change of pen for every line costs more
    // than the line.
    QVarLengthArray<QLineF, 64> majorLines;
    QVarLengthArray<QLineF, 64> minorLines;
    for (int k = 0; k < count; ++k) {
        const double v = ticks.firstMajor + (k - before) * minorStep;
        if (v > range.max() + minorStep * 1e-6) {
            break;
        }
        QVarLengthArray<QLineF, 64>& lines =
            (k - before) % ticks.minorPerMajor == 0 ? majorLines : minorLines;
        if (vertical) {
            const double x = std::round(layout.xToPixel(v)) + 0.5;
            lines.append(QLineF(x, area.top(), x, area.bottom()));
        } else {
            const double y = std::round(layout.yToPixel(0, v)) + 0.5;
            lines.append(QLineF(area.left(), y, area.right(), y));
        }
    }
    painter.setPen(QPen(kMinorGrid, 1.0));
    painter.drawLines(minorLines.constData(), static_cast<int>(minorLines.size()));
    painter.setPen(QPen(kMajorGrid, 1.0));
    painter.drawLines(majorLines.constData(), static_cast<int>(majorLines.size()));
}

void paintAreaAndLevelGrid(QPainter& painter, const PlotLayout& layout) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(layout.area);
    if (layout.labels[0].numbered) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        paintGridLines(painter, layout, layout.labels[0].ticks, layout.y[0], false);
        painter.setRenderHint(QPainter::Antialiasing, true);
    }
}

void paintTimeGrid(QPainter& painter, const PlotLayout& layout) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    paintGridLines(painter, layout, layout.xTicks, layout.x, true);
    painter.setRenderHint(QPainter::Antialiasing, true);
}

void paintReferences(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    const QRectF& area = layout.area;
    const int axis = scene.referenceAxis;
    QColor band = kReference;
    band.setAlpha(28);
    for (const ReferenceLine& line : scene.references) {
        if (std::isfinite(line.bandLow) && std::isfinite(line.bandHigh)) {
            const double top = layout.yToPixel(axis, std::max(line.bandLow, line.bandHigh));
            const double bottom = layout.yToPixel(axis, std::min(line.bandLow, line.bandHigh));
            painter.fillRect(QRectF(area.left(), top, area.width(), bottom - top), band);
        }
    }
    painter.setPen(QPen(kReference, 1.0, Qt::DashLine));
    for (const ReferenceLine& line : scene.references) {
        const double y = layout.yToPixel(axis, line.value);
        if (std::isfinite(y) && y >= area.top() && y <= area.bottom()) {
            painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        }
    }
}

// After the curves, on a light box, so that they stay readable.
void paintReferenceLabels(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    const QRectF& area = layout.area;
    const QFontMetricsF metrics(layout.font);
    for (const ReferenceLine& line : scene.references) {
        const double y = layout.yToPixel(scene.referenceAxis, line.value);
        if (line.label.isEmpty() || !std::isfinite(y) || y < area.top() || y > area.bottom()) {
            continue;
        }
        const double tw = metrics.horizontalAdvance(line.label) + 6.0;
        const double ty =
            y - metrics.height() - 1.0 < area.top() ? y + 1.0 : y - metrics.height() - 1.0;
        const QRectF box(area.left() + 3.0, ty, tw, metrics.height());
        painter.fillRect(box, kLabelBackground);
        painter.setPen(kReference);
        painter.drawText(box, Qt::AlignCenter, line.label);
    }
}

/// Strokes a polyline in pieces of a few dozen points. The antialiasing rasteriser keeps the
/// cells of a scanline in a list it walks for every new cell, so one long curve that crosses
/// the same rows many times costs far more than the same curve in short pieces.
void drawInPieces(QPainter& painter, const std::vector<QPointF>& line) {
    constexpr std::size_t kPiece = 32;
    for (std::size_t start = 0; start + 1 < line.size(); start += kPiece) {
        const std::size_t count = std::min(kPiece + 1, line.size() - start);  // overlap by one
        painter.drawPolyline(line.data() + start, static_cast<int>(count));
    }
}

void paintSeries(QPainter& painter, const SeriesPicture& series, const PlotLayout& layout) {
    const std::vector<QPointF>& points = *series.points;
    if (points.empty()) {
        return;
    }
    const double width = series.dashed ? 1.4 : 1.8;
    // Bevel joins: round ones cost an arc at each of hundreds of vertices and look the same
    // at this width. A staircase has only level and upright strokes: crisp without smoothing.
    painter.setPen(QPen(series.color, width, series.dashed ? Qt::DashLine : Qt::SolidLine,
                        Qt::FlatCap, Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, !series.stepped);
    // A point that is not a number breaks the line.
    std::vector<QPointF> line;
    line.reserve(points.size() * (series.stepped ? 2 : 1));
    for (const QPointF& p : points) {
        const double x = layout.xToPixel(p.x());
        const double y = layout.yToPixel(series.yAxis, p.y());
        if (!std::isfinite(x) || !std::isfinite(y)) {
            drawInPieces(painter, line);
            line.clear();
            continue;
        }
        if (series.stepped && !line.empty()) {
            line.emplace_back(x, line.back().y());
        }
        line.emplace_back(x, y);
    }
    drawInPieces(painter, line);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (points.size() == 1) {
        painter.setBrush(series.color);
        painter.drawEllipse(
            QPointF(layout.xToPixel(points[0].x()), layout.yToPixel(series.yAxis, points[0].y())),
            2.0, 2.0);
    }
}

void paintCursors(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    const QRectF& area = layout.area;
    const QFontMetricsF metrics(layout.font);
    for (std::size_t i = 0; i < scene.cursors.size(); ++i) {
        const double x = layout.xToPixel(scene.cursors[i]);
        if (!std::isfinite(x) || x < area.left() - 0.5 || x > area.right() + 0.5) {
            continue;
        }
        painter.setPen(QPen(kCursor, 1.2, i == 0 ? Qt::SolidLine : Qt::DashDotLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        const QString name = QString::number(i + 1);
        const double tw = metrics.horizontalAdvance(name) + 6.0;
        const QRectF box(x - tw / 2.0, area.top() + 1.0, tw, metrics.height());
        painter.setPen(Qt::NoPen);
        painter.setBrush(kCursor);
        painter.drawRect(box);
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, name);
    }
}

void paintYAxes(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    const QFontMetricsF metrics(layout.font);
    const QRectF& area = layout.area;
    for (std::size_t a = 0; a < scene.y.size(); ++a) {
        const YAxisPicture& axis = scene.y[a];
        if (!axis.used) {
            continue;
        }
        const bool onLeft = a == 0;
        const double edge = onLeft ? area.left() : layout.axisX[a];
        const double direction = onLeft ? -1.0 : 1.0;
        const PlotLayout::AxisLabels& labels = layout.labels[a];
        painter.setPen(QPen(kFrame, 1.0));
        if (!onLeft && a != 1 && scene.y[1].used) {
            painter.drawLine(QPointF(edge, area.top()), QPointF(edge, area.bottom()));
        }
        for (const TickLabel& label : labels.labels) {
            const double y = layout.yToPixel(static_cast<int>(a), label.value);
            painter.setPen(QPen(kFrame, 1.0));
            painter.drawLine(QPointF(edge, y), QPointF(edge + direction * kTickLength, y));
            painter.setPen(axis.color);
            const double textWidth = labels.width + 2.0;
            const double textX =
                onLeft ? edge - kTickLength - kGap - textWidth : edge + kTickLength + kGap;
            const Qt::Alignment align =
                (onLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
            painter.drawText(QRectF(textX, y - metrics.height() / 2.0, textWidth, metrics.height()),
                             static_cast<int>(align.toInt()), label.text);
        }
        if (!axis.title.isEmpty()) {
            painter.setPen(axis.color);
            const double titleX =
                onLeft ? kMargin + metrics.height() / 2.0
                       : edge + kTickLength + kGap + labels.width + kGap + metrics.height() / 2.0;
            const QString text = metrics.elidedText(axis.title, Qt::ElideRight, area.height());
            drawRotatedText(painter, QPointF(titleX, area.center().y()), onLeft ? -90.0 : 90.0,
                            text, metrics);
        }
    }
}

void paintXAxis(QPainter& painter, const PlotLayout& layout) {
    const QFontMetricsF metrics(layout.font);
    const QRectF& area = layout.area;
    QVarLengthArray<QLineF, 32> ticks;
    for (int i = 0; i < layout.xTicks.majorCount; ++i) {
        const double x = layout.xToPixel(layout.xTicks.major(i));
        ticks.append(QLineF(x, area.bottom(), x, area.bottom() + kTickLength));
    }
    painter.setPen(QPen(kFrame, 1.0));
    painter.drawLines(ticks.constData(), static_cast<int>(ticks.size()));
    // Centred on its tick in a box as wide as the plot: the label is laid out once, not
    // measured first.
    const double boxWidth = area.width();
    painter.setPen(kInk);
    for (int i = 0; i < layout.xTicks.majorCount; ++i) {
        const double v = layout.xTicks.major(i);
        const double x = layout.xToPixel(v);
        painter.drawText(QRectF(x - boxWidth / 2.0, area.bottom() + kTickLength + 1.0, boxWidth,
                                metrics.height()),
                         Qt::AlignCenter | Qt::TextDontClip, layout.xTicks.label(v));
    }
}

void paintXTitle(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    if (!scene.xTitle.isEmpty()) {
        const QRectF& area = layout.area;
        painter.setPen(kInk);
        painter.drawText(QRectF(area.left(), layout.xTitleTop, area.width(),
                                QFontMetricsF(layout.font).height()),
                         Qt::AlignCenter, scene.xTitle);
    }
}

// One legend row, right-aligned over the plot area.
void paintLegendRow(QPainter& painter, const std::vector<LegendEntry>& entries, double top,
                    const PlotLayout& layout) {
    const QFontMetricsF metrics(layout.font);
    double width = 0.0;
    for (const LegendEntry& entry : entries) {
        width += kSwatch + kGap + metrics.horizontalAdvance(entry.text) + 14.0;
    }
    double x = std::max(layout.area.left(), layout.area.right() - width + 14.0);
    const double lineY = top + metrics.height() / 2.0 + 1.0;
    for (const LegendEntry& entry : entries) {
        const QColor color = entry.shown ? entry.color : kHidden;
        painter.setPen(QPen(color, 2.5, entry.shown ? entry.style : Qt::DotLine, Qt::FlatCap));
        painter.drawLine(QPointF(x, lineY), QPointF(x + kSwatch, lineY));
        x += kSwatch + kGap;
        painter.setPen(entry.shown ? kInk : kHidden);
        const double tw = metrics.horizontalAdvance(entry.text) + 2.0;
        painter.drawText(QRectF(x, top, tw, metrics.height() + 2.0),
                         Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        x += tw + 12.0;
    }
}

void paintTitleAndLegend(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    if (!scene.title.isEmpty()) {
        painter.setFont(layout.titleFont);
        painter.setPen(kInk);
        painter.drawText(
            QRectF(0.0, layout.titleTop, layout.width, QFontMetricsF(layout.titleFont).height()),
            Qt::AlignCenter, scene.title);
        painter.setFont(layout.font);
    }
    paintLegendRow(painter, scene.legend, layout.legendTop, layout);
    if (!scene.recordingLegend.empty()) {
        paintLegendRow(painter, scene.recordingLegend, layout.recordingLegendTop, layout);
    }
}

void paintMark(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    if (scene.mark.isEmpty()) {
        return;
    }
    const QFontMetricsF metrics(layout.font);
    const double tw = metrics.horizontalAdvance(scene.mark) + 10.0;
    const QRectF box(layout.area.right() - tw - 4.0, layout.area.top() + 4.0, tw,
                     metrics.height() + 4.0);
    painter.setPen(QPen(kFrame, 1.0));
    painter.setBrush(QColor(0xff, 0xf4, 0xc2));
    painter.drawRect(box);
    painter.setPen(kInk);
    painter.drawText(box, Qt::AlignCenter, scene.mark);
}

}  // namespace

PlotLayout layOutPlot(const PlotScene& scene, QSizeF size, const QFont& font) {
    return withTimeAxis(layOutFixedParts(scene, size, font), scene.x);
}

PlotLayout layOutFixedParts(const PlotScene& scene, QSizeF size, const QFont& font) {
    PlotLayout layout;
    layout.font = font;
    const double basePixels = std::clamp(QFontInfo(font).pixelSize() * 1.0, 9.0, 15.0);
    layout.font.setPixelSize(static_cast<int>(std::lround(basePixels)));
    layout.titleFont = layout.font;
    layout.titleFont.setBold(true);
    layout.titleFont.setPixelSize(static_cast<int>(std::lround(basePixels * 1.2)));
    const QFontMetricsF metrics(layout.font);
    layout.width = size.width();
    layout.height = size.height();
    for (std::size_t a = 0; a < scene.y.size(); ++a) {
        layout.y[a] = scene.y[a].range;
    }

    // Vertical layout: title, legend rows, plot area, x tick labels, x title.
    double top = kMargin;
    layout.titleTop = top;
    if (!scene.title.isEmpty()) {
        top += QFontMetricsF(layout.titleFont).height() + 2.0;
    }
    layout.legendTop = top;
    top += metrics.height() + 6.0;
    if (!scene.recordingLegend.empty()) {
        layout.recordingLegendTop = top - 3.0;
        top += metrics.height() + 3.0;
    }
    double bottom = layout.height - kMargin;
    layout.xTitleTop = bottom - metrics.height();
    if (!scene.xTitle.isEmpty()) {
        bottom -= metrics.height() + 2.0;
    }
    bottom -= metrics.height() + kTickLength + 2.0;
    const double plotHeight = bottom - top;
    if (plotHeight < 30.0 || layout.width < 120.0) {
        return layout;
    }
    for (std::size_t a = 0; a < scene.y.size(); ++a) {
        if (scene.y[a].used) {
            layout.labels[a] = axisLabels(scene.y[a], plotHeight, metrics);
        }
    }

    // Horizontal layout: axis 0 on the left, axes 1 and 2 side by side on the right.
    double left = kMargin;
    if (!scene.y[0].title.isEmpty()) {
        left += metrics.height() + kGap;
    }
    left += layout.labels[0].width + kGap + kTickLength;
    layout.axisX[0] = left;
    double right = layout.width - kMargin;
    for (std::size_t a = scene.y.size() - 1; a >= 1; --a) {
        if (!scene.y[a].used) {
            continue;
        }
        if (!scene.y[a].title.isEmpty()) {
            right -= metrics.height() + kGap;
        }
        right -= layout.labels[a].width + kGap + kTickLength;
        layout.axisX[a] = right;
        right -= 8.0;
    }
    right += 8.0;
    layout.area = QRectF(left, top, right - left, plotHeight);
    layout.valid = layout.area.width() >= 40.0;
    return layout;
}

PlotLayout withTimeAxis(PlotLayout layout, AxisRange x) {
    layout.x = x;
    if (!layout.valid) {
        return layout;
    }
    const QFontMetricsF metrics(layout.font);
    double xLabelWidth = 0.0;
    for (const double v : {x.min, x.max()}) {
        xLabelWidth = std::max(xLabelWidth, metrics.horizontalAdvance(QString::number(v, 'f', 0)));
    }
    layout.xTicks = fittingTicks(x.min, x.span, layout.area.width(), xLabelWidth * 1.8 + 10.0);
    return layout;
}

namespace {

void paintFixedParts(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    painter.setFont(layout.font);
    paintAreaAndLevelGrid(painter, layout);
    paintYAxes(painter, scene, layout);
    paintXTitle(painter, scene, layout);
    paintTitleAndLegend(painter, scene, layout);
}

}  // namespace

void paintForeground(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    if (!layout.valid) {
        return;
    }
    painter.setFont(layout.font);
    paintTimeGrid(painter, layout);
    painter.save();
    painter.setClipRect(layout.area.adjusted(-1.0, -1.0, 1.0, 1.0));
    paintReferences(painter, scene, layout);
    for (const SeriesPicture& series : scene.series) {
        paintSeries(painter, series, layout);
    }
    paintReferenceLabels(painter, scene, layout);
    paintCursors(painter, scene, layout);
    painter.restore();

    painter.setPen(QPen(kFrame, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(layout.area.adjusted(0.5, 0.5, -0.5, -0.5));
    paintXAxis(painter, layout);
    paintMark(painter, scene, layout);
}

void paintPlot(QPainter& painter, const PlotScene& scene, const PlotLayout& layout) {
    if (!layout.valid) {
        return;
    }
    paintFixedParts(painter, scene, layout);
    paintForeground(painter, scene, layout);
}

PlotBackdrop plotBackdrop(const PlotScene& scene, QSizeF size, const QFont& font,
                          const QColor& background) {
    PlotBackdrop backdrop{scene, size, font, background};
    // The x title stays: whether there is one moves the plot area's bottom.
    PlotScene& fixed = backdrop.scene;
    fixed.x = {};
    fixed.series.clear();
    fixed.referenceAxis = 0;
    fixed.references.clear();
    fixed.cursors = {0.0, 0.0};  // a cursor not placed is NaN, which never compares equal
    fixed.mark.clear();
    return backdrop;
}

void paintBackdrop(QPainter& painter, const PlotBackdrop& backdrop, const PlotLayout& layout) {
    painter.fillRect(QRectF(QPointF(0.0, 0.0), backdrop.size), backdrop.background);
    if (layout.valid) {
        paintFixedParts(painter, backdrop.scene, layout);
    }
}

}  // namespace qvx::widgets
