#include "views/widgets/time_plot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "resources/ui_text.h"

namespace qvx::widgets {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const QColor kLegendInk(0x1b, 0x1d, 0x21);
/// How near (pixels) a press must be to a cursor line to drag it, and a cursor to an edge to
/// snap onto it.
constexpr double kGrabPixels = 6.0;
constexpr double kSnapPixels = 12.0;
/// Movement (pixels) after which a press is a drag and no longer a click.
constexpr double kClickSlop = 4.0;
/// Zoom factor of one wheel notch (120 eighths of a degree).
constexpr double kZoomPerNotch = 0.8;

}  // namespace

TimePlot::TimePlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("timePlot"));
    setAccessibleName(uiText(QT_TRANSLATE_NOOP("qvx", "Zeitdiagramm")));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::ClickFocus);
    // Every repaint covers the whole widget with the backdrop: nothing beneath is painted first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (TimePlotChannel& c : m_channels) {
        c.setObserver(this);
    }
    for (TimePlotChannel& c : m_overlays) {
        c.setObserver(this);
    }
    for (TimePlotAxis& a : m_yAxes) {
        a.setObserver(this);
    }
    m_xAxis.setObserver(this);
}

TimePlotChannel& TimePlot::channel(int index) {
    return m_channels.at(static_cast<std::size_t>(index));
}

const TimePlotChannel& TimePlot::channel(int index) const {
    return m_channels.at(static_cast<std::size_t>(index));
}

TimePlotChannel& TimePlot::overlay(int index) {
    return m_overlays.at(static_cast<std::size_t>(index));
}

const TimePlotChannel& TimePlot::overlay(int index) const {
    return m_overlays.at(static_cast<std::size_t>(index));
}

TimePlotAxis& TimePlot::yAxis(int index) {
    return m_yAxes.at(static_cast<std::size_t>(index));
}

const TimePlotAxis& TimePlot::yAxis(int index) const {
    return m_yAxes.at(static_cast<std::size_t>(index));
}

void TimePlot::setTitle(const QString& title) {
    m_title = title;
    setAccessibleDescription(title);
    plotContentChanged();
}

void TimePlot::setRecordingNames(const QString& primary, const QString& overlay) {
    m_primaryName = primary;
    m_overlayName = overlay;
    plotContentChanged();
}

void TimePlot::setXTracking(bool tracking) {
    m_xTracking = tracking;
}

void TimePlot::resetXView() {
    m_xViewMin = m_xAxis.min();
    plotContentChanged();
}

// ---- what is shown ------------------------------------------------------------------------

AxisRange TimePlot::fullX() const {
    return {m_xViewMin, m_xAxis.span()};
}

std::array<AxisRange, TimePlot::kYAxisCount> TimePlot::fullY() const {
    std::array<AxisRange, kYAxisCount> full;
    for (std::size_t a = 0; a < full.size(); ++a) {
        full[a] = {m_yAxes[a].min(), m_yAxes[a].span()};
    }
    return full;
}

std::array<AxisRange, TimePlot::kYAxisCount> TimePlot::allShownY() const {
    std::array<AxisRange, kYAxisCount> shown;
    for (int a = 0; a < kYAxisCount; ++a) {
        shown[static_cast<std::size_t>(a)] = shownY(a);
    }
    return shown;
}

AxisRange TimePlot::shownX() const {
    return m_viewport.x(fullX());
}

AxisRange TimePlot::shownY(int axis) const {
    return m_viewport.y(axis, fullY().at(static_cast<std::size_t>(axis)));
}

const std::vector<QPointF>& TimePlot::shownPoints(int channel, bool overlaySeries) const {
    if (channel < 0 || channel >= kChannelCount) {
        throw std::out_of_range("TimePlot channel");
    }
    if (m_shownStale && !m_paused && m_updateDepth == 0) {
        for (std::size_t c = 0; c < m_channels.size(); ++c) {
            m_shown[c] = m_channels[c].points();
            m_shown[c + kChannelCount] = m_overlays[c].points();
        }
        m_shownStale = false;
    }
    return m_shown[static_cast<std::size_t>(channel + (overlaySeries ? kChannelCount : 0))];
}

