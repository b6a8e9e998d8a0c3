#pragma once

#include <QString>

namespace qvx::widgets {

class TimePlot;

/// Channel numbers of the gripper plots.
inline constexpr int kGripperChannel = 0;
inline constexpr int kSupplyChannel = 1;
inline constexpr int kOutputChannel = 2;

/// Y axes of the gripper plots: the gripper value on the left, supply voltage and output level
/// on axes of their own on the right.
inline constexpr int kGripperAxis = 0;
inline constexpr int kSupplyAxis = 1;
inline constexpr int kOutputAxis = 2;

/// Dresses a time plot as the gripper recorder of the operating-state and recording views:
/// heading `title`, x axis caption `xAxisTitle`; channel 0 "Greifer" on y axis 0 ("Werte in mV",
/// 1000 to 4000); channel 1 "Ub" on its own axis "Eingangsspannung in V", 0 to 40 V; channel 2
/// "Schaltausgänge" as a staircase on the output-level axis labelled "1 = Zu", "2 = A",
/// "3 = B", "4 = C", "5 = Offen". The x range and the ring buffers are left to the view.
void setUpGripperPlot(TimePlot& plot, const QString& title, const QString& xAxisTitle);

}  // namespace qvx::widgets
