#include "views/widgets/angular_gauge.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <algorithm>
#include <cmath>

#include "resources/ui_text.h"
#include "views/widgets/scale_ticks.h"

namespace qvx::widgets {

namespace {

// The scale runs clockwise from lower left (225°) to lower right (-45°), leaving the bottom
// quarter free for the end texts.
constexpr double kStartAngle = 225.0;
constexpr double kSweep = 270.0;

const QColor kInk(0x1b, 0x1d, 0x21);
const QColor kPointer(0xd0, 0x21, 0x21);
// The pointer's shadow: the dial's white darkened by a fifth, opaque and laid under the printed
// scale. A translucent fill of a shape this long would be spread over the raster painter's
// threads on every repaint; an opaque one is filled in place.
const QColor kPointerShadow(0xc6, 0xc7, 0xc8);

QPointF polar(QPointF centre, double radius, double degrees) {
    const double radians = qDegreesToRadians(degrees);
    return {centre.x() + radius * std::cos(radians), centre.y() - radius * std::sin(radians)};
}

}  // namespace

struct AngularGauge::Geometry {
    QPointF centre;
    double radius = 0.0;  // outer edge of the bezel
    double scaleRadius = 0.0;
    double numberPixels = 0.0;
    double labelPixels = 0.0;
};

AngularGauge::AngularGauge(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("angularGauge"));
    setAccessibleName(uiText(QT_TRANSLATE_NOOP("qvx", "Zeigerinstrument")));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void AngularGauge::setPosition(double value) {
    if (std::isnan(value) || value == m_position) {
        return;
    }
    m_position = value;
    setAccessibleDescription(QString::number(value, 'f', 2));
    update();
}

void AngularGauge::setPositionMin(double value) {
    if (!std::isfinite(value) || value == m_min) {
        return;
    }
    m_min = value;
    scaleChanged();
}

void AngularGauge::setPositionMax(double value) {
    if (!std::isfinite(value) || value == m_max) {
        return;
    }
    m_max = value;
    scaleChanged();
}

void AngularGauge::setMinLabel(const QString& text) {
    if (text == m_minLabel) {
        return;
    }
    m_minLabel = text;
    scaleChanged();
}

void AngularGauge::setMaxLabel(const QString& text) {
    if (text == m_maxLabel) {
        return;
    }
    m_maxLabel = text;
    scaleChanged();
}

void AngularGauge::refresh() {
    update();
}

double AngularGauge::pointerFraction() const {
    const double span = m_max - m_min;
    if (!(span > 0.0)) {
        return 0.0;
    }
    return std::clamp((m_position - m_min) / span, 0.0, 1.0);
}

QSize AngularGauge::sizeHint() const {
    return {180, 180};
}

QSize AngularGauge::minimumSizeHint() const {
    return {90, 90};
}

void AngularGauge::scaleChanged() {
    m_scale.invalidate();
    update();
}

void AngularGauge::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange) {
        m_dial.invalidate();
        m_scale.invalidate();
    }
    QWidget::changeEvent(event);
}

AngularGauge::Geometry AngularGauge::geometry() const {
    Geometry g;
    const double side = std::min(width(), height());
    g.radius = side / 2.0 - 1.0;
    g.centre = QPointF(width() / 2.0, height() / 2.0);
    g.scaleRadius = g.radius * 0.80;
    g.numberPixels = std::clamp(g.radius * 0.145, 9.0, 26.0);
    g.labelPixels = std::clamp(g.radius * 0.15, 9.0, 28.0);
    return g;
}

void AngularGauge::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const Geometry g = geometry();
    if (g.radius < 8.0) {
        return;
    }
    // Dial, pointer shadow, scale, pointer: the two cached layers are copied, the pointer and
    // its shadow are filled with opaque colours, so a repaint starts no painter threads.
    const qreal ratio = devicePixelRatioF();
    m_dial.draw(painter, size(), ratio,
                [this, &g](QPainter& dialPainter) { renderDial(dialPainter, g); });
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath needle = needlePath(g);
    renderShadow(painter, g, needle);
    m_scale.draw(painter, size(), ratio,
                 [this, &g](QPainter& scalePainter) { renderScale(scalePainter, g); });
    renderPointer(painter, g, needle);
}

