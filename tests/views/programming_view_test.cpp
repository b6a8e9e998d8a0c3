// The programming view's commands against the simulated controller: what each one writes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "tests/views/programming_test_support.h"
#include "views/view_programmierung.h"
#include "views/view_texts.h"

using namespace qvx::views::test;
using qvx::document::CQvx_controllerDoc;
using qvx::link::CalibrationMode;
using qvx::views::CViewProgrammierung;

namespace {

constexpr int kWriteEeprom = 4;
constexpr int kWriteRam = 6;

std::array<int, 5> wordsOf(const Write& write) {
    std::array<int, 5> words{};
    EXPECT_EQ(write.data.size(), 10U);
    for (std::size_t i = 0; i < words.size() && 2 * i + 1 < write.data.size(); ++i) {
        words[i] = (write.data[2 * i] << 8) | write.data[2 * i + 1];
    }
    return words;
}

QString labelText(QWidget& view, const char* name) {
    auto* label = view.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<missing>");
}

QString buttonText(QWidget& view, const char* name) {
    auto* button = view.findChild<QPushButton*>(QString::fromLatin1(name));
    return button != nullptr ? button->text() : QStringLiteral("<missing>");
}

}  // namespace

// ---- Form ---------------------------------------------------------------------------------

TEST(ProgrammingForm, ShowsTheTransitionsLeftToRightAndTheFixedTexts) {
    CQvx_controllerDoc document;
    auto view = makeView(document);
    const QStringList transitions{"Aus<-->Auf", "Auf<-->C", "C<-->B", "B<-->A", "A<-->Zu"};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(buttonText(*view, QStringLiteral("teach%1").arg(k + 1).toLatin1()),
                  transitions[k]);
    }
    EXPECT_EQ(labelText(*view, "teachLabel"), "Aktuellen Greiferwert lernen");
    EXPECT_EQ(labelText(*view, "inputMemoryLabel"), "QVX Eingangsspeicher");
    EXPECT_EQ(labelText(*view, "saveAsLabel"), "Speichern als");
    EXPECT_EQ(buttonText(*view, "switchPointMode"), "Schaltpunkt");
    EXPECT_EQ(buttonText(*view, "rangeMode"), "Bereich");
    EXPECT_EQ(buttonText(*view, "writeValues"), QString::fromUtf8("Werte in QVX übernehmen"));
    EXPECT_EQ(buttonText(*view, "programTolerances"), "Toleranzprogrammierung");
    EXPECT_EQ(buttonText(*view, "saveProgramming"), "Programmierung sichern");
    EXPECT_EQ(buttonText(*view, "restoreProgramming"), "Programmierung wieder einlesen");
    for (int k = 1; k <= 5; ++k) {
        auto* display = view->findChild<QLineEdit*>(QStringLiteral("inputMemory%1").arg(k));
        ASSERT_NE(display, nullptr);
        EXPECT_FALSE(display->isEnabled());
    }
}

TEST(ProgrammingForm, UnitLabelsFollowTheModeAndTolerancesStayMillimetresInInchDisplay) {
    struct Case {
        CalibrationMode mode;
        int inch;
        const char* entry;
        const char* under;
        const char* over;
    };
    const Case cases[] = {
        {CalibrationMode::Millivolt, 0, "Werte Eingabe in mV", "Untertoleranz in mV",
         "Übertoleranz in mV"},
        {CalibrationMode::Millivolt, 1, "Werte Eingabe in mV", "Untertoleranz in mV",
         "Übertoleranz in mV"},
        {CalibrationMode::Calibrated, 0, "Werte Eingabe in mm", "Untertoleranz in mm",
         "Übertoleranz in mm"},
        {CalibrationMode::Calibrated, 1, "Werte Eingabe in 1/10 ''", "Untertoleranz in mm",
         "Übertoleranz in mm"},
    };
    CQvx_controllerDoc document;
    auto view = makeView(document);
    for (const Case& c : cases) {
        document.link().calibration().setMode(c.mode);
        document.inchUnit = c.inch;
        view->OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
        EXPECT_EQ(labelText(*view, "entryLabel"), QString::fromUtf8(c.entry)) << c.inch;
        EXPECT_EQ(labelText(*view, "underToleranceLabel"), QString::fromUtf8(c.under)) << c.inch;
        EXPECT_EQ(labelText(*view, "overToleranceLabel"), QString::fromUtf8(c.over)) << c.inch;
    }
}

