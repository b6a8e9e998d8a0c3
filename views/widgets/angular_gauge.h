#pragma once

#include <QPainterPath>
#include <QString>
#include <QWidget>

#include "views/widgets/face_cache.h"

namespace qvx::widgets {

/// A round pointer instrument: a 270° scale with numbered major ticks and minor ticks, a text
/// at each end of the scale and a pointer. Values outside the scale pin the pointer to the
/// nearer end. Every setter schedules one repaint; the dial and the printed scale are cached,
/// so a position change only redraws the pointer and its shadow.
class AngularGauge : public QWidget {
    Q_OBJECT

public:
    explicit AngularGauge(QWidget* parent = nullptr);

    /// Moves the pointer to `value` (scale units). A value that is not a number leaves the
    /// pointer where it was.
    void setPosition(double value);
    /// The value last set.
    [[nodiscard]] double position() const { return m_position; }
    /// Value at the start (lower left) of the scale.
    void setPositionMin(double value);
    [[nodiscard]] double positionMin() const { return m_min; }
    /// Value at the end (lower right) of the scale. A maximum not above the minimum draws the
    /// scale with one tick and the pointer at the start until the range is valid again.
    void setPositionMax(double value);
    [[nodiscard]] double positionMax() const { return m_max; }
    /// Text drawn under the start of the scale.
    void setMinLabel(const QString& text);
    [[nodiscard]] QString minLabel() const { return m_minLabel; }
    /// Text drawn under the end of the scale.
    void setMaxLabel(const QString& text);
    [[nodiscard]] QString maxLabel() const { return m_maxLabel; }
    /// Schedules a repaint with the current settings.
    void refresh();

    /// Fraction of the scale (0 at the start, 1 at the end) that the pointer shows.
    [[nodiscard]] double pointerFraction() const;

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Geometry;
    [[nodiscard]] Geometry geometry() const;
    void scaleChanged();
    void renderDial(QPainter& painter, const Geometry& g) const;
    void renderScale(QPainter& painter, const Geometry& g) const;
    [[nodiscard]] QPainterPath needlePath(const Geometry& g) const;
    static void renderShadow(QPainter& painter, const Geometry& g, const QPainterPath& needle);
    static void renderPointer(QPainter& painter, const Geometry& g, const QPainterPath& needle);

    double m_position = 0.0;
    double m_min = 0.0;
    double m_max = 100.0;
    QString m_minLabel;
    QString m_maxLabel;
    FaceCache m_dial;   // bezel and face: depends on the size only
    FaceCache m_scale;  // arc, ticks, numbers and end texts over the pointer's shadow
};

}  // namespace qvx::widgets
