#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/link_message.h"

namespace qvx::link {

/// Cuts frames out of a byte stream, one byte at a time, from the length byte alone.
/// Does no I/O: any transport can feed it.
class FrameReceiver {
public:
    enum class State : std::uint8_t { WaitStart, ReadCode, ReadAddress, ReadLength, ReadData, WaitEnd, ReadCrc };
    enum class FeedResult : std::uint8_t {
        Accept,  ///< keep the byte
        Reject,  ///< drop everything gathered so far (the byte included)
    };

    FeedResult feed(std::uint8_t byte);
    /// True when the last accepted byte ended a candidate frame.
    [[nodiscard]] bool complete() const { return m_complete; }
    /// Back to the start state, counters and flags cleared.
    void reset();
    [[nodiscard]] State state() const { return m_state; }

private:
    void restart();

    State m_state = State::WaitStart;
    bool m_hasData = false;     ///< the code carries data
    bool m_complete = false;
    int m_addressCount = 0;     ///< address bytes seen (0-2)
    int m_dataLength = 0;       ///< the length byte
    int m_dataCount = 0;        ///< data bytes seen
    int m_crcCount = 0;         ///< checksum bytes seen (0-2)
};

/// The receiving path of the link without its transport: receive buffer and receiver.
/// Hand it every received byte in order; it reports each valid message.
class FrameAssembler {
public:
    explicit FrameAssembler(bool checkCrc = false) : m_checkCrc(checkCrc) { m_buffer.reserve(kMaxFrameSize); }

    void setCheckCrc(bool on) { m_checkCrc = on; }
    [[nodiscard]] bool checkCrc() const { return m_checkCrc; }

    /// Feeds one byte; returns the message when it completed a valid frame.
    std::optional<LinkMessage> push(std::uint8_t byte);
    void reset();

    /// Frames whose checksum did not match, counted whether or not checking drops them;
    /// readable from any thread while the feeding thread pushes.
    [[nodiscard]] std::uint64_t checksumErrors() const {
        return m_checksumErrors.load(std::memory_order_relaxed);
    }
    void resetChecksumErrors() { m_checksumErrors.store(0, std::memory_order_relaxed); }

private:
    FrameReceiver m_receiver;
    std::vector<std::uint8_t> m_buffer;  ///< bytes of the candidate gathered so far
    bool m_checkCrc;
    std::atomic<std::uint64_t> m_checksumErrors{0};
};

}  // namespace qvx::link
