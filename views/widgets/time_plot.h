#pragma once

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <array>

#include "views/widgets/ring_buffer.h"

namespace qvx::widgets {

class TimePlot;

/// A text drawn on an axis at a fixed value in place of a number (for instance "1 = Zu" at 1).
struct TickLabel {
    double value = 0.0;
    QString text;
};

/// One axis of a TimePlot: a title and the visible range [min, min + span].
class TimePlotAxis {
public:
    TimePlotAxis() = default;
    TimePlotAxis(const TimePlotAxis&) = delete;
    TimePlotAxis& operator=(const TimePlotAxis&) = delete;

    /// Caption along the axis.
    void setTitle(const QString& title);
    [[nodiscard]] QString title() const { return m_title; }
    /// Value at the lower (y) or left (x) end. Setting it on the x axis also moves the visible
    /// window back to it.
    void setMin(double min);
    [[nodiscard]] double min() const { return m_min; }
    /// Visible range above the minimum; values that are not positive and finite are ignored.
    void setSpan(double span);
    [[nodiscard]] double span() const { return m_span; }
    /// Texts at fixed values in place of the numbered ticks; an empty list brings numbers back.
    void setTickLabels(const QList<TickLabel>& labels);
    [[nodiscard]] const QList<TickLabel>& tickLabels() const { return m_tickLabels; }

private:
    friend class TimePlot;
    void notifyPlot() const;

    TimePlot* m_plot = nullptr;
    QString m_title;
    double m_min = 0.0;
    double m_span = 100.0;
    QList<TickLabel> m_tickLabels;
};

/// One data series of a TimePlot, kept in a ring buffer of (x, y) points.
class TimePlotChannel {
public:
    /// Points kept when no size is set.
    static constexpr int kDefaultRingBufferSize = 1024;
    /// Upper bound of the ring buffer size (a point takes 16 bytes).
    static constexpr int kMaxRingBufferSize = 1'000'000;

    TimePlotChannel() = default;
    TimePlotChannel(const TimePlotChannel&) = delete;
    TimePlotChannel& operator=(const TimePlotChannel&) = delete;

    /// Name shown in the legend.
    void setName(const QString& name);
    [[nodiscard]] QString name() const { return m_name; }
    /// Line colour; the axis the channel uses takes it for its numbers.
    void setColor(const QColor& color);
    [[nodiscard]] QColor color() const { return m_color; }
    /// The y axis (0, 1 or 2) the channel is drawn against; other indices are ignored.
    void setYAxis(int index);
    [[nodiscard]] int yAxis() const { return m_yAxis; }
    /// Draws the channel as a staircase (each value held until the next point) instead of
    /// straight lines between points: right for states such as an output level.
    void setStepped(bool stepped);
    [[nodiscard]] bool isStepped() const { return m_stepped; }
    /// Shows or hides the channel's line; hidden channels keep collecting points.
    void setVisible(bool visible);
    [[nodiscard]] bool isVisible() const { return m_visible; }
    /// Number of points kept, clamped to 1 .. kMaxRingBufferSize; the newest points stay.
    void setRingBufferSize(int points);
    [[nodiscard]] int ringBufferSize() const { return static_cast<int>(m_points.capacity()); }
    /// Distance in x between two points appended with addY (default 1).
    void setXStep(double step);
    [[nodiscard]] double xStep() const { return m_xStep; }

    /// Removes all points; the next addY starts again at x = 0.
    void clear();
    /// Appends the point (x, y) and returns its index (count() - 1 afterwards).
    int addXY(double x, double y);
    /// Appends y one x step after the last point (at x = 0 for the first) and returns its
    /// index.
    int addY(double y);

    /// Number of points held.
    [[nodiscard]] int count() const { return static_cast<int>(m_points.size()); }
    /// Point `index`, counted from the oldest (0) to the newest (count() - 1).
    [[nodiscard]] QPointF point(int index) const {
        return m_points[static_cast<std::size_t>(index)];
    }

private:
    friend class TimePlot;
    void notifyPlot() const;

    TimePlot* m_plot = nullptr;
    QString m_name;
    QColor m_color{Qt::black};
    int m_yAxis = 0;
    bool m_stepped = false;
    bool m_visible = true;
    double m_xStep = 1.0;
    RingBuffer<QPointF> m_points{kDefaultRingBufferSize};
};

/// A time plot in the manner of a recorder: a title, a legend, three channels, a left y axis
/// (0) and up to two right y axes (1, 2, drawn when a channel uses them), an x axis, and a
/// grid on the numbered ticks of x and y axis 0.
///
/// Every change schedules one repaint (update()); a burst of changes costs one repaint. Around
/// a refill, beginUpdate() holds the last drawn picture until endUpdate(), so the refill shows
/// at once and repaints once.
class TimePlot : public QWidget {
    Q_OBJECT

public:
    static constexpr int kChannelCount = 3;
    static constexpr int kYAxisCount = 3;

    explicit TimePlot(QWidget* parent = nullptr);

    /// Channel 0, 1 or 2; another index throws std::out_of_range.
    [[nodiscard]] TimePlotChannel& channel(int index);
    [[nodiscard]] const TimePlotChannel& channel(int index) const;
    /// Y axis 0 (left), 1 or 2 (right); another index throws std::out_of_range.
    [[nodiscard]] TimePlotAxis& yAxis(int index);
    [[nodiscard]] const TimePlotAxis& yAxis(int index) const;
    /// The time axis.
    [[nodiscard]] TimePlotAxis& xAxis() { return m_xAxis; }
    [[nodiscard]] const TimePlotAxis& xAxis() const { return m_xAxis; }

    /// Heading above the plot.
    void setTitle(const QString& title);
    [[nodiscard]] QString title() const { return m_title; }

    /// When on, a point beyond the right end of the visible x range scrolls the range so that
    /// the newest point sits at the right edge (a running recorder). Off by default.
    void setXTracking(bool tracking);
    [[nodiscard]] bool xTracking() const { return m_xTracking; }
    /// Left end of the visible x range (the x axis minimum unless tracking scrolled it).
    [[nodiscard]] double xViewMin() const { return m_xViewMin; }
    /// Moves the visible x range back to the x axis minimum (undoes tracking scroll).
    void resetXView();

    /// Schedules a repaint with the current data and axes.
    void refresh();
    /// Holds the last drawn picture until the matching endUpdate(); calls nest.
    void beginUpdate();
    /// Ends one beginUpdate(); the outermost call repaints once with everything changed.
    void endUpdate();
    [[nodiscard]] bool isUpdating() const { return m_updateDepth > 0; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class TimePlotAxis;
    friend class TimePlotChannel;

    void contentChanged();
    void pointAdded(double x);
    void xMinChanged();
    void renderFrame(QPainter& painter) const;

    std::array<TimePlotChannel, kChannelCount> m_channels;
    std::array<TimePlotAxis, kYAxisCount> m_yAxes;
    TimePlotAxis m_xAxis;
    QString m_title;
    bool m_xTracking = false;
    double m_xViewMin = 0.0;
    int m_updateDepth = 0;
    QPixmap m_frame;  // the picture last drawn, shown unchanged while an update is held
};

}  // namespace qvx::widgets
