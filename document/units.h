#pragma once

#include <string>

#include "link/calibration_table.h"

namespace qvx::document {

/// The unit positions are shown in.
enum class DisplayUnit { Millivolt, Millimetre, TenthInch };

[[nodiscard]] DisplayUnit effectiveUnit(link::CalibrationMode mode, int inchUnit);

/// Millimetres in the length unit of the preference (tenths of an inch when inchUnit is 1).
[[nodiscard]] float lengthForDisplay(float millimetres, int inchUnit);
/// An entered length in the preference's unit back to millimetres.
[[nodiscard]] float lengthFromDisplay(float value, int inchUnit);

/// printf with the C locale's decimal point, whatever the user's locale is.
[[nodiscard]] std::string formatValue(const char* format, double value);

/// "%8.2f mV", "%8.2f mm" or "%8.2f * 1/10 ''" by unit.
[[nodiscard]] std::string formatGripper(float value, DisplayUnit unit);
/// "%8.2f": switch points and taught values.
[[nodiscard]] std::string formatPlain(float value);
/// "%8.1f V".
[[nodiscard]] std::string formatVolts(float volts);
/// "%8.1f °C".
[[nodiscard]] std::string formatCelsius(float celsius);

/// Caption of the unit toggle: the unit it switches to.
[[nodiscard]] std::string toggleCaption(link::CalibrationMode mode, int inchUnit);
/// "Werte in mV" / "Werte in mm" / "Werte in 1/10 ''": caption of the value fields and the
/// Y-axis title of the plots.
[[nodiscard]] std::string valuesCaption(link::CalibrationMode mode, int inchUnit);

/// The range of a position display.
struct DisplayRange {
    float minimum;
    float maximum;
};
/// The gauge of the fixed pane: 1000..4000 in mV mode, else 0..largest support-point length.
[[nodiscard]] DisplayRange gaugeRange(const link::CalibrationTable& table, int inchUnit);
/// The Y axis of the plots as minimum and span: 1000 and 3000 in mV mode, else 0 and 1.1
/// times the largest support-point length.
[[nodiscard]] DisplayRange plotAxis(const link::CalibrationTable& table, int inchUnit);

/// The unit toggle: to length mode only with at least two support points (one point would
/// map every value to the same length), back to mV mode always. True when the mode changed.
bool toggleUnit(link::CalibrationTable& table);

}  // namespace qvx::document
