#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <vector>

#include "views/widgets/ring_buffer.h"

namespace qvx::widgets {

class TimePlotAxis;

/// What a plot learns from its axes and channels: each change schedules one repaint.
class PlotModelObserver {
public:
    virtual ~PlotModelObserver() = default;
    /// Anything drawn changed.
    virtual void plotContentChanged() = 0;
    /// A point at `x` was appended to a channel.
    virtual void plotPointAdded(double x) = 0;
    /// The minimum of `axis` was set.
    virtual void plotAxisMinChanged(const TimePlotAxis& axis) = 0;

protected:
    PlotModelObserver() = default;
    PlotModelObserver(const PlotModelObserver&) = default;
    PlotModelObserver& operator=(const PlotModelObserver&) = default;
};

/// A text drawn on an axis at a fixed value in place of a number (for instance "1 = Zu" at 1).
struct TickLabel {
    double value = 0.0;
    QString text;
    friend bool operator==(const TickLabel&, const TickLabel&) = default;
};

/// One axis of a TimePlot: a title and the full range [min, min + span]. Zooming shows a part
/// of it without changing it.
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
    /// Range above the minimum; values that are not positive and finite are ignored.
    void setSpan(double span);
    [[nodiscard]] double span() const { return m_span; }
    /// Texts at fixed values in place of the numbered ticks; an empty list brings numbers back.
    void setTickLabels(const QList<TickLabel>& labels);
    [[nodiscard]] const QList<TickLabel>& tickLabels() const { return m_tickLabels; }

    /// Who is told about changes (the plot that owns the axis).
    void setObserver(PlotModelObserver* observer) { m_observer = observer; }

private:
    void notify() const;

    PlotModelObserver* m_observer = nullptr;
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
    /// All points, oldest first.
    [[nodiscard]] std::vector<QPointF> points() const;

    /// Who is told about changes (the plot that owns the channel).
    void setObserver(PlotModelObserver* observer) { m_observer = observer; }

private:
    void notify() const;

    PlotModelObserver* m_observer = nullptr;
    QString m_name;
    QColor m_color{Qt::black};
    int m_yAxis = 0;
    bool m_stepped = false;
    bool m_visible = true;
    double m_xStep = 1.0;
    RingBuffer<QPointF> m_points{kDefaultRingBufferSize};
};

}  // namespace qvx::widgets
