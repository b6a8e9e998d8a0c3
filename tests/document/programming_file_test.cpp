#include "document/programming_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

using namespace qvx::document;

namespace {

Programming sample() {
    Programming p;
    p.thresholds = {" 1100.00", " 1500.00", " 2300.00", " 3100.00", " 3600.00"};
    p.underTolerance = "50";
    p.overTolerance = "75.5";
    p.rangeMode = true;
    p.unit = ProgrammingUnit::TenthInch;
    return p;
}

}  // namespace

TEST(ProgrammingFileText, ListsTheKeysFromZuToAufThenTolerancesRangeAndUnit) {
    EXPECT_EQ(programmingFileText(sample()),
              "[PROGRAMMIERUNG]\n"
              "Zu= 3600.00\n"
              "A= 3100.00\n"
              "B= 2300.00\n"
              "C= 1500.00\n"
              "Auf= 1100.00\n"
              "ToleranzUnter=50\n"
              "ToleranzUeber=75.5\n"
              "Range=BEREICH\n"
              "Unit=inch\n");
    Programming p = sample();
    p.rangeMode = false;
    p.unit = ProgrammingUnit::Millivolt;
    const std::string text = programmingFileText(p);
    EXPECT_NE(text.find("Range=SCHALTPUNKT\nUnit=volt\n"), std::string::npos) << text;
    p.unit = ProgrammingUnit::Millimetre;
    EXPECT_NE(programmingFileText(p).find("Unit=mm\n"), std::string::npos);
}

TEST(ProgrammingFileText, KeepsEveryValueOnItsLineAndWithinNineteenBytes) {
    Programming p = sample();
    p.underTolerance = "1\n[PROGRAMMIERUNG]";
    p.overTolerance = "123456789012345678901234";
    const std::optional<Programming> back = parseProgrammingFile(programmingFileText(p));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->underTolerance, "1 [PROGRAMMIERUNG]");
    EXPECT_EQ(back->overTolerance, "1234567890123456789");
}

TEST(ProgrammingFileParse, ReadsBackWhatWasWritten) {
    const std::optional<Programming> back = parseProgrammingFile(programmingFileText(sample()));
    ASSERT_TRUE(back);
    // Values are read without their surrounding blanks.
    EXPECT_EQ(back->thresholds,
              (std::array<std::string, 5>{"1100.00", "1500.00", "2300.00", "3100.00", "3600.00"}));
    EXPECT_EQ(back->underTolerance, "50");
    EXPECT_EQ(back->overTolerance, "75.5");
    EXPECT_TRUE(back->rangeMode);
    EXPECT_EQ(back->unit, ProgrammingUnit::TenthInch);
}

TEST(ProgrammingFileParse, AcceptsHandWrittenFilesWithBlanksAnyCaseAndCrLf) {
    const std::optional<Programming> p = parseProgrammingFile(
        "; written by hand\r\n"
        "[ programmierung ]\r\n"
        "  zu  =   3500.5  \r\n"
        "AUF=\t1000\r\n"
        "toleranzunter =  20 \r\n"
        "UNIT = MM\r\n");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->thresholds[4], "3500.5");
    EXPECT_EQ(p->thresholds[0], "1000");
    EXPECT_EQ(p->thresholds[1], "");  // missing key: empty
    EXPECT_EQ(p->underTolerance, "20");
    EXPECT_EQ(p->overTolerance, "");
    EXPECT_FALSE(p->rangeMode);  // missing Range: switch-point mode
    EXPECT_EQ(p->unit, ProgrammingUnit::Millimetre);
}

TEST(ProgrammingFileParse, OnlyTheExactUpperCaseSchaltpunktSelectsSwitchPointMode) {
    const auto rangeOf = [](const std::string& value) {
        return parseProgrammingFile("[PROGRAMMIERUNG]\nRange=" + value + "\n")->rangeMode;
    };
    EXPECT_FALSE(rangeOf("SCHALTPUNKT"));
    EXPECT_FALSE(rangeOf("  SCHALTPUNKT "));
    EXPECT_TRUE(rangeOf("schaltpunkt"));
    EXPECT_TRUE(rangeOf("BEREICH"));
    EXPECT_TRUE(rangeOf(""));
}

