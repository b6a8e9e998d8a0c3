#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>

namespace qvx::platform {

/// The sender's outgoing byte queue, with the semantics of an anonymous pipe used in one
/// process: `write` appends a whole piece atomically, `read` blocks until bytes are there
/// or the queue is closed, and closing wakes every reader.
class ByteQueue {
public:
    /// Bytes a queue holds at most unless told otherwise: a peer that stops reading must not
    /// make its sender's memory grow without bound.
    static constexpr std::size_t kDefaultCapacity = std::size_t{1} << 20;

    explicit ByteQueue(std::size_t capacity = kDefaultCapacity) : m_capacity(capacity) {}

    /// Appends all bytes as one piece, waiting while the queue is too full to take it (the
    /// reader's pace holds the writer back). False once the queue is closed, or for a piece
    /// larger than the whole capacity; nothing of a refused piece is queued.
    [[nodiscard]] bool write(std::span<const std::uint8_t> bytes);
    /// Like write, but when nothing is queued and the reader is not still sending what it
    /// read, the piece is first offered to `sendNow`, which must not block and returns how
    /// many of the bytes it sent; only the rest is queued. Order is kept: no byte skips the
    /// queue while an earlier one waits in it or is being sent.
    [[nodiscard]] bool write(std::span<const std::uint8_t> bytes,
                             const std::function<std::size_t(std::span<const std::uint8_t>)>& sendNow);
    /// Moves up to out.size() bytes into out; blocks while empty. Returns the count,
    /// or 0 when the queue is closed (bytes still queued at close are dropped). The bytes
    /// count as being sent until finishedSending.
    std::size_t read(std::span<std::uint8_t> out);
    /// The reader is done with what it read last (sent or dropped).
    void finishedSending();
    /// Closes the queue: writes fail from now on and blocked readers return 0.
    void close();
    /// Drops every queued byte (the queue stays open) and wakes waiting writers.
    void discard();
    [[nodiscard]] bool isClosed() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_readable;
    std::condition_variable m_writable;
    std::deque<std::uint8_t> m_bytes;
    std::size_t m_capacity;
    bool m_closed = false;
    bool m_readerSending = false;  // the reader holds bytes it has not finished sending
};

}  // namespace qvx::platform
