#include "document/recording_file.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "tests/support/german_locale.h"

using namespace qvx::document;
using qvx::link::CalibrationMode;

namespace {

RecordingData pattern(std::size_t samples, CalibrationMode unit) {
    RecordingData recording;
    recording.unit = unit;
    recording.samples = samples;
    for (std::size_t i = 0; i < samples; ++i) {
        recording.gripper[i] = 1000.25F + static_cast<float>(i) * 3.5F;
        recording.supply[i] = 24.125F - static_cast<float>(i % 7) * 0.5F;
        recording.outputs[i] = static_cast<int>((8U << (i % 5)) | (i % 3));
    }
    return recording;
}

RecordingHeader header() {
    return {"4711", "23", "2024", "qvx_controller 1.0", "2026-12-09T08:15:30+01:00"};
}

RecordingFile accepted(const std::variant<RecordingFile, RecordingFileRefusal>& result) {
    const RecordingFile none;
    if (const auto* refusal = std::get_if<RecordingFileRefusal>(&result)) {
        ADD_FAILURE() << "refused at line " << refusal->line << ", error "
                      << static_cast<int>(refusal->error);
        return none;
    }
    return std::get<RecordingFile>(result);
}

TEST(RecordingFile, AnnotatedFileHasTheHeaderThenTheColumnsOfThePlainFile) {
    const RecordingData recording = pattern(2, CalibrationMode::Millivolt);
    EXPECT_EQ(recordingColumnsText(recording),
              "time_ms,gripper_mV,ub_V,outputs\n"
              "0,1000.25,24.125,8\n"
              "30,1003.75,23.625,17\n");
    EXPECT_EQ(recordingFileText(recording, header()),
              "# serial_number=4711\n"
              "# manufactured=23/2024\n"
              "# unit=mV\n"
              "# program=qvx_controller 1.0\n"
              "# recorded=2026-12-09T08:15:30+01:00\n" +
                  recordingColumnsText(recording));
    RecordingHeader partial;
    partial.program = "qvx_controller 1.0\nzweite Zeile";
    EXPECT_EQ(recordingFileText(pattern(0, CalibrationMode::Calibrated), partial),
              "# unit=mm\n# program=qvx_controller 1.0 zweite Zeile\n"
              "time_ms,gripper_mm,ub_V,outputs\n");
}

TEST(RecordingFile, ReadsBackWhatItWroteUnderAGermanLocaleToo) {
    const qvx::test::GermanLocale german;
    ASSERT_TRUE(german.available());
    for (const CalibrationMode unit : {CalibrationMode::Millivolt, CalibrationMode::Calibrated}) {
        const RecordingData written = pattern(kRecordingFileSamples, unit);
        const std::string text = recordingFileText(written, header());
        EXPECT_EQ(text.find("1000,25"), std::string::npos);  // a point, never a comma
        for (const std::string& file : {text, recordingColumnsText(written)}) {
            const RecordingFile read = accepted(parseRecordingFile(file));
            EXPECT_EQ(read.recording.unit, unit);
            ASSERT_EQ(read.recording.samples, kRecordingFileSamples);
            for (std::size_t i = 0; i < kRecordingFileSamples; ++i) {
                EXPECT_NEAR(read.recording.gripper[i], written.gripper[i], 0.005F);
                EXPECT_NEAR(read.recording.supply[i], written.supply[i], 0.0005F);
                EXPECT_EQ(read.recording.outputs[i], written.outputs[i]);
            }
        }
        const RecordingFile annotated = accepted(parseRecordingFile(text));
        EXPECT_EQ(annotated.header.serialNumber, "4711");
        EXPECT_EQ(annotated.header.week, "23");
        EXPECT_EQ(annotated.header.year, "2024");
        EXPECT_EQ(annotated.header.program, "qvx_controller 1.0");
        EXPECT_EQ(annotated.header.recorded, "2026-12-09T08:15:30+01:00");
    }
}

TEST(RecordingFile, AcceptsWindowsLineEndsAByteOrderMarkBlankLinesAndUnknownKeys) {
    const RecordingFile read = accepted(parseRecordingFile(
        "\xEF\xBB\xBF# future_key=42\r\n\r\n"
        "time_ms,gripper_mm,ub_V,outputs\r\n0,12.5,24.0,8\r\n30,12.25,24.0,16\r\n\r\n"));
    EXPECT_EQ(read.recording.unit, CalibrationMode::Calibrated);
    EXPECT_EQ(read.recording.samples, 2U);
    EXPECT_FLOAT_EQ(read.recording.gripper[1], 12.25F);
    EXPECT_EQ(read.recording.outputs[1], 16);
}

struct Refused {
    const char* name;
    std::string text;
    RecordingFileError error;
    std::size_t line;
};

class RecordingFileRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(RecordingFileRefuses, ANamedFaultOnItsLine) {
    const auto result = parseRecordingFile(GetParam().text);
    const auto* refusal = std::get_if<RecordingFileRefusal>(&result);
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(refusal->error, GetParam().error);
    EXPECT_EQ(refusal->line, GetParam().line);
}

const std::string kColumns = "time_ms,gripper_mV,ub_V,outputs\n";

std::string samples(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += std::to_string(30 * i) + ",1500.00,24.000,8\n";
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, RecordingFileRefuses,
    ::testing::Values(
        Refused{"Empty", "", RecordingFileError::NoColumns, 1},
        Refused{"ForeignCsv", "Datum;Wert\n1;2\n", RecordingFileError::NoColumns, 1},
        Refused{"BinaryJunk", std::string("\x89PNG\r\n\x1a\n\0\0", 10),
                RecordingFileError::NoColumns, 1},
        Refused{"HeaderWithoutValue", "# nur Text\n" + kColumns + samples(1),
                RecordingFileError::BadHeader, 1},
        Refused{"UnknownUnit", "# unit=V\n" + kColumns + samples(1), RecordingFileError::BadHeader,
                1},
        Refused{"UnitAgainstColumns", "# unit=mm\n" + kColumns + samples(1),
                RecordingFileError::UnitMismatch, 2},
        Refused{"OnlyTheColumns", kColumns, RecordingFileError::NoSamples, 2},
        Refused{"CommaDecimals", kColumns + "0,1500,00,24,000,8\n",
                RecordingFileError::WrongFieldCount, 2},
        Refused{"SemicolonSeparated", kColumns + "0;1500.00;24.000;8\n",
                RecordingFileError::WrongFieldCount, 2},
        Refused{"TextForANumber", kColumns + samples(2) + "60,abc,24.0,8\n",
                RecordingFileError::BadNumber, 4},
        Refused{"NotFinite", kColumns + "0,nan,24.0,8\n", RecordingFileError::BadNumber, 2},
        Refused{"OutputBeyondAWord", kColumns + "0,1500.0,24.0,65536\n",
                RecordingFileError::BadNumber, 2},
        Refused{"NegativeOutput", kColumns + "0,1500.0,24.0,-1\n", RecordingFileError::BadNumber,
                2},
        Refused{"TimeNotFromZero", kColumns + "30,1500.0,24.0,8\n", RecordingFileError::WrongTime,
                2},
        Refused{"TimeGap", kColumns + "0,1,1,8\n60,1,1,8\n", RecordingFileError::WrongTime, 3},
        Refused{"TooManySamples", kColumns + samples(641), RecordingFileError::TooManySamples,
                642}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