TEST(ProgrammingFileParse, UnitIsComparedInLowerCaseAndAnythingElseIsMillivolt) {
    const auto unitOf = [](const std::string& line) {
        return parseProgrammingFile("[PROGRAMMIERUNG]\n" + line)->unit;
    };
    EXPECT_EQ(unitOf("Unit=mm\n"), ProgrammingUnit::Millimetre);
    EXPECT_EQ(unitOf("Unit=Mm\n"), ProgrammingUnit::Millimetre);
    EXPECT_EQ(unitOf("Unit=INCH\n"), ProgrammingUnit::TenthInch);
    EXPECT_EQ(unitOf("Unit=volt\n"), ProgrammingUnit::Millivolt);
    EXPECT_EQ(unitOf("Unit=mV\n"), ProgrammingUnit::Millivolt);
    EXPECT_EQ(unitOf(""), ProgrammingUnit::Millivolt);
}

TEST(ProgrammingFileUnit, OnlyALengthUnitOtherThanTheShownOneIsInDoubt) {
    // "mm" files of earlier versions may hold tenths of an inch, and the reverse is asked too.
    EXPECT_TRUE(lengthUnitInDoubt(ProgrammingUnit::Millimetre, 1));
    EXPECT_TRUE(lengthUnitInDoubt(ProgrammingUnit::TenthInch, 0));
    EXPECT_FALSE(lengthUnitInDoubt(ProgrammingUnit::Millimetre, 0));
    EXPECT_FALSE(lengthUnitInDoubt(ProgrammingUnit::TenthInch, 1));
    EXPECT_FALSE(lengthUnitInDoubt(ProgrammingUnit::Millivolt, 0));
    EXPECT_FALSE(lengthUnitInDoubt(ProgrammingUnit::Millivolt, 1));
}

TEST(ProgrammingFileParse, RefusesTextWithoutTheSection) {
    EXPECT_FALSE(parseProgrammingFile(""));
    EXPECT_FALSE(parseProgrammingFile("Zu=1000\nA=2000\n"));
    EXPECT_FALSE(parseProgrammingFile("[Globals]\nBaseUnit=MM\n"));
    EXPECT_TRUE(parseProgrammingFile("[Globals]\n[PROGRAMMIERUNG]\n"));
}

TEST(ProgrammingFileName, AppendsQvxUnlessTheNameEndsInExactlyThat) {
    EXPECT_EQ(withProgrammingExtension("/tmp/greifer"), "/tmp/greifer.qvx");
    EXPECT_EQ(withProgrammingExtension("/tmp/greifer.qvx"), "/tmp/greifer.qvx");
    EXPECT_EQ(withProgrammingExtension("/tmp/greifer.QVX"), "/tmp/greifer.QVX.qvx");
    EXPECT_EQ(withProgrammingExtension("/tmp/greifer.qvx.txt"), "/tmp/greifer.qvx.txt.qvx");
}

TEST(ProgrammingNumbers, AcceptOnlyWholeDecimalNumbersWithBlanksAround) {
    EXPECT_EQ(parseNumber("  2500.00"), 2500.0F);
    EXPECT_EQ(parseNumber("\t-12.5 "), -12.5F);
    EXPECT_EQ(parseNumber("+7"), 7.0F);
    EXPECT_EQ(parseNumber(".5"), 0.5F);
    EXPECT_EQ(parseNumber("1e3"), 1000.0F);
    for (const char* refused :
         {"", "   ", "abc", "12,5", "12abc", "1 2", "+-1", "--1", "0x10", "nan", "inf", "1e40"}) {
        EXPECT_FALSE(parseNumber(refused)) << '"' << refused << '"';
    }
}

TEST(ProgrammingNumbers, FormatLikePrintfEightPointTwoInTheCLocale) {
    std::setlocale(LC_NUMERIC, "C");  // printf is the reference, in the C locale
    for (const float value :
         {0.0F, 2500.0F, 1099.9F, -12.345F, 3.14159F, 123456.78F, 0.005F, -0.0F, 99999999.0F}) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%8.2f", static_cast<double>(value));
        EXPECT_EQ(formatFixed(value), expected) << value;
    }
    EXPECT_EQ(formatEditValue(50.0F), "50");
    EXPECT_EQ(formatEditValue(0.1F), "0.1");
    EXPECT_EQ(formatEditValue(12.345678F), "12.3457");
}