TEST(ProgrammingForm, DisplaysFollowTheInputMemoryInTheDisplayUnit) {
    SimulatedQvx qvx;
    qvx.setInputRecordMv({1100.0F, 1500.0F, 2300.0F, 3100.0F, 3600.0F});
    CViewProgrammierung early(qvx.document);
    early.OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
    EXPECT_EQ(textOf(early, "inputMemory1"), "") << "updates before the initial update count";

    auto view = makeView(qvx.document);
    EXPECT_NEAR(textOf(*view, "inputMemory1").toFloat(), 1100.0F, 1.3F);
    EXPECT_NEAR(textOf(*view, "inputMemory5").toFloat(), 3600.0F, 1.3F);
    EXPECT_EQ(textOf(*view, "inputMemory1").size(), 8) << "formatted %8.2f";

    // 1100 mV lies between the support points (1000 mV, 30 mm) and (1600 mV, 24.6 mm).
    qvx.document.link().calibration().setMode(CalibrationMode::Calibrated);
    view->OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
    EXPECT_NEAR(textOf(*view, "inputMemory1").toFloat(), 29.1F, 0.02F);
    qvx.document.inchUnit = 1;
    view->OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
    EXPECT_NEAR(textOf(*view, "inputMemory1").toFloat(), 29.1F / 2.54F, 0.02F);
}

TEST(ProgrammingForm, WithoutAConnectionTheDisplaysShowTheRawValueZero) {
    CQvx_controllerDoc document;
    auto view = makeView(document);
    view->OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
    for (const char* display : {"inputMemory1", "inputMemory3", "inputMemory5"}) {
        EXPECT_EQ(textOf(*view, display), " 5000.00");
    }
}

// ---- Teaching -----------------------------------------------------------------------------

TEST(ProgrammingTeach, CopiesTheGripperValueAsShownAndKeepsItInTheDocument) {
    CQvx_controllerDoc document;
    auto view = makeView(document);
    click(*view, "teach3");  // nothing polled yet: the value 0
    EXPECT_EQ(textOf(*view, "entry3"), "    0.00");
    EXPECT_EQ(document.teachText[2], "    0.00");

    document.gripperDisplay = 1234.567F;
    click(*view, "teach1");
    EXPECT_EQ(textOf(*view, "entry1"), " 1234.57");
    type(*view, "entry5", "2222");

    view = makeView(document);  // the view is created anew when it is selected again
    EXPECT_EQ(textOf(*view, "entry1"), " 1234.57");
    EXPECT_EQ(textOf(*view, "entry3"), "    0.00");
    EXPECT_EQ(textOf(*view, "entry5"), "2222");
}

// ---- "Werte in QVX übernehmen" -------------------------------------------------------------

TEST(ProgrammingWriteValues, EmptyEntriesKeepTheValuesReadAndOnlyTheRecordIsWritten) {
    SimulatedQvx qvx;
    auto view = makeView(qvx.document);
    const std::array<int, 5> before = qvx.inputRecord();
    (void)qvx.takeWrites();

    click(*view, "writeValues");  // all entries empty: what was read goes back
    std::vector<Write> writes = qvx.takeWrites();
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_EQ(writes[0].code, kWriteEeprom);
    EXPECT_EQ(writes[0].address, 1);
    EXPECT_EQ(wordsOf(writes[0]), before);

    type(*view, "entry2", "2000");
    type(*view, "entry4", "  3000.5");
    type(*view, "entry5", "   ");  // blanks only: nothing entered
    click(*view, "writeValues");
    writes = qvx.takeWrites();
    ASSERT_EQ(writes.size(), 1U);
    const std::array<int, 5> words = wordsOf(writes[0]);
    EXPECT_EQ(words[0], before[0]);
    EXPECT_EQ(words[2], before[2]);
    EXPECT_EQ(words[4], before[4]);
    EXPECT_NEAR(mvOf(words[1]), 2000.0F, 1.3F);
    EXPECT_NEAR(mvOf(words[3]), 3000.5F, 1.3F);
    EXPECT_EQ(qvx.inputRecord(), words);
}

TEST(ProgrammingWriteValues, LengthEntriesGoThroughTheTableAndTenthsOfAnInchAreScaled) {
    SimulatedQvx qvx;
    qvx.document.link().calibration().setMode(CalibrationMode::Calibrated);
    auto view = makeView(qvx.document);
    type(*view, "entry1", "10");

    // 10 mm lies between (2800 mV, 12.8 mm) and (3400 mV, 6.5 mm).
    click(*view, "writeValues");
    std::vector<Write> writes = qvx.takeWrites();
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_NEAR(mvOf(wordsOf(writes[0])[0]), 3066.7F, 2.0F);

    // 10 tenths of an inch are 25.4 mm, between (1000 mV, 30 mm) and (1600 mV, 24.6 mm).
    qvx.document.inchUnit = 1;
    click(*view, "writeValues");
    writes = qvx.takeWrites();
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_NEAR(mvOf(wordsOf(writes[0])[0]), 1511.1F, 2.0F);
}

