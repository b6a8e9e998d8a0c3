#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace qvx::gateway {

/// Which way traced bytes went.
enum class TraceDirection {
    ToDevice,    // from the client to the serial port, marked "TX>"
    FromDevice,  // from the serial port to the client, marked "RX<"
};

/// The trace lines of one relayed piece, no I/O: each line holds the local time with
/// microseconds ("2024-03-05 14:07:09.123456"), the direction mark and at most
/// kTraceBytesPerLine bytes as two-digit hexadecimal numbers, separated by blanks.
[[nodiscard]] std::string traceLines(std::chrono::system_clock::time_point time,
                                     TraceDirection direction, std::span<const std::uint8_t> bytes);

/// Bytes shown on one trace line.
inline constexpr std::size_t kTraceBytesPerLine = 16;

/// A channel's hex trace of everything it relays, appended to a file, for diagnosing a line.
/// Threads: record may be called from the two relay threads at once; each piece is written
/// with one append, so the pieces of both directions never mix within a line.
class ChannelTrace {
public:
    /// Opens `path` for appending (created readable by owner and group only); nullptr with
    /// `error` set when it cannot be opened.
    [[nodiscard]] static std::unique_ptr<ChannelTrace> open(const std::string& path, int& error);
    ~ChannelTrace();
    ChannelTrace(const ChannelTrace&) = delete;
    ChannelTrace& operator=(const ChannelTrace&) = delete;

    /// Appends the lines of one piece, stamped now. A failed write loses them.
    void record(TraceDirection direction, std::span<const std::uint8_t> bytes) const;

private:
    explicit ChannelTrace(int fd) : m_fd(fd) {}
    int m_fd;  // opened for appending
};

}  // namespace qvx::gateway
