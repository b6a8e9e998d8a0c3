#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>

class QPainter;

namespace qvx::widgets {

/// The static part of an instrument (dial, scale, numbers), rendered once into a pixmap at the
/// screen's pixel density and reused until the size, the density or the scale changes. The
/// live part (pointer, bar) is drawn over it, so a value change costs one blit and a few paths.
class FaceCache {
public:
    /// Marks the face as stale; the next draw() renders it again.
    void invalidate() { m_valid = false; }
    /// Draws the face at (0, 0), rendering it first with `render` if it is stale or if `size`
    /// or `devicePixelRatio` changed. `render` paints in logical (device-independent) pixels.
    void draw(QPainter& painter, QSize size, qreal devicePixelRatio,
              const std::function<void(QPainter&)>& render);
    /// Like draw(), but copies only the part `source` of the face (logical pixels) with its
    /// top left corner at `target`, so that one rendering can serve a part that moves.
    void drawPart(QPainter& painter, QSize size, qreal devicePixelRatio,
                  const std::function<void(QPainter&)>& render, const QRect& source, QPoint target);

private:
    /// Renders the face if it is stale; false if there is nothing to draw (an empty size).
    [[nodiscard]] bool ensure(QSize size, qreal devicePixelRatio,
                              const std::function<void(QPainter&)>& render);

    QPixmap m_pixmap;
    QSize m_size;
    qreal m_devicePixelRatio = 0.0;
    bool m_valid = false;
};

}  // namespace qvx::widgets
