#include "resources/qvx_resources.h"

#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace qvx::resources {

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

}  // namespace

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : kIconSizes) {
        icon.addFile(QStringLiteral(":/qvx/icons/qvx_%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QSize makerLogoSize() {
    return {240, 60};
}

QPixmap makerLogo(const QSize& logicalSize, qreal devicePixelRatio) {
    if (logicalSize.isEmpty() || !(devicePixelRatio > 0.0)) {
        return {};
    }
    const QSize pixels(static_cast<int>(std::lround(logicalSize.width() * devicePixelRatio)),
                       static_cast<int>(std::lround(logicalSize.height() * devicePixelRatio)));
    QPixmap pixmap(pixels);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/qvx/logo/varnok_logo.svg"));
    const QSizeF natural = renderer.defaultSize();
    const QSizeF fitted = natural.scaled(QSizeF(pixels), Qt::KeepAspectRatio);
    const QRectF target((pixels.width() - fitted.width()) / 2.0,
                        (pixels.height() - fitted.height()) / 2.0, fitted.width(), fitted.height());
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, target);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

}  // namespace qvx::resources
