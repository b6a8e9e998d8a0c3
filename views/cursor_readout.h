#pragma once

#include <QString>

namespace qvx::widgets {
class TimePlot;
}

namespace qvx::views {

/// Units of a gripper plot's read-out.
struct ReadoutUnits {
    QString gripper;                ///< "mV", "mm" or "1/10 ''"
    double millisecondsPerX = 1.0;  ///< 1000 when x is in seconds, 1 when in milliseconds
};

/// What one cursor reads on the three channels of a gripper plot; NaN where nothing is drawn.
struct CursorReading {
    double x = 0.0;
    double gripper = 0.0;
    double supply = 0.0;
    double level = 0.0;
};

/// "Cursor 1: t = ... | Greifer ... | Ub ... V | Ausgang ...": time in the x unit (s or ms),
/// gripper in its unit, Ub in V, the output state as its legend text.
[[nodiscard]] QString cursorLine(int cursor, const CursorReading& reading,
                                 const ReadoutUnits& units);
/// "Δt = ... ms | ΔGreifer = ... | ΔUb = ... V": cursor 2 minus cursor 1.
[[nodiscard]] QString differenceLine(const CursorReading& first, const CursorReading& second,
                                     const ReadoutUnits& units);
/// The legend text of an output level ("3 = B"), "0 = kein Ausgang" for 0.
[[nodiscard]] QString outputStateText(double level);

/// The whole read-out of a gripper plot: a line per placed cursor (and per cursor on the
/// overlaid recording), the differences when both are placed, or a hint when none is.
[[nodiscard]] QString readoutText(const widgets::TimePlot& plot, const ReadoutUnits& units);

}  // namespace qvx::views
