// Recordings exported, opened again without a controller, and laid over each other.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "document/recording_file.h"
#include "tests/views/view_test_support.h"
#include "views/view_aufnahme.h"
#include "views/view_texts.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/time_plot.h"

namespace qvx::views {
namespace {

using namespace test;
constexpr std::size_t kSamples = CViewAufnahme::kSamples;

/// The recording view with its file dialogs answered by the test.
struct Viewer {
    explicit Viewer(document::CQvx_controllerDoc& doc) : view(doc) {
        view.setMessageSink(messages.sink());
        view.setSaveFileDialog(
            [this](QWidget*, const QString&, const QString&, const QString&) { return savePath; });
        view.setOpenFileDialog(
            [this](QWidget*, const QString&, const QString&) { return openPath; });
        view.OnInitialUpdate();
        view.resize(900, 460);
    }
    widgets::TimePlot& plot() {
        return *view.findChild<widgets::TimePlot*>(QStringLiteral("plot"));
    }

    Messages messages;
    QString savePath;
    QString openPath;
    CViewAufnahme view;
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

/// A recording read from the simulated controller and exported to `dir`/`name`.csv.
QString recordedAndExported(const QTemporaryDir& dir, const char* name) {
    SimulatedController sim;
    Viewer viewer(sim.document);
    QTest::mouseClick(
        viewer.view.findChild<widgets::RectangularLed*>(QStringLiteral("rereadRecording")),
        Qt::LeftButton);
    EXPECT_EQ(sim.document.recordingSamples, kSamples);
    viewer.savePath = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(viewer.view.exportCsv());
    return viewer.savePath + QStringLiteral(".csv");
}

TEST(RecordingFiles, AnExportedRecordingOpensWithoutAControllerAndExportsAgainTheSame) {
    QTemporaryDir dir;
    SimulatedController sim;
    Viewer original(sim.document);
    QTest::mouseClick(
        original.view.findChild<widgets::RectangularLed*>(QStringLiteral("rereadRecording")),
        Qt::LeftButton);
    original.savePath = dir.filePath(QStringLiteral("vorher"));
    ASSERT_TRUE(original.view.exportCsv());
    const QString exported = original.savePath + QStringLiteral(".csv");

    document::CQvx_controllerDoc offline;  // no link at all
    Viewer viewer(offline);
    auto* open = viewer.view.findChild<QPushButton*>(QStringLiteral("openRecording"));
    EXPECT_EQ(open->text(), QString::fromUtf8("Aufnahme öffnen..."));
    EXPECT_TRUE(open->isEnabled());
    viewer.openPath = exported;
    ASSERT_TRUE(viewer.view.openRecording());
    EXPECT_TRUE(viewer.messages.texts.empty());
    EXPECT_TRUE(offline.recordingPresent);
    EXPECT_TRUE(offline.recordingFromFile);
    ASSERT_EQ(offline.recordingSamples, kSamples);
    for (std::size_t i = 0; i < kSamples; ++i) {
        EXPECT_NEAR(offline.recGripper[i], sim.document.recGripper[i], 0.005F) << i;
        EXPECT_NEAR(offline.recSupply[i], sim.document.recSupply[i], 0.0005F) << i;
        EXPECT_EQ(offline.recOutputs[i], sim.document.recOutputs[i]) << i;
    }
    const widgets::TimePlotChannel& gripper = viewer.plot().channel(widgets::kGripperChannel);
    ASSERT_EQ(gripper.count(), static_cast<int>(kSamples));
    EXPECT_DOUBLE_EQ(gripper.point(639).x(), 19170.0);
    // The file keeps 0.01 mV and 1 mV of Ub: the curves are the same within that.
    for (int c = 0; c < widgets::TimePlot::kChannelCount; ++c) {
        const std::vector<QPointF>& opened = viewer.plot().shownPoints(c);
        const std::vector<QPointF>& shown = original.plot().shownPoints(c);
        ASSERT_EQ(opened.size(), shown.size());
        for (std::size_t i = 0; i < opened.size(); ++i) {
            EXPECT_EQ(opened[i].x(), shown[i].x());
            EXPECT_NEAR(opened[i].y(), shown[i].y(), 0.006) << "channel " << c << ", sample " << i;
        }
    }

    // Exported again offline, the file says the same: the controller's identity and the time
    // of the transfer come from the file that was opened.
    viewer.savePath = dir.filePath(QStringLiteral("wieder"));
    ASSERT_TRUE(viewer.view.exportCsv());
    EXPECT_EQ(contents(viewer.savePath + QStringLiteral(".csv")), contents(exported));
    EXPECT_EQ(contents(dir.filePath(QStringLiteral("wieder_daten.csv"))),
              contents(dir.filePath(QStringLiteral("vorher_daten.csv"))));
    // The plain copy opens too.
    viewer.openPath = dir.filePath(QStringLiteral("wieder_daten.csv"));
    EXPECT_TRUE(viewer.view.openRecording());
}

TEST(RecordingFiles, ASecondRecordingLaysOverTheFirstWithItsOwnLegendEntry) {
    QTemporaryDir dir;
    const QString before = recordedAndExported(dir, "vorher");
    // The "after" recording: the same file with the gripper 100 mV higher.
    const auto parsed = document::parseRecordingFile(contents(before).toStdString());
    document::RecordingFile after = std::get<document::RecordingFile>(parsed);
    for (float& mv : after.recording.gripper) {
        mv += 100.0F;
    }
    const QString afterPath = dir.filePath(QStringLiteral("nachher.csv"));
    write(afterPath,
          QByteArray::fromStdString(document::recordingFileText(after.recording, after.header)));

    document::CQvx_controllerDoc offline;
    Viewer viewer(offline);
    auto* compare = viewer.view.findChild<QPushButton*>(QStringLiteral("openComparison"));
    auto* remove = viewer.view.findChild<QPushButton*>(QStringLiteral("removeComparison"));
    EXPECT_FALSE(compare->isEnabled());  // nothing to compare with yet
    viewer.openPath = before;
    ASSERT_TRUE(viewer.view.openRecording());
    EXPECT_TRUE(compare->isEnabled());
    EXPECT_FALSE(remove->isEnabled());
    viewer.openPath = afterPath;
    ASSERT_TRUE(viewer.view.openComparison());
    EXPECT_TRUE(remove->isEnabled());

    widgets::TimePlot& plot = viewer.plot();
    ASSERT_EQ(plot.overlay(widgets::kGripperChannel).count(), static_cast<int>(kSamples));
    EXPECT_EQ(plot.overlay(widgets::kOutputChannel).count(), static_cast<int>(kSamples));
    plot.setCursor(0, 3000.0);
    EXPECT_NEAR(plot.cursorValue(0, widgets::kGripperChannel, true) -
                    plot.cursorValue(0, widgets::kGripperChannel, false),
                100.0, 0.02);
    auto* readout = viewer.view.findChild<QLabel*>(QStringLiteral("cursorReadout"));
    EXPECT_TRUE(readout->text().contains(QStringLiteral("Vergleich")));

    // Each recording has its legend entry: the recording row names both files.
    const QImage overlaid = plot.grab().toImage();
    plot.setRecordingNames(QStringLiteral("vorher.csv"), QString());
    EXPECT_NE(plot.grab().toImage(), overlaid);

    remove->click();
    EXPECT_EQ(plot.overlay(widgets::kGripperChannel).count(), 0);
    EXPECT_EQ(offline.comparison.samples, 0U);
    EXPECT_EQ(plot.channel(widgets::kGripperChannel).count(), static_cast<int>(kSamples));
}

TEST(RecordingFiles, AMalformedForeignOrHugeFileIsRefusedAndChangesNothing) {
    QTemporaryDir dir;
    const QString good = recordedAndExported(dir, "gut");
    document::CQvx_controllerDoc offline;
    Viewer viewer(offline);
    viewer.openPath = good;
    ASSERT_TRUE(viewer.view.openRecording());
    const std::array<float, kSamples> gripper = offline.recGripper;
    const std::vector<QPointF> plotted = viewer.plot().shownPoints(widgets::kGripperChannel);

    struct Bad {
        const char* name;
        QByteArray bytes;
        QString message;
    };
    QByteArray cut = contents(good);
    cut.replace("\n60,", "\n61,");
    const QString refused = QString::fromUtf8(texts::kRecOpenRefused);
    const std::vector<Bad> files{
        {"fremd.csv", "Datum;Temperatur\n2026-12-01;21,5\n",
         refused.arg(dir.filePath(QStringLiteral("fremd.csv")))
             .arg(1)
             .arg(QString::fromUtf8(texts::kRecErrorNoColumns))},
        {"zeit.csv", cut,
         refused.arg(dir.filePath(QStringLiteral("zeit.csv")))
             .arg(cut.left(cut.indexOf("\n61,")).count('\n') + 2)
             .arg(QString::fromUtf8(texts::kRecErrorWrongTime))},
        {"riesig.csv", QByteArray(CViewAufnahme::kMaxRecordingFileBytes + 10, 'x'),
         QString::fromUtf8(texts::kRecOpenTooLarge)
             .arg(dir.filePath(QStringLiteral("riesig.csv")))
             .arg(CViewAufnahme::kMaxRecordingFileBytes / 1024)},
    };
    for (const Bad& bad : files) {
        const QString path = dir.filePath(QString::fromLatin1(bad.name));
        write(path, bad.bytes);
        viewer.messages.texts.clear();
        viewer.openPath = path;
        EXPECT_FALSE(viewer.view.openRecording()) << bad.name;
        EXPECT_FALSE(viewer.view.openComparison()) << bad.name;
        ASSERT_EQ(viewer.messages.texts.size(), 2U) << bad.name;
        EXPECT_EQ(viewer.messages.texts[0], bad.message);
        EXPECT_EQ(offline.recGripper, gripper);
        EXPECT_EQ(offline.comparison.samples, 0U);
        EXPECT_EQ(viewer.plot().shownPoints(widgets::kGripperChannel), plotted);
        EXPECT_EQ(viewer.plot().overlay(widgets::kGripperChannel).count(), 0);
    }

    viewer.messages.texts.clear();
    viewer.openPath = dir.filePath(QStringLiteral("gibt_es_nicht.csv"));
    EXPECT_FALSE(viewer.view.openRecording());
    ASSERT_EQ(viewer.messages.texts.size(), 1U);
    EXPECT_EQ(viewer.messages.texts[0],
              QString::fromUtf8(texts::kRecOpenUnreadable).arg(viewer.openPath));
    viewer.openPath.clear();  // cancelled: no message
    EXPECT_FALSE(viewer.view.openRecording());
    EXPECT_EQ(viewer.messages.texts.size(), 1U);
}

}  // namespace
}  // namespace qvx::views
