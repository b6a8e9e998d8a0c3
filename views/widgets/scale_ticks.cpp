#include "views/widgets/scale_ticks.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qvx::widgets {

namespace {

struct NiceStep {
    double mantissa;
    int minorIntervals;
};

// 2.5 keeps quarter steps (0, 2.5, 5, 7.5) that are easy to read; 1 and 5 split into five
// minor intervals, 2 into four, so that every minor tick also falls on a round value.
constexpr std::array<NiceStep, 4> kNiceSteps{{{1.0, 5}, {2.0, 4}, {2.5, 5}, {5.0, 5}}};

}  // namespace

double ScaleTicks::major(int index) const {
    const double value = firstMajor + majorStep * index;
    // Sums like 0.1 * 3 leave noise that would print as -0 or 0.30000000000000004.
    return std::abs(value) < majorStep * 1e-9 ? 0.0 : value;
}

QString ScaleTicks::label(double value) const {
    if (std::abs(value) < majorStep * 1e-9) {
        value = 0.0;
    }
    return QString::number(value, 'f', decimals);
}

ScaleTicks computeScaleTicks(double min, double max, int maxMajorTicks) {
    ScaleTicks ticks;
    const double span = max - min;
    if (!std::isfinite(min) || !std::isfinite(span) || span <= 0.0) {
        ticks.firstMajor = std::isfinite(min) ? min : 0.0;
        ticks.majorCount = 1;
        return ticks;
    }
    const int intervals = std::max(2, maxMajorTicks) - 1;
    const double rawStep = span / intervals;
    const double exponent = std::floor(std::log10(rawStep));
    double power = std::pow(10.0, exponent);
    NiceStep chosen{10.0, 5};
    for (const NiceStep& candidate : kNiceSteps) {
        // The tolerance keeps an exact fit (3000 / 6 = 500) from moving to the next step.
        if (candidate.mantissa * power >= rawStep * (1.0 - 1e-9)) {
            chosen = candidate;
            break;
        }
    }
    if (chosen.mantissa == 10.0) {
        chosen = kNiceSteps[0];
        power *= 10.0;
    }
    const double step = chosen.mantissa * power;
    const int stepExponent = static_cast<int>(std::lround(std::log10(power)));
    ticks.majorStep = step;
    ticks.minorPerMajor = chosen.minorIntervals;
    ticks.decimals = std::max(0, (chosen.mantissa == 2.5 ? 1 : 0) - stepExponent);
    const double first = std::ceil(min / step - 1e-9);
    const double last = std::floor(max / step + 1e-9);
    ticks.firstMajor = first * step;
    // Far from zero the quotients lose precision; the count can still never exceed the intervals.
    ticks.majorCount = static_cast<int>(std::clamp(last - first, -1.0, static_cast<double>(intervals))) + 1;
    return ticks;
}

}  // namespace qvx::widgets
