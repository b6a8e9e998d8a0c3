#include "views/view_aufnahme.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>

#include "link/calibration_table.h"
#include "tests/views/view_test_support.h"
#include "views/ui_state.h"
#include "views/view_texts.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/time_plot.h"

namespace qvx::views {
namespace {

using link::CalibrationMode;
using link::CalibrationTable;
using namespace test;

constexpr std::uint32_t kGripperBase = 356;
constexpr std::uint32_t kSupplyBase = 1956;
constexpr std::uint32_t kOutputsBase = 3556;
constexpr std::size_t kSamples = 640;

/// The recording view on a document, shown, its messages collected and its exports written
/// to `exportPath` (an empty path cancels the dialog).
struct Recorder {
    explicit Recorder(document::CQvx_controllerDoc& doc, CViewAufnahme::Timing timing = {}) : view(doc) {
        timing.pollStep = 5ms;
        view.setTiming(timing);
        view.setMessageSink(messages.sink());
        view.setSaveFileDialog([this](QWidget*, const QString&, const QString&, const QString&) {
            return exportPath;
        });
        view.OnInitialUpdate();
        view.resize(900, 420);
        view.show();
    }
    widgets::RectangularLed* lamp(const char* name) {
        return view.findChild<widgets::RectangularLed*>(QString::fromLatin1(name));
    }
    void click(const char* name) { QTest::mouseClick(lamp(name), Qt::LeftButton); }
    const widgets::TimePlotChannel& channel(int index) {
        return view.findChild<widgets::TimePlot*>(QStringLiteral("plot"))->channel(index);
    }

