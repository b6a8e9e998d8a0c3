// One repaint of the angular gauge and of the thermometer after a change of position (the
// case the 125 ms refresh timer hits), and after a change of size (the dial is drawn anew),
// painted into an image as the widget's backing store would be.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include "views/widgets/angular_gauge.h"
#include "views/widgets/thermometer.h"

namespace {

using qvx::widgets::AngularGauge;
using qvx::widgets::Thermometer;

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
