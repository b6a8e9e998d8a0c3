#include "views/widgets/face_cache.h"

#include <QPainter>
#include <cmath>

namespace qvx::widgets {

bool FaceCache::ensure(QSize size, qreal devicePixelRatio,
                       const std::function<void(QPainter&)>& render) {
    if (m_valid && size == m_size && devicePixelRatio == m_devicePixelRatio) {
        return true;
    }
    const QSize pixels(static_cast<int>(std::ceil(size.width() * devicePixelRatio)),
                       static_cast<int>(std::ceil(size.height() * devicePixelRatio)));
    if (pixels.isEmpty()) {
        return false;
    }
    m_pixmap = QPixmap(pixels);
    m_pixmap.setDevicePixelRatio(devicePixelRatio);
    m_pixmap.fill(Qt::transparent);
    QPainter facePainter(&m_pixmap);
    facePainter.setRenderHint(QPainter::Antialiasing);
    facePainter.setRenderHint(QPainter::TextAntialiasing);
    render(facePainter);
    m_size = size;
    m_devicePixelRatio = devicePixelRatio;
    m_valid = true;
    return true;
}

void FaceCache::draw(QPainter& painter, QSize size, qreal devicePixelRatio,
                     const std::function<void(QPainter&)>& render) {
    if (ensure(size, devicePixelRatio, render)) {
        painter.drawPixmap(0, 0, m_pixmap);
    }
}

void FaceCache::drawPart(QPainter& painter, QSize size, qreal devicePixelRatio,
                         const std::function<void(QPainter&)>& render, const QRect& source,
                         QPoint target) {
    if (!ensure(size, devicePixelRatio, render)) {
        return;
    }
    // The source is given in the pixmap's own pixels.
    const QRectF pixels(source.x() * devicePixelRatio, source.y() * devicePixelRatio,
                        source.width() * devicePixelRatio, source.height() * devicePixelRatio);
    painter.drawPixmap(QRectF(target, source.size()), m_pixmap, pixels);
}

}  // namespace qvx::widgets
