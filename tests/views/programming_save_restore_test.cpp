// Saving and restoring a programming through the view, against the simulated controller.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <clocale>
#include <cstdio>

#include "app/main_frame.h"
#include "document/device_backup.h"
#include "tests/views/programming_test_support.h"
#include "views/view_programmierung.h"
#include "views/view_texts.h"

using namespace qvx::views::test;
using qvx::document::CQvx_controllerDoc;
using qvx::link::CalibrationMode;
using qvx::views::CViewProgrammierung;
namespace fs = std::filesystem;

namespace {

QString nameOf(const fs::path& path) {
    return QString::fromStdString(path.string());
}

std::string printed(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%8.2f", static_cast<double>(value));
    return text;
}

/// One count of the converter is 1.22 mV; two decimals of a length add a little more.
void expectSameThresholds(const std::array<int, 5>& actual, const std::array<int, 5>& expected,
                          float toleranceMv) {
    for (std::size_t k = 0; k < actual.size(); ++k) {
        EXPECT_NEAR(mvOf(actual[k]), mvOf(expected[k]), toleranceMv) << "threshold " << k + 1;
    }
}

constexpr std::array<float, 5> kRecordMv{1100.0F, 1500.0F, 2300.0F, 3100.0F, 3600.0F};

}  // namespace

TEST(ProgrammingSave, WritesWhatTheControllerHoldsInTheKeyOrderWithoutWritingToIt) {
    const TempDir dir;
    SimulatedQvx qvx;
    qvx.setInputRecordMv(kRecordMv);
    qvx.setStatusByte(0x81);
    auto view = makeView(qvx.document, nameOf(dir.path / "greifer"));
    type(*view, "underTolerance", "50");
    type(*view, "overTolerance", "60,5");  // saved as typed
    type(*view, "entry1", "999");          // typed, not written: not saved
    (void)qvx.takeWrites();
    click(*view, "saveProgramming");

    const std::array<int, 5> record = qvx.inputRecord();
    EXPECT_EQ(readFile(dir.path / "greifer.qvx"),
              "[PROGRAMMIERUNG]\nZu=" + printed(mvOf(record[4])) +
                  "\nA=" + printed(mvOf(record[3])) + "\nB=" + printed(mvOf(record[2])) +
                  "\nC=" + printed(mvOf(record[1])) + "\nAuf=" + printed(mvOf(record[0])) +
                  "\nToleranzUnter=50\nToleranzUeber=60,5\nRange=BEREICH\nUnit=volt\n");
    EXPECT_TRUE(qvx.takeWrites().empty());
}

TEST(ProgrammingSave, AppendsQvxUnlessTheNameEndsInItExactly) {
    const TempDir dir;
    SimulatedQvx qvx;
    for (const char* typed : {"a", "b.qvx", "c.QVX"}) {
        auto view = makeView(qvx.document, nameOf(dir.path / typed));
        click(*view, "saveProgramming");
    }
    EXPECT_TRUE(fs::exists(dir.path / "a.qvx"));
    EXPECT_TRUE(fs::exists(dir.path / "b.qvx"));
    EXPECT_FALSE(fs::exists(dir.path / "b.qvx.qvx"));
    EXPECT_TRUE(fs::exists(dir.path / "c.QVX.qvx"));
    EXPECT_FALSE(fs::exists(dir.path / "c.QVX"));
}

TEST(ProgrammingSave, AsksBeforeReplacingTheFileWithTheFinalName) {
    const TempDir dir;
    SimulatedQvx qvx;
    writeFile(dir.path / "alt.qvx", "old");
    auto view = makeView(qvx.document, nameOf(dir.path / "alt"));
    {
        const MessageBoxAnswerer answerer(QMessageBox::No);
        click(*view, "saveProgramming");
        ASSERT_EQ(answerer.seen().size(), 1U);
        EXPECT_EQ(answerer.seen()[0].title, QString::fromUtf8("Speichern unter bestätigen"));
        EXPECT_EQ(answerer.seen()[0].text,
                  QString::fromUtf8("%1 ist bereits vorhanden.\nMöchten Sie sie ersetzen?")
                      .arg(nameOf(dir.path / "alt.qvx")));
        EXPECT_EQ(answerer.seen()[0].defaultButton, QMessageBox::No);
    }
    EXPECT_EQ(readFile(dir.path / "alt.qvx"), "old");

    const MessageBoxAnswerer answerer(QMessageBox::Yes);
    click(*view, "saveProgramming");
    EXPECT_EQ(answerer.seen().size(), 1U);
    EXPECT_EQ(readFile(dir.path / "alt.qvx").rfind("[PROGRAMMIERUNG]\n", 0), 0U);
}

