// One repaint of the angular gauge and of the thermometer after a change of position (the
// case the 125 ms refresh timer hits), and after a change of size (the dial is drawn anew),
// painted into an image as the widget's backing store would be. One repaint of the time plot
// with its 3 × 640 points (and a recording laid over them), two cursors and five reference
// lines, after a new point.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <cmath>

#include "views/widgets/angular_gauge.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/thermometer.h"
#include "views/widgets/time_plot.h"

namespace {

using qvx::widgets::AngularGauge;
using qvx::widgets::Thermometer;
using qvx::widgets::TimePlot;

/// Paints `widget` into `target` once per iteration after `change` (called with the
/// iteration's number) has changed it.
template <typename Widget, typename Change>
void repaintAfter(benchmark::State& state, Widget& widget, Change change) {
    QImage target(widget.size(), QImage::Format_ARGB32_Premultiplied);
    widget.render(&target);  // the first paint fills the caches
    int i = 0;
    for (auto _ : state) {
        change(widget, i++);
        widget.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void configure(AngularGauge& gauge) {
    gauge.resize(200, 200);
    gauge.setPositionMin(1000.0);
    gauge.setPositionMax(4000.0);
    gauge.setMinLabel(QStringLiteral("Auf"));
    gauge.setMaxLabel(QStringLiteral("Zu"));
}

void configure(Thermometer& thermometer) {
    thermometer.resize(80, 220);
    thermometer.setPositionMin(-30.0);
    thermometer.setPositionMax(80.0);
}

void BM_GaugeRepaintAfterPosition(benchmark::State& state) {
    AngularGauge gauge;
    configure(gauge);
    repaintAfter(state, gauge,
                 [](AngularGauge& g, int i) { g.setPosition(1000.0 + i % 300 * 10); });
}
BENCHMARK(BM_GaugeRepaintAfterPosition);

void BM_GaugeRepaintAfterResize(benchmark::State& state) {
    AngularGauge gauge;
    configure(gauge);
    repaintAfter(state, gauge, [](AngularGauge& g, int i) { g.resize(200 - i % 2, 200); });
}
BENCHMARK(BM_GaugeRepaintAfterResize);

void BM_ThermometerRepaintAfterPosition(benchmark::State& state) {
    Thermometer thermometer;
    configure(thermometer);
    repaintAfter(state, thermometer, [](Thermometer& t, int i) { t.setPosition(-30.0 + i % 110); });
}
BENCHMARK(BM_ThermometerRepaintAfterPosition);

void BM_ThermometerRepaintAfterResize(benchmark::State& state) {
    Thermometer thermometer;
    configure(thermometer);
    thermometer.setPosition(25.0);
    repaintAfter(state, thermometer, [](Thermometer& t, int i) { t.resize(80, 220 - i % 2); });
}
BENCHMARK(BM_ThermometerRepaintAfterResize);

/// The operating-state plot full: 640 points a channel one second apart, tracking; with
/// `extras` two cursors and the five switch points with tolerance bands; with `overlay` a
/// second recording on the overlay series.
void configure(TimePlot& plot, bool extras, bool overlay) {
    plot.resize(720, 330);
    qvx::widgets::setUpGripperPlot(plot, QStringLiteral("Betriebszustand"),
                                   QStringLiteral("Zeit ( in Sekunden )"));
    plot.xAxis().setSpan(640.0);
    plot.setXTracking(true);
    for (int c = 0; c < TimePlot::kChannelCount; ++c) {
        plot.channel(c).setRingBufferSize(640);
        plot.overlay(c).setRingBufferSize(640);
    }
    for (int t = 0; t < 640; ++t) {
        const double mv = 2500.0 + 1200.0 * std::sin(t * 0.05);
        plot.channel(qvx::widgets::kGripperChannel).addXY(t, mv);
        plot.channel(qvx::widgets::kSupplyChannel).addXY(t, 24.0 + 0.3 * std::sin(t * 0.11));
        plot.channel(qvx::widgets::kOutputChannel).addXY(t, 1 + static_cast<int>(mv / 800.0) % 5);
        if (overlay) {
            plot.overlay(qvx::widgets::kGripperChannel).addXY(t, mv + 80.0);
            plot.overlay(qvx::widgets::kSupplyChannel).addXY(t, 23.5);
            plot.overlay(qvx::widgets::kOutputChannel).addXY(t, 1 + static_cast<int>(mv / 790.0) % 5);
        }
    }
    if (overlay) {
        plot.setRecordingNames(QStringLiteral("vorher.csv"), QStringLiteral("nachher.csv"));
    }
    if (extras) {
        plot.setCursor(0, 200.0);
        plot.setCursor(1, 420.0);
        QList<qvx::widgets::ReferenceLine> lines;
        for (int k = 0; k < 5; ++k) {
            const double mv = 1200.0 + 550.0 * k;
            lines.append({mv, QStringLiteral("Schaltpunkt %1").arg(k + 1), mv - 40.0, mv + 60.0});
        }
        plot.setReferenceLines(qvx::widgets::kGripperAxis, lines);
    }
}

void plotRepaintAfterPoint(benchmark::State& state, bool extras, bool overlay) {
    TimePlot plot;
    configure(plot, extras, overlay);
    repaintAfter(state, plot, [](TimePlot& p, int i) {
        const double t = 640.0 + i;
        p.channel(qvx::widgets::kGripperChannel).addXY(t, 2500.0 + 1200.0 * std::sin(t * 0.05));
        p.channel(qvx::widgets::kSupplyChannel).addXY(t, 24.0);
        p.channel(qvx::widgets::kOutputChannel).addXY(t, 1 + i % 5);
    });
}

void BM_PlotRepaintAfterPoint(benchmark::State& state) {
    plotRepaintAfterPoint(state, false, false);
}
BENCHMARK(BM_PlotRepaintAfterPoint);

void BM_PlotRepaintWithCursorsAndReferenceLines(benchmark::State& state) {
    plotRepaintAfterPoint(state, true, false);
}
BENCHMARK(BM_PlotRepaintWithCursorsAndReferenceLines);

void BM_PlotRepaintWithOverlayCursorsAndReferenceLines(benchmark::State& state) {
    plotRepaintAfterPoint(state, true, true);
}
BENCHMARK(BM_PlotRepaintWithOverlayCursorsAndReferenceLines);

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
