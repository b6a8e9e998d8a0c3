#pragma once

#include <QPointF>
#include <array>
#include <optional>
#include <vector>

#include "views/widgets/plot_painter.h"

namespace qvx::widgets {

/// Zoom and pan of a plot: the parts of its axes on screen, kept as overrides of the full
/// ranges so that the owner may change the full ranges meanwhile (a new unit, a scrolling
/// recorder) without undoing the zoom.
class PlotViewport {
public:
    /// Smallest part of the full range a zoom shows, and the most it widens beyond it.
    static constexpr double kMinZoom = 1e-3;
    static constexpr double kMaxZoom = 10.0;

    [[nodiscard]] AxisRange x(const AxisRange& full) const { return m_x.value_or(full); }
    [[nodiscard]] AxisRange y(int axis, const AxisRange& full) const {
        return m_y[static_cast<std::size_t>(axis)].value_or(full);
    }
    [[nodiscard]] bool isZoomed() const;
    [[nodiscard]] bool isXHeld() const { return m_x.has_value(); }

    /// Scales the shown x range by `factor` (below 1 zooms in) keeping `anchor` where it is.
    void zoomX(const AxisRange& shown, const AxisRange& full, double anchor, double factor);
    /// Scales every shown y range by `factor` keeping the same fraction of the height
    /// (`fraction`, 0 at the bottom) where it is, so all curves zoom together.
    void zoomY(const std::array<AxisRange, 3>& shown, const std::array<AxisRange, 3>& full,
               double fraction, double factor);
    /// Moves the shown x range by `delta` in x.
    void panX(const AxisRange& shown, double delta);
    /// Moves the zoomed y ranges by `fraction` of their height; nothing when y is not zoomed.
    void panY(double fraction);
    /// Keeps x at `shown` from now on (a paused recorder stops scrolling).
    void holdX(const AxisRange& shown) { m_x = shown; }
    /// Back to the full ranges.
    void reset();

private:
    std::optional<AxisRange> m_x;
    std::array<std::optional<AxisRange>, 3> m_y;
};

/// The value of a series at `x`: for a staircase the value of the last point at or before
/// `x`, otherwise interpolated between the points on either side. NaN outside the series or
/// where a neighbouring point is not a number. The points are in rising x.
[[nodiscard]] double seriesValueAt(const std::vector<QPointF>& points, double x, bool stepped);

/// The x of every point of a staircase whose value differs from the point before: where an
/// output switches.
[[nodiscard]] std::vector<double> seriesEdges(const std::vector<QPointF>& points);

/// The edge nearest to `x` when one lies within `tolerance`, else `x`.
[[nodiscard]] double snapToEdge(double x, const std::vector<double>& edges, double tolerance);

/// The two cursors of a plot: each placed at an x or not placed.
class PlotCursors {
public:
    static constexpr int kCount = 2;

    [[nodiscard]] std::optional<double> at(int cursor) const {
        return m_x[static_cast<std::size_t>(cursor)];
    }
    void place(int cursor, double x) { m_x[static_cast<std::size_t>(cursor)] = x; }
    void remove(int cursor) { m_x[static_cast<std::size_t>(cursor)].reset(); }
    void clear() { m_x = {}; }
    /// The cursor a click at `x` places: the first one not placed, else the nearer one.
    [[nodiscard]] int forClickAt(double x) const;
    /// The cursor whose line lies within `tolerance` of `x` (the nearer one), or -1.
    [[nodiscard]] int near(double x, double tolerance) const;

private:
    std::array<std::optional<double>, kCount> m_x;
};

}  // namespace qvx::widgets
