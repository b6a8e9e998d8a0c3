#pragma once

#include <QList>
#include <QString>

#include "link/calibration_table.h"
#include "views/widgets/plot_painter.h"

namespace qvx::document {
class CQvx_controllerDoc;
}

namespace qvx::widgets {
class TimePlot;
}

namespace qvx::views {

/// A gripper value kept in `stored` (mV, or mm in length mode) in the unit shown now: the
/// table's mode and the inch preference.
[[nodiscard]] float shownGripper(const document::CQvx_controllerDoc& document, float value,
                                 link::CalibrationMode stored);
/// "mV", "mm" or "1/10 ''": the gripper unit shown now.
[[nodiscard]] QString shownGripperUnit(const document::CQvx_controllerDoc& document);

/// The document's five switch points in the unit shown now as labelled lines ("B<-->A"); in
/// range mode each with its tolerance band (centre − under-tolerance to centre +
/// over-tolerance). Points that do not convert are left out.
[[nodiscard]] QList<widgets::ReferenceLine> switchPointLines(
    const document::CQvx_controllerDoc& document, bool rangeMode);


/// True when the two lists draw the same (NaN band ends compare equal).
[[nodiscard]] bool sameLines(const QList<widgets::ReferenceLine>& a,
                             const QList<widgets::ReferenceLine>& b);

/// Keeps a plot's reference lines on the document's switch points, for one update of the
/// view: they follow a changed point or unit at once, and the bands the switching mode the
/// fixed pane last read. Before the first successful polling cycle the points are not known
/// and no line is drawn; while polling fails the last lines stay.
void followSwitchPoints(const document::CQvx_controllerDoc& document, widgets::TimePlot& plot);

}  // namespace qvx::views
