// Pictures of the operating-state and the recording view as a technician uses them for
// diagnosis: the main window against the simulated controller on loopback, with cursors on
// output edges, the switch points as reference lines and, in the recording view, a second
// recording laid over the first. Usage: qvx_plot_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <string>

#include "app/main_frame.h"
#include "document/document.h"
#include "sim/sim_server.h"
#include "views/plot_panel.h"
#include "views/view_aufnahme.h"
#include "views/view_zeit_graph.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/plot_interaction.h"
#include "views/widgets/time_plot.h"

namespace {

using qvx::app::CMainFrame;

/// Lets the program run until `done` holds or `seconds` have passed.
template <typename Done>
bool runUntil(Done done, int seconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > seconds * 1000) {
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

/// The first and second output edge after `from` of the plot's output channel.
std::pair<double, double> edgesAfter(const qvx::widgets::TimePlot& plot, double from) {
    const std::vector<double> edges =
        qvx::widgets::seriesEdges(plot.shownPoints(qvx::widgets::kOutputChannel));
    std::vector<double> later;
    for (const double x : edges) {
        if (x > from) {
            later.push_back(x);
        }
    }
    if (later.size() < 2) {
        return {from, from + 1.0};
    }
    return {later[0], later[1]};
}

/// Places both cursors on output edges, as a click with snapping on does.
void measureAnEdge(qvx::views::PlotPanel& panel, double from) {
    panel.findChild<QCheckBox*>(QStringLiteral("snapToEdges"))->setChecked(true);
    qvx::widgets::TimePlot& plot = panel.plot();
    const auto [first, second] = edgesAfter(plot, from);
    plot.setCursor(0, first);
    plot.setCursor(1, second);
}

bool save(QWidget& window, const QString& path) {
    QApplication::processEvents();
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "written" : "NOT written", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: qvx_plot_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir scratch;

    qvx::sim::SimServer controller(qvx::sim::ServerConfig{});
    std::string error;
    if (!controller.start(error)) {
        std::fprintf(stderr, "simulated controller: %s\n", error.c_str());
        return 1;
    }
    qvx::document::CQvx_controllerDoc document;
    if (!document.link().connect(controller.port(), "127.0.0.1") ||
        !runUntil([&document] { return document.link().isConnected(); }, 5) ||
        !document.link().readCalibration()) {
        std::fprintf(stderr, "no connection to the simulated controller\n");
        return 1;
    }
    (void)document.link().readToleranceValues(document.underTolerance, document.overTolerance);
    document.startPolling();

    CMainFrame frame(document);
    frame.resize(1280, 800);
    frame.show();
    // About 25 s of live values: the gripper opens and closes every 6 s.
    runUntil([&document] { return document.liveHistory.size() >= 60; }, 60);
    auto* live = qobject_cast<qvx::views::CViewZeitGraph*>(frame.lowerView());
    const double newest = document.liveHistory.newest().seconds;
    measureAnEdge(live->plotPanel(), newest - 12.0);
    bool ok = save(frame, out.filePath(QStringLiteral("plot_operating_state_cursors.png")));

    // As the user selects it, so that the navigation shows it pressed.
    frame.fixedPane()->findChild<QPushButton*>(QStringLiteral("navRecording"))->click();
    QTest::qWait(300);
    auto* recording = qobject_cast<qvx::views::CViewAufnahme*>(frame.lowerView());
    const QString before = scratch.filePath(QStringLiteral("vorher.csv"));
    recording->setSaveFileDialog(
        [&before](QWidget*, const QString&, const QString&, const QString&) { return before; });
    recording->setOpenFileDialog(
        [&before](QWidget*, const QString&, const QString&) { return before; });
    recording->setMessageSink([](const QString&, const QString& text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    recording->startRecording();
    ok = recording->exportCsv() && ok;
    runUntil([] { return false; }, 2);  // the gripper moves on: the next recording differs
    recording->startRecording();
    ok = recording->openComparison() && ok;
    measureAnEdge(recording->plotPanel(), 2000.0);
    ok = save(frame, out.filePath(QStringLiteral("plot_recording_overlay.png"))) && ok;

    frame.close();
    document.stopPolling();
    return ok ? 0 : 1;
}