void AngularGauge::renderDial(QPainter& painter, const Geometry& g) const {
    const QPointF c = g.centre;
    const double r = g.radius;

    // Bezel: a dark metal ring lit from above, then a thin inner ring lit from below.
    QLinearGradient bezel(c.x(), c.y() - r, c.x(), c.y() + r);
    bezel.setColorAt(0.0, QColor(0x7a, 0x80, 0x88));
    bezel.setColorAt(1.0, QColor(0x26, 0x29, 0x2e));
    painter.setPen(Qt::NoPen);
    painter.setBrush(bezel);
    painter.drawEllipse(c, r, r);
    QLinearGradient rim(c.x(), c.y() - r, c.x(), c.y() + r);
    rim.setColorAt(0.0, QColor(0x30, 0x33, 0x38));
    rim.setColorAt(1.0, QColor(0xb8, 0xbc, 0xc2));
    painter.setBrush(rim);
    painter.drawEllipse(c, r * 0.935, r * 0.935);
    QRadialGradient face(c, r * 0.91);
    face.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
    face.setColorAt(0.85, QColor(0xf4, 0xf5, 0xf6));
    face.setColorAt(1.0, QColor(0xdc, 0xdf, 0xe3));
    painter.setBrush(face);
    painter.drawEllipse(c, r * 0.91, r * 0.91);
}

