#include "views/widgets/gripper_plot_setup.h"

#include "resources/ui_text.h"
#include "views/widgets/time_plot.h"

namespace qvx::widgets {

void setUpGripperPlot(TimePlot& plot, const QString& title, const QString& xAxisTitle) {
    plot.beginUpdate();
    plot.setTitle(title);
    plot.xAxis().setTitle(xAxisTitle);

    TimePlotChannel& gripper = plot.channel(kGripperChannel);
    gripper.setName(uiText(QT_TRANSLATE_NOOP("qvx", "Greifer")));
    gripper.setColor(QColor(0x1f, 0x5f, 0xc4));
    gripper.setYAxis(kGripperAxis);
    TimePlotAxis& gripperAxis = plot.yAxis(kGripperAxis);
    gripperAxis.setTitle(uiText(QT_TRANSLATE_NOOP("qvx", "Werte in mV")));
    gripperAxis.setMin(1000.0);
    gripperAxis.setSpan(3000.0);

    TimePlotChannel& supply = plot.channel(kSupplyChannel);
    supply.setName(uiText(QT_TRANSLATE_NOOP("qvx", "Ub")));
    supply.setColor(QColor(0xd9, 0x6c, 0x00));
    supply.setYAxis(kSupplyAxis);
    TimePlotAxis& supplyAxis = plot.yAxis(kSupplyAxis);
    supplyAxis.setTitle(uiText(QT_TRANSLATE_NOOP("qvx", "Eingangsspannung in V")));
    supplyAxis.setMin(0.0);
    supplyAxis.setSpan(40.0);

    TimePlotChannel& outputs = plot.channel(kOutputChannel);
    outputs.setName(uiText(QT_TRANSLATE_NOOP("qvx", "Schaltausgänge")));
    outputs.setColor(QColor(0x1e, 0x8c, 0x3a));
    outputs.setYAxis(kOutputAxis);
    outputs.setStepped(true);
    TimePlotAxis& outputAxis = plot.yAxis(kOutputAxis);
    // A little room below 0 and above 5 keeps the lowest and highest level off the frame.
    outputAxis.setMin(-0.25);
    outputAxis.setSpan(5.5);
    outputAxis.setTickLabels({{1.0, uiText(QT_TRANSLATE_NOOP("qvx", "1 = Zu"))},
                              {2.0, uiText(QT_TRANSLATE_NOOP("qvx", "2 = A"))},
                              {3.0, uiText(QT_TRANSLATE_NOOP("qvx", "3 = B"))},
                              {4.0, uiText(QT_TRANSLATE_NOOP("qvx", "4 = C"))},
                              {5.0, uiText(QT_TRANSLATE_NOOP("qvx", "5 = Offen"))}});
    plot.endUpdate();
}

}  // namespace qvx::widgets
