#pragma once

#include <QString>

namespace qvx::widgets {

/// Major and minor tick marks of a linear scale, on "round" values (1, 2, 2.5 or 5 times a
/// power of ten) so that a technician can read the scale at a glance.
struct ScaleTicks {
    double firstMajor = 0.0;  ///< value of the lowest major tick inside the scale
    double majorStep = 1.0;   ///< distance between two major ticks, in scale units
    int majorCount = 0;       ///< number of major ticks inside [min, max]
    int minorPerMajor = 1;    ///< minor intervals per major step (1 = no minor ticks)
    int decimals = 0;         ///< decimals that the tick labels need

    /// Value of major tick `index` (0 .. majorCount-1), with rounding noise removed.
    [[nodiscard]] double major(int index) const;
    /// Tick label of a value, with the decimals the step needs and a point as separator.
    [[nodiscard]] QString label(double value) const;
};

/// Ticks for the scale [min, max] with at most `maxMajorTicks` numbered ticks (at least 2 are
/// allowed). A scale whose span is not positive or not finite gets one tick at `min`.
[[nodiscard]] ScaleTicks computeScaleTicks(double min, double max, int maxMajorTicks);

}  // namespace qvx::widgets