TEST(ProgrammingSave, AFailedWriteIsReportedAndKeepsTheOldFile) {
    const TempDir dir;
    SimulatedQvx qvx;
    writeFile(dir.path / "fest.qvx", "old");
    fs::permissions(dir.path / "fest.qvx", fs::perms::owner_read | fs::perms::group_read);
    auto view = makeView(qvx.document, nameOf(dir.path / "fest.qvx"));
    const MessageBoxAnswerer answerer(QMessageBox::Yes);
    click(*view, "saveProgramming");
    ASSERT_EQ(answerer.seen().size(), 2U);
    EXPECT_EQ(answerer.seen()[1].text, QString("Die Datei %1 konnte nicht geschrieben werden.")
                                           .arg(nameOf(dir.path / "fest.qvx")));
    EXPECT_EQ(readFile(dir.path / "fest.qvx"), "old");
}

TEST(ProgrammingSave, IsRefusedWhenTheControllerValuesCannotBeRead) {
    const TempDir dir;
    const QString refusal = QString::fromUtf8(
        "Die Programmierung kann nicht gesichert werden, weil die Werte der QVX nicht gelesen "
        "werden konnten.");
    {
        CQvx_controllerDoc offline;
        auto view = makeView(offline);
        int asked = 0;
        view->setFileDialogs({[&](QWidget*) {
                                  ++asked;
                                  return nameOf(dir.path / "offline");
                              },
                              {}});
        const MessageBoxAnswerer answerer;
        click(*view, "saveProgramming");
        EXPECT_EQ(answerer.texts(), QStringList{refusal});
        EXPECT_EQ(asked, 0) << "offline, no name is asked for";
    }
    FailingQvx qvx;
    qvx.failEepromRead(1);
    auto view = makeView(qvx.document, nameOf(dir.path / "failing"));
    const MessageBoxAnswerer answerer;
    click(*view, "saveProgramming");
    EXPECT_EQ(answerer.texts(), QStringList{refusal});
    EXPECT_TRUE(fs::is_empty(dir.path));
}

// ---- Round trips --------------------------------------------------------------------------

struct UnitCase {
    const char* name;
    CalibrationMode mode;
    int inch;
    const char* unitLine;
    float toleranceMv;  // two decimals of the unit, and the converter's truncation
};

void PrintTo(const UnitCase& unit, std::ostream* out) {
    *out << unit.name;
}

class ProgrammingRoundTrip : public ::testing::TestWithParam<UnitCase> {};