    Messages messages;
    QString exportPath;
    CViewAufnahme view;
};

/// What a sampled recording area holds, decoded as the controller's words.
struct Recording {
    std::vector<std::uint16_t> gripper, supply, outputs;
};

Recording recordingIn(const std::vector<std::uint8_t>& eeprom) {
    Recording r;
    const auto word = [&eeprom](std::uint32_t address) {
        return static_cast<std::uint16_t>(eeprom[address] << 8 | eeprom[address + 1]);
    };
    for (std::uint32_t i = 0; i < kSamples; ++i) {
        r.gripper.push_back(word(kGripperBase + 2 * i));
        r.supply.push_back(word(kSupplyBase + 2 * i));
        r.outputs.push_back(word(kOutputsBase + 2 * i));
    }
    return r;
}

std::vector<std::uint8_t> bytesOf(const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> bytes;
    for (const std::uint16_t w : words) {
        bytes.push_back(static_cast<std::uint8_t>(w >> 8));
        bytes.push_back(static_cast<std::uint8_t>(w));
    }
    return bytes;
}

/// A recognisable recording: a voltage ramp, supply words about 24 V, and output words that
/// include samples with none of bits 3..7 set.
Recording pattern() {
    Recording r;
    for (std::uint32_t i = 0; i < kSamples; ++i) {
        std::uint16_t raw = 0;
        EXPECT_TRUE(CalibrationTable::mvToRaw(1000.0F + 4.5F * static_cast<float>(i), raw));
        r.gripper.push_back(raw);
        r.supply.push_back(static_cast<std::uint16_t>(0x5000 + i));
        constexpr std::array<std::uint16_t, 6> kOutputs{0x0000, 0x0008, 0x0107,
                                                        0x00F8, 0x0004, 0x0020};
        r.outputs.push_back(kOutputs[i % kOutputs.size()]);
    }
    return r;
}

void store(SimulatedController& sim, const Recording& r) {
    sim.writeEeprom(kGripperBase, bytesOf(r.gripper));
    sim.writeEeprom(kSupplyBase, bytesOf(r.supply));
    sim.writeEeprom(kOutputsBase, bytesOf(r.outputs));
}

float volts(std::uint16_t word) {
    return static_cast<float>(12.0 +
                              (((word >> 8) - 61) * 256 + (word & 0xFF)) * 0.0007304601899196494);
}

/// Expects the plot to show `r`: gripper in mV, supply in V, and for the highest of bits 3..7
/// (outputs 1..5) the legend level of that output ("1 = Zu" for output 5, "5 = Offen" for
/// output 1), held over samples without any.
void expectPlotted(Recorder& recorder, const Recording& r) {
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(recorder.channel(c).count(), static_cast<int>(kSamples));
        EXPECT_EQ(recorder.channel(c).point(static_cast<int>(kSamples) - 1).x(), 19170.0);
    }
    int level = 0;
    for (std::size_t i = 0; i < kSamples; ++i) {
        const int at = static_cast<int>(i);
        EXPECT_EQ(recorder.channel(0).point(at).x(), 30.0 * static_cast<double>(i));
        EXPECT_FLOAT_EQ(static_cast<float>(recorder.channel(0).point(at).y()),
                        CalibrationTable::rawToMv(r.gripper[i]))
            << "sample " << i;
        EXPECT_FLOAT_EQ(static_cast<float>(recorder.channel(1).point(at).y()), volts(r.supply[i]))
            << "sample " << i;
        for (int bit = 7; bit >= 3; --bit) {
            if ((r.outputs[i] & (1 << bit)) != 0) {
                level = 6 - (bit - 2);
                break;
            }
        }
        EXPECT_EQ(recorder.channel(2).point(at).y(), level) << "sample " << i;
    }
}

TEST(CViewAufnahme, RecordingPlotsExactlyWhatTheControllerRecorded) {
    SimulatedController sim;
    Recorder recorder(sim.document);
    bool disabledMeanwhile = false;
    QString runningCaption;
    QTimer::singleShot(0, &recorder.view, [&] {
        disabledMeanwhile = !uiEnabled() && recorder.view.isBusy();
        runningCaption = recorder.lamp("startRecording")->caption();
    });
    recorder.click("startRecording");

    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_EQ(runningCaption, QString::fromUtf8("Aufnahme läuft"));
    EXPECT_EQ(sim.ram(37) & 0x60, 0x20);  // the controller finished its recording
    expectPlotted(recorder, recordingIn(sim.eeprom()));
    EXPECT_TRUE(sim.document.recordingPresent);
    EXPECT_TRUE(uiEnabled());
    EXPECT_EQ(recorder.lamp("startRecording")->caption(), QStringLiteral("Aufnahme starten"));
    EXPECT_FALSE(recorder.lamp("startRecording")->isActive());
    EXPECT_TRUE(recorder.view.findChild<QPushButton*>(QStringLiteral("exportCsv"))->isEnabled());
    EXPECT_TRUE(recorder.messages.texts.empty());
}

TEST(CViewAufnahme, RereadingTransfersTheStoredRecordingWithoutStartingANewOne) {
    SimulatedController sim;
    const Recording stored = pattern();
    store(sim, stored);
    Recorder recorder(sim.document);
    QString runningCaption;
    QTimer::singleShot(0, &recorder.view,
                       [&] { runningCaption = recorder.lamp("rereadRecording")->caption(); });
    recorder.click("rereadRecording");

    EXPECT_EQ(runningCaption, QStringLiteral("Aufnahme wird eingelesen"));
    EXPECT_EQ(sim.requestsAt(kWriteRam, 37), 0);
    EXPECT_FALSE(sim.recording());
    expectPlotted(recorder, stored);
    EXPECT_EQ(sim.requestsAt(kReadEeprom, kGripperBase), 1);
    EXPECT_EQ(sim.requestsAt(kReadEeprom, kGripperBase + 2 * 620), 1);  // the last of 32 chunks
    EXPECT_EQ(recorder.lamp("rereadRecording")->caption(),
              QStringLiteral("bestehende Aufnahme neu einlesen"));

    // A view created later plots the document's recording at once.
    Recorder later(sim.document);
    expectPlotted(later, stored);
}

TEST(CViewAufnahme, ExportsTheRecordingAsCsvInTheUnitOfTheTransferAndThePlotAsPng) {
    SimulatedController sim;
    const Recording stored = pattern();
    store(sim, stored);
    QTemporaryDir dir;
    Recorder recorder(sim.document);
    recorder.exportPath = dir.filePath(QStringLiteral("aufnahme"));
    EXPECT_FALSE(recorder.view.exportCsv());  // nothing transferred yet
    EXPECT_FALSE(QFile::exists(recorder.exportPath + QStringLiteral(".csv")));

    sim.document.link().calibration().setMode(CalibrationMode::Calibrated);
    recorder.click("rereadRecording");
    ASSERT_TRUE(recorder.view.exportCsv());
    // The plain columns, for spreadsheet programs, beside the annotated file.
    QFile csv(dir.filePath(QStringLiteral("aufnahme_daten.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray plain = csv.readAll();
    csv.close();
    const QStringList lines = QString::fromUtf8(plain).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 642);  // header, 640 samples, and the end of the last line
    EXPECT_EQ(lines[0], QStringLiteral("time_ms,gripper_mm,ub_V,outputs"));
    for (const int i : {0, 1, 5, 639}) {
        const auto sample = static_cast<std::size_t>(i);
        float mm = 0.0F;
        EXPECT_TRUE(sim.document.link().calibration().mvToMm(
            CalibrationTable::rawToMv(stored.gripper[sample]), mm));
        EXPECT_EQ(lines[i + 1],
                  QStringLiteral("%1,%2,%3,%4")
                      .arg(30 * i)
                      .arg(static_cast<double>(mm), 0, 'f', 2)
                      .arg(static_cast<double>(volts(stored.supply[sample])), 0, 'f', 3)
                      .arg(stored.outputs[sample]));
    }
    EXPECT_EQ(lines[641], QString());

    // The annotated file: what the controller and the program are, then the same columns.
    QFile annotated(recorder.exportPath + QStringLiteral(".csv"));
    ASSERT_TRUE(annotated.open(QIODevice::ReadOnly));
    const QByteArray text = annotated.readAll();
    annotated.close();
    ASSERT_TRUE(text.endsWith(plain));
    const QStringList header =
        QString::fromUtf8(text.left(text.size() - plain.size())).split(QLatin1Char('\n'));
    int week = 0;
    int year = 0;
    int serial = 0;
    ASSERT_TRUE(sim.document.link().readServiceData(week, year, serial));
    ASSERT_EQ(header.size(), 6);
    EXPECT_EQ(header[0], QStringLiteral("# serial_number=%1").arg(serial));
    EXPECT_EQ(header[1], QStringLiteral("# manufactured=%1/%2").arg(week).arg(year));
    EXPECT_EQ(header[2], QStringLiteral("# unit=mm"));
    EXPECT_EQ(header[3], QStringLiteral("# program=qvx_controller 1.0"));
    ASSERT_TRUE(header[4].startsWith(QStringLiteral("# recorded=")));
    const QDateTime recorded = QDateTime::fromString(header[4].mid(11), Qt::ISODate);
    EXPECT_TRUE(recorded.isValid());
    EXPECT_LT(std::abs(recorded.secsTo(QDateTime::currentDateTime())), 600);
    EXPECT_EQ(header[4].mid(11).size(), 25) << "local time with its offset, to the second";

    // The unit is the transfer's, not the one shown when exporting.
    sim.document.link().calibration().setMode(CalibrationMode::Millivolt);
    EXPECT_EQ(CViewAufnahme::recordingCsv(sim.document, CalibrationMode::Millivolt).substr(0, 33),
              "time_ms,gripper_mV,ub_V,outputs\n0");
    ASSERT_TRUE(recorder.view.exportCsv());
    csv.close();
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readLine().startsWith("time_ms,gripper_mm,"));
    csv.close();
    {
        // The document keeps the unit: a view opened later exports and plots in it too.
        Recorder later(sim.document);
        later.exportPath = recorder.exportPath;
        ASSERT_TRUE(later.view.exportCsv());
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        EXPECT_TRUE(csv.readLine().startsWith("time_ms,gripper_mm,"));
        csv.close();
        expectPlotted(later, stored);
    }

    recorder.exportPath = dir.filePath(QStringLiteral("bild.png"));
    ASSERT_TRUE(recorder.view.saveImage());
    const QImage picture(recorder.exportPath);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), recorder.view.findChild<widgets::TimePlot*>()->size());
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 3) {
        for (int x = 0; x < picture.width(); x += 3) {
            colours.insert(picture.pixel(x, y));
        }
    }
    EXPECT_GT(colours.size(), 8);  // curves, axes and text, not an empty picture

    recorder.exportPath = dir.filePath(QStringLiteral("fehlt/aufnahme.csv"));
    EXPECT_FALSE(recorder.view.exportCsv());
    ASSERT_EQ(recorder.messages.texts.size(), 1U);
    EXPECT_EQ(recorder.messages.texts[0], QString::fromUtf8(texts::kRecWriteFailed)
                                              .arg(QDir::toNativeSeparators(recorder.exportPath)));
    recorder.exportPath.clear();  // cancelled
    EXPECT_FALSE(recorder.view.saveImage());
    EXPECT_EQ(recorder.messages.texts.size(), 1U);
}

