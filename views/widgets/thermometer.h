#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>

#include "views/widgets/face_cache.h"

namespace qvx::widgets {

/// A vertical liquid thermometer with a numbered scale on its left. The column rises from the
/// bulb to the position; positions outside the scale stop it at the bulb or at the top. Glass,
/// scale and liquid are cached, so a position change costs a few copies.
class Thermometer : public QWidget {
    Q_OBJECT

public:
    explicit Thermometer(QWidget* parent = nullptr);

    /// Colour of the column and the bulb, as 0x00BBGGRR (255 red, 65280 green, 65535 yellow).
    void setIndicatorColor(std::uint32_t colorRef);
    /// Colour of the column and the bulb.
    void setIndicatorColor(const QColor& color);
    [[nodiscard]] QColor indicatorColor() const { return m_color; }
    /// Height of the column, in scale units. A value that is not a number is ignored.
    void setPosition(double value);
    [[nodiscard]] double position() const { return m_position; }
    /// Value at the bottom of the scale.
    void setPositionMin(double value);
    [[nodiscard]] double positionMin() const { return m_min; }
    /// Value at the top of the scale; not above the minimum leaves the column empty.
    void setPositionMax(double value);
    [[nodiscard]] double positionMax() const { return m_max; }

    /// Fraction of the scale (0 at the bottom, 1 at the top) that the column fills.
    [[nodiscard]] double columnFraction() const;

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Geometry;
    [[nodiscard]] Geometry geometry() const;
    void scaleChanged();
    [[nodiscard]] double columnTop(const Geometry& g) const;
    void drawLiquid(QPainter& painter, const Geometry& g, qreal ratio);
    void renderFace(QPainter& painter, const Geometry& g) const;
    /// The column at its full height and the bulb over its foot.
    void renderLiquid(QPainter& painter, const Geometry& g) const;

    double m_position = 0.0;
    double m_min = 0.0;
    double m_max = 100.0;
    QColor m_color{0xe0, 0x1b, 0x1b};
    FaceCache m_face;    // glass and scale
    FaceCache m_liquid;  // the full column and the bulb, in the indicator colour
};

}  // namespace qvx::widgets
