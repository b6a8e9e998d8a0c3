#include "views/widgets/led_look.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>

namespace qvx::widgets::detail {

void paintRoundLamp(QPainter& painter, const QRectF& rect, const QColor& color) {
    const qreal diameter = std::min(rect.width(), rect.height());
    const QPointF centre = rect.center();
    const qreal outer = diameter / 2.0;
    const qreal lens = outer * 0.78;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bezel(centre.x(), centre.y() - outer, centre.x(), centre.y() + outer);
    bezel.setColorAt(0.0, QColor(0xa8, 0xab, 0xb0));
    bezel.setColorAt(1.0, QColor(0x3a, 0x3d, 0x42));
    painter.setPen(QPen(QColor(0x2a, 0x2c, 0x30), std::max(1.0, outer * 0.06)));
    painter.setBrush(bezel);
    painter.drawEllipse(centre, outer - 0.5, outer - 0.5);

    // Light falls from the upper left: the lens is brightest there and darkens to its rim.
    QRadialGradient body(centre, lens, centre - QPointF(lens * 0.3, lens * 0.35));
    body.setColorAt(0.0, color.lighter(165));
    body.setColorAt(0.55, color);
    body.setColorAt(1.0, color.darker(170));
    painter.setPen(QPen(color.darker(250), std::max(0.8, outer * 0.04)));
    painter.setBrush(body);
    painter.drawEllipse(centre, lens, lens);

    QRadialGradient gloss(centre - QPointF(0.0, lens * 0.45), lens * 0.6);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 150));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gloss);
    painter.drawEllipse(
        QRectF(centre.x() - lens * 0.6, centre.y() - lens * 0.9, lens * 1.2, lens * 0.9));
    painter.restore();
}

void paintRectangularLens(QPainter& painter, const QRectF& rect, const QColor& color,
                          qreal radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient body(rect.topLeft(), rect.bottomLeft());
    body.setColorAt(0.0, color.lighter(140));
    body.setColorAt(0.45, color);
    body.setColorAt(1.0, color.darker(135));
    painter.setPen(QPen(color.darker(260), 1.0));
    painter.setBrush(body);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    const QRectF glossRect(rect.left() + 2.0, rect.top() + 1.5, rect.width() - 4.0,
                           rect.height() * 0.42);
    QLinearGradient gloss(glossRect.topLeft(), glossRect.bottomLeft());
    gloss.setColorAt(0.0, QColor(255, 255, 255, 110));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 10));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gloss);
    painter.drawRoundedRect(glossRect, radius, radius);
    painter.restore();
}

QColor captionColorOn(const QColor& background) {
    const QColor rgb = background.toRgb();
    const int luminance = (299 * rgb.red() + 587 * rgb.green() + 114 * rgb.blue()) / 1000;
    return luminance > 140 ? QColor(0x10, 0x10, 0x10) : QColor(0xf2, 0xf2, 0xf2);
}

}  // namespace qvx::widgets::detail
