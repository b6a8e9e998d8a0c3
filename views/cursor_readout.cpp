#include "views/cursor_readout.h"

#include <cmath>

#include "document/outputs.h"
#include "document/units.h"
#include "resources/ui_text.h"
#include "views/view_texts.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/time_plot.h"

namespace qvx::views {

namespace {

/// A number in the C locale, or "–" for nothing drawn there.
QString number(const char* format, double value) {
    if (!std::isfinite(value)) {
        return QStringLiteral("–");
    }
    return QString::fromStdString(document::formatValue(format, value));
}

/// A difference with its sign; one that rounds to zero is "+0.0", never "-0.0".
QString difference(const char* format, double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale;
    return number(format, rounded == 0.0 ? 0.0 : rounded);
}

QString timeText(double x, const ReadoutUnits& units) {
    return units.millisecondsPerX >= 1000.0 ? number("%.3f", x) + QStringLiteral(" s")
                                            : number("%.0f", x) + QStringLiteral(" ms");
}

CursorReading readingOf(const widgets::TimePlot& plot, int cursor, bool overlay) {
    return {plot.cursor(cursor).value_or(NAN),
            plot.cursorValue(cursor, widgets::kGripperChannel, overlay),
            plot.cursorValue(cursor, widgets::kSupplyChannel, overlay),
            plot.cursorValue(cursor, widgets::kOutputChannel, overlay)};
}

}  // namespace

QString outputStateText(double level) {
    if (!std::isfinite(level)) {
        return QStringLiteral("–");
    }
    const int rounded = static_cast<int>(std::lround(level));
    if (rounded < 1 || rounded > document::kOutputCount) {
        return uiText(texts::kReadoutNoOutput);
    }
    return uiText(texts::kOutputLegend[static_cast<std::size_t>(rounded - 1)]);
}

QString cursorLine(int cursor, const CursorReading& reading, const ReadoutUnits& units) {
    return uiText(texts::kReadoutCursor)
        .arg(cursor + 1)
        .arg(timeText(reading.x, units), number("%.2f", reading.gripper), units.gripper,
             number("%.1f", reading.supply), outputStateText(reading.level));
}

QString differenceLine(const CursorReading& first, const CursorReading& second,
                       const ReadoutUnits& units) {
    const double ms = (second.x - first.x) * units.millisecondsPerX;
    return uiText(texts::kReadoutDifference)
        .arg(number("%.0f", ms), difference("%+.2f", second.gripper - first.gripper, 2),
             units.gripper, difference("%+.1f", second.supply - first.supply, 1));
}

QString readoutText(const widgets::TimePlot& plot, const ReadoutUnits& units) {
    QStringList lines;
    const bool overlaid = plot.overlay(widgets::kGripperChannel).count() > 0;
    for (int c = 0; c < widgets::TimePlot::kCursorCount; ++c) {
        if (!plot.cursor(c)) {
            continue;
        }
        lines << cursorLine(c, readingOf(plot, c, false), units);
        if (overlaid) {
            lines << uiText(texts::kReadoutOverlay)
                         .arg(cursorLine(c, readingOf(plot, c, true), units));
        }
    }
    if (plot.cursor(0) && plot.cursor(1)) {
        lines << differenceLine(readingOf(plot, 0, false), readingOf(plot, 1, false), units);
    }
    if (lines.isEmpty()) {
        return uiText(texts::kReadoutHint);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace qvx::views
