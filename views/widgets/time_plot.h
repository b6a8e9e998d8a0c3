#pragma once

#include <QPixmap>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "views/widgets/plot_interaction.h"
#include "views/widgets/plot_model.h"
#include "views/widgets/plot_painter.h"

namespace qvx::widgets {

/// A time plot in the manner of a recorder: a title, a legend, three channels, a left y axis
/// (0) and up to two right y axes (1, 2, drawn when a channel uses them), an x axis, and a
/// grid on the numbered ticks of x and y axis 0. Each channel has an overlay series, drawn
/// dashed in its colour, for a second recording laid over the first.
///
/// For diagnosis it offers two cursors (a click places one, dragging a cursor line moves it,
/// optionally onto the nearest edge of a staircase channel), labelled reference lines on one
/// y axis, zoom (wheel: time axis around the pointer; Shift+wheel: value axes), panning by
/// dragging, a double click back to the full range, and a pause that keeps the picture while
/// the channels go on collecting points. On a tracking (live) plot, zooming and panning pause.
///
/// Every change schedules one repaint (update()); a burst of changes costs one repaint, and a
/// paused plot does not repaint for new points. Around a refill, beginUpdate() holds the last
/// drawn picture until endUpdate(), so the refill shows at once and repaints once. What does
/// not move with the curves (background, level grid, y axes, titles, legend) is kept as a
/// picture of its own and drawn anew only when something in it changed.
class TimePlot : public QWidget, private PlotModelObserver {
    Q_OBJECT

public:
    static constexpr int kChannelCount = 3;
    static constexpr int kYAxisCount = 3;
    static constexpr int kCursorCount = PlotCursors::kCount;

    explicit TimePlot(QWidget* parent = nullptr);

    /// Channel 0, 1 or 2; another index throws std::out_of_range.
    [[nodiscard]] TimePlotChannel& channel(int index);
    [[nodiscard]] const TimePlotChannel& channel(int index) const;
    /// The overlay series of channel 0, 1 or 2: drawn dashed with the channel's colour, axis,
    /// staircase and visibility; its own name and colour are not used.
    [[nodiscard]] TimePlotChannel& overlay(int index);
    [[nodiscard]] const TimePlotChannel& overlay(int index) const;
    /// Y axis 0 (left), 1 or 2 (right); another index throws std::out_of_range.
    [[nodiscard]] TimePlotAxis& yAxis(int index);
    [[nodiscard]] const TimePlotAxis& yAxis(int index) const;
    /// The time axis.
    [[nodiscard]] TimePlotAxis& xAxis() { return m_xAxis; }
    [[nodiscard]] const TimePlotAxis& xAxis() const { return m_xAxis; }

    /// Heading above the plot.
    void setTitle(const QString& title);
    [[nodiscard]] QString title() const { return m_title; }
    /// Names of the two recordings in a second legend row (solid: the channels, dashed: the
    /// overlays); the row is drawn while an overlay holds points and both names are set.
    void setRecordingNames(const QString& primary, const QString& overlay);

    /// When on, a point beyond the right end of the visible x range scrolls the range so that
    /// the newest point sits at the right edge (a running recorder). Off by default.
    void setXTracking(bool tracking);
    [[nodiscard]] bool xTracking() const { return m_xTracking; }
    /// Left end of the full x range (the x axis minimum unless tracking scrolled it).
    [[nodiscard]] double xViewMin() const { return m_xViewMin; }
    /// Moves the full x range back to the x axis minimum (undoes tracking scroll).
    void resetXView();

    /// The parts of the axes on screen, after zoom and pan.
    [[nodiscard]] AxisRange shownX() const;
    [[nodiscard]] AxisRange shownY(int axis) const;
    [[nodiscard]] bool isZoomed() const { return m_viewport.isZoomed(); }
    /// Zooms the time axis around `anchor` by `factor` (below 1 zooms in), as the wheel does.
    void zoomX(double anchor, double factor);
    /// Zooms the value axes around `fraction` of the height (0 at the bottom).
    void zoomY(double fraction, double factor);
    /// Back to the full ranges ("Zurücksetzen", double click); a pause the zoom started ends.
    void resetZoom();

    /// Holds the drawn points while the channels keep collecting; resuming shows everything
    /// collected meanwhile and, on a tracking plot, the newest points again.
    void setPaused(bool paused);
    [[nodiscard]] bool isPaused() const { return m_paused; }