PlotScene TimePlot::scene() const {
    PlotScene scene;
    scene.title = m_title;
    scene.xTitle = m_xAxis.title();
    scene.x = shownX();
    std::array<bool, kYAxisCount> colored{};
    for (std::size_t a = 0; a < scene.y.size(); ++a) {
        YAxisPicture& axis = scene.y[a];
        axis.title = m_yAxes[a].title();
        axis.range = shownY(static_cast<int>(a));
        axis.tickLabels = m_yAxes[a].tickLabels();
        axis.used = a == 0;
        axis.color = kLegendInk;
    }
    for (const TimePlotChannel& c : m_channels) {
        YAxisPicture& axis = scene.y[static_cast<std::size_t>(c.yAxis())];
        axis.used = true;
        if (!colored[static_cast<std::size_t>(c.yAxis())]) {
            axis.color = c.color().darker(115);
            colored[static_cast<std::size_t>(c.yAxis())] = true;
        }
    }
    bool overlaid = false;
    for (int c = 0; c < kChannelCount; ++c) {
        const TimePlotChannel& channel = m_channels[static_cast<std::size_t>(c)];
        if (!channel.name().isEmpty()) {
            scene.legend.push_back(
                {channel.name(), channel.color(), Qt::SolidLine, channel.isVisible()});
        }
        if (!channel.isVisible()) {
            continue;
        }
        for (const bool overlaySeries : {false, true}) {
            const std::vector<QPointF>& points = shownPoints(c, overlaySeries);
            overlaid = overlaid || (overlaySeries && !points.empty());
            scene.series.push_back(
                {&points, channel.color(), channel.yAxis(), channel.isStepped(), overlaySeries});
        }
    }
    if (overlaid && !m_primaryName.isEmpty() && !m_overlayName.isEmpty()) {
        scene.recordingLegend = {{m_primaryName, kLegendInk, Qt::SolidLine, true},
                                 {m_overlayName, kLegendInk, Qt::DashLine, true}};
    }
    scene.referenceAxis = m_referenceAxis;
    scene.references = m_references;
    for (int i = 0; i < kCursorCount; ++i) {
        scene.cursors[static_cast<std::size_t>(i)] = cursor(i).value_or(kNaN);
    }
    if (m_paused) {
        scene.mark = uiText(QT_TRANSLATE_NOOP("qvx", "Pause"));
    }
    return scene;
}

PlotLayout TimePlot::currentLayout() const {
    return layOutPlot(scene(), QSizeF(size()), font());
}

void TimePlot::renderPicture(QPainter& painter, QSize size) const {
    const PlotScene picture = scene();
    painter.fillRect(QRectF(QPointF(0.0, 0.0), QSizeF(size)), palette().color(QPalette::Window));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintPlot(painter, picture, layOutPlot(picture, QSizeF(size), font()));
}

// ---- zoom, pan and pause ------------------------------------------------------------------

void TimePlot::zoomX(double anchor, double factor) {
    pauseForNavigation();
    m_viewport.zoomX(shownX(), fullX(), anchor, factor);
    plotContentChanged();
}

void TimePlot::zoomY(double fraction, double factor) {
    pauseForNavigation();
    m_viewport.zoomY(allShownY(), fullY(), fraction, factor);
    plotContentChanged();
}

void TimePlot::resetZoom() {
    m_viewport.reset();
    if (m_pausedByNavigation) {
        setPaused(false);
    } else if (m_paused) {
        m_viewport.holdX(m_pausedX);  // the range shown when the pause began
    }
    plotContentChanged();
}

void TimePlot::pauseForNavigation() {
    if (m_xTracking && !m_paused) {
        setPaused(true);
        m_pausedByNavigation = true;
    }
}

void TimePlot::setPaused(bool paused) {
    if (paused == m_paused) {
        return;
    }
    if (paused) {
        (void)shownPoints(0);  // the copies that stay
        m_pausedX = fullX();
        if (!m_viewport.isXHeld()) {
            m_viewport.holdX(m_pausedX);
        }
    } else {
        m_viewport.reset();
        m_shownStale = true;
    }
    m_paused = paused;
    m_pausedByNavigation = false;
    update();
    emit pausedChanged(paused);
}

