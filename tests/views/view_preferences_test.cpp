#include "views/view_preferences.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>

#include "link/calibration_table.h"
#include "sim/factory_eeprom.h"
#include "tests/views/view_test_support.h"
#include "views/view_texts.h"

namespace qvx::views {
namespace {

using link::CalibrationMode;
using link::CalibrationPoint;
using link::CalibrationTable;
using namespace test;

/// The calibration view on a document, shown as the active window, its messages collected.
struct Form {
    explicit Form(document::CQvx_controllerDoc& doc) : document(doc), view(doc) {
        view.setMessageSink(messages.sink());
        view.OnInitialUpdate();
        EXPECT_TRUE(activate(view));
    }
    QLineEdit* field(const char* name) {
        return view.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    QString label(const char* name) {
        return view.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    void click(const char* name) {
        QTest::mouseClick(view.findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
        settle();
    }
    /// Types into a field and leaves it for another one, as a user would.
    void enter(const char* name, const QString& text, const char* next = "amount") {
        QLineEdit* edit = field(name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        field(next)->setFocus();
        settle();
    }
    CalibrationTable& table() { return document.link().calibration(); }
    CalibrationPoint point(std::uint32_t p) {
        CalibrationPoint result;
        EXPECT_TRUE(table().getPoint(p, result));
        return result;
    }

    document::CQvx_controllerDoc& document;
    Messages messages;
    CViewPreferences view;
};

/// A table of ten points as read from a controller: lengths falling from 45 mm in 5 mm
/// steps, voltages rising, none changed.
void tenPoints(CalibrationTable& table) {
    table.setCount(10);
    for (std::uint32_t p = 1; p <= 10; ++p) {
        ASSERT_TRUE(table.setPoint(p, 500.0F + 400.0F * static_cast<float>(p),
                                   50.0F - 5.0F * static_cast<float>(p)));
        table.clearChanged(p);
    }
    table.setIndex(1);
}

TEST(CViewPreferences, RefusesACountBelowTwoAndClampsALargeOneToSixtyTwo) {
    document::CQvx_controllerDoc doc;
    tenPoints(doc.link().calibration());
    Form form(doc);
    form.enter("count", QStringLiteral("1"));
    ASSERT_EQ(form.messages.texts.size(), 1U);
    EXPECT_EQ(form.messages.texts[0], QString::fromUtf8(texts::kCalCountTooSmall));
    EXPECT_EQ(form.messages.captions[0], QStringLiteral("qvx_controller"));
    EXPECT_EQ(form.table().getCount(), 10U);
    EXPECT_EQ(form.field("count")->text(), QStringLiteral("10"));

    form.enter("count", QStringLiteral("100"));
    EXPECT_EQ(form.table().getCount(), 62U);
    EXPECT_EQ(form.field("count")->text(), QStringLiteral("62"));
    // The points a larger count brings in are saved with the table.
    EXPECT_TRUE(form.table().isChanged(62));
}

TEST(CViewPreferences, TakesANumberAboveTheCountAsTheLastPointAndZeroAsTheFirst) {
    document::CQvx_controllerDoc doc;
    tenPoints(doc.link().calibration());
    Form form(doc);
    form.enter("index", QStringLiteral("70"));
    EXPECT_EQ(form.table().getIndex(), 10U);
    EXPECT_EQ(form.field("index")->text(), QStringLiteral("10"));
    EXPECT_EQ(form.field("length")->text(), QStringLiteral("0.000"));
    EXPECT_EQ(form.field("voltage")->text(), QStringLiteral("4500.00"));

    form.enter("index", QStringLiteral("0"));
    EXPECT_EQ(form.table().getIndex(), 1U);
    EXPECT_EQ(form.field("length")->text(), QStringLiteral("45.000"));
    EXPECT_TRUE(form.messages.texts.empty());
}

TEST(CViewPreferences, ShorteningTheLastPointAddsOneWithItsVoltageAndAShorterLength) {
    document::CQvx_controllerDoc doc;
    tenPoints(doc.link().calibration());
    ASSERT_TRUE(doc.link().calibration().setPoint(10, 4500.0F, 3.0F));
    Form form(doc);
    form.enter("index", QStringLiteral("10"));
    form.enter("amount", QStringLiteral("0.5"), "length");
    form.click("shorten");
    EXPECT_EQ(form.table().getCount(), 11U);
    EXPECT_EQ(form.table().getIndex(), 11U);
    EXPECT_EQ(form.point(11).mv, 4500.0F);
    EXPECT_FLOAT_EQ(form.point(11).mm, 2.5F);
    EXPECT_TRUE(form.table().isChanged(11));
    EXPECT_EQ(form.field("count")->text(), QStringLiteral("11"));
    EXPECT_EQ(form.field("length")->text(), QStringLiteral("2.500"));

    // Inside the table the following point is overwritten and the count stays.
    form.enter("index", QStringLiteral("2"));
    form.click("shorten");
    EXPECT_EQ(form.table().getCount(), 11U);
    EXPECT_EQ(form.point(3).mv, form.point(2).mv);
    EXPECT_FLOAT_EQ(form.point(3).mm, 39.5F);
}

TEST(CViewPreferences, ShorteningAtPointSixtyTwoReportsTheLimitAndAddsNothing) {
    document::CQvx_controllerDoc doc;
    doc.link().calibration().setCount(62);
    doc.link().calibration().setIndex(62);
    Form form(doc);
    form.click("shorten");
    ASSERT_EQ(form.messages.texts.size(), 1U);
    EXPECT_EQ(form.messages.texts[0],
              QString::fromUtf8(
                  "Fehler !\n\nDie Operation konnte nicht erfolgreich beendet werden.\nGrund : Das "
                  "Programm müßte jetzt eine weitere Stützstelle hinzufügen.\nDies ist nicht "
                  "möglich, da nur maximal 62 Stützstellen erlaubt sind !"));
    EXPECT_EQ(form.table().getCount(), 62U);
    EXPECT_EQ(form.table().getIndex(), 62U);
}

TEST(CViewPreferences, RefusesLengthsAndVoltagesTheControllerCannotStore) {
    document::CQvx_controllerDoc doc;
    tenPoints(doc.link().calibration());
    Form form(doc);
    const CalibrationPoint before = form.point(1);
    // A refused field keeps the focus until it holds something storable; typing the shown
    // value again counts as untouched.
    form.enter("length", QStringLiteral("65.536"));
    EXPECT_EQ(QApplication::focusWidget(), form.field("length"));
    form.enter("length", QStringLiteral("-0.1"));
    form.enter("length", QStringLiteral("45.000"));
    form.enter("voltage", QStringLiteral("5000.5"));
    form.enter("voltage", QStringLiteral("viel"));
    EXPECT_EQ(QApplication::focusWidget(), form.field("voltage"));
    form.enter("voltage", QStringLiteral("900.00"));
    ASSERT_EQ(form.messages.texts.size(), 4U);
    EXPECT_EQ(form.messages.texts[0], QString::fromUtf8(texts::kCalLengthRangeMm));
    EXPECT_EQ(form.messages.texts[1], QString::fromUtf8(texts::kCalLengthRangeMm));
    EXPECT_EQ(form.messages.texts[2], QString::fromUtf8(texts::kCalVoltageRange));
    EXPECT_EQ(form.messages.texts[3], QString::fromUtf8(texts::kCalNotANumber));
    EXPECT_EQ(form.point(1).mm, before.mm);
    EXPECT_EQ(form.point(1).mv, before.mv);
    EXPECT_FALSE(form.table().isChanged(1));

    // A shortened length below 0 mm creates no point either.
    form.enter("index", QStringLiteral("10"));
    form.enter("amount", QStringLiteral("0.001"), "length");
    form.click("shorten");
    EXPECT_EQ(form.messages.texts.back(), QString::fromUtf8(texts::kCalShortenRangeMm));
    EXPECT_EQ(form.table().getCount(), 10U);
    EXPECT_EQ(form.table().getIndex(), 10U);

    // The limits themselves are storable.
    form.enter("length", QStringLiteral("65.535"));
    form.enter("voltage", QStringLiteral("5000"));
    EXPECT_FLOAT_EQ(form.point(10).mm, 65.535F);
    EXPECT_EQ(form.point(10).mv, 5000.0F);
}

TEST(CViewPreferences, TakesTenthsOfAnInchOnlyInLengthModeAndLabelsTheUnitAccordingly) {
    document::CQvx_controllerDoc doc;
    tenPoints(doc.link().calibration());
    doc.inchUnit = 1;
    doc.link().calibration().setMode(CalibrationMode::Calibrated);
    {
        Form form(doc);
        EXPECT_EQ(form.label("lengthUnit"), QStringLiteral("* 1/10 ''"));
        EXPECT_EQ(form.label("shortenTail"), QStringLiteral("* 1/10 '' veringern"));
        EXPECT_EQ(form.view.findChild<QPushButton*>(QStringLiteral("shorten"))->text(),
                  QStringLiteral("1/10 '' Wert"));
        form.enter("length", QStringLiteral("1,0"));
        EXPECT_FLOAT_EQ(form.point(1).mm, 2.54F);
        EXPECT_EQ(form.field("length")->text(), QStringLiteral("1.000"));
    }
    doc.link().calibration().setMode(CalibrationMode::Millivolt);
    Form form(doc);
    // In mV mode lengths are millimetres whatever the preference, and the labels say so.
    EXPECT_EQ(form.label("lengthUnit"), QStringLiteral("mm"));
    EXPECT_EQ(form.label("shortenTail"), QStringLiteral("mm veringern"));
    form.enter("length", QStringLiteral("1.0"));
    EXPECT_FLOAT_EQ(form.point(1).mm, 1.0F);

    // A unit change reaches an untouched length field with the next update.
    doc.link().calibration().setMode(CalibrationMode::Calibrated);
    form.view.OnUpdate(nullptr, document::CQvx_controllerDoc::kHintNewData);
    EXPECT_EQ(form.label("lengthUnit"), QStringLiteral("* 1/10 ''"));
    EXPECT_EQ(form.field("length")->text(), QStringLiteral("0.394"));
}

TEST(CViewPreferences, LeavesPointsUntouchedWhenFieldsAreOnlyPassedThrough) {
    document::CQvx_controllerDoc doc;
    tenPoints(doc.link().calibration());
    ASSERT_TRUE(doc.link().calibration().setPoint(1, 1599.8779F, 24.6004F));
    doc.link().calibration().clearChanged(1);
    Form form(doc);
    for (const char* name : {"voltage", "length", "count", "index", "voltage"}) {
        form.field(name)->setFocus();
        settle();
    }
    form.click("next");
    form.click("previous");
    EXPECT_FALSE(form.table().isChanged(1));
    EXPECT_EQ(form.point(1).mv, 1599.8779F);
    EXPECT_EQ(form.point(1).mm, 24.6004F);
}

TEST(CViewPreferences,
     ControlKeysLearnStepAndGoBackFromInsideTheFieldsWithoutLosingTheTypedLength) {
    document::CQvx_controllerDoc doc;
    tenPoints(doc.link().calibration());
    doc.gripperMv = 2345.67F;
    Form form(doc);
    QLineEdit* length = form.field("length");
    ASSERT_EQ(QApplication::focusWidget(), length);
    QGuiApplication::clipboard()->setText(QStringLiteral("999"));

    QTest::keyClick(length, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(form.field("voltage")->text(), QStringLiteral("2345.67"));
    EXPECT_FALSE(form.table().isChanged(1));  // taught values reach the table with the fields

    QTest::keyClicks(length, QStringLiteral("12.5"));
    QTest::keyClick(length, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form.table().getIndex(), 2U);
    EXPECT_FLOAT_EQ(form.point(1).mm, 12.5F);
    EXPECT_FLOAT_EQ(form.point(1).mv, 2345.67F);
    EXPECT_EQ(length->text(), QStringLiteral("40.000"));  // point 2, nothing pasted

    form.field("voltage")->setFocus();
    settle();
    QTest::keyClick(form.field("voltage"), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form.table().getIndex(), 1U);
    EXPECT_EQ(QApplication::focusWidget(), length);
    EXPECT_EQ(length->text(), QStringLiteral("12.500"));
}

TEST(CViewPreferences, SaveWritesHeaderChangedPointsAndThresholdsWithoutSwitchingTheMode) {
    SimulatedController sim;
    CalibrationTable& table = sim.document.link().calibration();
    ASSERT_EQ(table.getCount(), sim::factory::kCalibration.size());
    ASSERT_EQ(table.getMode(), CalibrationMode::Millivolt);
    sim.writeRam(37, {0x01});  // range mode
    const std::vector<std::uint8_t> factory = sim.eeprom();
    std::atomic<bool> sawLengthMode{false};
    sim.setOnRequest([&](const link::LinkMessage&) {
        sawLengthMode = sawLengthMode || table.getMode() != CalibrationMode::Millivolt;
    });

    Form form(sim.document);
    form.enter("index", QStringLiteral("3"));
    form.enter("length", QStringLiteral("19.5"), "voltage");
    form.enter("voltage", QStringLiteral("2250"));
    form.enter("index", QStringLiteral("6"));
    form.enter("length", QStringLiteral("2"));
    form.enter("amount", QStringLiteral("0.5"), "length");
    form.click("shorten");
    ASSERT_EQ(table.getCount(), 7U);
    form.click("save");

    const std::vector<std::uint8_t> eeprom = sim.eeprom();
    EXPECT_EQ(std::vector<std::uint8_t>(eeprom.begin() + 100, eeprom.begin() + 104),
              (std::vector<std::uint8_t>{1, 1, 7, 7}));
    const auto record = [&eeprom](std::uint32_t address) {
        return std::vector<std::uint8_t>(eeprom.begin() + address, eeprom.begin() + address + 4);
    };
    const auto expected = [](float mv, float mm) {
        std::uint16_t raw = 0;
        std::uint16_t micrometres = 0;
        EXPECT_TRUE(CalibrationTable::mvToRaw(mv, raw));
        EXPECT_TRUE(CalibrationTable::lengthToMicrometres(mm, micrometres));
        return std::vector<std::uint8_t>{
            static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw),
            static_cast<std::uint8_t>(micrometres >> 8), static_cast<std::uint8_t>(micrometres)};
    };
    EXPECT_EQ(form.point(3).mv, 2250.0F);
    EXPECT_EQ(form.point(7).mv, form.point(6).mv);
    EXPECT_EQ(record(104 + 4 * 2), expected(2250.0F, 19.5F));
    EXPECT_EQ(record(104 + 4 * 5), expected(form.point(6).mv, 2.0F));
    EXPECT_EQ(record(104 + 4 * 6), expected(form.point(6).mv, 1.5F));
    for (const std::uint32_t untouched : {0U, 1U, 3U, 4U}) {
        EXPECT_EQ(record(104 + 4 * untouched),
                  std::vector<std::uint8_t>(factory.begin() + 104 + 4 * untouched,
                                            factory.begin() + 108 + 4 * untouched));
    }

    // Thresholds 1, 2 and 5 from the longest (30 mm) and shortest (1.5 mm) point, in length
    // mode; 3 and 4 as the controller held them.
    const auto threshold = [&](float mm) {
        float mv = 0.0F;
        std::uint16_t raw = 0;
        EXPECT_TRUE(table.mmToMv(mm, mv));
        EXPECT_TRUE(CalibrationTable::mvToRaw(mv, raw));
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(raw >> 8),
                                         static_cast<std::uint8_t>(raw)};
    };
    const auto word = [&eeprom](std::uint32_t address) {
        return std::vector<std::uint8_t>(eeprom.begin() + address, eeprom.begin() + address + 2);
    };
    EXPECT_EQ(word(1), threshold(30.5F));
    EXPECT_EQ(word(3), threshold(29.5F));
    EXPECT_EQ(word(5), std::vector<std::uint8_t>(factory.begin() + 5, factory.begin() + 7));
    EXPECT_EQ(word(7), std::vector<std::uint8_t>(factory.begin() + 7, factory.begin() + 9));
    EXPECT_EQ(word(9), threshold(2.0F));
    EXPECT_EQ(sim.ram(37) & 0x81, 0x80);  // switch-point mode, bit 7 set
    sim.setOnRequest({});
    EXPECT_FALSE(sawLengthMode);
    EXPECT_EQ(table.getMode(), CalibrationMode::Millivolt);
    EXPECT_TRUE(form.messages.texts.empty());
}

TEST(CViewPreferences, SaveReportsAFailedTransferAndWritesNoThresholdsAfterIt) {
    for (const bool tableFails : {true, false}) {
        SCOPED_TRACE(tableFails ? "table write fails" : "record read fails");
        ScriptedController scripted;
        (tableFails ? scripted.controller.memory.failWritesAt
                    : scripted.controller.memory.failReadsAt)
            .push_back(tableFails ? 100U : 1U);
        tenPoints(scripted.document.link().calibration());
        Form form(scripted.document);
        // The reads of the safety copy would fail first; it has tests of its own.
        form.view.setSafetyCopy([](QString&) { return true; });
        form.enter("length", QStringLiteral("44"));
        form.click("save");
        EXPECT_GE(scripted.requestsAt(kWriteEeprom, 100), 1);
        EXPECT_EQ(scripted.requestsAt(kWriteEeprom, 1), 0);
        EXPECT_EQ(scripted.requestsAt(kReadRam, 37), 0);
        EXPECT_EQ(scripted.requestsAt(kWriteRam, 37), 0);
        EXPECT_EQ(form.messages.texts, std::vector<QString>{QString::fromUtf8(texts::kCalSaveFailed)});
    }
}

TEST(CViewPreferences, SaveKeepsTheRecordingBitsOfTheStatusByteWhenSettingSwitchPointMode) {
    ScriptedController scripted;
    // Range mode, a recording requested (bit 6) and the previous one finished (bit 5).
    scripted.controller.memory.put(scripted.controller.memory.ram, 37, {0x61});
    tenPoints(scripted.document.link().calibration());
    Form form(scripted.document);
    form.click("save");
    EXPECT_EQ(scripted.controller.memory.get(scripted.controller.memory.ram, 37, 1),
              (qvx::test::Bytes{0xE0}));
    EXPECT_TRUE(form.messages.texts.empty());
}

TEST(CViewPreferences, SaveOfATableWithoutPointsWritesNothingAndSaysWhy) {
    ScriptedController scripted;
    // As after a start against an erased controller: no points, point 1 selected and editable.
    ASSERT_EQ(scripted.document.link().calibration().getCount(), 0U);
    Form form(scripted.document);
    form.enter("length", QStringLiteral("12"));
    ASSERT_TRUE(form.table().isChanged(1));
    form.click("save");
    EXPECT_EQ(form.messages.texts,
              std::vector<QString>{QString::fromUtf8(texts::kCalSaveNoPoints)});
    EXPECT_EQ(scripted.requestsAt(kWriteEeprom, 100), 0);
    EXPECT_EQ(scripted.requestsAt(kWriteEeprom, 104), 0);
    EXPECT_EQ(scripted.requestsAt(kWriteEeprom, 1), 0);
    EXPECT_EQ(scripted.requestsAt(kWriteRam, 37), 0);
}

}  // namespace
}  // namespace qvx::views
