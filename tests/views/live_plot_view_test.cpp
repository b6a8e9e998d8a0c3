// The operating-state view's plot: its history in the document, pause, cursors and the
// switch points as reference lines, against the in-process simulated controller.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cmath>
#include <memory>

#include "app/main_frame.h"
#include "document/outputs.h"
#include "document/units.h"
#include "link/calibration_table.h"
#include "link/device_memory_map.h"
#include "tests/views/view_test_support.h"
#include "views/cursor_readout.h"
#include "views/plot_panel.h"
#include "views/view_texts.h"
#include "views/view_zeit_graph.h"
#include "views/widgets/color_ref.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/plot_export.h"
#include "views/widgets/round_led.h"
#include "views/widgets/thermometer.h"
#include "views/widgets/time_plot.h"
#include "widget_test_support.h"

namespace qvx::views {
namespace {

using link::CalibrationMode;
using link::CalibrationTable;
using namespace test;

/// A clock that moves one second per call, from an arbitrary start.
CViewZeitGraph::Clock secondsClock() {
    auto now = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::hours(1));
    return [now] {
        *now += std::chrono::seconds(1);
        return *now;
    };
}

widgets::TimePlot& plotOf(QWidget& view) {
    return *view.findChild<widgets::TimePlot*>(QStringLiteral("plot"));
}

/// The document as a successful polling cycle leaves it, with the gripper at `mv`.
void polled(document::CQvx_controllerDoc& doc, float mv) {
    doc.gripperMv = mv;
    doc.gripperDisplay = mv;
    doc.pollOk = true;
}

void newData(CViewZeitGraph& view) {
    view.OnUpdate(nullptr, document::CQvx_controllerDoc::kHintNewData);
}

std::uint16_t rawOf(float mv) {
    std::uint16_t raw = 0;
    EXPECT_TRUE(CalibrationTable::mvToRaw(mv, raw));
    return raw;
}

TEST(OperatingStatePlot, KeepsItsHistoryAcrossViewSwitches) {
    SimulatedController sim;
    document::CQvx_controllerDoc& doc = sim.document;
    app::CMainFrame frame(doc);
    auto* live = qobject_cast<CViewZeitGraph*>(frame.lowerView());
    ASSERT_NE(live, nullptr);
    live->setClock(secondsClock());
    for (int i = 0; i < 12; ++i) {
        polled(doc, 1500.0F + 100.0F * static_cast<float>(i));
        newData(*live);
    }
    const std::vector<QPointF> before = plotOf(*live).shownPoints(widgets::kGripperChannel);
    ASSERT_EQ(before.size(), 12U);
    EXPECT_DOUBLE_EQ(before[11].x() - before[0].x(), 11.0);  // seconds between the samples

    frame.SwitchView(app::CMainFrame::kService);
    frame.SwitchView(app::CMainFrame::kOperatingState);
    auto* again = qobject_cast<CViewZeitGraph*>(frame.lowerView());
    ASSERT_NE(again, live);
    EXPECT_EQ(plotOf(*again).shownPoints(widgets::kGripperChannel), before);
    EXPECT_EQ(plotOf(*again).channel(widgets::kSupplyChannel).count(), 12);
    EXPECT_EQ(plotOf(*again).channel(widgets::kOutputChannel).count(), 12);
    EXPECT_EQ(doc.liveHistory.size(), 12U);

    // The history follows a change of the display unit as a whole, also in a paused or zoomed
    // picture, which would otherwise keep the old unit under the new axis.
    plotOf(*again).setPaused(true);
    plotOf(*again).zoomY(0.5, 0.5);
    doc.link().calibration().setMode(CalibrationMode::Calibrated);
    newData(*again);
    EXPECT_FALSE(plotOf(*again).isPaused());
    EXPECT_FALSE(plotOf(*again).isZoomed());
    float mm = 0.0F;
    ASSERT_TRUE(doc.link().calibration().mvToMm(1500.0F, mm));
    EXPECT_NEAR(plotOf(*again).channel(widgets::kGripperChannel).point(0).y(), mm, 1e-3);
    EXPECT_EQ(plotOf(*again).channel(widgets::kGripperChannel).count(), 13);
}

TEST(OperatingStatePlot, PauseHoldsTheDrawnPointsWhileTheHistoryFills) {
    SimulatedController sim;
    document::CQvx_controllerDoc& doc = sim.document;
    CViewZeitGraph view(doc);
    view.setClock(secondsClock());
    view.OnInitialUpdate();
    ASSERT_TRUE(activate(view));
    for (int i = 0; i < 5; ++i) {
        polled(doc, 2000.0F);
        newData(view);
    }
    QTest::keyClick(&view, Qt::Key_Space);
    auto* pause = view.findChild<QPushButton*>(QStringLiteral("pausePlot"));
    ASSERT_TRUE(plotOf(view).isPaused());
    EXPECT_EQ(pause->text(), QString::fromUtf8(texts::kPlotResume));
    for (int i = 0; i < 7; ++i) {
        polled(doc, 3000.0F);
        newData(view);
    }
    EXPECT_EQ(doc.liveHistory.size(), 12U);
    EXPECT_EQ(plotOf(view).channel(widgets::kGripperChannel).count(), 12);
    EXPECT_EQ(plotOf(view).shownPoints(widgets::kGripperChannel).size(), 5U);

    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_FALSE(plotOf(view).isPaused());
    EXPECT_EQ(pause->text(), QString::fromUtf8(texts::kPlotPause));
    EXPECT_EQ(plotOf(view).shownPoints(widgets::kGripperChannel).size(), 12U);
    EXPECT_DOUBLE_EQ(plotOf(view).shownPoints(widgets::kGripperChannel).back().y(), 3000.0);
}

TEST(OperatingStatePlot, CopiesWithCtrlCAndSavesAsPngOrSvg) {
    document::CQvx_controllerDoc doc;
    const auto start = std::chrono::steady_clock::time_point(std::chrono::hours(3));
    for (int t = 0; t < 30; ++t) {
        doc.liveHistory.append(1500.0F + 40.0F * static_cast<float>(t), 24.0F, 1 + t % 5,
                               start + std::chrono::seconds(t));
    }
    CViewZeitGraph view(doc);
    view.OnInitialUpdate();
    view.resize(900, 420);
    ASSERT_TRUE(activate(view));
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.convertToFormat(QImage::Format_ARGB32),
              widgets::plotImage(plotOf(view)).convertToFormat(QImage::Format_ARGB32));

