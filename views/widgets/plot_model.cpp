#include "views/widgets/plot_model.h"

#include <algorithm>
#include <cmath>

namespace qvx::widgets {

namespace {
constexpr int kYAxisCount = 3;
}  // namespace

// ---- TimePlotAxis -------------------------------------------------------------------------

void TimePlotAxis::notify() const {
    if (m_observer != nullptr) {
        m_observer->plotContentChanged();
    }
}

void TimePlotAxis::setTitle(const QString& title) {
    if (title == m_title) {
        return;
    }
    m_title = title;
    notify();
}

void TimePlotAxis::setMin(double min) {
    if (!std::isfinite(min)) {
        return;
    }
    const bool changed = min != m_min;
    m_min = min;
    if (m_observer != nullptr) {
        m_observer->plotAxisMinChanged(*this);
    }
    if (changed) {
        notify();
    }
}

void TimePlotAxis::setSpan(double span) {
    if (!std::isfinite(span) || span <= 0.0 || span == m_span) {
        return;
    }
    m_span = span;
    notify();
}

void TimePlotAxis::setTickLabels(const QList<TickLabel>& labels) {
    m_tickLabels = labels;
    notify();
}

// ---- TimePlotChannel ----------------------------------------------------------------------

void TimePlotChannel::notify() const {
    if (m_observer != nullptr) {
        m_observer->plotContentChanged();
    }
}

void TimePlotChannel::setName(const QString& name) {
    m_name = name;
    notify();
}

void TimePlotChannel::setColor(const QColor& color) {
    m_color = color;
    notify();
}

void TimePlotChannel::setYAxis(int index) {
    if (index < 0 || index >= kYAxisCount) {
        return;
    }
    m_yAxis = index;
    notify();
}

void TimePlotChannel::setStepped(bool stepped) {
    m_stepped = stepped;
    notify();
}

void TimePlotChannel::setVisible(bool visible) {
    if (visible == m_visible) {
        return;
    }
    m_visible = visible;
    notify();
}

void TimePlotChannel::setRingBufferSize(int points) {
    m_points.setCapacity(static_cast<std::size_t>(std::clamp(points, 1, kMaxRingBufferSize)));
    notify();
}

void TimePlotChannel::setXStep(double step) {
    if (std::isfinite(step) && step > 0.0) {
        m_xStep = step;
    }
}

void TimePlotChannel::clear() {
    m_points.clear();
    notify();
}

int TimePlotChannel::addXY(double x, double y) {
    m_points.push(QPointF(x, y));
    if (m_observer != nullptr) {
        m_observer->plotPointAdded(x);
    }
    return count() - 1;
}

int TimePlotChannel::addY(double y) {
    const double x = m_points.empty() ? 0.0 : m_points.back().x() + m_xStep;
    return addXY(x, y);
}

std::vector<QPointF> TimePlotChannel::points() const {
    std::vector<QPointF> copy;
    copy.reserve(m_points.size());
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        copy.push_back(m_points[i]);
    }
    return copy;
}

}  // namespace qvx::widgets
