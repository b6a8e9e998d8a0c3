#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

namespace qvx::widgets {

class TimePlot;

/// Picture formats a plot is saved in.
enum class PictureFormat { Png, Svg };

/// The format a file name asks for: SVG for ".svg" (any case), PNG otherwise.
[[nodiscard]] PictureFormat pictureFormatFor(const QString& fileName);

/// The plot as drawn now, at its size and the screen's pixel ratio.
[[nodiscard]] QImage plotImage(const TimePlot& plot);
/// The plot as drawn now, as an SVG document with lines and text as vectors.
[[nodiscard]] QByteArray plotSvg(const TimePlot& plot);
/// Writes the plot to `out` in `format`; false when the device refused it.
[[nodiscard]] bool writePlotPicture(const TimePlot& plot, PictureFormat format, QIODevice& out);
/// Puts the plot on the clipboard as an image.
void copyPlotToClipboard(const TimePlot& plot);

}  // namespace qvx::widgets