TEST(ProgrammingWriteValues, AnEntryThatIsNoNumberIsRefusedAndNothingIsWritten) {
    SimulatedQvx qvx;
    auto view = makeView(qvx.document);
    type(*view, "entry1", "2000");
    for (const char* entry : {"12,5", "abc", "1500 mV"}) {
        type(*view, "entry3", QString::fromLatin1(entry));
        (void)qvx.takeWrites();
        const MessageBoxAnswerer answerer;
        click(*view, "writeValues");
        EXPECT_EQ(answerer.texts(), QStringList{"Geben Sie bitte eine Zahl ein."}) << entry;
        EXPECT_TRUE(qvx.takeWrites().empty()) << entry;
        EXPECT_EQ(view->focusWidget(), view->findChild<QLineEdit*>("entry3"));
    }
}

TEST(ProgrammingWriteValues, LengthModeWithFewerThanTwoSupportPointsWritesNothingAndSaysWhy) {
    SimulatedQvx qvx;
    qvx.document.link().calibration().setCount(1);
    qvx.document.link().calibration().setMode(CalibrationMode::Calibrated);
    auto view = makeView(qvx.document);
    type(*view, "entry1", "10");
    type(*view, "underTolerance", "1");
    type(*view, "overTolerance", "1");
    (void)qvx.takeWrites();
    const MessageBoxAnswerer answerer;
    click(*view, "writeValues");
    click(*view, "programTolerances");
    EXPECT_TRUE(qvx.takeWrites().empty());
    EXPECT_EQ(answerer.texts(),
              (QStringList{QString::fromUtf8(qvx::views::texts::kWriteValuesNeedsCalibration),
                           QString::fromUtf8(qvx::views::texts::kTolerancesNeedsCalibration)}));
}

TEST(ProgrammingWriteValues, ValuesOutsideTheSensorRangeAreWrittenAsItsEndsAndReported) {
    SimulatedQvx qvx;
    auto view = makeView(qvx.document);
    type(*view, "entry1", "6000");
    type(*view, "entry3", "2000");
    type(*view, "entry5", "-50");
    (void)qvx.takeWrites();
    {
        const MessageBoxAnswerer answerer;
        click(*view, "writeValues");
        EXPECT_EQ(answerer.texts(),
                  QStringList{QString::fromUtf8(qvx::views::texts::kThresholdsClamped)
                                  .arg("Aus<-->Auf : 5000.00 mV\nA<-->Zu : 0.00 mV")});
    }
    const std::array<int, 5> record = qvx.inputRecord();
    EXPECT_EQ(record[0], rawOf(5000.0F));
    EXPECT_EQ(record[4], rawOf(0.0F));
    EXPECT_NEAR(mvOf(record[2]), 2000.0F, 1.3F);

    // In length mode the value written is the length of the voltage at the range's end.
    qvx.document.link().calibration().setMode(CalibrationMode::Calibrated);
    type(*view, "entry1", "");
    type(*view, "entry3", "");
    type(*view, "entry5", "-100");
    const MessageBoxAnswerer answerer;
    click(*view, "writeValues");
    float written = 0.0F;
    ASSERT_TRUE(qvx.document.link().calibration().RawToDisplay(
        static_cast<std::uint16_t>(rawOf(5000.0F)), written));
    EXPECT_EQ(answerer.texts(),
              QStringList{QString::fromUtf8(qvx::views::texts::kThresholdsClamped)
                              .arg(QStringLiteral("A<-->Zu : %1 mm").arg(written, 0, 'f', 2))});
    EXPECT_EQ(qvx.inputRecord()[4], rawOf(5000.0F));
}

// ---- Switching mode -----------------------------------------------------------------------

TEST(ProgrammingMode, ButtonsChangeOnlyTheRangeBitAndAlwaysSetBitSeven) {
    SimulatedQvx qvx;
    auto view = makeView(qvx.document);
    qvx.setStatusByte(0x1F);
    (void)qvx.takeWrites();
    click(*view, "switchPointMode");
    EXPECT_EQ(qvx.takeWrites(), (std::vector<Write>{{kWriteRam, 37, {0x9E}}}));
    EXPECT_EQ(qvx.statusByte(), 0x9E);

    qvx.setStatusByte(0x1E);
    click(*view, "rangeMode");
    EXPECT_EQ(qvx.takeWrites(), (std::vector<Write>{{kWriteRam, 37, {0x9F}}}));
}