TEST(CViewAufnahme, StopsWaitingForTheEndAfterTheLimitAndTransfersAnyway) {
    EXPECT_EQ(CViewAufnahme::Timing{}.finishLimit, 60s);
    SimulatedController sim(30ms);  // a recording takes 19 s here
    Recorder recorder(sim.document, CViewAufnahme::Timing{.finishLimit = 300ms});
    const auto started = std::chrono::steady_clock::now();
    recorder.click("startRecording");
    const auto took = std::chrono::steady_clock::now() - started;

    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 10s);
    EXPECT_TRUE(sim.recording());
    EXPECT_EQ(recorder.channel(0).count(), static_cast<int>(kSamples));
    EXPECT_TRUE(sim.document.recordingPresent);
    EXPECT_TRUE(uiEnabled());
    EXPECT_FALSE(recorder.view.isBusy());
}

TEST(CViewAufnahme, IgnoresClicksOnEitherButtonWhileOneRuns) {
    SimulatedController sim;
    Recorder recorder(sim.document);
    bool stillDisabled = false;
    QTimer::singleShot(0, &recorder.view, [&] {
        recorder.click("rereadRecording");
        recorder.click("startRecording");
        stillDisabled = !uiEnabled() && recorder.view.isBusy();
    });
    recorder.click("startRecording");

    EXPECT_TRUE(stillDisabled);
    EXPECT_EQ(sim.requestsAt(kWriteRam, 37), 1);
    EXPECT_EQ(sim.requestsAt(kReadEeprom, kGripperBase), 1);
    EXPECT_TRUE(uiEnabled());
}

