#include "link/message_dispatcher.h"

#include "link/message_table.h"

namespace qvx::link {

void dispatchMessage(const LinkMessage& message, MessageHandlers& handlers) {
    const std::uint16_t address = message.address;
    const int length = message.length;
    const ByteSpan data = message.data;
    switch (static_cast<MessageCode>(message.code)) {
        case MessageCode::ReadEepromDataReq: return handlers.ReadEepromDataReq(address, length);
        case MessageCode::ReadProgramDataReq: return handlers.ReadProgramDataReq(address, length);
        case MessageCode::ReadRamDataReq: return handlers.ReadRamDataReq(address, length);
        case MessageCode::WriteEepromDataReq: return handlers.WriteEepromDataReq(address, length, data);
        case MessageCode::WriteProgramDataReq: return handlers.WriteProgramDataReq(address, length, data);
        case MessageCode::WriteRamDataReq: return handlers.WriteRamDataReq(address, length, data);
        case MessageCode::ReadEepromDataCnf: return handlers.ReadEepromDataCnf(address, length, data);
        case MessageCode::ReadProgramDataCnf: return handlers.ReadProgramDataCnf(address, length, data);
        case MessageCode::ReadRamDataCnf: return handlers.ReadRamDataCnf(address, length, data);
        case MessageCode::WriteEepromDataCnf: return handlers.WriteEepromDataCnf(address, length);
        case MessageCode::WriteProgramDataCnf: return handlers.WriteProgramDataCnf(address, length);
        case MessageCode::WriteRamDataCnf: return handlers.WriteRamDataCnf(address, length);
        case MessageCode::StatusInfo: return handlers.StatusInfo(address, length, data);
    }
}

void MailboxPoster::deliver(std::size_t row, std::uint16_t address, int length, ByteSpan data) {
    const MessageInfo& info = kMessageTable[row];
    if (m_trace) {
        m_trace(info.name, address, length, data);
    }
    // A post that misses its lock loses the message, but the waiter is woken all the same:
    // it then finds a kind or sequence it does not expect and counts the attempt as failed.
    (void)m_mailbox.post(info.receivedKind, address, length, data);
    (void)m_messageArrived.set();
}

// Each handler passes its row of the message table, which lists the messages in handler order.
void MailboxPoster::ReadEepromDataReq(std::uint16_t a, int n) { deliver(0, a, n, {}); }
void MailboxPoster::ReadProgramDataReq(std::uint16_t a, int n) { deliver(1, a, n, {}); }
void MailboxPoster::ReadRamDataReq(std::uint16_t a, int n) { deliver(2, a, n, {}); }
void MailboxPoster::WriteEepromDataReq(std::uint16_t a, int n, ByteSpan d) { deliver(3, a, n, d); }
void MailboxPoster::WriteProgramDataReq(std::uint16_t a, int n, ByteSpan d) { deliver(4, a, n, d); }
void MailboxPoster::WriteRamDataReq(std::uint16_t a, int n, ByteSpan d) { deliver(5, a, n, d); }
void MailboxPoster::ReadEepromDataCnf(std::uint16_t a, int n, ByteSpan d) { deliver(6, a, n, d); }
void MailboxPoster::ReadProgramDataCnf(std::uint16_t a, int n, ByteSpan d) { deliver(7, a, n, d); }
void MailboxPoster::ReadRamDataCnf(std::uint16_t a, int n, ByteSpan d) { deliver(8, a, n, d); }
void MailboxPoster::WriteEepromDataCnf(std::uint16_t a, int n) { deliver(9, a, n, {}); }
void MailboxPoster::WriteProgramDataCnf(std::uint16_t a, int n) { deliver(10, a, n, {}); }
void MailboxPoster::WriteRamDataCnf(std::uint16_t a, int n) { deliver(11, a, n, {}); }
void MailboxPoster::StatusInfo(std::uint16_t a, int n, ByteSpan d) { deliver(12, a, n, d); }

}  // namespace qvx::link
