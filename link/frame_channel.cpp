#include "link/frame_channel.h"

#include <chrono>

#include "link/log_buffer.h"
#include "platform/user_text.h"

namespace qvx::link {

bool FrameChannel::sendFrame(std::span<const std::uint8_t> frame) {
    if (!m_sendLock.tryLockFor(std::chrono::milliseconds(kSendLockWaitMs))) {
        return false;
    }
    const bool ok = isConnected() && write(frame);
    m_sendLock.unlock();
    return ok;
}

std::string FrameChannel::lineBuffer() const {
    const std::lock_guard guard(m_lineMutex);
    return m_lineBuffer;
}

void FrameChannel::clearLineBuffer() {
    const std::lock_guard guard(m_lineMutex);
    m_lineBuffer.clear();
}

void FrameChannel::onByteReceived(std::uint8_t byte) {
    if (m_textMode) {
        {
            const std::lock_guard guard(m_lineMutex);
            if (m_lineBuffer.size() < kMaxLineLength) {
                m_lineBuffer.push_back(static_cast<char>(byte));
            }
        }
        if (byte == '\n') {
            m_lineComplete = true;
        }
        return;
    }
    m_assembler.setCheckCrc(m_useCrcCheck);
    const std::uint64_t checksumErrorsBefore = m_assembler.checksumErrors();
    const std::optional<LinkMessage> message = m_assembler.push(byte);
    if (m_assembler.checksumErrors() != checksumErrorsBefore) {
        log(platform::userText(
                m_useCrcCheck
                    ? QT_TRANSLATE_NOOP("qvx",
                                        "Rahmen mit falscher Prüfsumme empfangen und verworfen")
                    : QT_TRANSLATE_NOOP("qvx", "Rahmen mit falscher Prüfsumme empfangen")),
            kLogWarning);
    }
    if (message) {
        if (isEnabled(kLogDebug)) {
            log("RX " + hexBytes(message->frameBytes), kLogDebug);
        }
        dispatchMessage(*message, messageHandlers());
    }
}

void FrameChannel::onData(std::span<const std::uint8_t> bytes) {
    // Text mode is decided per byte: the reply that ends a modem dialogue and the first
    // frame after it may arrive in one read.
    for (const std::uint8_t byte : bytes) {
        onByteReceived(byte);
    }
}

}  // namespace qvx::link
