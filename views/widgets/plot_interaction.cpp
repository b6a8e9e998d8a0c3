#include "views/widgets/plot_interaction.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qvx::widgets {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

AxisRange scaled(const AxisRange& shown, const AxisRange& full, double anchor, double factor) {
    const double span = std::clamp(shown.span * factor, full.span * PlotViewport::kMinZoom,
                                   full.span * PlotViewport::kMaxZoom);
    const double fraction = (anchor - shown.min) / shown.span;
    return {anchor - fraction * span, span};
}

}  // namespace

bool PlotViewport::isZoomed() const {
    return m_x.has_value() ||
           std::any_of(m_y.begin(), m_y.end(), [](const auto& y) { return y.has_value(); });
}

void PlotViewport::zoomX(const AxisRange& shown, const AxisRange& full, double anchor,
                         double factor) {
    if (!std::isfinite(anchor) || !(factor > 0.0) || !(shown.span > 0.0)) {
        return;
    }
    m_x = scaled(shown, full, anchor, factor);
}

void PlotViewport::zoomY(const std::array<AxisRange, 3>& shown,
                         const std::array<AxisRange, 3>& full, double fraction, double factor) {
    if (!std::isfinite(fraction) || !(factor > 0.0)) {
        return;
    }
    for (std::size_t a = 0; a < shown.size(); ++a) {
        const double anchor = shown[a].min + fraction * shown[a].span;
        m_y[a] = scaled(shown[a], full[a], anchor, factor);
    }
}

void PlotViewport::panX(const AxisRange& shown, double delta) {
    if (std::isfinite(delta)) {
        m_x = AxisRange{shown.min + delta, shown.span};
    }
}

void PlotViewport::panY(double fraction) {
    if (!std::isfinite(fraction)) {
        return;
    }
    for (std::optional<AxisRange>& y : m_y) {
        if (y) {
            y->min += fraction * y->span;
        }
    }
}

void PlotViewport::reset() {
    m_x.reset();
    m_y = {};
}

double seriesValueAt(const std::vector<QPointF>& points, double x, bool stepped) {
    if (points.empty() || !std::isfinite(x) || x < points.front().x() || x > points.back().x()) {
        return kNaN;
    }
    // The first point beyond x; the one before it lies at or before x.
    const auto after = std::upper_bound(points.begin(), points.end(), x,
                                        [](double v, const QPointF& p) { return v < p.x(); });
    const QPointF& before = *std::prev(after);
    if (stepped || after == points.end() || before.x() == x) {
        return std::isfinite(before.y()) ? before.y() : kNaN;
    }
    const QPointF& next = *after;
    if (!std::isfinite(before.y()) || !std::isfinite(next.y())) {
        return kNaN;
    }
    const double t = (x - before.x()) / (next.x() - before.x());
    return before.y() + t * (next.y() - before.y());
}

std::vector<double> seriesEdges(const std::vector<QPointF>& points) {
    std::vector<double> edges;
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (points[i].y() != points[i - 1].y()) {
            edges.push_back(points[i].x());
        }
    }
    return edges;
}

double snapToEdge(double x, const std::vector<double>& edges, double tolerance) {
    double best = x;
    double bestDistance = tolerance;
    for (const double edge : edges) {
        const double distance = std::abs(edge - x);
        if (distance <= bestDistance) {
            best = edge;
            bestDistance = distance;
        }
    }
    return best;
}

int PlotCursors::forClickAt(double x) const {
    for (int i = 0; i < kCount; ++i) {
        if (!at(i)) {
            return i;
        }
    }
    return std::abs(*at(0) - x) <= std::abs(*at(1) - x) ? 0 : 1;
}

int PlotCursors::near(double x, double tolerance) const {
    int found = -1;
    double bestDistance = tolerance;
    for (int i = 0; i < kCount; ++i) {
        if (at(i) && std::abs(*at(i) - x) <= bestDistance) {
            found = i;
            bestDistance = std::abs(*at(i) - x);
        }
    }
    return found;
}

}  // namespace qvx::widgets
