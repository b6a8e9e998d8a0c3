#include "views/gripper_plot_values.h"

#include <cmath>

#include "document/document.h"
#include "document/units.h"
#include "link/device_memory_map.h"
#include "resources/ui_text.h"
#include "views/view_texts.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/time_plot.h"

namespace qvx::views {

namespace {

bool sameNumber(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

}  // namespace

float shownGripper(const document::CQvx_controllerDoc& document, float value,
                   link::CalibrationMode stored) {
    const link::CalibrationTable& table = document.link().calibration();
    const link::CalibrationMode shown = table.getMode();
    float converted = value;
    // A failed conversion leaves the value as it was, as the table's conversions do.
    if (stored == link::CalibrationMode::Millivolt && shown == link::CalibrationMode::Calibrated) {
        (void)table.mvToMm(value, converted);
    } else if (stored == link::CalibrationMode::Calibrated &&
               shown == link::CalibrationMode::Millivolt) {
        (void)table.mmToMv(value, converted);
    }
    return shown == link::CalibrationMode::Calibrated
               ? document::lengthForDisplay(converted, document.inchUnit)
               : converted;
}

QString shownGripperUnit(const document::CQvx_controllerDoc& document) {
    switch (document::effectiveUnit(document.link().calibration().getMode(), document.inchUnit)) {
        case document::DisplayUnit::Millivolt:
            return QStringLiteral("mV");
        case document::DisplayUnit::Millimetre:
            return QStringLiteral("mm");
        case document::DisplayUnit::TenthInch:
            return QStringLiteral("1/10 ''");
    }
    return {};
}

QList<widgets::ReferenceLine> switchPointLines(const document::CQvx_controllerDoc& document,
                                               bool rangeMode) {
    const link::CalibrationTable& table = document.link().calibration();
    const bool length = table.getMode() == link::CalibrationMode::Calibrated;
    const auto shown = [&](float value) {
        return length ? document::lengthForDisplay(value, document.inchUnit) : value;
    };
    QList<widgets::ReferenceLine> lines;
    for (std::size_t k = 0; k < document.switchPoints.size(); ++k) {
        float value = 0.0F;
        const auto raw = static_cast<std::uint16_t>(document.switchPoints[k].load());
        if (!table.RawToDisplay(raw, value)) {
            continue;
        }
        widgets::ReferenceLine line;
        line.value = shown(value);
        line.label = QStringLiteral("%1  %2").arg(
            uiText(texts::kTransitions[k]),
            QString::fromStdString(document::formatValue("%.2f", line.value)));
        if (rangeMode) {
            line.bandLow = shown(value - document.underTolerance);
            line.bandHigh = shown(value + document.overTolerance);
        }
        lines.append(line);
    }
    return lines;
}

bool sameLines(const QList<widgets::ReferenceLine>& a, const QList<widgets::ReferenceLine>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const widgets::ReferenceLine& x, const widgets::ReferenceLine& y) {
                          return x.value == y.value && x.label == y.label &&
                                 sameNumber(x.bandLow, y.bandLow) &&
                                 sameNumber(x.bandHigh, y.bandHigh);
                      });
}

void followSwitchPoints(const document::CQvx_controllerDoc& document, widgets::TimePlot& plot) {
    if (!document.pollOk) {
        return;
    }
    const QList<widgets::ReferenceLine> lines =
        switchPointLines(document, document.rangeMode.value_or(false));
    // Set only on a change: the same lines again would repaint a paused plot.
    if (!sameLines(lines, plot.referenceLines())) {
        plot.setReferenceLines(widgets::kGripperAxis, lines);
    }
}

}  // namespace qvx::views