TEST_P(ProgrammingRoundTrip, RestoresThresholdsModeToleranceTextsAndDisplayUnit) {
    const UnitCase& unit = GetParam();
    const TempDir dir;
    SimulatedQvx qvx;
    qvx.setInputRecordMv(kRecordMv);
    qvx.setStatusByte(0x01);
    qvx.document.link().calibration().setMode(unit.mode);
    qvx.document.inchUnit = unit.inch;
    const fs::path file = dir.path / "runde.qvx";
    auto view = makeView(qvx.document, nameOf(file), nameOf(file));
    type(*view, "underTolerance", "1.5");
    type(*view, "overTolerance", "2.5");
    click(*view, "saveProgramming");
    EXPECT_NE(readFile(file).find(unit.unitLine), std::string::npos) << readFile(file);
    const std::array<int, 5> saved = qvx.inputRecord();

    // Another programming and another display unit in between.
    qvx.setInputRecordMv({1000.0F, 1000.0F, 1000.0F, 1000.0F, 1000.0F});
    qvx.setStatusByte(0x00);
    qvx.document.link().calibration().setMode(unit.mode == CalibrationMode::Millivolt
                                                  ? CalibrationMode::Calibrated
                                                  : CalibrationMode::Millivolt);
    qvx.document.inchUnit = 0;
    type(*view, "underTolerance", "9");
    (void)qvx.takeWrites();
    {
        // Tenths of an inch are not the length unit now shown: the unit is asked for, the
        // file's own preselected.
        const MessageBoxAnswerer answerer(QString::fromUtf8("1/10 ''"));
        click(*view, "restoreProgramming");
        const bool asked = unit.inch == 1;
        ASSERT_EQ(answerer.seen().size(), asked ? 1U : 0U);
        if (asked) {
            EXPECT_EQ(answerer.seen()[0].defaultText, QString::fromUtf8("1/10 ''"));
        }
    }

    expectSameThresholds(qvx.inputRecord(), saved, unit.toleranceMv);
    EXPECT_EQ(qvx.statusByte(), 0x81);
    EXPECT_EQ(qvx.document.link().calibration().getMode(), unit.mode);
    EXPECT_EQ(qvx.document.inchUnit, unit.inch);
    EXPECT_EQ(textOf(*view, "underTolerance"), "1.5");
    EXPECT_EQ(textOf(*view, "overTolerance"), "2.5");
    const std::vector<Write> writes = qvx.takeWrites();
    ASSERT_EQ(writes.size(), 2U) << "the record and the status byte";
    EXPECT_EQ(writes[0].address, 1);
    EXPECT_EQ(writes[1].address, 37);
}

INSTANTIATE_TEST_SUITE_P(
    Units, ProgrammingRoundTrip,
    ::testing::Values(UnitCase{"Millivolt", CalibrationMode::Millivolt, 0, "Unit=volt\n", 1.3F},
                      UnitCase{"Millimetre", CalibrationMode::Calibrated, 0, "Unit=mm\n", 2.5F},
                      UnitCase{"TenthInch", CalibrationMode::Calibrated, 1, "Unit=inch\n", 4.0F}),
    [](const ::testing::TestParamInfo<UnitCase>& param) { return std::string(param.param.name); });

TEST(ProgrammingRestore, AnMmFileInTenthsOfAnInchDisplayAsksForTheUnitBeforeWriting) {
    const TempDir dir;
    SimulatedQvx qvx;
    qvx.setInputRecordMv(kRecordMv);
    const std::array<int, 5> before = qvx.inputRecord();
    const fs::path file = dir.path / "alt.qvx";
    // Numbers that lie inside the table in either unit (11.5 tenths are 29.2 mm).
    writeFile(file, "[PROGRAMMIERUNG]\nZu=1\nA=10\nB=10.5\nC=11\nAuf=11.5\nUnit=mm\n");
    auto view = makeView(qvx.document, {}, nameOf(file));
    qvx.document.link().calibration().setMode(CalibrationMode::Calibrated);
    qvx.document.inchUnit = 1;
    (void)qvx.takeWrites();
    {
        const MessageBoxAnswerer answerer(QMessageBox::Cancel);
        click(*view, "restoreProgramming");
        ASSERT_EQ(answerer.seen().size(), 1U);
        const MessageBoxAnswerer::Seen& question = answerer.seen()[0];
        EXPECT_EQ(question.text, QString::fromUtf8(qvx::views::texts::kRestoreUnitQuestion)
                                     .arg(nameOf(file), "mm", QString::fromUtf8("1/10 ''")));
        EXPECT_EQ(question.buttonTexts.size(), 3);
        EXPECT_TRUE(question.buttonTexts.contains("mm"));
        EXPECT_TRUE(question.buttonTexts.contains(QString::fromUtf8("1/10 ''")));
        EXPECT_EQ(question.defaultText, "mm") << "the file's unit is preselected";
    }
    EXPECT_TRUE(qvx.takeWrites().empty()) << "cancelled: nothing is written";
    EXPECT_EQ(qvx.inputRecord(), before);

    {
        const MessageBoxAnswerer answerer(QStringLiteral("mm"));
        click(*view, "restoreProgramming");
        EXPECT_EQ(answerer.seen().size(), 1U);
    }
    EXPECT_NEAR(mvOf(qvx.inputRecord()[3]), 3066.7F, 2.0F);  // 10 mm
    EXPECT_EQ(qvx.document.inchUnit, 1) << "the display stays in tenths of an inch";

    {
        const MessageBoxAnswerer answerer(QString::fromUtf8("1/10 ''"));
        click(*view, "restoreProgramming");
        EXPECT_EQ(answerer.seen().size(), 1U);
    }
    EXPECT_NEAR(mvOf(qvx.inputRecord()[3]), 1511.1F, 2.0F);  // 10 tenths: 25.4 mm

    // In millimetre display the file's unit is not in doubt.
    qvx.document.inchUnit = 0;
    click(*view, "restoreProgramming");
    EXPECT_NEAR(mvOf(qvx.inputRecord()[3]), 3066.7F, 2.0F);
    EXPECT_EQ(qvx.document.link().calibration().getMode(), CalibrationMode::Calibrated);
}