TEST(ProgrammingMode, ButtonsKeepTheRecordingBitsFiveAndSix) {
    // A plain memory: the simulator would start a recording on bit 6 and change the byte.
    FailingQvx qvx;
    auto view = makeView(qvx.document);
    qvx.setRam(37, 0x61);
    click(*view, "switchPointMode");
    qvx.setRam(37, 0x60);
    click(*view, "rangeMode");
    EXPECT_EQ(qvx.writes(), (std::vector<Write>{{kWriteRam, 37, {0xE0}}, {kWriteRam, 37, {0xE1}}}));
}

// ---- Tolerance programming ----------------------------------------------------------------

TEST(ProgrammingTolerances, MillivoltBandAroundTheGripperEndsInSwitchPointMode) {
    SimulatedQvx qvx;
    qvx.setInputRecordMv({1100.0F, 1500.0F, 2300.0F, 3100.0F, 3600.0F});
    qvx.setStatusByte(0x01);
    auto view = makeView(qvx.document);
    const std::array<int, 5> before = qvx.inputRecord();
    type(*view, "underTolerance", "100");
    type(*view, "overTolerance", "200");
    (void)qvx.takeWrites();
    const MessageBoxAnswerer answerer;
    click(*view, "programTolerances");

    EXPECT_TRUE(answerer.seen().empty()) << "the band keeps the order";
    const std::vector<Write> writes = qvx.takeWrites();
    ASSERT_GE(writes.size(), 4U);
    EXPECT_EQ(writes[0].address, 1);
    const std::array<int, 5> words = wordsOf(writes[0]);
    EXPECT_EQ(words[0], before[0]);
    EXPECT_EQ(words[1], before[1]);
    EXPECT_EQ(words[4], before[4]);
    EXPECT_NEAR(mvOf(words[2]), 2400.0F, 2.0F);  // C<-->B: gripper - under
    EXPECT_NEAR(mvOf(words[3]), 2700.0F, 2.0F);  // B<-->A: gripper + over
    EXPECT_EQ(writes[1], (Write{kWriteRam, 37, {0x80}}));
    EXPECT_EQ(writes[2].address, 354);  // under-tolerance cell
    EXPECT_EQ(writes[3].address, 352);  // over-tolerance cell
    EXPECT_EQ(qvx.statusByte(), 0x80);
    EXPECT_EQ(qvx.document.underTolerance, 100.0F);
    EXPECT_EQ(qvx.document.overTolerance, 200.0F);
}

TEST(ProgrammingTolerances, LengthBandUsesMillimetresAlsoInInchDisplay) {
    SimulatedQvx qvx;
    qvx.setInputRecordMv({1100.0F, 1500.0F, 2300.0F, 3100.0F, 3600.0F});
    qvx.holdGripperMv(2200.0);  // 18.9 mm
    qvx.document.link().calibration().setMode(CalibrationMode::Calibrated);
    qvx.document.inchUnit = 1;
    auto view = makeView(qvx.document);
    type(*view, "underTolerance", "1");
    type(*view, "overTolerance", "2");
    (void)qvx.takeWrites();
    click(*view, "programTolerances");

    const std::vector<Write> writes = qvx.takeWrites();
    ASSERT_FALSE(writes.empty());
    const std::array<int, 5> words = wordsOf(writes[0]);
    EXPECT_NEAR(mvOf(words[2]), 1989.5F, 3.0F);  // 20.9 mm: gripper + over
    EXPECT_NEAR(mvOf(words[3]), 2298.4F, 3.0F);  // 17.9 mm: gripper - under
}

TEST(ProgrammingTolerances, ABandOutOfOrderAsksAndNoLeavesTheControllerAsItWas) {
    SimulatedQvx qvx;
    qvx.setInputRecordMv({1100.0F, 1500.0F, 2300.0F, 3100.0F, 3600.0F});
    qvx.setStatusByte(0x01);
    auto view = makeView(qvx.document);
    type(*view, "underTolerance", "100");
    type(*view, "overTolerance", "1500");  // B<-->A at 4000 mV, above A<-->Zu
    const std::array<int, 5> before = qvx.inputRecord();
    (void)qvx.takeWrites();
    {
        const MessageBoxAnswerer answerer(QMessageBox::No);
        click(*view, "programTolerances");
        ASSERT_EQ(answerer.seen().size(), 1U);
        const MessageBoxAnswerer::Seen& question = answerer.seen()[0];
        EXPECT_EQ(question.title, "Achtung !");
        EXPECT_EQ(question.text, QString::fromUtf8("Die eingegebenen Werte können zu einem "
                                                   "fehlerhaften Arbeiten führen ! Wollen Sie "
                                                   "fortfahren ?"));
        EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(question.defaultButton, QMessageBox::No);
    }
    EXPECT_TRUE(qvx.takeWrites().empty());
    EXPECT_EQ(qvx.inputRecord(), before);
    EXPECT_EQ(qvx.statusByte(), 0x01);

    const MessageBoxAnswerer answerer(QMessageBox::Yes);
    click(*view, "programTolerances");
    EXPECT_EQ(answerer.seen().size(), 1U);
    EXPECT_NEAR(mvOf(qvx.inputRecord()[3]), 4000.0F, 2.0F);
    EXPECT_EQ(qvx.statusByte(), 0x80);
}

