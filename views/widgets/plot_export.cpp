#include "views/widgets/plot_export.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <cmath>

#include "views/widgets/time_plot.h"

namespace qvx::widgets {

PictureFormat pictureFormatFor(const QString& fileName) {
    return fileName.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive) ? PictureFormat::Svg
                                                                          : PictureFormat::Png;
}

QImage plotImage(const TimePlot& plot) {
    const qreal dpr = plot.devicePixelRatioF();
    QImage image(static_cast<int>(std::ceil(plot.width() * dpr)),
                 static_cast<int>(std::ceil(plot.height() * dpr)), QImage::Format_ARGB32);
    image.setDevicePixelRatio(dpr);
    QPainter painter(&image);
    plot.renderPicture(painter, plot.size());
    return image;
}

QByteArray plotSvg(const TimePlot& plot) {
    QByteArray svg;
    QBuffer buffer(&svg);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(plot.size());
    generator.setViewBox(QRect(QPoint(0, 0), plot.size()));
    generator.setTitle(plot.title());
    {
        QPainter painter(&generator);
        plot.renderPicture(painter, plot.size());
    }
    return svg;
}

bool writePlotPicture(const TimePlot& plot, PictureFormat format, QIODevice& out) {
    if (format == PictureFormat::Svg) {
        const QByteArray svg = plotSvg(plot);
        return out.write(svg) == svg.size();
    }
    return plotImage(plot).save(&out, "PNG");
}

void copyPlotToClipboard(const TimePlot& plot) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setImage(plotImage(plot));
    }
}

}  // namespace qvx::widgets