TEST(ProgrammingRestore, AFailedStatusReadWritesNothingAndKeepsTheDisplayMode) {
    const TempDir dir;
    FailingQvx qvx;
    qvx.failRamRead(37);
    const fs::path file = dir.path / "bereich.qvx";
    writeFile(file, "[PROGRAMMIERUNG]\nZu=3600\nA=3100\nB=2300\nC=1500\nAuf=1100\nRange=BEREICH\n");
    qvx.document.link().calibration().setMode(CalibrationMode::Calibrated);
    auto view = makeView(qvx.document, {}, nameOf(file));
    const MessageBoxAnswerer answerer;
    click(*view, "restoreProgramming");
    EXPECT_EQ(
        answerer.texts(),
        QStringList{QString::fromUtf8(qvx::views::texts::kRestoreStatusNotRead).arg(nameOf(file))});
    EXPECT_TRUE(qvx.writes().empty());
    EXPECT_EQ(qvx.document.link().calibration().getMode(), CalibrationMode::Calibrated);
}

TEST(ProgrammingRestore, ValuesOutsideTheSensorRangeAreWrittenAsItsEndsAndReported) {
    const TempDir dir;
    SimulatedQvx qvx;
    const fs::path file = dir.path / "weit.qvx";
    writeFile(file, "[PROGRAMMIERUNG]\nZu=3600\nA=3100\nB=2300\nC=-1\nAuf=5200\n");
    auto view = makeView(qvx.document, {}, nameOf(file));
    const MessageBoxAnswerer answerer;
    click(*view, "restoreProgramming");
    EXPECT_EQ(answerer.texts(),
              QStringList{QString::fromUtf8(qvx::views::texts::kThresholdsClamped)
                              .arg("Aus<-->Auf : 5000.00 mV\nAuf<-->C : 0.00 mV")});
    EXPECT_EQ(qvx.inputRecord()[0], rawOf(5000.0F));
    EXPECT_EQ(qvx.inputRecord()[1], rawOf(0.0F));
}

TEST(ProgrammingRestore, ReadsTheProgrammingSectionOfADeviceBackup) {
    const TempDir dir;
    SimulatedQvx qvx;
    qvx::document::DeviceBackup backup;
    backup.programming.thresholds = {"1000.00", "1400.00", "2200.00", "3000.00", "3500.00"};
    backup.programming.rangeMode = true;
    backup.programming.underTolerance = "7";
    const fs::path file = dir.path / "geraet.qvx";
    writeFile(file, qvx::document::deviceBackupText(backup));
    auto view = makeView(qvx.document, {}, nameOf(file));
    click(*view, "restoreProgramming");
    EXPECT_NEAR(mvOf(qvx.inputRecord()[0]), 1000.0F, 2.0F);
    EXPECT_NEAR(mvOf(qvx.inputRecord()[4]), 3500.0F, 2.0F);
    EXPECT_EQ(qvx.statusByte() & 0x01, 0x01);
    EXPECT_EQ(textOf(*view, "underTolerance"), "7");
}

