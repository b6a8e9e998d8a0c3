#include "link/diagnostic_log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

using namespace qvx::link;

namespace {

class MemorySink final : public LogSink {
public:
    void writeLine(int level, std::string_view line) override { lines.emplace_back(level, std::string(line)); }
    std::vector<std::pair<int, std::string>> lines;
};

}  // namespace

TEST(DiagnosticLog, DefaultMaskWritesErrorsWarningsAndInformationButNotDebug) {
    DiagnosticLog log;
    MemorySink sink;
    log.setSink(sink);
    EXPECT_EQ(log.mask(), 7);
    log.log("x", kLogInfo);
    log.log("d", kLogDebug);
    log.log("w", kLogWarning);
    log.log("e", kLogError);
    ASSERT_EQ(sink.lines.size(), 3U);
    EXPECT_EQ(sink.lines[0].second, "Info: x");
    EXPECT_EQ(sink.lines[1].second, "Warning: w");
    EXPECT_EQ(sink.lines[2].second, "Error: e");
}

TEST(DiagnosticLog, CombinedOrUnknownLevelsWriteNothingEvenWithEveryBitEnabled) {
    DiagnosticLog log;
    MemorySink sink;
    log.setSink(sink);
    log.setMask(15);
    log.log("three", 3);
    log.log("sixteen", 16);
    log.log("zero", 0);
    EXPECT_TRUE(sink.lines.empty());
    log.log("debug", kLogDebug);
    ASSERT_EQ(sink.lines.size(), 1U);
    EXPECT_EQ(sink.lines[0].second, "Debug: debug");
}

TEST(DiagnosticLog, IsEnabledNeedsEveryBitOfTheLevel) {
    DiagnosticLog log;
    log.setMask(kLogError | kLogInfo);
    EXPECT_TRUE(log.isEnabled(kLogError));
    EXPECT_TRUE(log.isEnabled(kLogError | kLogInfo));
    EXPECT_FALSE(log.isEnabled(kLogError | kLogWarning));
    EXPECT_FALSE(log.isEnabled(kLogDebug));
}

TEST(DiagnosticLog, LogStreamWritesTheGatheredTextAndStartsTheStreamAfresh) {
    DiagnosticLog log;
    MemorySink sink;
    log.setSink(sink);
    std::ostringstream stream;
    stream << "Initialisierung " << 3 << " OK";
    log.logStream(stream, kLogInfo);
    stream << "neu";
    log.logStream(stream, kLogWarning);
    ASSERT_EQ(sink.lines.size(), 2U);
    EXPECT_EQ(sink.lines[0].second, "Info: Initialisierung 3 OK");
    EXPECT_EQ(sink.lines[1].second, "Warning: neu");
}

TEST(DiagnosticLog, StandardSinkPutsErrorsOnStandardErrorOnly) {
    DiagnosticLog log;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    log.log("kaputt", kLogError);
    log.log("läuft", kLogInfo);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Error: kaputt\n");
    EXPECT_EQ(out, "Info: läuft\n");
}

TEST(DiagnosticLog, SystemErrorTextOfAnUnknownCodeIsEmpty) {
    EXPECT_EQ(DiagnosticLog::systemErrorText(123456), "");
    EXPECT_EQ(DiagnosticLog::systemErrorText(EPIPE), "Broken pipe");
}
