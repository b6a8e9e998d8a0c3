#include "link/data_transfer_mailbox.h"

namespace qvx::link {

DataTransferMailbox::DataTransferMailbox() { m_slot.data.reserve(255); }

bool DataTransferMailbox::post(LinkEventKind kind, std::uint16_t address, int length,
                               std::span<const std::uint8_t> data) {
    if (!m_lock.tryLockFor(std::chrono::milliseconds(m_lockWaitMs.load()))) {
        return false;
    }
    m_slot.kind = kind;
    m_slot.address = address;
    m_slot.length = length;
    m_slot.data.assign(data.begin(), data.end());
    m_slot.sequence = ++m_lastSequence;
    m_lock.unlock();
    return true;
}

bool DataTransferMailbox::take(MailboxContent& out) {
    if (!m_lock.tryLockFor(std::chrono::milliseconds(m_lockWaitMs.load()))) {
        return false;
    }
    out.kind = m_slot.kind;
    out.address = m_slot.address;
    out.length = m_slot.length;
    out.data.assign(m_slot.data.begin(), m_slot.data.end());
    out.sequence = m_slot.sequence;
    m_lock.unlock();
    return true;
}

}  // namespace qvx::link
