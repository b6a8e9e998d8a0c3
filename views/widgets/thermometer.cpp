#include "views/widgets/thermometer.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

#include "resources/ui_text.h"
#include "views/widgets/color_ref.h"
#include "views/widgets/scale_ticks.h"

namespace qvx::widgets {

namespace {

const QColor kInk(0x1b, 0x1d, 0x21);
const QColor kGlassEdge(0x78, 0x80, 0x8a);
const QColor kGlass(0xf1, 0xf4, 0xf7);

}  // namespace

struct Thermometer::Geometry {
    QFont numberFont;
    double tubeX = 0.0;  // centre line of tube and bulb
    double tubeWidth = 0.0;
    double tubeTop = 0.0;
    double scaleTop = 0.0;     // y of the maximum
    double scaleBottom = 0.0;  // y of the minimum
    double bulbCentreY = 0.0;
    double bulbDiameter = 0.0;
    double bore = 0.0;        // width of the liquid column
    double bulbRadius = 0.0;  // of the liquid in the bulb
    double majorLength = 0.0;
    bool valid = false;
};

Thermometer::Thermometer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("thermometer"));
    setAccessibleName(uiText(QT_TRANSLATE_NOOP("qvx", "Thermometer")));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
}

void Thermometer::setIndicatorColor(std::uint32_t colorRef) {
    setIndicatorColor(colorFromColorRef(colorRef));
}

void Thermometer::setIndicatorColor(const QColor& color) {
    if (color == m_color) {
        return;
    }
    m_color = color;
    m_liquid.invalidate();
    update();
}

void Thermometer::setPosition(double value) {
    if (std::isnan(value) || value == m_position) {
        return;
    }
    m_position = value;
    setAccessibleDescription(QString::number(value, 'f', 1));
    update();
}

void Thermometer::setPositionMin(double value) {
    if (!std::isfinite(value) || value == m_min) {
        return;
    }
    m_min = value;
    scaleChanged();
}

void Thermometer::setPositionMax(double value) {
    if (!std::isfinite(value) || value == m_max) {
        return;
    }
    m_max = value;
    scaleChanged();
}

double Thermometer::columnFraction() const {
    const double span = m_max - m_min;
    if (!(span > 0.0)) {
        return 0.0;
    }
    return std::clamp((m_position - m_min) / span, 0.0, 1.0);
}

QSize Thermometer::sizeHint() const {
    return {80, 200};
}

QSize Thermometer::minimumSizeHint() const {
    return {40, 90};
}

void Thermometer::scaleChanged() {
    // The width of the numbers places the tube, so the liquid moves with the scale.
    m_face.invalidate();
    m_liquid.invalidate();
    update();
}

void Thermometer::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange) {
        m_face.invalidate();
        m_liquid.invalidate();
    }
    QWidget::changeEvent(event);
}

Thermometer::Geometry Thermometer::geometry() const {
    Geometry g;
    const double w = width();
    const double h = height();
    g.numberFont = font();
    const double numberPixels = std::clamp(std::min(w * 0.16, h * 0.06), 8.0, 15.0);
    g.numberFont.setPixelSize(static_cast<int>(std::lround(numberPixels)));
    const QFontMetricsF metrics(g.numberFont);
    double labelWidth = 0.0;
    for (const double v : {m_min, m_max}) {
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(QString::number(v, 'f', 0)));
    }
    labelWidth = std::max(labelWidth, metrics.horizontalAdvance(QStringLiteral("-00")));

    g.tubeWidth = std::clamp(w * 0.16, 8.0, 18.0);
    g.bulbDiameter = g.tubeWidth * 1.9;
    g.bore = g.tubeWidth * 0.46;
    g.bulbRadius = g.bulbDiameter * 0.39;
    g.majorLength = g.tubeWidth * 0.7;
    const double total = labelWidth + 4.0 + g.majorLength + 3.0 + g.bulbDiameter;
    const double left = std::max(0.0, (w - total) / 2.0);
    g.tubeX = left + labelWidth + 4.0 + g.majorLength + 3.0 + g.bulbDiameter / 2.0;
    g.tubeTop = metrics.height() / 2.0 + 1.0;
    g.scaleTop = g.tubeTop + g.tubeWidth * 0.6 + 2.0;
    g.bulbCentreY = h - 1.0 - g.bulbDiameter / 2.0;
    g.scaleBottom = g.bulbCentreY - g.bulbDiameter / 2.0 - 3.0;
    g.valid = g.scaleBottom - g.scaleTop > 10.0;
    return g;
}

void Thermometer::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const Geometry g = geometry();
    if (!g.valid) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    m_face.draw(painter, size(), ratio,
                [this, &g](QPainter& facePainter) { renderFace(facePainter, g); });
    drawLiquid(painter, g, ratio);
}

double Thermometer::columnTop(const Geometry& g) const {
    const bool empty = !(m_max - m_min > 0.0) || m_position <= m_min;
    // Below the scale the liquid stays in the neck of the bulb.
    if (empty) {
        return g.scaleBottom + 2.0;
    }
    return g.scaleBottom - columnFraction() * (g.scaleBottom - g.scaleTop);
}