TEST(CViewAufnahme, KeepsTheUnitOfTheTransferWhenTheModeChangesMeanwhile) {
    SimulatedController sim;
    const Recording stored = pattern();
    store(sim, stored);
    CalibrationTable& table = sim.document.link().calibration();
    Recorder recorder(sim.document);
    // The fixed pane's unit toggle stays usable during a transfer.
    QTimer::singleShot(0, &recorder.view, [&table] { table.setMode(CalibrationMode::Calibrated); });
    recorder.click("rereadRecording");
    ASSERT_EQ(table.getMode(), CalibrationMode::Calibrated);
    for (std::size_t i = 0; i < kSamples; ++i) {
        const float mv = CalibrationTable::rawToMv(stored.gripper[i]);
        EXPECT_NEAR(sim.document.recGripper[i], mv, 0.01) << "sample " << i;
        // The plot shows the present unit.
        float mm = 0.0F;
        EXPECT_TRUE(table.mvToMm(sim.document.recGripper[i], mm));
        EXPECT_FLOAT_EQ(static_cast<float>(recorder.channel(0).point(static_cast<int>(i)).y()), mm);
    }

    // A later unit change reaches the plot with the next update; the stored values stay.
    sim.document.inchUnit = 1;
    recorder.view.OnUpdate(nullptr, document::CQvx_controllerDoc::kHintNewData);
    float mm = 0.0F;
    EXPECT_TRUE(table.mvToMm(sim.document.recGripper[7], mm));
    EXPECT_FLOAT_EQ(static_cast<float>(recorder.channel(0).point(7).y()), mm / 2.54F);
    EXPECT_NEAR(sim.document.recGripper[7], CalibrationTable::rawToMv(stored.gripper[7]), 0.01);
    EXPECT_EQ(recorder.view.findChild<widgets::TimePlot*>()->yAxis(0).title(),
              QStringLiteral("Werte in 1/10 ''"));
}

