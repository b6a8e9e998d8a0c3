#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "link/diagnostic_log.h"

namespace qvx::link {

/// One line of the log as it was written.
struct LogLine {
    std::chrono::system_clock::time_point time;  ///< when it was written
    int level = 0;                               ///< its single level bit
    std::string text;                            ///< prefix and text, no line feed
};

/// A log sink that keeps lines for a reader on another thread (the diagnostic window, a log
/// file). Writing never waits for the reader: when the buffer is full the new line is dropped
/// and counted, so the link's threads are never held up by the log.
class BufferedLogSink final : public LogSink {
public:
    static constexpr std::size_t kDefaultCapacity = 4096;

    explicit BufferedLogSink(std::size_t capacity = kDefaultCapacity) : m_capacity(capacity) {}

    void writeLine(int level, std::string_view line) override;

    /// What was written since the last call, oldest first, and the lines dropped meanwhile.
    struct Taken {
        std::vector<LogLine> lines;
        std::uint64_t dropped = 0;
    };
    [[nodiscard]] Taken take();

private:
    const std::size_t m_capacity;
    std::mutex m_mutex;
    std::deque<LogLine> m_lines;  // guarded by m_mutex
    std::uint64_t m_dropped = 0;  // guarded by m_mutex
};

/// "HH:MM:SS.mmm " in local time, then the line: how the window and the log file show it.
[[nodiscard]] std::string formatLogLine(const LogLine& line);

/// The bytes of a frame as two-digit hexadecimal numbers separated by spaces.
[[nodiscard]] std::string hexBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace qvx::link