// ---- cursors and reference lines ----------------------------------------------------------

double TimePlot::snapped(double x) const {
    if (!m_snap) {
        return x;
    }
    const PlotLayout layout = currentLayout();
    if (!layout.valid) {
        return x;
    }
    std::vector<double> edges;
    for (int c = 0; c < kChannelCount; ++c) {
        const TimePlotChannel& channel = m_channels[static_cast<std::size_t>(c)];
        if (channel.isStepped() && channel.isVisible()) {
            for (const bool overlaySeries : {false, true}) {
                const std::vector<double> more = seriesEdges(shownPoints(c, overlaySeries));
                edges.insert(edges.end(), more.begin(), more.end());
            }
        }
    }
    return snapToEdge(x, edges, kSnapPixels * layout.x.span / layout.area.width());
}

void TimePlot::setCursor(int index, double x) {
    if (index < 0 || index >= kCursorCount || !std::isfinite(x)) {
        return;
    }
    m_cursors.place(index, snapped(x));
    update();
    emit cursorsChanged();
}

void TimePlot::clearCursors() {
    m_cursors.clear();
    update();
    emit cursorsChanged();
}

void TimePlot::setCursorSnap(bool snap) {
    m_snap = snap;
}

double TimePlot::cursorValue(int cursorIndex, int channelIndex, bool overlaySeries) const {
    const std::optional<double> x = cursor(cursorIndex);
    if (!x) {
        return kNaN;
    }
    return seriesValueAt(shownPoints(channelIndex, overlaySeries), *x,
                         channel(channelIndex).isStepped());
}

void TimePlot::setReferenceLines(int axis, const QList<ReferenceLine>& lines) {
    if (axis < 0 || axis >= kYAxisCount) {
        return;
    }
    m_referenceAxis = axis;
    m_references = lines;
    plotContentChanged();
}

// ---- repaints -----------------------------------------------------------------------------

void TimePlot::refresh() {
    plotContentChanged();
}

void TimePlot::beginUpdate() {
    if (m_updateDepth == 0) {
        // The points drawn stay as they are while the update is held (see shownPoints), so
        // the held scene can point at them.
        m_heldScene = scene();
    }
    ++m_updateDepth;
}

void TimePlot::endUpdate() {
    if (m_updateDepth == 0) {
        return;
    }
    if (--m_updateDepth == 0 && m_changedWhileHeld) {
        m_changedWhileHeld = false;
        update();
    }
}

void TimePlot::plotContentChanged() {
    m_shownStale = true;
    if (m_updateDepth == 0) {
        update();
    } else {
        m_changedWhileHeld = true;
    }
}

void TimePlot::plotPointAdded(double x) {
    if (m_xTracking && std::isfinite(x) && x > m_xViewMin + m_xAxis.span()) {
        m_xViewMin = x - m_xAxis.span();
    }
    m_shownStale = true;
    repaintUnlessPaused();
}

void TimePlot::repaintUnlessPaused() {
    // A paused picture does not change with new points: no repaint for them.
    if (m_paused) {
        return;
    }
    if (m_updateDepth == 0) {
        update();
    } else {
        m_changedWhileHeld = true;
    }
}

void TimePlot::plotAxisMinChanged(const TimePlotAxis& axis) {
    if (&axis == &m_xAxis && m_xViewMin != m_xAxis.min()) {
        m_xViewMin = m_xAxis.min();
        plotContentChanged();
    }
}

QSize TimePlot::sizeHint() const {
    return {640, 320};
}

QSize TimePlot::minimumSizeHint() const {
    return {240, 140};
}

void TimePlot::paintEvent(QPaintEvent* /*event*/) {
    if (width() <= 0 || height() <= 0) {
        return;
    }
    QPainter painter(this);
    drawPicture(painter, isUpdating() ? m_heldScene : scene());
}

bool TimePlot::fitBackdropToWidget() {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(static_cast<int>(std::ceil(width() * dpr)),
                       static_cast<int>(std::ceil(height() * dpr)));
    if (!m_backdrop.isNull() && m_backdrop.size() == pixels && m_backdrop.devicePixelRatio() == dpr) {
        return false;
    }
    m_backdrop = QPixmap(pixels);
    m_backdrop.setDevicePixelRatio(dpr);
    return true;
}