// The liquid is rendered once with the column full. A repaint copies the top of that column,
// moved down to the position (the liquid's gradient runs across the bore, so a move along it
// changes nothing), and then the bulb in place: two copies, and no gradient filled anew.
void Thermometer::drawLiquid(QPainter& painter, const Geometry& g, qreal ratio) {
    const auto render = [this, &g](QPainter& liquidPainter) { renderLiquid(liquidPainter, g); };
    // Whole pixels around each part, with room for the rim and the antialiased edge.
    const double bore = g.bore;
    const double bulb = g.bulbRadius;
    const auto down = [](double v) { return static_cast<int>(std::floor(v - 1.5)); };
    const auto up = [](double v) { return static_cast<int>(std::ceil(v + 1.5)); };
    const QRect bulbBox(QPoint(down(g.tubeX - bulb), down(g.bulbCentreY - bulb)),
                        QPoint(up(g.tubeX + bulb), up(g.bulbCentreY + bulb)));
    const int left = down(g.tubeX - bore / 2.0);
    const int top = down(g.scaleTop);
    const int drop = static_cast<int>(std::lround(columnTop(g) - g.scaleTop));
    const QRect column(left, top, up(g.tubeX + bore / 2.0) - left, bulbBox.top() - top - drop);
    if (!column.isEmpty()) {
        m_liquid.drawPart(painter, size(), ratio, render, column, QPoint(left, top + drop));
    }
    m_liquid.drawPart(painter, size(), ratio, render, bulbBox, bulbBox.topLeft());
}

void Thermometer::renderFace(QPainter& painter, const Geometry& g) const {
    // Glass: tube and bulb as one outline.
    const double half = g.tubeWidth / 2.0;
    QPainterPath glass;
    glass.addRoundedRect(QRectF(g.tubeX - half, g.tubeTop, g.tubeWidth, g.bulbCentreY - g.tubeTop),
                         half, half);
    glass.addEllipse(QPointF(g.tubeX, g.bulbCentreY), g.bulbDiameter / 2.0, g.bulbDiameter / 2.0);
    glass = glass.simplified();
    QLinearGradient glassFill(g.tubeX - g.bulbDiameter / 2.0, 0.0, g.tubeX + g.bulbDiameter / 2.0,
                              0.0);
    glassFill.setColorAt(0.0, kGlass.darker(108));
    glassFill.setColorAt(0.35, QColor(0xff, 0xff, 0xff));
    glassFill.setColorAt(1.0, kGlass.darker(115));
    painter.setPen(QPen(kGlassEdge, 1.2));
    painter.setBrush(glassFill);
    painter.drawPath(glass);

    // Scale to the left of the tube.
    const double span = m_max - m_min;
    if (!(span > 0.0)) {
        return;
    }
    const QFontMetricsF metrics(g.numberFont);
    const double height = g.scaleBottom - g.scaleTop;
    const int maxTicks = std::max(2, static_cast<int>(height / (metrics.height() * 1.5)) + 1);
    const ScaleTicks ticks = computeScaleTicks(m_min, m_max, maxTicks);
    const auto yOf = [&](double v) { return g.scaleBottom - (v - m_min) / span * height; };
    const double tickRight = g.tubeX - g.bulbDiameter / 2.0 - 3.0;

    painter.setPen(QPen(kInk, 1.0, Qt::SolidLine, Qt::FlatCap));
    const double minorStep = ticks.majorStep / ticks.minorPerMajor;
    const int before =
        static_cast<int>(std::clamp(std::floor((ticks.firstMajor - m_min) / minorStep + 1e-9), 0.0,
                                    static_cast<double>(ticks.minorPerMajor)));
    const int count = before + ticks.majorCount * ticks.minorPerMajor + 1;
    for (int k = 0; k < count; ++k) {
        const double v = ticks.firstMajor + (k - before) * minorStep;
        if (v > m_max + minorStep * 1e-6) {
            break;
        }
        const double y = yOf(v);
        painter.drawLine(QPointF(tickRight - g.majorLength * 0.5, y), QPointF(tickRight, y));
    }
    painter.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::FlatCap));
    painter.setFont(g.numberFont);
    for (int i = 0; i < ticks.majorCount; ++i) {
        const double v = ticks.major(i);
        const double y = yOf(v);
        painter.drawLine(QPointF(tickRight - g.majorLength, y), QPointF(tickRight, y));
        const QRectF box(0.0, y - metrics.height() / 2.0, tickRight - g.majorLength - 3.0,
                         metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, ticks.label(v));
    }
}

void Thermometer::renderLiquid(QPainter& painter, const Geometry& g) const {
    const double bore = g.bore;
    QLinearGradient liquid(g.tubeX - bore / 2.0, 0.0, g.tubeX + bore / 2.0, 0.0);
    liquid.setColorAt(0.0, m_color.darker(125));
    liquid.setColorAt(0.4, m_color.lighter(135));
    liquid.setColorAt(1.0, m_color.darker(140));
    // A dark rim keeps light colours such as yellow visible against the glass.
    painter.setPen(QPen(m_color.darker(175), 0.8));
    painter.setBrush(liquid);
    painter.drawRoundedRect(
        QRectF(g.tubeX - bore / 2.0, g.scaleTop, bore, g.bulbCentreY - g.scaleTop), bore / 3.0,
        bore / 3.0);

    const double bulb = g.bulbRadius;
    const QPointF centre(g.tubeX, g.bulbCentreY);
    QRadialGradient body(centre, bulb, centre - QPointF(bulb * 0.35, bulb * 0.35));
    body.setColorAt(0.0, m_color.lighter(160));
    body.setColorAt(0.6, m_color);
    body.setColorAt(1.0, m_color.darker(150));
    painter.setBrush(body);
    painter.drawEllipse(centre, bulb, bulb);
}

}  // namespace qvx::widgets