TEST(ProgrammingRestore, TakesAHandWrittenFileWithBlanksLowerCaseRangeAndUpperCaseUnit) {
    const TempDir dir;
    SimulatedQvx qvx;
    const fs::path file = dir.path / "hand.qvx";
    writeFile(file,
              "; by hand\r\n[programmierung]\r\n  Zu =  2 \r\nA=8\r\n B = 15\r\nC=\t20  \r\n"
              "Auf=28\r\nRange = schaltpunkt\r\nUnit = MM\r\ntoleranzunter = 3 \r\n");
    auto view = makeView(qvx.document, {}, nameOf(file));
    click(*view, "restoreProgramming");
    EXPECT_EQ(qvx.document.link().calibration().getMode(), CalibrationMode::Calibrated);
    EXPECT_EQ(qvx.statusByte(), 0x81) << "only SCHALTPUNKT selects switch-point mode";
    EXPECT_NEAR(mvOf(qvx.inputRecord()[0]), 1222.2F, 2.0F);  // Auf: 28 mm
    EXPECT_NEAR(mvOf(qvx.inputRecord()[4]), 3815.4F, 2.0F);  // Zu: 2 mm
    EXPECT_EQ(textOf(*view, "underTolerance"), "3");
    EXPECT_EQ(textOf(*view, "overTolerance"), "");
}

TEST(ProgrammingRestore, RefusesFilesItCannotRestoreWholeAndChangesNothing) {
    const TempDir dir;
    SimulatedQvx qvx;
    qvx.setInputRecordMv(kRecordMv);
    const std::array<int, 5> before = qvx.inputRecord();
    struct Case {
        const char* file;
        const char* content;  // nullptr: the file does not exist
        const char* message;
    };
    const Case cases[] = {
        {"fehlt.qvx", nullptr, "Die Datei %1 konnte nicht gelesen werden."},
        {"leer.qvx", "[Globals]\nZu=1000\n", "Die Datei %1 enthält keine Programmierung."},
        {"kaputt.qvx", "[PROGRAMMIERUNG]\nZu=1000\nA=2000\nB=abc\nC=1500\nAuf=1200\n",
         "Die Datei %1 enthält bei \"B\" keine gültige Zahl."},
        {"luecke.qvx", "[PROGRAMMIERUNG]\nZu=1000\nA=2000\nB=1700\nAuf=1200\n",
         "Die Datei %1 enthält bei \"C\" keine gültige Zahl."},
        {"punkte.qvx", "[PROGRAMMIERUNG]\nZu=1\nA=2\nB=3\nC=4\nAuf=5\nUnit=mm\n",
         "Die Datei %1 enthält Längen. Die Kalibriertabelle braucht dafür mindestens zwei "
         "Stützpunkte."},
    };
    qvx.document.link().calibration().setCount(1);  // too few for lengths
    (void)qvx.takeWrites();
    for (const Case& c : cases) {
        const fs::path file = dir.path / c.file;
        if (c.content != nullptr) {
            writeFile(file, c.content);
        }
        auto view = makeView(qvx.document, {}, nameOf(file));
        const MessageBoxAnswerer answerer;
        click(*view, "restoreProgramming");
        EXPECT_EQ(answerer.texts(), QStringList{QString::fromUtf8(c.message).arg(nameOf(file))});
        EXPECT_TRUE(qvx.takeWrites().empty()) << c.file;
    }
    // Without support points no length unit helps: refused before the unit is asked for.
    qvx.document.inchUnit = 1;
    {
        const fs::path file = dir.path / "punkte.qvx";
        auto view = makeView(qvx.document, {}, nameOf(file));
        const MessageBoxAnswerer answerer;
        click(*view, "restoreProgramming");
        EXPECT_EQ(answerer.texts(),
                  QStringList{QString::fromUtf8(cases[4].message).arg(nameOf(file))});
    }
    EXPECT_TRUE(qvx.takeWrites().empty());
    EXPECT_EQ(qvx.inputRecord(), before);
    EXPECT_EQ(qvx.document.link().calibration().getMode(), CalibrationMode::Millivolt);
}