    /// Cursor 0 or 1: its x, or nothing when not placed.
    [[nodiscard]] std::optional<double> cursor(int index) const { return m_cursors.at(index); }
    /// Places a cursor at `x` (moved onto an edge when snapping is on).
    void setCursor(int index, double x);
    void clearCursors();
    /// When on, a placed or dragged cursor moves onto the nearest edge of a visible
    /// staircase channel within a few pixels.
    void setCursorSnap(bool snap);
    [[nodiscard]] bool cursorSnap() const { return m_snap; }
    /// Value of channel `channel` (or of its overlay) at cursor `cursor` as drawn; NaN when
    /// the cursor is not placed or lies outside the channel's points.
    [[nodiscard]] double cursorValue(int cursor, int channel, bool overlaySeries = false) const;

    /// Labelled horizontal lines (with optional bands) on y axis `axis`.
    void setReferenceLines(int axis, const QList<ReferenceLine>& lines);
    [[nodiscard]] const QList<ReferenceLine>& referenceLines() const { return m_references; }

    /// The points drawn now of a channel (or its overlay): frozen while paused.
    [[nodiscard]] const std::vector<QPointF>& shownPoints(int channel,
                                                          bool overlaySeries = false) const;

    /// Draws the plot at `size` into any paint device (an SVG, a printer, an image) as vector
    /// graphics, without the widget's cached picture.
    void renderPicture(QPainter& painter, QSize size) const;
    /// The layout of the picture drawn now (plot area and value-to-pixel mapping).
    [[nodiscard]] PlotLayout currentLayout() const;

    /// Schedules a repaint with the current data and axes.
    void refresh();
    /// Holds the picture as it stands now until the matching endUpdate(); calls nest.
    void beginUpdate();
    /// Ends one beginUpdate(); the outermost call repaints once with everything changed.
    void endUpdate();
    [[nodiscard]] bool isUpdating() const { return m_updateDepth > 0; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

signals:
    void pausedChanged(bool paused);
    void cursorsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void plotContentChanged() override;
    void plotPointAdded(double x) override;
    void plotAxisMinChanged(const TimePlotAxis& axis) override;

    [[nodiscard]] PlotScene scene() const;
    [[nodiscard]] AxisRange fullX() const;
    [[nodiscard]] std::array<AxisRange, kYAxisCount> fullY() const;
    [[nodiscard]] std::array<AxisRange, kYAxisCount> allShownY() const;
    /// A tracking plot stops at the user's zoom or pan, so the picture holds still.
    void pauseForNavigation();
    [[nodiscard]] double snapped(double x) const;
    void repaintUnlessPaused();
    /// Draws the picture: the kept backdrop (drawn anew when it changed), the moving parts
    /// over it.
    void drawPicture(QPainter& painter, const PlotScene& picture);
    /// Makes the backdrop's pixmap anew unless it has the widget's size in device pixels and
    /// its pixel ratio; true when it did.
    [[nodiscard]] bool fitBackdropToWidget();

    std::array<TimePlotChannel, kChannelCount> m_channels;
    std::array<TimePlotChannel, kChannelCount> m_overlays;
    std::array<TimePlotAxis, kYAxisCount> m_yAxes;
    TimePlotAxis m_xAxis;
    QString m_title;
    QString m_primaryName;
    QString m_overlayName;
    bool m_xTracking = false;
    double m_xViewMin = 0.0;
    int m_updateDepth = 0;
    bool m_changedWhileHeld = false;  // a held update has something new to show
    // What the picture showed when the update now held began.
    PlotScene m_heldScene;
    // The fixed parts of the picture (background, level grid, y axes, titles, legend) as last
    // drawn, what they were drawn from and their layout.
    QPixmap m_backdrop;
    std::optional<PlotBackdrop> m_backdropOf;
    PlotLayout m_backdropLayout;

    // The points drawn: copies of the channels (then overlays), taken again when they changed
    // and frozen while paused or while an update is held.
    mutable std::array<std::vector<QPointF>, 2 * kChannelCount> m_shown;
    mutable bool m_shownStale = true;
    bool m_paused = false;
    bool m_pausedByNavigation = false;
    AxisRange m_pausedX;  // the full x range when the pause began

    PlotViewport m_viewport;
    PlotCursors m_cursors;
    bool m_snap = false;
    int m_referenceAxis = 0;
    QList<ReferenceLine> m_references;

    // Mouse gesture under way.
    enum class Drag { None, Pending, Cursor, Pan };
    Drag m_drag = Drag::None;
    int m_dragCursor = -1;
    QPointF m_pressAt;
    QPointF m_lastAt;
    /// The cursor the last click placed and where it was before, for a double click to undo.
    std::optional<std::pair<int, std::optional<double>>> m_undoClick;
};

}  // namespace qvx::widgets
