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
    int exponent = static_cast<int>(std::floor(std::log10(rawStep)));
    std::size_t index = 0;
    // The smallest round step not below the raw step; the tolerance keeps an exact fit
    // (3000 / 6 = 500) from moving up to the next step.
    while (kNiceSteps[index].mantissa * std::pow(10.0, exponent) < rawStep * (1.0 - 1e-9)) {
        if (++index == kNiceSteps.size()) {
            index = 0;
            ++exponent;
        }
    }
    // Four smaller steps are at most ten times finer; beyond that precision is the problem.
    for (int attempt = 0;; ++attempt) {
        const NiceStep& nice = kNiceSteps[index];
        const double step = nice.mantissa * std::pow(10.0, exponent);
        const double first = std::ceil(min / step - 1e-9);
        const double last = std::floor(max / step + 1e-9);
        ticks.majorStep = step;
        ticks.minorPerMajor = nice.minorIntervals;
        ticks.decimals = std::max(0, (nice.mantissa == 2.5 ? 1 : 0) - exponent);
        ticks.firstMajor = first * step;
        // Far from zero the quotients lose precision; the count can still never exceed the
        // intervals.
        ticks.majorCount =
            static_cast<int>(std::clamp(last - first, -1.0, static_cast<double>(intervals))) + 1;
        // A coarse step can fall between two multiples and leave no tick inside a short scale
        // away from zero; the next smaller step always has room for one.
        if (ticks.majorCount >= 1) {
            break;
        }
        if (attempt == 4) {
            ticks.firstMajor = min;
            ticks.majorCount = 1;
            break;
        }
        if (index == 0) {
            index = kNiceSteps.size() - 1;
            --exponent;
        } else {
            --index;
        }
    }
    return ticks;
}

}  // namespace qvx::widgets