TEST(CViewAufnahme, StopsAtTheFirstChunkThatFailsAndKeepsWhatWasReadMarkedAsIncomplete) {
    ScriptedController scripted;
    scripted.controller.memory.failReadsAt.push_back(kGripperBase + 2 * 100);
    document::CQvx_controllerDoc& doc = scripted.document;
    doc.recGripper.fill(-1.0F);  // as left by an earlier recording
    Recorder recorder(doc);
    recorder.click("rereadRecording");

    ASSERT_EQ(recorder.messages.texts.size(), 1U);
    EXPECT_EQ(recorder.messages.texts[0],
              QString::fromUtf8(texts::kRecIncomplete).arg(100).arg(kSamples));
    EXPECT_EQ(scripted.requestsAt(kReadEeprom, kGripperBase + 2 * 120), 0);  // no read after it
    EXPECT_EQ(scripted.requestsAt(kReadEeprom, kSupplyBase + 2 * 100), 0);
    EXPECT_TRUE(doc.recordingPresent);
    EXPECT_EQ(doc.recordingSamples, 100U);
    EXPECT_EQ(doc.recGripper[99], CalibrationTable::rawToMv(0));
    EXPECT_EQ(doc.recGripper[100], 0.0F);  // no sample of the earlier recording shows
    EXPECT_EQ(recorder.channel(0).count(), 100);
    EXPECT_EQ(recorder.channel(2).count(), 100);
    const auto* mark = recorder.view.findChild<QLabel*>(QStringLiteral("recordingState"));
    EXPECT_EQ(mark->text(), QString::fromUtf8(texts::kRecIncompleteMark).arg(100).arg(kSamples));
    const std::string csv = CViewAufnahme::recordingCsv(doc, CalibrationMode::Millivolt);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 101);  // the header and the samples read

    // A view shown later marks it too.
    Recorder later(doc);
    EXPECT_EQ(later.view.findChild<QLabel*>(QStringLiteral("recordingState"))->text(),
              mark->text());
    EXPECT_EQ(later.channel(1).count(), 100);
}

TEST(CViewAufnahme, ASilentControllerEndsTheTransferAtItsFirstReadAndLeavesTheLastRecording) {
    SimulatedController sim;
    const Recording stored = pattern();
    store(sim, stored);
    Recorder recorder(sim.document);
    recorder.click("rereadRecording");
    ASSERT_EQ(sim.document.recordingSamples, kSamples);

    sim.setFaultPlan({.silent = true});
    const int before = sim.requestCount();
    const auto started = std::chrono::steady_clock::now();
    recorder.click("rereadRecording");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);  // not 96 failing reads
    EXPECT_EQ(sim.requestCount(), before + 1);                   // one attempt of the first block
    ASSERT_EQ(recorder.messages.texts.size(), 1U);
    EXPECT_EQ(recorder.messages.texts[0], QString::fromUtf8(texts::kRecNothingRead));
    EXPECT_EQ(sim.document.recordingSamples, kSamples);
    expectPlotted(recorder, stored);
    EXPECT_TRUE(uiEnabled());
    EXPECT_TRUE(
        recorder.view.findChild<QLabel*>(QStringLiteral("recordingState"))->text().isEmpty());
}

/// Clicks "Abbrechen" once `ready` holds, looking every few milliseconds while the view runs.
struct CancelWhen {
    CancelWhen(Recorder& recorder, std::function<bool()> ready) : timer(&recorder.view) {
        QObject::connect(&timer, &QTimer::timeout, &recorder.view, [this, &recorder, ready] {
            if (!ready()) {
                return;
            }
            timer.stop();
            auto* cancel = recorder.view.findChild<QPushButton*>(QStringLiteral("cancelRecording"));
            enabledMeanwhile = cancel->isEnabled();
            QTest::mouseClick(cancel, Qt::LeftButton);
            enabledAfterClick = cancel->isEnabled();
        });
        timer.start(2);
    }
    QTimer timer;
    bool enabledMeanwhile = false;
    bool enabledAfterClick = true;
};

