#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "link/message_table.h"
#include "platform/named_mutex.h"

namespace qvx::link {

/// What the mailbox holds: the last received message.
struct MailboxContent {
    LinkEventKind kind = LinkEventKind::None;  ///< kind of the message held (3-15); None at first
    std::uint16_t address = 0;                 ///< its address field
    int length = 0;                            ///< its length byte
    std::vector<std::uint8_t> data;            ///< its data field (empty without data)
    std::uint64_t sequence = 0;  ///< number of the post that stored it (0: nothing posted yet)
};

/// The one-slot store of the last received message, shared by the receive thread (`post`)
/// and the thread that waits for a confirm (`take`). A new message overwrites the previous
/// one and reading does not remove it; the sequence number lets a transfer tell a message
/// posted after its request from one that was already there.
class DataTransferMailbox {
public:
    DataTransferMailbox();

    /// Stores a message; false (message lost) if the lock was not obtained within the lock wait.
    [[nodiscard]] bool post(LinkEventKind kind, std::uint16_t address, int length,
                            std::span<const std::uint8_t> data);
    /// Copies the slot out; false if the lock was not obtained within the lock wait.
    [[nodiscard]] bool take(MailboxContent& out);
    /// How long `post` and `take` wait for the lock, in ms.
    void setLockWait(int milliseconds) { m_lockWaitMs = milliseconds; }
    [[nodiscard]] int lockWait() const { return m_lockWaitMs; }
    /// Sequence number of the latest post; a transfer notes it before sending its request.
    [[nodiscard]] std::uint64_t lastSequence() const { return m_lastSequence; }

private:
    platform::NamedTimedMutex m_lock{"QVX_DataTransferMutex"};
    std::atomic<int> m_lockWaitMs{5000};
    std::atomic<std::uint64_t> m_lastSequence{0};
    MailboxContent m_slot;  // guarded by m_lock
};

}  // namespace qvx::link
