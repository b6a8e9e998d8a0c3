#include "views/widgets/time_plot.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "views/widgets/scale_ticks.h"

namespace qvx::widgets {

namespace {

const QColor kInk(0x1b, 0x1d, 0x21);
const QColor kFrame(0x86, 0x8c, 0x94);
const QColor kMajorGrid(0xd9, 0xdd, 0xe2);
const QColor kMinorGrid(0xf2, 0xf3, 0xf5);
const QColor kHidden(0x9a, 0x9e, 0xa4);
constexpr double kTickLength = 5.0;
constexpr double kGap = 4.0;

// Numbered ticks that leave at least `minSpacing` pixels between labels on a `pixels` long axis.
ScaleTicks fittingTicks(double min, double span, double pixels, double minSpacing) {
    const int maxTicks = std::max(2, static_cast<int>(pixels / std::max(1.0, minSpacing)) + 1);
    return computeScaleTicks(min, min + span, std::min(maxTicks, 21));
}

// What one y axis shows: its labels (numbers or fixed texts) with their values.
struct AxisLabels {
    QList<TickLabel> labels;
    ScaleTicks ticks;
    bool numbered = true;
    double width = 0.0;  // widest label, pixels
};

AxisLabels axisLabels(const TimePlotAxis& axis, double pixels, const QFontMetricsF& metrics) {
    AxisLabels result;
    const double max = axis.min() + axis.span();
    if (!axis.tickLabels().isEmpty()) {
        result.numbered = false;
        for (const TickLabel& label : axis.tickLabels()) {
            if (label.value >= axis.min() - 1e-9 && label.value <= max + 1e-9) {
                result.labels.append(label);
            }
        }
    } else {
        result.ticks = fittingTicks(axis.min(), axis.span(), pixels, metrics.height() * 2.2);
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

}  // namespace

// ---- TimePlotAxis -------------------------------------------------------------------------

void TimePlotAxis::notifyPlot() const {
    if (m_plot != nullptr) {
        m_plot->contentChanged();
    }
}

void TimePlotAxis::setTitle(const QString& title) {
    m_title = title;
    notifyPlot();
}

void TimePlotAxis::setMin(double min) {
    if (!std::isfinite(min)) {
        return;
    }
    m_min = min;
    if (m_plot != nullptr && this == &m_plot->m_xAxis) {
        m_plot->xMinChanged();
    }
    notifyPlot();
}

void TimePlotAxis::setSpan(double span) {
    if (!std::isfinite(span) || span <= 0.0) {
        return;
    }
    m_span = span;
    notifyPlot();
}

void TimePlotAxis::setTickLabels(const QList<TickLabel>& labels) {
    m_tickLabels = labels;
    notifyPlot();
}

// ---- TimePlotChannel ----------------------------------------------------------------------

void TimePlotChannel::notifyPlot() const {
    if (m_plot != nullptr) {
        m_plot->contentChanged();
    }
}

void TimePlotChannel::setName(const QString& name) {
    m_name = name;
    notifyPlot();
}

void TimePlotChannel::setColor(const QColor& color) {
    m_color = color;
    notifyPlot();
}

void TimePlotChannel::setYAxis(int index) {
    if (index < 0 || index >= TimePlot::kYAxisCount) {
        return;
    }
    m_yAxis = index;
    notifyPlot();
}

void TimePlotChannel::setStepped(bool stepped) {
    m_stepped = stepped;
    notifyPlot();
}

void TimePlotChannel::setVisible(bool visible) {
    if (visible == m_visible) {
        return;
    }
    m_visible = visible;
    notifyPlot();
}

void TimePlotChannel::setRingBufferSize(int points) {
    m_points.setCapacity(static_cast<std::size_t>(std::clamp(points, 1, kMaxRingBufferSize)));
    notifyPlot();
}

void TimePlotChannel::setXStep(double step) {
    if (std::isfinite(step) && step > 0.0) {
        m_xStep = step;
    }
}

void TimePlotChannel::clear() {
    m_points.clear();
    notifyPlot();
}

int TimePlotChannel::addXY(double x, double y) {
    m_points.push(QPointF(x, y));
    if (m_plot != nullptr) {
        m_plot->pointAdded(x);
    }
    return count() - 1;
}

int TimePlotChannel::addY(double y) {
    const double x = m_points.empty() ? 0.0 : m_points.back().x() + m_xStep;
    return addXY(x, y);
}

// ---- TimePlot -----------------------------------------------------------------------------

TimePlot::TimePlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("timePlot"));
    setAccessibleName(QStringLiteral("Zeitdiagramm"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    for (TimePlotChannel& c : m_channels) {
        c.m_plot = this;
    }
    for (TimePlotAxis& a : m_yAxes) {
        a.m_plot = this;
    }
    m_xAxis.m_plot = this;
}

TimePlotChannel& TimePlot::channel(int index) {
    return m_channels.at(static_cast<std::size_t>(index));
}

const TimePlotChannel& TimePlot::channel(int index) const {
    return m_channels.at(static_cast<std::size_t>(index));
}

TimePlotAxis& TimePlot::yAxis(int index) {
    return m_yAxes.at(static_cast<std::size_t>(index));
}

const TimePlotAxis& TimePlot::yAxis(int index) const {
    return m_yAxes.at(static_cast<std::size_t>(index));
}

void TimePlot::setTitle(const QString& title) {
    m_title = title;
    setAccessibleDescription(title);
    contentChanged();
}

void TimePlot::setXTracking(bool tracking) {
    m_xTracking = tracking;
}

void TimePlot::resetXView() {
    m_xViewMin = m_xAxis.min();
    contentChanged();
}

void TimePlot::refresh() {
    contentChanged();
}

void TimePlot::beginUpdate() {
    ++m_updateDepth;
}

void TimePlot::endUpdate() {
    if (m_updateDepth == 0) {
        return;
    }
    if (--m_updateDepth == 0) {
        update();
    }
}

void TimePlot::contentChanged() {
    if (m_updateDepth == 0) {
        update();
    }
}

void TimePlot::pointAdded(double x) {
    if (m_xTracking && std::isfinite(x) && x > m_xViewMin + m_xAxis.span()) {
        m_xViewMin = x - m_xAxis.span();
    }
    contentChanged();
}

void TimePlot::xMinChanged() {
    m_xViewMin = m_xAxis.min();
}

QSize TimePlot::sizeHint() const {
    return {640, 320};
}

QSize TimePlot::minimumSizeHint() const {
    return {240, 140};
}

void TimePlot::paintEvent(QPaintEvent* /*event*/) {
    if (width() <= 0 || height() <= 0) {
        return;
    }
    QPainter painter(this);
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(static_cast<int>(std::ceil(width() * dpr)),
                       static_cast<int>(std::ceil(height() * dpr)));
    // While an update is held the last picture stays, unless the widget changed size.
    if (!isUpdating() || m_frame.size() != pixels || m_frame.devicePixelRatio() != dpr) {
        m_frame = QPixmap(pixels);
        m_frame.setDevicePixelRatio(dpr);
        m_frame.fill(palette().color(QPalette::Window));
        QPainter framePainter(&m_frame);
        framePainter.setRenderHint(QPainter::Antialiasing);
        framePainter.setRenderHint(QPainter::TextAntialiasing);
        renderFrame(framePainter);
    }
    painter.drawPixmap(0, 0, m_frame);
}

void TimePlot::renderFrame(QPainter& painter) const {
    QFont baseFont = font();
    const double basePixels = std::clamp(QFontInfo(baseFont).pixelSize() * 1.0, 9.0, 15.0);
    baseFont.setPixelSize(static_cast<int>(std::lround(basePixels)));
    const QFontMetricsF metrics(baseFont);
    QFont titleFont = baseFont;
    titleFont.setBold(true);
    titleFont.setPixelSize(static_cast<int>(std::lround(basePixels * 1.2)));
    const QFontMetricsF titleMetrics(titleFont);
    painter.setFont(baseFont);

    const double w = width();
    const double h = height();
    const double margin = 6.0;

    // Vertical layout: title, legend, plot area, x tick labels, x title.
    double top = margin;
    const double titleTop = top;
    if (!m_title.isEmpty()) {
        top += titleMetrics.height() + 2.0;
    }
    const double legendTop = top;
    top += metrics.height() + 6.0;
    double bottom = h - margin;
    const double xTitleTop = bottom - metrics.height();
    if (!m_xAxis.title().isEmpty()) {
        bottom -= metrics.height() + 2.0;
    }
    bottom -= metrics.height() + kTickLength + 2.0;
    const double plotHeight = bottom - top;
    if (plotHeight < 30.0 || w < 120.0) {
        return;
    }

    // Which right axes carry a channel, and what each y axis shows.
    std::array<bool, kYAxisCount> used{true, false, false};
    std::array<QColor, kYAxisCount> axisColor{kInk, kInk, kInk};
    std::array<bool, kYAxisCount> colored{false, false, false};
    for (const TimePlotChannel& c : m_channels) {
        const auto a = static_cast<std::size_t>(c.yAxis());
        used[a] = true;
        if (!colored[a]) {
            axisColor[a] = c.color().darker(115);
            colored[a] = true;
        }
    }
    std::array<AxisLabels, kYAxisCount> labels;
    for (std::size_t a = 0; a < labels.size(); ++a) {
        if (used[a]) {
            labels[a] = axisLabels(m_yAxes[a], plotHeight, metrics);
        }
    }

    // Horizontal layout: axis 0 on the left, axes 1 and 2 side by side on the right.
    double left = margin;
    if (!m_yAxes[0].title().isEmpty()) {
        left += metrics.height() + kGap;
    }
    left += labels[0].width + kGap + kTickLength;
    std::array<double, kYAxisCount> axisX{left, 0.0, 0.0};
    double right = w - margin;
    for (std::size_t a = kYAxisCount - 1; a >= 1; --a) {
        if (!used[a]) {
            continue;
        }
        if (!m_yAxes[a].title().isEmpty()) {
            right -= metrics.height() + kGap;
        }
        right -= labels[a].width + kGap + kTickLength;
        axisX[a] = right;
        right -= 8.0;
    }
    right += 8.0;
    const QRectF plot(left, top, right - left, plotHeight);
    if (plot.width() < 40.0) {
        return;
    }

    const auto yOf = [&](const TimePlotAxis& axis, double v) {
        return plot.bottom() - (v - axis.min()) / axis.span() * plot.height();
    };
    const double xSpan = m_xAxis.span();
    const auto xOf = [&](double v) {
        return plot.left() + (v - m_xViewMin) / xSpan * plot.width();
    };

    // Plot area and grid.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(plot);
    double xLabelWidth = 0.0;
    for (const double v : {m_xViewMin, m_xViewMin + xSpan}) {
        xLabelWidth = std::max(xLabelWidth, metrics.horizontalAdvance(QString::number(v, 'f', 0)));
    }
    const ScaleTicks xTicks =
        fittingTicks(m_xViewMin, xSpan, plot.width(), xLabelWidth * 1.8 + 10.0);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const auto gridLines = [&](const ScaleTicks& ticks, double min, double max, bool vertical) {
        if (ticks.majorCount < 1 || !(max > min)) {
            return;
        }
        const double minorStep = ticks.majorStep / ticks.minorPerMajor;
        const int before =
            static_cast<int>(std::clamp(std::floor((ticks.firstMajor - min) / minorStep + 1e-9),
                                        0.0, static_cast<double>(ticks.minorPerMajor)));
        const int count = before + ticks.majorCount * ticks.minorPerMajor + 1;
        for (int k = 0; k < count; ++k) {
            const double v = ticks.firstMajor + (k - before) * minorStep;
            if (v > max + minorStep * 1e-6) {
                break;
            }
            const bool major = (k - before) % ticks.minorPerMajor == 0;
            painter.setPen(QPen(major ? kMajorGrid : kMinorGrid, 1.0));
            if (vertical) {
                const double x = std::round(xOf(v)) + 0.5;
                painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            } else {
                const double y = std::round(yOf(m_yAxes[0], v)) + 0.5;
                painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            }
        }
    };
    if (labels[0].numbered) {
        gridLines(labels[0].ticks, m_yAxes[0].min(), m_yAxes[0].min() + m_yAxes[0].span(), false);
    }
    gridLines(xTicks, m_xViewMin, m_xViewMin + xSpan, true);
    painter.setRenderHint(QPainter::Antialiasing, true);

    // Channels, clipped to the plot area; a point that is not a number breaks the line.
    painter.save();
    painter.setClipRect(plot.adjusted(-1.0, -1.0, 1.0, 1.0));
    for (const TimePlotChannel& c : m_channels) {
        if (!c.isVisible() || c.count() == 0) {
            continue;
        }
        const TimePlotAxis& axis = m_yAxes[static_cast<std::size_t>(c.yAxis())];
        QPainterPath path;
        bool drawing = false;
        double lastY = 0.0;
        for (int i = 0; i < c.count(); ++i) {
            const QPointF p = c.point(i);
            const double x = xOf(p.x());
            const double y = yOf(axis, p.y());
            if (!std::isfinite(x) || !std::isfinite(y)) {
                drawing = false;
                continue;
            }
            if (!drawing) {
                path.moveTo(x, y);
                drawing = true;
            } else {
                if (c.isStepped()) {
                    path.lineTo(x, lastY);
                }
                path.lineTo(x, y);
            }
            lastY = y;
        }
        painter.setPen(QPen(c.color(), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        if (c.count() == 1) {
            const QPointF p = c.point(0);
            painter.setBrush(c.color());
            painter.drawEllipse(QPointF(xOf(p.x()), yOf(axis, p.y())), 2.0, 2.0);
        }
    }
    painter.restore();

    painter.setPen(QPen(kFrame, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot.adjusted(0.5, 0.5, -0.5, -0.5));

    // Y axes: ticks and labels; titles along the outer edge.
    for (std::size_t a = 0; a < kYAxisCount; ++a) {
        if (!used[a]) {
            continue;
        }
        const TimePlotAxis& axis = m_yAxes[a];
        const bool onLeft = a == 0;
        const double edge = onLeft ? plot.left() : axisX[a];
        const double direction = onLeft ? -1.0 : 1.0;
        painter.setPen(QPen(kFrame, 1.0));
        if (!onLeft && a != 1 && used[1]) {
            painter.drawLine(QPointF(edge, plot.top()), QPointF(edge, plot.bottom()));
        }
        for (const TickLabel& label : labels[a].labels) {
            const double y = yOf(axis, label.value);
            painter.setPen(QPen(kFrame, 1.0));
            painter.drawLine(QPointF(edge, y), QPointF(edge + direction * kTickLength, y));
            painter.setPen(axisColor[a]);
            const double textWidth = labels[a].width + 2.0;
            const double textX =
                onLeft ? edge - kTickLength - kGap - textWidth : edge + kTickLength + kGap;
            const Qt::Alignment align =
                (onLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
            painter.drawText(QRectF(textX, y - metrics.height() / 2.0, textWidth, metrics.height()),
                             static_cast<int>(align.toInt()), label.text);
        }
        if (!axis.title().isEmpty()) {
            painter.setPen(axisColor[a]);
            const double titleX = onLeft ? margin + metrics.height() / 2.0
                                         : edge + kTickLength + kGap + labels[a].width + kGap +
                                               metrics.height() / 2.0;
            const QString text = metrics.elidedText(axis.title(), Qt::ElideRight, plot.height());
            drawRotatedText(painter, QPointF(titleX, plot.center().y()), onLeft ? -90.0 : 90.0,
                            text, metrics);
        }
    }

    // X axis: ticks, numbers and title.
    for (int i = 0; i < xTicks.majorCount; ++i) {
        const double v = xTicks.major(i);
        const double x = xOf(v);
        painter.setPen(QPen(kFrame, 1.0));
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + kTickLength));
        painter.setPen(kInk);
        const QString text = xTicks.label(v);
        const double tw = metrics.horizontalAdvance(text) + 2.0;
        painter.drawText(
            QRectF(x - tw / 2.0, plot.bottom() + kTickLength + 1.0, tw, metrics.height()),
            Qt::AlignCenter, text);
    }
    if (!m_xAxis.title().isEmpty()) {
        painter.setPen(kInk);
        painter.drawText(QRectF(plot.left(), xTitleTop, plot.width(), metrics.height()),
                         Qt::AlignCenter, m_xAxis.title());
    }

    // Title and legend.
    if (!m_title.isEmpty()) {
        painter.setFont(titleFont);
        painter.setPen(kInk);
        painter.drawText(QRectF(0.0, titleTop, w, titleMetrics.height()), Qt::AlignCenter, m_title);
        painter.setFont(baseFont);
    }
    const double swatch = 18.0;
    double legendWidth = 0.0;
    for (const TimePlotChannel& c : m_channels) {
        if (!c.name().isEmpty()) {
            legendWidth += swatch + kGap + metrics.horizontalAdvance(c.name()) + 14.0;
        }
    }
    double x = std::max(plot.left(), plot.right() - legendWidth + 14.0);
    const double legendY = legendTop + metrics.height() / 2.0 + 1.0;
    for (const TimePlotChannel& c : m_channels) {
        if (c.name().isEmpty()) {
            continue;
        }
        const QColor color = c.isVisible() ? c.color() : kHidden;
        painter.setPen(QPen(color, 2.5, c.isVisible() ? Qt::SolidLine : Qt::DotLine, Qt::FlatCap));
        painter.drawLine(QPointF(x, legendY), QPointF(x + swatch, legendY));
        x += swatch + kGap;
        painter.setPen(c.isVisible() ? kInk : kHidden);
        const double tw = metrics.horizontalAdvance(c.name()) + 2.0;
        painter.drawText(QRectF(x, legendTop, tw, metrics.height() + 2.0),
                         Qt::AlignLeft | Qt::AlignVCenter, c.name());
        x += tw + 12.0;
    }
}

}  // namespace qvx::widgets
