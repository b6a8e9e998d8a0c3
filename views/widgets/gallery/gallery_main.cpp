// Renders every display widget in the states the views use into PNG files, so that a reviewer
// can judge them without a screen:  qvx_widget_gallery OUTPUT_FOLDER [--scale FACTOR]
#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "resources/qvx_resources.h"
#include "views/widgets/angular_gauge.h"
#include "views/widgets/color_ref.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/round_led.h"
#include "views/widgets/thermometer.h"
#include "views/widgets/time_plot.h"

using namespace qvx::widgets;

namespace {

QString g_folder;
QString g_suffix;
bool g_ok = true;

void save(QWidget& widget, const QString& name) {
    widget.ensurePolished();
    if (QLayout* layout = widget.layout()) {
        layout->activate();
    }
    const QString path = QDir(g_folder).filePath(name + g_suffix + QStringLiteral(".png"));
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        g_ok = false;
    }
}

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

void gauges() {
    struct State {
        const char* file;
        double min;
        double max;
        const char* minLabel;
        const char* maxLabel;
        double position;
        int size;
    };
    const State states[] = {
        {"gauge_mv", 1000.0, 4000.0, "Auf", "Zu", 2630.0, 220},
        {"gauge_mm", 0.0, 25.4, "Zu", "Auf", 12.7, 220},
        {"gauge_inch", 0.0, 10.0, "Zu", "Auf", 4.2, 220},
        {"gauge_mv_small", 1000.0, 4000.0, "Auf", "Zu", 3400.0, 130},
        {"gauge_pinned_above_scale", 1000.0, 4000.0, "Auf", "Zu", 5200.0, 180},
    };
    for (const State& s : states) {
        AngularGauge gauge;
        gauge.resize(s.size, s.size);
        gauge.setPositionMin(s.min);
        gauge.setPositionMax(s.max);
        gauge.setMinLabel(QString::fromUtf8(s.minLabel));
        gauge.setMaxLabel(QString::fromUtf8(s.maxLabel));
        gauge.setPosition(s.position);
        gauge.refresh();
        save(gauge, QString::fromUtf8(s.file));
    }
}

void rectangularLeds() {
    QWidget panel;
    auto* grid = new QGridLayout(&panel);
    struct State {
        const char* text;
        const char* note;
        bool active;
        BevelStyle bevel;
        QColor color;
    };
    const QColor green(0x36, 0xd8, 0x3a);
    const State states[] = {
        {"Online", "Verbindungslampe an", true, BevelStyle::Raised, green},
        {"Offline.", "Verbindungslampe aus", false, BevelStyle::Raised, green},
        {"Aufnahme starten", "Knopf, bereit", false, BevelStyle::Raised, green},
        {"Aufnahme läuft", "Knopf, blinkt an", true, BevelStyle::Raised, green},
        {"bestehende Aufnahme neu einlesen", "langer Text", false, BevelStyle::Raised, green},
        {"Aufnahme wird eingelesen", "langer Text, an", true, BevelStyle::Raised, green},
        {"", "Kurve Greifer gezeigt", true, BevelStyle::Lowered, QColor(0x1f, 0x5f, 0xc4)},
        {"", "Kurve Ub verborgen", true, BevelStyle::Raised, QColor(0xd9, 0x6c, 0x00)},
    };
    int row = 0;
    for (const State& s : states) {
        auto* led = new RectangularLed(&panel);
        led->setCaption(QString::fromUtf8(s.text));
        led->setActive(s.active);
        led->setBevelStyle(s.bevel);
        led->setActiveColor(s.color);
        led->setFixedSize(QString::fromUtf8(s.text).isEmpty() ? QSize(36, 22) : QSize(150, 34));
        grid->addWidget(led, row, 0, Qt::AlignCenter);
        grid->addWidget(new QLabel(QString::fromUtf8(s.note), &panel), row, 1);
        ++row;
    }
    panel.resize(panel.sizeHint());
    save(panel, QStringLiteral("rectangular_leds"));
}

void roundLeds() {
    QWidget panel;
    auto* grid = new QGridLayout(&panel);
    const char* ranges[] = {"Aus<-->Auf", "Auf<-->C", "C<-->B", "B<-->A", "A<-->Zu"};
    for (int i = 0; i < 5; ++i) {
        auto* led = new RoundLed(&panel);
        led->setActive(i == 2);
        grid->addWidget(caption(QString::fromUtf8(ranges[i]), &panel), 0, i);
        grid->addWidget(led, 1, i, Qt::AlignCenter);
    }
    const char* limits[] = {"Über (an)", "Unter (aus)"};
    for (int i = 0; i < 2; ++i) {
        auto* led = new RoundLed(&panel);
        led->setColors(LedColors::RedGreen);
        led->setActive(i == 0);
        grid->addWidget(caption(QString::fromUtf8(limits[i]), &panel), 2, i);
        grid->addWidget(led, 3, i, Qt::AlignCenter);
    }
    auto* large = new RoundLed(&panel);
    large->setFixedSize(40, 40);
    large->setActive(true);
    grid->addWidget(caption(QStringLiteral("40 px"), &panel), 2, 3);
    grid->addWidget(large, 3, 3, Qt::AlignCenter);
    panel.resize(panel.sizeHint());
    save(panel, QStringLiteral("round_leds"));
}