TEST(CViewAufnahme, CancelEndsTheTransferBeforeItsNextReadAndKeepsWhatWasRead) {
    SimulatedController sim;
    store(sim, pattern());
    sim.setFaultPlan({.replyDelay = 20ms});  // about 5 s for a whole transfer
    Recorder recorder(sim.document);
    EXPECT_FALSE(
        recorder.view.findChild<QPushButton*>(QStringLiteral("cancelRecording"))->isEnabled());
    CancelWhen cancel(recorder,
                      [&sim] { return sim.requestsAt(kReadEeprom, kGripperBase + 2 * 40) > 0; });
    recorder.click("rereadRecording");

    EXPECT_TRUE(cancel.enabledMeanwhile);
    EXPECT_FALSE(cancel.enabledAfterClick);
    EXPECT_TRUE(recorder.messages.texts.empty());  // the user asked for it
    EXPECT_GE(sim.document.recordingSamples, 40U);
    EXPECT_LT(sim.document.recordingSamples, kSamples);
    EXPECT_EQ(sim.requestsAt(kReadEeprom, kGripperBase + 2 * 620), 0);  // the last chunk
    EXPECT_TRUE(sim.document.recordingPresent);
    EXPECT_EQ(recorder.view.findChild<QLabel*>(QStringLiteral("recordingState"))->text(),
              QString::fromUtf8(texts::kRecIncompleteMark)
                  .arg(sim.document.recordingSamples)
                  .arg(kSamples));
    EXPECT_FALSE(recorder.view.isBusy());
    EXPECT_TRUE(uiEnabled());
    EXPECT_FALSE(
        recorder.view.findChild<QPushButton*>(QStringLiteral("cancelRecording"))->isEnabled());
}

TEST(CViewAufnahme, CancelWhileTheControllerRecordsTransfersNothing) {
    SimulatedController sim(30ms);  // a recording takes 19 s here
    Recorder recorder(sim.document);
    CancelWhen cancel(recorder, [&sim] { return sim.requestsAt(kWriteRam, 37) > 0; });
    const auto started = std::chrono::steady_clock::now();
    recorder.click("startRecording");

    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_TRUE(cancel.enabledMeanwhile);
    EXPECT_EQ(sim.requestsAt(kReadEeprom, kGripperBase), 0);
    EXPECT_FALSE(sim.document.recordingPresent);
    EXPECT_TRUE(recorder.messages.texts.empty());
    EXPECT_EQ(recorder.channel(0).count(), 0);
    EXPECT_TRUE(uiEnabled());
}

TEST(CViewAufnahme, ButtonsDoNothingWithoutAConnectionAndTogglesHideTheirChannel) {
    document::CQvx_controllerDoc doc;
    Recorder recorder(doc);
    recorder.click("startRecording");
    recorder.click("rereadRecording");
    EXPECT_FALSE(doc.recordingPresent);
    EXPECT_EQ(recorder.channel(0).count(), 0);
    EXPECT_TRUE(recorder.messages.texts.empty());

    recorder.click("toggleChannel0");
    EXPECT_FALSE(doc.curveVisible[5]);
    EXPECT_FALSE(recorder.channel(0).isVisible());
    EXPECT_EQ(recorder.lamp("toggleChannel0")->bevelStyle(), widgets::BevelStyle::Raised);
    recorder.click("toggleChannel1");
    EXPECT_FALSE(doc.curveVisible[3]);
    EXPECT_TRUE(doc.curveVisible[4]);
    Recorder again(doc);
    EXPECT_FALSE(again.channel(1).isVisible());
    EXPECT_TRUE(again.channel(2).isVisible());
    EXPECT_EQ(again.lamp("toggleChannel2")->bevelStyle(), widgets::BevelStyle::Lowered);
}

}  // namespace
}  // namespace qvx::views