void AngularGauge::renderScale(QPainter& painter, const Geometry& g) const {
    const QPointF c = g.centre;
    const double r = g.radius;

    // Scale arc.
    const double rs = g.scaleRadius;
    painter.setPen(QPen(kInk, std::max(1.0, r * 0.012), Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(c.x() - rs, c.y() - rs, 2 * rs, 2 * rs),
                    static_cast<int>(std::lround((kStartAngle - kSweep) * 16)),
                    static_cast<int>(std::lround(kSweep * 16)));

    // Numbers: as many as fit without crowding along the arc.
    QFont numberFont = font();
    numberFont.setPixelSize(static_cast<int>(std::lround(g.numberPixels)));
    const QFontMetricsF numberMetrics(numberFont);
    const double majorLength = r * 0.12;
    const double minorLength = r * 0.06;
    const double numberGap = r * 0.03;
    const double span = m_max - m_min;
    const auto angleOf = [&](double value) {
        return span > 0.0 ? kStartAngle - kSweep * (value - m_min) / span : kStartAngle;
    };
    // Each label sits inwards of its tick by its own extent towards the centre, so wide
    // numbers at the sides keep the same distance from their tick as narrow ones at the top.
    const auto numberBox = [&](double value, const QString& text) {
        const double w = numberMetrics.horizontalAdvance(text) + 2.0;
        const double h = numberMetrics.capHeight() + 2.0;
        const double radians = qDegreesToRadians(angleOf(value));
        const double extent =
            std::abs(std::cos(radians)) * w / 2.0 + std::abs(std::sin(radians)) * h / 2.0;
        const QPointF at = polar(c, rs - majorLength - numberGap - extent, angleOf(value));
        return QRectF(at.x() - w / 2.0, at.y() - h / 2.0, w, h);
    };
    // As many numbers as fit without two neighbours touching.
    ScaleTicks ticks = computeScaleTicks(m_min, m_max, 2);
    const double padding = numberMetrics.height() * 0.45;
    // A small dial reads better with fewer, larger steps even where more numbers would fit.
    const int mostTicks = std::clamp(static_cast<int>(r / 14.0) + 1, 3, 11);
    for (int maxTicks = mostTicks; maxTicks > 2; --maxTicks) {
        ticks = computeScaleTicks(m_min, m_max, maxTicks);
        bool crowded = false;
        for (int i = 1; i < ticks.majorCount && !crowded; ++i) {
            const double a = ticks.major(i - 1);
            const double b = ticks.major(i);
            crowded = numberBox(a, ticks.label(a))
                          .adjusted(-padding, -padding, padding, padding)
                          .intersects(numberBox(b, ticks.label(b)));
        }
        if (!crowded) {
            break;
        }
    }

    // Minor ticks, then major ticks over them.
    if (span > 0.0 && ticks.majorCount >= 1) {
        painter.setPen(QPen(kInk, std::max(0.8, r * 0.008), Qt::SolidLine, Qt::FlatCap));
        const double minorStep = ticks.majorStep / ticks.minorPerMajor;
        // Counted by index: adding a small step to a large value may not change it.
        const int before =
            static_cast<int>(std::clamp(std::floor((ticks.firstMajor - m_min) / minorStep + 1e-9),
                                        0.0, static_cast<double>(ticks.minorPerMajor)));
        const int count = before + ticks.majorCount * ticks.minorPerMajor + 1;
        for (int k = 0; k < count; ++k) {
            const double v = ticks.firstMajor + (k - before) * minorStep;
            if (v > m_max + minorStep * 1e-6) {
                break;
            }
            const double a = angleOf(v);
            painter.drawLine(polar(c, rs, a), polar(c, rs - minorLength, a));
        }
    }
    painter.setPen(QPen(kInk, std::max(1.5, r * 0.022), Qt::SolidLine, Qt::FlatCap));
    painter.setFont(numberFont);
    for (int i = 0; i < ticks.majorCount; ++i) {
        const double value = ticks.major(i);
        const double a = angleOf(value);
        painter.drawLine(polar(c, rs + r * 0.005, a), polar(c, rs - majorLength, a));
        const QString text = ticks.label(value);
        const QRectF box = numberBox(value, text);
        // The cap height places the digits; the text box needs the full line height.
        const double boxHeight = numberMetrics.height();
        painter.drawText(
            QRectF(box.left(), box.center().y() - boxHeight / 2.0, box.width(), boxHeight),
            Qt::AlignCenter, text);
    }

    // End texts under the two ends of the scale.
    QFont labelFont = font();
    labelFont.setPixelSize(static_cast<int>(std::lround(g.labelPixels)));
    labelFont.setBold(true);
    painter.setFont(labelFont);
    painter.setPen(QColor(0x24, 0x4a, 0x8a));
    const QFontMetricsF labelMetrics(labelFont);
    const double labelWidth = r * 0.62;
    const double labelHeight = labelMetrics.height();
    const double labelY = c.y() + r * 0.66 - labelHeight / 2;
    painter.drawText(QRectF(c.x() - r * 0.36 - labelWidth / 2, labelY, labelWidth, labelHeight),
                     Qt::AlignCenter,
                     labelMetrics.elidedText(m_minLabel, Qt::ElideRight, labelWidth));
    painter.drawText(QRectF(c.x() + r * 0.36 - labelWidth / 2, labelY, labelWidth, labelHeight),
                     Qt::AlignCenter,
                     labelMetrics.elidedText(m_maxLabel, Qt::ElideRight, labelWidth));
}

QPainterPath AngularGauge::needlePath(const Geometry& g) const {
    const QPointF c = g.centre;
    const double r = g.radius;
    const double angle = kStartAngle - kSweep * pointerFraction();
    QPainterPath needle;
    needle.moveTo(polar(c, g.scaleRadius - r * 0.015, angle));
    needle.lineTo(polar(c, r * 0.045, angle + 90.0));
    needle.lineTo(polar(c, r * 0.20, angle + 180.0));
    needle.lineTo(polar(c, r * 0.045, angle - 90.0));
    needle.closeSubpath();
    return needle;
}

void AngularGauge::renderShadow(QPainter& painter, const Geometry& g, const QPainterPath& needle) {
    // Below and to the right of the pointer, it lifts the pointer off the dial.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPointerShadow);
    painter.drawPath(needle.translated(g.radius * 0.018, g.radius * 0.025));
}

void AngularGauge::renderPointer(QPainter& painter, const Geometry& g, const QPainterPath& needle) {
    const QPointF c = g.centre;
    const double r = g.radius;
    painter.setPen(QPen(kPointer.darker(160), std::max(0.8, r * 0.008)));
    painter.setBrush(kPointer);
    painter.drawPath(needle);

    QRadialGradient hub(c - QPointF(r * 0.02, r * 0.02), r * 0.09);
    hub.setColorAt(0.0, QColor(0x70, 0x74, 0x7a));
    hub.setColorAt(1.0, QColor(0x15, 0x16, 0x18));
    painter.setPen(Qt::NoPen);
    painter.setBrush(hub);
    painter.drawEllipse(c, r * 0.08, r * 0.08);
}

}  // namespace qvx::widgets
