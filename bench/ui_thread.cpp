// The desktop program's UI thread with the real main window, polling the simulated controller
// over TCP with the operating-state view ("Betriebszustand") plotting:
//   stall    the largest gaps between the ticks of a 1 ms timer on the UI thread over a run;
//   update   the UI thread's time for one fixed-pane update and one plot repaint, and the
//            operating-state view's own update (the values the polling thread read for it);
//   startup  a fresh process of this program from exec to the exposed main window, offline,
//            the connection dialog cancelled, in the order main() of qvx_controller takes.
// Figures for docs/performance.md; nothing here passes or fails.
//
//   qvx_bench_ui [--seconds N] [--updates N] [--starts N] [--baud B] [stall|update|startup]...

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QIcon>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/main_frame.h"
#include "app/ui_language.h"
#include "connection/connection_procedure.h"
#include "document/document.h"
#include "sim/sim_server.h"
#include "views/view_fixpart.h"
#include "views/view_zeit_graph.h"
#include "views/widgets/time_plot.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kStartTimeVariable = "QVX_BENCH_UI_T0_NS";
constexpr const char* kChildOption = "--startup-child";

struct Options {
    int seconds = 10;
    int updates = 400;
    int starts = 10;
    unsigned baud = 0;
    bool stall = false;
    bool update = false;
    bool startup = false;
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

/// The processor time the calling thread has used, in ms: against the wall time it shows how
/// long a paint waited for the display server.
double threadCpuMs() {
    timespec now{};
    (void)clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// The value at quantile `q` (0..1) of `values`, which it sorts.
double quantile(std::vector<double>& values, double q) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

double mean(const std::vector<double>& values) {
    return values.empty() ? 0.0 : std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

/// "mean a, p99 b, max c ms (n samples)".
void printFigures(const char* name, std::vector<double> values) {
    const double average = mean(values);
    const double p99 = quantile(values, 0.99);
    const double max = values.empty() ? 0.0 : values.back();
    std::printf("%-44s mean %8.3f  p50 %8.3f  p99 %8.3f  max %8.3f ms  (n=%zu)\n", name, average,
                quantile(values, 0.5), p99, max, values.size());
}

/// Runs the event loop for `duration`.
void runEvents(Clock::duration duration) {
    QEventLoop loop;
    QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(duration), &loop, &QEventLoop::quit);
    loop.exec();
}

/// Runs the event loop until `done` or the deadline; true when done.
template <class Done>
bool runEventsUntil(Done done, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    while (!done() && Clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

/// A qvx.ini of its own, removed at the end.
struct SettingsFile {
    explicit SettingsFile(const std::string& content) { std::ofstream(path) << content; }
    ~SettingsFile() { std::filesystem::remove(path); }
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("qvx_bench_ui_" + std::to_string(::getpid()) + ".ini");
};

/// Answers nothing: the benchmark never gets as far as a message.
struct SilentUi final : qvx::connection::ConnectionUi {
    void showMessage(std::string_view, std::string_view) override {}
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    void showDialingNotice(std::string_view) override {}
    void hideDialingNotice() override {}
    void pump() override { QApplication::processEvents(); }
};

/// The program as it runs after a connection: the application's document and main window,
/// its link connected straight to the simulated controller over TCP and polling.
class PollingProgram {
public:
    explicit PollingProgram(unsigned baud) : m_settings("[Globals]\n"), m_server(config(baud)) {}

    bool start() {
        std::string error;
        if (!m_server.start(error)) {
            std::fprintf(stderr, "qvx_bench_ui: simulated controller: %s\n", error.c_str());
            return false;
        }
        m_program.start();
        qvx::document::CQvx_controllerDoc& document = m_program.document();
        if (!document.link().connect(m_server.port(), "127.0.0.1") ||
            !runEventsUntil([&document] { return document.link().isConnected(); }, 5s)) {
            std::fprintf(stderr, "qvx_bench_ui: no connection to the simulated controller\n");
            return false;
        }
        document.startPolling();
        m_program.frame().SwitchView(qvx::app::CMainFrame::kOperatingState);
        // Let the history fill a little and the window settle.
        return runEventsUntil([&document] { return document.pollOk.load(); }, 5s);
    }

    ~PollingProgram() { m_program.shutdown(); }

    qvx::app::QvxApplication& program() { return m_program; }

private:
    static qvx::sim::ServerConfig config(unsigned baud) {
        qvx::sim::ServerConfig config;
        config.baud = baud;
        return config;
    }

    SettingsFile m_settings;
    qvx::sim::SimServer m_server;
    qvx::app::QvxApplication m_program{{}, m_settings.path};
};

void printWindow(qvx::app::QvxApplication& program) {
    const QWidget& frame = program.frame();
    std::printf("platform %s, main window %dx%d, exposed %s\n", qPrintable(QGuiApplication::platformName()),
                frame.width(), frame.height(),
                frame.windowHandle() != nullptr && frame.windowHandle()->isExposed() ? "yes" : "no");
}

/// The gaps between the ticks of a 1 ms precise timer while the program polls and plots.
int measureStall(const Options& options) {
    PollingProgram polling(options.baud);
    if (!polling.start()) {
        return 1;
    }
    printWindow(polling.program());
    qvx::document::CQvx_controllerDoc& document = polling.program().document();
    std::vector<double> gaps;
    gaps.reserve(static_cast<std::size_t>(options.seconds) * 1200);
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    Clock::time_point last;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        if (last != Clock::time_point{}) {
            gaps.push_back(ms(now - last));
        }
        last = now;
    });
    const auto cyclesBefore = document.pollCycles.load();
    const auto samplesBefore = document.liveHistory.size();
    ticker.start();
    runEvents(std::chrono::seconds(options.seconds));
    ticker.stop();
    const auto cycles = document.pollCycles.load() - cyclesBefore;
    std::vector<double> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    const auto over = [&sorted](double limit) {
        return sorted.end() - std::upper_bound(sorted.begin(), sorted.end(), limit);
    };
    std::printf("stall run %d s, line %s: %llu polling cycles, %zu -> %zu plotted samples\n", options.seconds,
                options.baud == 0 ? "unpaced" : (std::to_string(options.baud) + " bit/s").c_str(),
                static_cast<unsigned long long>(cycles), samplesBefore, document.liveHistory.size());
    printFigures("gap between 1 ms ticks", gaps);
    std::printf("gaps over 5 ms: %td, over 16 ms: %td, over 50 ms: %td\n", over(5.0), over(16.0), over(50.0));
    return 0;
}

/// The UI thread's time of the updates the fixed pane's timer causes, taken apart.
int measureUpdate(const Options& options) {
    PollingProgram polling(options.baud);
    if (!polling.start()) {
        return 1;
    }
    printWindow(polling.program());
    qvx::app::CMainFrame& frame = polling.program().frame();
    auto* pane = dynamic_cast<qvx::views::CViewFixpart*>(frame.fixedPane());
    auto* view = dynamic_cast<qvx::views::CViewZeitGraph*>(frame.lowerView());
    auto* plot = view == nullptr ? nullptr : view->findChild<qvx::widgets::TimePlot*>(QStringLiteral("plot"));
    if (pane == nullptr || view == nullptr || plot == nullptr) {
        std::fprintf(stderr, "qvx_bench_ui: the main window has no fixed pane or operating-state plot\n");
        return 1;
    }
    using Hint = qvx::document::CQvx_controllerDoc;
    std::vector<double> paneUpdate;
    std::vector<double> paneRepaint;
    std::vector<double> plotRepaint;
    std::vector<double> viewUpdate;
    std::vector<double> paneAndPlot;
    std::vector<double> everything;
    std::vector<double> plotOnly;
    std::vector<double> plotOnlyCpu;
    QElapsedTimer timer;
    const auto elapsed = [&timer] { return static_cast<double>(timer.nsecsElapsed()) / 1e6; };
    for (int i = 0; i < options.updates; ++i) {
        runEvents(3ms);  // the polling results come in; the timers run as in the program
        // The fixed pane's update, then the paint of what it changed, as the window's
        // pending update request paints and flushes it.
        timer.start();
        pane->OnUpdate(nullptr, Hint::kHintNewData);
        const double update = elapsed();
        timer.start();
        QCoreApplication::sendPostedEvents(&frame, QEvent::UpdateRequest);
        const double panePaint = elapsed();
        // The operating-state view's own update: the values the polling thread read for it
        // on the thermometers, a new point on the plot; then the paint of the plot and the rest
        // the view changed.
        timer.start();
        view->OnUpdate(nullptr, Hint::kHintNewData);
        const double viewTime = elapsed();
        timer.start();
        QCoreApplication::sendPostedEvents(&frame, QEvent::UpdateRequest);
        const double plotPaint = elapsed();
        // The whole plot painted once more, with nothing else.
        const double cpuBefore = threadCpuMs();
        timer.start();
        plot->repaint();
        plotOnly.push_back(elapsed());
        plotOnlyCpu.push_back(threadCpuMs() - cpuBefore);
        paneUpdate.push_back(update);
        paneRepaint.push_back(panePaint);
        plotRepaint.push_back(plotPaint);
        viewUpdate.push_back(viewTime);
        paneAndPlot.push_back(update + panePaint + plotPaint);
        everything.push_back(update + panePaint + viewTime + plotPaint);
    }
    std::printf("update, %d rounds, line %s\n", options.updates,
                options.baud == 0 ? "unpaced" : (std::to_string(options.baud) + " bit/s").c_str());
    printFigures("fixed pane OnUpdate", paneUpdate);
    printFigures("fixed pane: paint of its changes", paneRepaint);
    printFigures("operating-state view OnUpdate", viewUpdate);
    printFigures("view: paint of its changes (plot, gauges)", plotRepaint);
    printFigures("plot alone: repaint()", plotOnly);
    printFigures("plot alone: its processor time", plotOnlyCpu);
    printFigures("pane update+paint, view paint", paneAndPlot);
    printFigures("the same with the view's OnUpdate", everything);
    return 0;
}

/// In the fresh process: main()'s order up to the exposed main window and the cancelled
/// connection dialog; prints the times since the parent started the process.
int startupChild() {
    const char* start = std::getenv(kStartTimeVariable);
    if (start == nullptr) {
        return 2;
    }
    const Clock::time_point t0{Clock::duration{std::stoll(start)}};
    const auto mainEntered = Clock::now();
    int argc = 1;
    char name[] = "qvx_controller";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qvx_controller"));
    QApplication::setOrganizationName(QStringLiteral("Varnok"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/qvx/icons/qvx.svg")));
    qvx::app::installLanguage(qvx::app::UiLanguage::German);
    const auto applicationMade = Clock::now();

    const SettingsFile settings("[Globals]\n");
    qvx::app::QvxApplication program({}, settings.path);
    program.start();
    const auto started = Clock::now();
    Clock::time_point exposed{};
    Clock::time_point dialogShown{};
    const auto checkExposed = [&program, &exposed] {
        const QWindow* window = program.frame().windowHandle();
        if (exposed == Clock::time_point{} && window != nullptr && window->isExposed()) {
            exposed = Clock::now();
        }
    };
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watch, &QTimer::timeout, checkExposed);
    watch.start(0);
    checkExposed();
    // Cancels the connection dialog once it shows.
    std::function<void()> cancel;
    cancel = [&cancel, &dialogShown] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->objectName() != QStringLiteral("CDlgNeueVerbindung") || !modal->isVisible()) {
            QTimer::singleShot(0, cancel);
            return;
        }
        dialogShown = Clock::now();
        if (auto* button = modal->findChild<QAbstractButton*>(QStringLiteral("cancel"))) {
            button->click();
        } else {
            modal->close();
        }
    };
    QTimer::singleShot(0, cancel);
    SilentUi ui;
    program.connectMenu(ui);
    const bool online = program.connect(ui);
    const auto cancelled = Clock::now();
    (void)runEventsUntil([&exposed] { return exposed != Clock::time_point{}; }, 5s);
    watch.stop();
    const auto since = [t0](Clock::time_point t) { return t == Clock::time_point{} ? -1.0 : ms(t - t0); };
    std::printf("main %.3f application %.3f started %.3f dialog %.3f cancelled %.3f exposed %.3f online %d\n",
                since(mainEntered), since(applicationMade), since(started), since(dialogShown), since(cancelled),
                since(exposed), online ? 1 : 0);
    program.shutdown();
    return 0;
}

/// Starts this program `starts` times in the start-up mode and collects its times.
int measureStartup(const Options& options) {
    std::vector<double> mainEntered, applicationMade, started, dialog, cancelled, exposed;
    for (int i = 0; i < options.starts; ++i) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const auto t0 = Clock::now();
        environment.insert(QString::fromLatin1(kStartTimeVariable),
                           QString::number(static_cast<long long>(t0.time_since_epoch().count())));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral("/proc/self/exe"), {QString::fromLatin1(kChildOption)});
        if (!child.waitForFinished(30000) || child.exitCode() != 0) {
            std::fprintf(stderr, "qvx_bench_ui: start-up run %d failed\n", i + 1);
            return 1;
        }
        const QByteArray line = child.readAllStandardOutput().trimmed();
        double m = 0, a = 0, s = 0, d = 0, c = 0, e = 0;
        int online = 0;
        if (std::sscanf(line.constData(), "main %lf application %lf started %lf dialog %lf cancelled %lf exposed %lf online %d",
                        &m, &a, &s, &d, &c, &e, &online) != 7) {
            std::fprintf(stderr, "qvx_bench_ui: start-up run %d printed: %s\n", i + 1, line.constData());
            return 1;
        }
        std::printf("start %2d: %s\n", i + 1, line.constData());
        mainEntered.push_back(m);
        applicationMade.push_back(a);
        started.push_back(s);
        dialog.push_back(d);
        cancelled.push_back(c);
        exposed.push_back(e);
    }
    std::printf("startup, %d fresh processes, times since exec\n", options.starts);
    printFigures("main() entered", mainEntered);
    printFigures("QApplication and translation made", applicationMade);
    printFigures("document and main window made, shown", started);
    printFigures("connection dialog shown", dialog);
    printFigures("connection dialog cancelled", cancelled);
    printFigures("main window exposed", exposed);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (word == kChildOption) {
            return startupChild();
        } else if (word == "--seconds" && hasValue) {
            options.seconds = std::max(1, std::atoi(argv[++i]));
        } else if (word == "--updates" && hasValue) {
            options.updates = std::max(1, std::atoi(argv[++i]));
        } else if (word == "--starts" && hasValue) {
            options.starts = std::max(1, std::atoi(argv[++i]));
        } else if (word == "--baud" && hasValue) {
            options.baud = static_cast<unsigned>(std::max(0, std::atoi(argv[++i])));
        } else if (word == "stall") {
            options.stall = true;
        } else if (word == "update") {
            options.update = true;
        } else if (word == "startup") {
            options.startup = true;
        } else {
            std::fprintf(stderr,
                         "usage: qvx_bench_ui [--seconds N] [--updates N] [--starts N] [--baud B] "
                         "[stall|update|startup]...\n");
            return 2;
        }
    }
    if (!options.stall && !options.update && !options.startup) {
        options.stall = options.update = options.startup = true;
    }
    QApplication application(argc, argv);
    qvx::app::installLanguage(qvx::app::UiLanguage::German);
    int status = 0;
    if (options.stall) {
        status |= measureStall(options);
    }
    if (options.update) {
        status |= measureUpdate(options);
    }
    if (options.startup) {
        status |= measureStartup(options);
    }
    return status;
}