    QTemporaryDir dir;
    QString path;
    Messages messages;
    view.plotPanel().setMessageSink(messages.sink());
    view.plotPanel().setSaveFileDialog(
        [&path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    path = dir.filePath(QStringLiteral("betrieb"));  // no suffix: PNG
    ASSERT_TRUE(view.plotPanel().saveImage(QStringLiteral("betriebszustand")));
    const QImage png(path + QStringLiteral(".png"));
    EXPECT_EQ(png.size(), plotOf(view).size());
    path = dir.filePath(QStringLiteral("betrieb.svg"));
    ASSERT_TRUE(view.plotPanel().saveImage(QStringLiteral("betriebszustand")));
    QFile svg(path);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    EXPECT_TRUE(text.contains("<svg"));
    EXPECT_TRUE(text.contains("Betriebszustand"));
    path = dir.filePath(QStringLiteral("fehlt/betrieb.png"));
    EXPECT_FALSE(view.plotPanel().saveImage(QStringLiteral("betriebszustand")));
    ASSERT_EQ(messages.texts.size(), 1U);
    EXPECT_EQ(messages.texts[0], QString::fromUtf8(texts::kRecWriteFailed).arg(path));
}

TEST(OperatingStatePlot, RepaintsOncePerUpdateAndNotAtAllWhilePaused) {
    SimulatedController sim;
    document::CQvx_controllerDoc& doc = sim.document;
    CViewZeitGraph view(doc);
    view.setClock(secondsClock());
    view.OnInitialUpdate();
    ASSERT_TRUE(activate(view));
    widgets::TimePlot& plot = plotOf(view);
    polled(doc, 2000.0F);
    newData(view);
    QCoreApplication::processEvents();

    widgets::test::PaintCounter paints(plot);
    for (int i = 0; i < 3; ++i) {
        newData(view);
        EXPECT_EQ(widgets::test::paintsAfterEvents(paints), 1) << "update " << i;
        paints.reset();
    }
    plot.setPaused(true);
    QCoreApplication::processEvents();
    paints.reset();
    for (int i = 0; i < 5; ++i) {
        newData(view);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(paints.count(), 0);
    EXPECT_EQ(doc.liveHistory.size(), 9U);
}

TEST(OperatingStatePlot, ReadoutGivesTimesValuesStatesAndDifferencesAtTheCursors) {
    document::CQvx_controllerDoc doc;  // offline: the history alone
    const auto start = std::chrono::steady_clock::time_point(std::chrono::hours(2));
    for (int t = 0; t < 20; ++t) {
        doc.liveHistory.append(1000.0F + 50.0F * static_cast<float>(t), t < 10 ? 24.0F : 23.5F,
                               t < 10 ? 5 : 3, start + std::chrono::seconds(t));
    }
    CViewZeitGraph view(doc);
    view.OnInitialUpdate();
    widgets::TimePlot& plot = plotOf(view);
    auto* readout = view.findChild<QLabel*>(QStringLiteral("cursorReadout"));
    EXPECT_EQ(readout->text(), QString::fromUtf8(texts::kReadoutHint));

    plot.setCursor(0, 4.5);
    plot.setCursor(1, 12.0);
    EXPECT_EQ(readout->text(),
              QString::fromUtf8("Cursor 1:  t = 4.500 s   Greifer 1225.00 mV   Ub 24.0 V   "
                                "Ausgang 5 = Offen\n"
                                "Cursor 2:  t = 12.000 s   Greifer 1600.00 mV   Ub 23.5 V   "
                                "Ausgang 3 = B\n"
                                "Cursor 2 − Cursor 1:  Δt = 7500 ms   ΔGreifer = +375.00 mV   "
                                "ΔUb = -0.5 V"));

    plot.setCursor(1, 25.0);  // past the newest sample: nothing is read there
    EXPECT_TRUE(readout->text().contains(QStringLiteral("Cursor 2:  t = 25.000 s   Greifer – mV")));
    EXPECT_EQ(outputStateText(0.0), QString::fromUtf8(texts::kReadoutNoOutput));
}

TEST(OperatingStatePlot, ReferenceLinesFollowAChangedSwitchPointUnitAndMode) {
    SimulatedController sim;
    document::CQvx_controllerDoc& doc = sim.document;
    CViewZeitGraph view(doc);
    view.setClock(secondsClock());
    view.OnInitialUpdate();
    widgets::TimePlot& plot = plotOf(view);
    EXPECT_TRUE(plot.referenceLines().isEmpty());  // not polled yet: no points known

    const std::array<float, 5> mv{1200.0F, 1800.0F, 2500.0F, 3100.0F, 3600.0F};
    for (std::size_t k = 0; k < mv.size(); ++k) {
        doc.switchPoints[k] = rawOf(mv[k]);
    }
    polled(doc, 2000.0F);
    newData(view);
    ASSERT_EQ(plot.referenceLines().size(), 5);
    for (int k = 0; k < 5; ++k) {
        const widgets::ReferenceLine& line = plot.referenceLines()[k];
        EXPECT_NEAR(line.value, CalibrationTable::rawToMv(rawOf(mv[static_cast<std::size_t>(k)])),
                    1e-3);
        EXPECT_TRUE(line.label.startsWith(
            QString::fromUtf8(texts::kTransitions[static_cast<std::size_t>(k)])));
        EXPECT_TRUE(std::isnan(line.bandLow));  // switch-point mode: no band
    }

    doc.switchPoints[2] = rawOf(2700.0F);
    newData(view);
    EXPECT_NEAR(plot.referenceLines()[2].value, CalibrationTable::rawToMv(rawOf(2700.0F)), 1e-3);
    EXPECT_EQ(plot.referenceLines()[2].label,
              QStringLiteral("C<-->B  %1").arg(plot.referenceLines()[2].value, 0, 'f', 2));

    doc.link().calibration().setMode(CalibrationMode::Calibrated);
    doc.inchUnit = 1;
    newData(view);
    float mm = 0.0F;
    ASSERT_TRUE(doc.link().calibration().mvToMm(CalibrationTable::rawToMv(rawOf(2700.0F)), mm));
    EXPECT_NEAR(plot.referenceLines()[2].value, mm / 2.54, 1e-3);

    // Range mode: every point is the centre of its tolerance band.
    doc.link().calibration().setMode(CalibrationMode::Millivolt);
    doc.inchUnit = 0;
    doc.underTolerance = 40.0F;
    doc.overTolerance = 60.0F;
    doc.rangeMode = true;  // as the fixed pane read it
    newData(view);
    const widgets::ReferenceLine& band = plot.referenceLines()[2];
    EXPECT_NEAR(band.bandLow, band.value - 40.0, 1e-3);
    EXPECT_NEAR(band.bandHigh, band.value + 60.0, 1e-3);
}

QString fieldText(QWidget& view, const char* name) {
    return view.findChild<QLineEdit*>(QString::fromLatin1(name))->text();
}

/// The limit lamps lit, as the flags' bits: temperature over 8, under 4, voltage over 2, under 1.
int litLamps(QWidget& view) {
    int bits = 0;
    const std::array<std::pair<const char*, int>, 4> lamps{
        {{"temperatureOver", 8}, {"temperatureUnder", 4}, {"voltageOver", 2}, {"voltageUnder", 1}}};
    for (const auto& [name, bit] : lamps) {
        bits |= view.findChild<widgets::RoundLed*>(QString::fromLatin1(name))->isActive() ? bit : 0;
    }
    return bits;
}

QString celsiusText(float celsius) { return QString::fromStdString(document::formatCelsius(celsius)); }
QString voltsText(float volts) { return QString::fromStdString(document::formatVolts(volts)); }

TEST(OperatingStateGauges, ShowWhatThePollingThreadReadWithoutTouchingTheLink) {
    SimulatedController sim;
    document::CQvx_controllerDoc& doc = sim.document;
    CViewZeitGraph view(doc);
    view.setClock(secondsClock());
    view.OnInitialUpdate();
    EXPECT_TRUE(doc.operatingValuesWanted.load());  // asked for before the first update
    auto* thermometer = view.findChild<widgets::Thermometer*>(QStringLiteral("temperature"));
    auto* voltmeter = view.findChild<widgets::Thermometer*>(QStringLiteral("voltage"));

    // The answer as the polling thread publishes it: hot, and the supply low.
    doc.operatingValuesWanted = false;
    doc.temperature = 72.5F;
    doc.temperatureRead = true;
    doc.supplyVolts = 11.5F;
    doc.supplyVoltsRead = true;
    doc.limitFlags = 0x09;
    doc.limitFlagsRead = true;
    polled(doc, 2000.0F);
    const int requests = sim.requestCount();
    newData(view);
    EXPECT_EQ(sim.requestCount(), requests);  // nothing read on the user-interface thread
    EXPECT_EQ(fieldText(view, "temperatureText"), celsiusText(72.5F));
    EXPECT_DOUBLE_EQ(thermometer->position(), 72.5);
    EXPECT_EQ(thermometer->indicatorColor(), widgets::colorFromColorRef(CViewZeitGraph::kRed));
    EXPECT_EQ(fieldText(view, "voltageText"), voltsText(11.5F));
    EXPECT_DOUBLE_EQ(voltmeter->position(), 11.5);
    EXPECT_EQ(voltmeter->indicatorColor(), widgets::colorFromColorRef(CViewZeitGraph::kYellow));
    EXPECT_EQ(litLamps(view), 0x09);
    EXPECT_FLOAT_EQ(doc.liveHistory.newest().supplyVolts, 11.5F);
    EXPECT_TRUE(doc.operatingValuesWanted.load());  // the next update gets fresh ones

    // Failed reads: 0 °C, the voltage as it was and no lamp; the plotted Ub is 0.
    doc.temperatureRead = false;
    doc.supplyVolts = 30.0F;
    doc.supplyVoltsRead = false;
    doc.limitFlagsRead = false;
    newData(view);
    EXPECT_EQ(sim.requestCount(), requests);
    EXPECT_EQ(fieldText(view, "temperatureText"), celsiusText(0.0F));
    EXPECT_DOUBLE_EQ(thermometer->position(), 0.0);
    EXPECT_EQ(fieldText(view, "voltageText"), voltsText(11.5F));
    EXPECT_DOUBLE_EQ(voltmeter->position(), 11.5);
    EXPECT_EQ(litLamps(view), 0);
    EXPECT_FLOAT_EQ(doc.liveHistory.newest().supplyVolts, 0.0F);

    // Without a polling result nothing is shown and nothing is asked for.
    doc.operatingValuesWanted = false;
    doc.pollOk = false;
    doc.temperatureRead = true;
    newData(view);
    EXPECT_EQ(fieldText(view, "temperatureText"), celsiusText(0.0F));
    EXPECT_FALSE(doc.operatingValuesWanted.load());
    EXPECT_EQ(doc.liveHistory.size(), 2U);
}

TEST(OperatingStateGauges, ShowTheSimulatedControllersValuesWhilePolling) {
    SimulatedController sim;  // about 35 °C and 24 V
    document::CQvx_controllerDoc& doc = sim.document;
    CViewZeitGraph view(doc);
    view.setClock(secondsClock());
    view.OnInitialUpdate();
    doc.startPolling();
    ASSERT_TRUE(qvx::test::waitUntil(
        [&doc] { return doc.pollOk.load() && doc.operatingValueAnswers.load() >= 1; }, 5s));
    // Nothing is asked for again before the view's update: this answer is the one it shows.
    ASSERT_TRUE(doc.temperatureRead.load());
    ASSERT_TRUE(doc.supplyVoltsRead.load());
    const float celsius = doc.temperature;
    const float volts = doc.supplyVolts;
    newData(view);
    doc.stopPolling();
    EXPECT_NEAR(celsius, 35.0F, 1.5F);
    EXPECT_NEAR(volts, 24.0F, 1.5F);
    EXPECT_EQ(fieldText(view, "temperatureText"), celsiusText(celsius));
    EXPECT_EQ(fieldText(view, "voltageText"), voltsText(volts));
    EXPECT_FLOAT_EQ(doc.liveHistory.newest().supplyVolts, volts);
}

}  // namespace
}  // namespace qvx::views