void thermometers() {
    QWidget panel;
    auto* row = new QHBoxLayout(&panel);
    struct State {
        const char* note;
        double min;
        double max;
        double position;
        std::uint32_t color;
    };
    const State states[] = {
        {"25.0 °C", -30.0, 80.0, 25.0, kColorRefGreen},
        {"75.0 °C", -30.0, 80.0, 75.0, kColorRefRed},
        {"-25.0 °C", -30.0, 80.0, -25.0, kColorRefYellow},
        {"24.0 V", 0.0, 40.0, 24.0, kColorRefGreen},
        {"37.5 V", 0.0, 40.0, 37.5, kColorRefRed},
        {"8.0 V", 0.0, 40.0, 8.0, kColorRefYellow},
    };
    for (const State& s : states) {
        auto* column = new QVBoxLayout;
        auto* thermometer = new Thermometer(&panel);
        thermometer->setFixedSize(84, 210);
        thermometer->setPositionMin(s.min);
        thermometer->setPositionMax(s.max);
        thermometer->setPosition(s.position);
        thermometer->setIndicatorColor(s.color);
        column->addWidget(thermometer);
        column->addWidget(caption(QString::fromUtf8(s.note), &panel));
        row->addLayout(column);
    }
    panel.resize(panel.sizeHint());
    save(panel, QStringLiteral("thermometers"));
}

// A gripper closing and opening about once a minute, with the output level it would produce.
double gripperAt(double t) {
    const double phase = std::fmod(t, 60.0) / 60.0;
    const double s = 0.5 - 0.5 * std::cos(phase * 2.0 * std::numbers::pi);
    return 1300.0 + 2400.0 * std::clamp(s * 1.25 - 0.1, 0.0, 1.0) + 15.0 * std::sin(t * 1.7);
}

int outputLevel(double mv) {
    const double points[] = {1600.0, 2200.0, 2800.0, 3400.0};  // Auf, C, B, A
    int level = 5;
    for (const double p : points) {
        if (mv > p) {
            --level;
        }
    }
    return level;
}

void livePlot(const QString& file, bool hideGripper) {
    TimePlot plot;
    plot.resize(720, 330);
    setUpGripperPlot(plot, QStringLiteral("Betriebszustand"),
                     QStringLiteral("Zeit ( in Sekunden )"));
    plot.xAxis().setMin(0.0);
    plot.xAxis().setSpan(640.0);
    plot.setXTracking(true);
    for (int c = 0; c < TimePlot::kChannelCount; ++c) {
        plot.channel(c).setRingBufferSize(640);
        plot.channel(c).clear();
    }
    for (int i = 0; i < 420; ++i) {
        const double t = i;
        const double mv = gripperAt(t);
        plot.channel(kGripperChannel).addY(mv);
        plot.channel(kSupplyChannel).addY(24.1 + 0.3 * std::sin(t * 0.11));
        plot.channel(kOutputChannel).addY(outputLevel(mv));
    }
    plot.channel(kGripperChannel).setVisible(!hideGripper);
    plot.refresh();
    save(plot, file);
}

void recordingPlot(const QString& file, bool lengthMode) {
    TimePlot plot;
    plot.resize(720, 330);
    setUpGripperPlot(plot, QStringLiteral("Aufnahme"), QStringLiteral("Zeit in 1/1000 Sekunden"));
    plot.xAxis().setMin(0.0);
    plot.xAxis().setSpan(19170.0);
    if (lengthMode) {
        plot.yAxis(kGripperAxis).setTitle(QStringLiteral("Werte in mm"));
        plot.yAxis(kGripperAxis).setMin(0.0);
        plot.yAxis(kGripperAxis).setSpan(1.1 * 25.4);
    }
    plot.beginUpdate();
    for (int c = 0; c < TimePlot::kChannelCount; ++c) {
        plot.channel(c).clear();
    }
    plot.resetXView();
    for (int i = 0; i < 640; ++i) {
        const double x = 30.0 * i;
        const double t = x / 1000.0 * 3.0;  // one close-open cycle in the recording
        const double mv = gripperAt(t);
        const double value = lengthMode ? (4000.0 - mv) / 3000.0 * 25.4 : mv;
        plot.channel(kGripperChannel).addXY(x, value);
        // The supply sags briefly while the gripper drive pulls.
        const double sag = (i > 200 && i < 230) ? 3.5 : 0.0;
        plot.channel(kSupplyChannel).addXY(x, 24.0 - sag + 0.2 * std::sin(i * 0.3));
        plot.channel(kOutputChannel).addXY(x, outputLevel(mv));
    }
    plot.endUpdate();
    save(plot, file);
}

void artwork() {
    QWidget panel;
    auto* row = new QHBoxLayout(&panel);
    const QIcon icon = qvx::resources::applicationIcon();
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        auto* label = new QLabel(&panel);
        label->setPixmap(icon.pixmap(QSize(size, size), panel.devicePixelRatioF()));
        row->addWidget(label, 0, Qt::AlignBottom);
    }
    auto* logo = new QLabel(&panel);
    logo->setPixmap(
        qvx::resources::makerLogo(qvx::resources::makerLogoSize(), panel.devicePixelRatioF()));
    row->addWidget(logo, 0, Qt::AlignBottom);
    panel.resize(panel.sizeHint());
    save(panel, QStringLiteral("icon_and_logo"));
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2 && !(argc == 4 && QByteArray(argv[2]) == "--scale")) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [--scale FACTOR]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc == 4) {
        qputenv("QT_SCALE_FACTOR", argv[3]);
        g_suffix = QStringLiteral("@%1x").arg(QString::fromLocal8Bit(argv[3]));
    }
    QApplication app(argc, argv);
    g_folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    gauges();
    rectangularLeds();
    roundLeds();
    thermometers();
    livePlot(QStringLiteral("plot_operating_state"), false);
    livePlot(QStringLiteral("plot_operating_state_gripper_hidden"), true);
    recordingPlot(QStringLiteral("plot_recording"), false);
    recordingPlot(QStringLiteral("plot_recording_mm"), true);
    artwork();
    return g_ok ? 0 : 1;
}
