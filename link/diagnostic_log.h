#pragma once

#include <atomic>
#include <sstream>
#include <string>
#include <string_view>

namespace qvx::link {

/// Log levels are bit values; the mask selects which are written.
enum LogLevel : int {
    kLogError = 1,
    kLogWarning = 2,
    kLogInfo = 4,
    kLogDebug = 8,
};

/// Where finished log lines go. The standard sink writes errors to stderr and the other
/// levels to stdout; the gateway and the tests put their own sinks in.
class LogSink {
public:
    virtual ~LogSink() = default;
    /// One line, prefix included, without the line feed. Called from any thread.
    virtual void writeLine(int level, std::string_view line) = 0;
};

/// Error lines on standard error, the other levels on standard output, flushed per line.
class StandardStreamSink final : public LogSink {
public:
    void writeLine(int level, std::string_view line) override;
    static StandardStreamSink& instance();
};

/// Lines that go nowhere.
class DiscardingSink final : public LogSink {
public:
    void writeLine(int /*level*/, std::string_view /*line*/) override {}
    static DiscardingSink& instance();
};

/// A small level-masked line log shared by every layer of a channel.
class DiagnosticLog {
public:
    static constexpr int kDefaultMask = kLogError | kLogWarning | kLogInfo;

    DiagnosticLog() = default;
    virtual ~DiagnosticLog() = default;
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    /// Writes "Error: ", "Warning: ", "Info: " or "Debug: " and the text as one line if the
    /// level is enabled; any other level value (also a combination of bits) writes nothing.
    virtual void log(std::string_view text, int level);
    /// True if every bit of `level` is in the mask.
    [[nodiscard]] bool isEnabled(int level) const { return (m_mask.load() & level) == level; }
    void setMask(int mask) { m_mask = mask; }
    [[nodiscard]] int mask() const { return m_mask; }
    /// Logs what was written into `stream` as one line and empties the stream for reuse.
    void logStream(std::ostringstream& stream, int level);
    /// The system's message text of an errno value; 0 means the thread's last error.
    [[nodiscard]] static std::string systemErrorText(int code);

    /// Replaces where lines go (the standard streams by default). The sink must outlive the log.
    void setSink(LogSink& sink) { m_sink = &sink; }
    [[nodiscard]] LogSink& sink() const { return *m_sink; }

    /// The line prefix of a single level, or an empty view for any other value.
    [[nodiscard]] static std::string_view prefixOf(int level);

private:
    std::atomic<int> m_mask{kDefaultMask};
    std::atomic<LogSink*> m_sink{&StandardStreamSink::instance()};
};

}  // namespace qvx::link
