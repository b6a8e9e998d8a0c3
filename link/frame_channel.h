#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "link/frame_receiver.h"
#include "link/message_dispatcher.h"
#include "link/socket_channel.h"
#include "platform/named_mutex.h"

namespace qvx::link {

/// The socket channel with the framing of the device link: frames are sent whole under the
/// send lock, received bytes are cut into frames and dispatched, and a text-line mode lets
/// the gateway login and the modem dialogue read plain text lines instead. Its log lines
/// (frames, checksum errors, unanswered requests) are discarded until its owner sets a sink,
/// so a command-line tool's output stays its own.
class FrameChannel : public SocketChannel {
public:
    FrameChannel() { setSink(DiscardingSink::instance()); }

    /// Longest time a sender waits for the send lock, in ms.
    static constexpr int kSendLockWaitMs = 5000;
    /// The line buffer holds 200 characters with its terminator; a byte is appended only
    /// while fewer than 198 are held.
    static constexpr std::size_t kMaxLineLength = 198;

    /// Hands a whole frame to the sender under the send lock "Blocking send", so frames of
    /// several threads never interleave. False if the lock was not had within 5000 ms or the
    /// channel is not connected.
    [[nodiscard]] bool sendFrame(std::span<const std::uint8_t> frame);

    void setUseCrcCheck(bool on) { m_useCrcCheck = on; }
    [[nodiscard]] bool useCrcCheck() const { return m_useCrcCheck; }
    /// Received frames whose checksum did not match since the current connection came up,
    /// whether `UseCrcCheck` dropped them or let them through as they were.
    [[nodiscard]] std::uint64_t checksumErrors() const { return m_assembler.checksumErrors(); }

    /// While set, every received byte goes to the line buffer instead of the framing.
    void setTextMode(bool on) { m_textMode = on; }
    [[nodiscard]] bool textMode() const { return m_textMode; }
    /// Set when a line feed arrived in text mode; cleared only by the user of the mode.
    [[nodiscard]] bool lineComplete() const { return m_lineComplete; }
    void setLineComplete(bool value) { m_lineComplete = value; }
    /// The text gathered in text mode, CR and LF included.
    [[nodiscard]] std::string lineBuffer() const;
    void clearLineBuffer();

    /// One received byte: text-line mode, or framing and dispatch of each valid message.
    void onByteReceived(std::uint8_t byte);

protected:
    void onData(std::span<const std::uint8_t> bytes) override;
    /// Starts the checksum error count of a new connection.
    void restartChecksumCount() { m_assembler.resetChecksumErrors(); }
    /// Where valid received messages go.
    virtual MessageHandlers& messageHandlers() = 0;

private:
    platform::NamedTimedMutex m_sendLock{"Blocking send"};
    std::atomic<bool> m_useCrcCheck{false};
    std::atomic<bool> m_textMode{false};
    std::atomic<bool> m_lineComplete{false};
    mutable std::mutex m_lineMutex;
    std::string m_lineBuffer;  // guarded by m_lineMutex
    FrameAssembler m_assembler;  // fed by the receive thread only; its error count is atomic
};

}  // namespace qvx::link
