// Renders an SVG file into a PNG of the given size; the build makes the icon sizes with it.
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s INPUT.svg OUTPUT.png WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    bool widthOk = false;
    bool heightOk = false;
    const int width = QString::fromLocal8Bit(argv[3]).toInt(&widthOk);
    const int height = QString::fromLocal8Bit(argv[4]).toInt(&heightOk);
    if (!widthOk || !heightOk || width <= 0 || height <= 0 || width > 4096 || height > 4096) {
        std::fprintf(stderr, "svg_to_png: bad size %s x %s\n", argv[3], argv[4]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "svg_to_png: cannot read %s\n", argv[1]);
        return 1;
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, width, height));
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "svg_to_png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
