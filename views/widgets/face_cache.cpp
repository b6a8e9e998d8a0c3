#include "views/widgets/face_cache.h"

#include <QPainter>
#include <cmath>

namespace qvx::widgets {

void FaceCache::draw(QPainter& painter, QSize size, qreal devicePixelRatio,
                     const std::function<void(QPainter&)>& render) {
    if (!m_valid || size != m_size || devicePixelRatio != m_devicePixelRatio) {
        const QSize pixels(static_cast<int>(std::ceil(size.width() * devicePixelRatio)),
                           static_cast<int>(std::ceil(size.height() * devicePixelRatio)));
        if (pixels.isEmpty()) {
            return;
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
    }
    painter.drawPixmap(0, 0, m_pixmap);
}

}  // namespace qvx::widgets
