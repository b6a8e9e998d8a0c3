#include "views/widgets/gripper_plot_setup.h"

#include "views/widgets/time_plot.h"

namespace qvx::widgets {

void setUpGripperPlot(TimePlot& plot, const QString& title, const QString& xAxisTitle) {
    plot.beginUpdate();
    plot.setTitle(title);
    plot.xAxis().setTitle(xAxisTitle);

    TimePlotChannel& gripper = plot.channel(kGripperChannel);
    gripper.setName(QStringLiteral("Greifer"));
    gripper.setColor(QColor(0x1f, 0x5f, 0xc4));
    gripper.setYAxis(kGripperAxis);
    TimePlotAxis& gripperAxis = plot.yAxis(kGripperAxis);
    gripperAxis.setTitle(QStringLiteral("Werte in mV"));
    gripperAxis.setMin(1000.0);
    gripperAxis.setSpan(3000.0);

    TimePlotChannel& supply = plot.channel(kSupplyChannel);
    supply.setName(QStringLiteral("Ub"));
    supply.setColor(QColor(0xd9, 0x6c, 0x00));
    supply.setYAxis(kSupplyAxis);
    TimePlotAxis& supplyAxis = plot.yAxis(kSupplyAxis);
    supplyAxis.setTitle(QStringLiteral("Eingangsspannung in V"));
    supplyAxis.setMin(0.0);
    supplyAxis.setSpan(40.0);

    TimePlotChannel& outputs = plot.channel(kOutputChannel);
    outputs.setName(QStringLiteral("Schaltausgänge"));
    outputs.setColor(QColor(0x1e, 0x8c, 0x3a));
    outputs.setYAxis(kOutputAxis);
    outputs.setStepped(true);
    TimePlotAxis& outputAxis = plot.yAxis(kOutputAxis);
    // A little room below 0 and above 5 keeps the lowest and highest level off the frame.
    outputAxis.setMin(-0.25);
    outputAxis.setSpan(5.5);
    outputAxis.setTickLabels({{1.0, QStringLiteral("1 = Zu")},
                              {2.0, QStringLiteral("2 = A")},
                              {3.0, QStringLiteral("3 = B")},
                              {4.0, QStringLiteral("4 = C")},
                              {5.0, QStringLiteral("5 = Offen")}});
    plot.endUpdate();
}

}  // namespace qvx::widgets