void TimePlot::drawPicture(QPainter& painter, const PlotScene& picture) {
    PlotBackdrop backdrop =
        plotBackdrop(picture, QSizeF(size()), font(), palette().color(QPalette::Window));
    // Laid out and drawn anew only when something it shows changed: its texts would be
    // measured and laid out again with every repaint, and while the plot runs they stay.
    if (fitBackdropToWidget() || m_backdropOf != backdrop) {
        m_backdropLayout = layOutFixedParts(backdrop.scene, backdrop.size, backdrop.font);
        QPainter backdropPainter(&m_backdrop);
        backdropPainter.setRenderHint(QPainter::Antialiasing);
        backdropPainter.setRenderHint(QPainter::TextAntialiasing);
        paintBackdrop(backdropPainter, backdrop, m_backdropLayout);
        m_backdropOf = std::move(backdrop);
    }
    painter.drawPixmap(0, 0, m_backdrop);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintForeground(painter, picture, withTimeAxis(m_backdropLayout, picture.x));
}

// ---- mouse --------------------------------------------------------------------------------

void TimePlot::mousePressEvent(QMouseEvent* event) {
    m_undoClick.reset();  // a new click, not the second of a double click
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const PlotLayout layout = currentLayout();
    if (!layout.valid || !layout.area.contains(event->position())) {
        return;
    }
    m_pressAt = m_lastAt = event->position();
    const double x = layout.pixelToX(event->position().x());
    m_dragCursor = m_cursors.near(x, kGrabPixels * layout.x.span / layout.area.width());
    m_drag = m_dragCursor >= 0 ? Drag::Cursor : Drag::Pending;
}

void TimePlot::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag == Drag::None) {
        return;
    }
    const PlotLayout layout = currentLayout();
    if (!layout.valid) {
        return;
    }
    const QPointF at = event->position();
    if (m_drag == Drag::Cursor) {
        setCursor(m_dragCursor,
                  layout.pixelToX(std::clamp(at.x(), layout.area.left(), layout.area.right())));
        return;
    }
    if (m_drag == Drag::Pending) {
        if ((at - m_pressAt).manhattanLength() < kClickSlop) {
            return;
        }
        m_drag = Drag::Pan;
        pauseForNavigation();
    }
    const double dx = (m_lastAt.x() - at.x()) * layout.x.span / layout.area.width();
    m_viewport.panX(shownX(), dx);
    m_viewport.panY((at.y() - m_lastAt.y()) / layout.area.height());
    m_lastAt = at;
    plotContentChanged();
}

void TimePlot::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_drag == Drag::Pending) {
        const PlotLayout layout = currentLayout();
        const double x = layout.pixelToX(m_pressAt.x());
        const int placed = m_cursors.forClickAt(x);
        m_undoClick = {placed, m_cursors.at(placed)};
        setCursor(placed, x);
    }
    m_drag = Drag::None;
    m_dragCursor = -1;
}

void TimePlot::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    m_drag = Drag::None;
    // The first click of the double click placed a cursor: it goes back where it was.
    if (m_undoClick) {
        const auto [cursor, before] = *m_undoClick;
        if (before) {
            m_cursors.place(cursor, *before);
        } else {
            m_cursors.remove(cursor);
        }
        m_undoClick.reset();
        emit cursorsChanged();
    }
    resetZoom();
}

void TimePlot::wheelEvent(QWheelEvent* event) {
    const PlotLayout layout = currentLayout();
    // With Shift held some platforms turn the vertical wheel into a horizontal one.
    const QPoint delta = event->angleDelta();
    const int eighths = delta.y() != 0 ? delta.y() : delta.x();
    if (!layout.valid || eighths == 0) {
        return;
    }
    const double factor = std::pow(kZoomPerNotch, eighths / 120.0);
    const QPointF at = event->position();
    if (event->modifiers().testFlag(Qt::ShiftModifier)) {
        zoomY((layout.area.bottom() - at.y()) / layout.area.height(), factor);
    } else {
        zoomX(layout.pixelToX(at.x()), factor);
    }
    event->accept();
}

}  // namespace qvx::widgets