TEST(ProgrammingTolerances, ABandBeyondTheSensorRangeIsWrittenAtItsEndAndReported) {
    SimulatedQvx qvx;
    qvx.setInputRecordMv({1100.0F, 1500.0F, 2300.0F, 3100.0F, 3600.0F});
    auto view = makeView(qvx.document);
    type(*view, "underTolerance", "100");
    type(*view, "overTolerance", "3000");  // B<-->A at 5500 mV
    const MessageBoxAnswerer answerer(QMessageBox::Yes);
    click(*view, "programTolerances");
    ASSERT_EQ(answerer.texts().size(), 2);  // the order question, then what was written
    EXPECT_EQ(answerer.texts()[1],
              QString::fromUtf8(qvx::views::texts::kThresholdsClamped).arg("B<-->A : 5000.00 mV"));
    EXPECT_EQ(qvx.inputRecord()[3], rawOf(5000.0F));
}

TEST(ProgrammingTolerances, AToleranceThatIsNoNumberIsRefusedOnFocusLossAndOnProgramming) {
    SimulatedQvx qvx;
    auto view = makeView(qvx.document);
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    type(*view, "overTolerance", "viel");
    {
        const MessageBoxAnswerer answerer;
        type(*view, "entry1", "");  // the focus moves on
        QApplication::processEvents();
        EXPECT_EQ(answerer.texts(), QStringList{"Geben Sie bitte eine Zahl ein."});
    }
    (void)qvx.takeWrites();
    const MessageBoxAnswerer answerer;
    click(*view, "programTolerances");
    EXPECT_EQ(answerer.texts(), QStringList{"Geben Sie bitte eine Zahl ein."});
    EXPECT_TRUE(qvx.takeWrites().empty());
    EXPECT_EQ(view->focusWidget(), view->findChild<QLineEdit*>("overTolerance"));
}

// ---- Failed reads -------------------------------------------------------------------------

TEST(ProgrammingReadFailures, AFailedRecordReadWritesNothingAndSaysWhy) {
    FailingQvx qvx;
    qvx.failEepromRead(1);
    auto view = makeView(qvx.document);
    type(*view, "entry1", "2000");
    type(*view, "underTolerance", "10");
    type(*view, "overTolerance", "10");
    const MessageBoxAnswerer answerer;
    click(*view, "writeValues");
    click(*view, "programTolerances");
    EXPECT_TRUE(qvx.writes().empty());
    EXPECT_EQ(answerer.texts(),
              (QStringList{QString::fromUtf8(qvx::views::texts::kWriteValuesNotRead),
                           QString::fromUtf8(qvx::views::texts::kTolerancesRecordNotRead)}));
}

TEST(ProgrammingReadFailures, AFailedGripperOrStatusReadWritesNoToleranceBandAndSaysWhy) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {32, qvx::views::texts::kTolerancesGripperNotRead},
        {37, qvx::views::texts::kTolerancesStatusNotRead},
    };
    for (const auto& [cell, text] : cases) {
        FailingQvx qvx;
        qvx.failRamRead(cell);
        auto view = makeView(qvx.document);
        type(*view, "underTolerance", "10");
        type(*view, "overTolerance", "10");
        const MessageBoxAnswerer answerer;
        click(*view, "programTolerances");
        EXPECT_TRUE(qvx.writes().empty()) << cell;
        EXPECT_EQ(answerer.texts(), QStringList{QString::fromUtf8(text)}) << cell;
    }
}

TEST(ProgrammingReadFailures, AFailedStatusReadLeavesTheStatusByteAlone) {
    FailingQvx qvx;
    qvx.failRamRead(37);
    auto view = makeView(qvx.document);
    click(*view, "rangeMode");
    click(*view, "switchPointMode");
    EXPECT_TRUE(qvx.writes().empty());
}
