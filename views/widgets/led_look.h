#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace qvx::widgets::detail {

/// Paints a round lamp in a dark bezel, filling the largest circle inside `rect`.
void paintRoundLamp(QPainter& painter, const QRectF& rect, const QColor& color);
/// Paints a rectangular lamp lens with rounded corners of `radius`, filling `rect`.
void paintRectangularLens(QPainter& painter, const QRectF& rect, const QColor& color, qreal radius);
/// Black or near-white, whichever reads better on `background`.
[[nodiscard]] QColor captionColorOn(const QColor& background);

}  // namespace qvx::widgets::detail
