#include "link/frame_receiver.h"

#include "link/message_table.h"

namespace qvx::link {

void FrameReceiver::restart() {
    m_state = State::WaitStart;
    m_hasData = false;
    m_addressCount = 0;
    m_dataLength = 0;
    m_dataCount = 0;
    m_crcCount = 0;
}

void FrameReceiver::reset() {
    restart();
    m_complete = false;
}

FrameReceiver::FeedResult FrameReceiver::feed(std::uint8_t byte) {
    m_complete = false;
    switch (m_state) {
        case State::WaitStart:
            if (byte != kStartMark) {
                return FeedResult::Reject;
            }
            m_state = State::ReadCode;
            return FeedResult::Accept;
        case State::ReadCode: {
            const CodeClass codeClass = classOf(byte);
            if (codeClass == CodeClass::Invalid) {
                restart();
                return FeedResult::Reject;
            }
            m_hasData = codeClass == CodeClass::WithData;
            m_state = State::ReadAddress;
            return FeedResult::Accept;
        }
        case State::ReadAddress:
            if (++m_addressCount == 2) {
                m_state = State::ReadLength;
            }
            return FeedResult::Accept;
        case State::ReadLength:
            m_dataLength = byte;
            m_state = (m_dataLength != 0 && m_hasData) ? State::ReadData : State::WaitEnd;
            return FeedResult::Accept;
        case State::ReadData:
            if (++m_dataCount == m_dataLength) {
                m_state = State::WaitEnd;
            }
            return FeedResult::Accept;
        case State::WaitEnd:
            // A missing end mark drops what was gathered but keeps hunting for the 0x03;
            // that 0x03 and the two bytes after it then form a short candidate that parsing drops.
            if (byte != kEndMark) {
                return FeedResult::Reject;
            }
            m_state = State::ReadCrc;
            return FeedResult::Accept;
        case State::ReadCrc:
            if (++m_crcCount == 2) {
                restart();
                m_complete = true;
            }
            return FeedResult::Accept;
    }
    return FeedResult::Reject;
}

std::optional<LinkMessage> FrameAssembler::push(std::uint8_t byte) {
    if (m_receiver.feed(byte) == FrameReceiver::FeedResult::Reject) {
        m_buffer.clear();
        return std::nullopt;
    }
    m_buffer.push_back(byte);
    if (!m_receiver.complete()) {
        return std::nullopt;
    }
    std::optional<LinkMessage> result;
    // The frame is parsed without checking and its checksum verified on its own, so that a
    // damaged frame is counted even when checking is off and the frame is taken as it is.
    LinkMessage message;
    if (message.parse(m_buffer)) {
        message.checkCrc = true;
        const bool intact = message.verifyCrc();
        message.checkCrc = m_checkCrc;
        if (!intact) {
            m_checksumErrors.fetch_add(1, std::memory_order_relaxed);
        }
        if (intact || !m_checkCrc) {
            result = std::move(message);
        }
    }
    m_buffer.clear();
    m_receiver.reset();
    return result;
}

void FrameAssembler::reset() {
    m_buffer.clear();
    m_receiver.reset();
}

}  // namespace qvx::link
