#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>

namespace qvx::platform {

/// The sender's outgoing byte queue, with the semantics of an anonymous pipe used in one
/// process: `write` appends a whole piece atomically, `read` blocks until bytes are there
/// or the queue is closed, and closing wakes every reader.
class ByteQueue {
public:
    /// Appends all bytes as one piece; false once the queue is closed.
    [[nodiscard]] bool write(std::span<const std::uint8_t> bytes);
    /// Moves up to out.size() bytes into out; blocks while empty. Returns the count,
    /// or 0 when the queue is closed (bytes still queued at close are dropped).
    std::size_t read(std::span<std::uint8_t> out);
    /// Closes the queue: writes fail from now on and blocked readers return 0.
    void close();
    [[nodiscard]] bool isClosed() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_readable;
    std::deque<std::uint8_t> m_bytes;
    bool m_closed = false;
};

}  // namespace qvx::platform