TEST(ProgrammingRestore, TenthsOfAnInchSetTheUnitMenuOfTheFrame) {
    const TempDir dir;
    SimulatedQvx qvx;
    const fs::path file = dir.path / "zoll.qvx";
    writeFile(file, "[PROGRAMMIERUNG]\nZu=2\nA=4\nB=6\nC=8\nAuf=10\nUnit=inch\n");
    qvx::app::CMainFrame frame(qvx.document);
    frame.SwitchView(qvx::app::CMainFrame::kProgramming);
    auto* view = qobject_cast<CViewProgrammierung*>(frame.lowerView());
    ASSERT_NE(view, nullptr);
    view->setFileDialogs({{}, [&file](QWidget*) { return nameOf(file); }});
    auto* millimetres = frame.findChild<QAction*>("unitMillimetres");
    auto* tenths = frame.findChild<QAction*>("unitTenthInches");
    ASSERT_TRUE(millimetres != nullptr && tenths != nullptr);
    ASSERT_TRUE(millimetres->isChecked());
    {
        const MessageBoxAnswerer answerer(QString::fromUtf8("1/10 ''"));
        click(*view, "restoreProgramming");
        EXPECT_EQ(answerer.seen().size(), 1U) << "millimetres are shown: the unit is asked for";
    }
    EXPECT_EQ(qvx.document.inchUnit, 1);
    EXPECT_TRUE(tenths->isChecked());
    EXPECT_FALSE(millimetres->isChecked());
}

TEST(ProgrammingFiles, RoundTripUnderAGermanLocaleUsesDecimalPoints) {
    const GermanLocale german;
    if (!german.available()) {
        GTEST_SKIP() << "no German locale on this machine";
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5") << "the German locale is not in effect";

    const TempDir dir;
    SimulatedQvx qvx;
    qvx.setInputRecordMv(kRecordMv);
    qvx.document.link().calibration().setMode(CalibrationMode::Calibrated);
    qvx.document.underTolerance = 0.5F;
    const fs::path file = dir.path / "deutsch.qvx";
    auto view = makeView(qvx.document, nameOf(file), nameOf(file));
    EXPECT_EQ(textOf(*view, "underTolerance"), "0.5");
    qvx.document.gripperDisplay = 12.5F;
    click(*view, "teach1");
    EXPECT_EQ(textOf(*view, "entry1"), "   12.50");
    click(*view, "writeValues");
    // 12.5 mm lies between (2800 mV, 12.8 mm) and (3400 mV, 6.5 mm).
    EXPECT_NEAR(mvOf(qvx.inputRecord()[0]), 2828.6F, 2.0F);
    const std::array<int, 5> written = qvx.inputRecord();

    click(*view, "saveProgramming");
    const std::string text = readFile(file);
    EXPECT_EQ(text.find(','), std::string::npos) << text;
    EXPECT_NE(text.find("\nAuf=   12."), std::string::npos) << text;
    qvx.setInputRecordMv({1000.0F, 1000.0F, 1000.0F, 1000.0F, 1000.0F});
    click(*view, "restoreProgramming");
    expectSameThresholds(qvx.inputRecord(), written, 2.5F);
}

TEST(ProgrammingFiles, TheStandardDialogsOfferQvxFilesAndOpenOnlyExistingOnes) {
    SimulatedQvx qvx;
    CViewProgrammierung view(qvx.document);  // with its own dialogs
    view.show();
    view.OnInitialUpdate();
    std::vector<std::pair<QStringList, QFileDialog::FileMode>> seen;
    QTimer closer;
    closer.setInterval(5);
    QObject::connect(&closer, &QTimer::timeout, [&seen] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            seen.emplace_back(dialog->nameFilters(), dialog->fileMode());
            dialog->reject();
        }
    });
    closer.start();
    const MessageBoxAnswerer answerer;
    click(view, "saveProgramming");
    click(view, "restoreProgramming");
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_EQ(seen[0].first, QStringList{"Qvx Konfigurationsdateien (*.qvx)"});
    EXPECT_EQ(seen[1].first, QStringList{"Qvx Konfigurationsdateien (*.qvx)"});
    EXPECT_EQ(seen[1].second, QFileDialog::ExistingFile);
    EXPECT_TRUE(answerer.seen().empty()) << "cancelling is silent";
}
