#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "link/data_transfer_mailbox.h"
#include "link/link_message.h"
#include "platform/auto_reset_event.h"

namespace qvx::link {

using ByteSpan = std::span<const std::uint8_t>;

/// One handler per received message, in the order of the message set.
class MessageHandlers {
public:
    virtual ~MessageHandlers() = default;
    virtual void ReadEepromDataReq(std::uint16_t address, int length) = 0;
    virtual void ReadProgramDataReq(std::uint16_t address, int length) = 0;
    virtual void ReadRamDataReq(std::uint16_t address, int length) = 0;
    virtual void WriteEepromDataReq(std::uint16_t address, int length, ByteSpan data) = 0;
    virtual void WriteProgramDataReq(std::uint16_t address, int length, ByteSpan data) = 0;
    virtual void WriteRamDataReq(std::uint16_t address, int length, ByteSpan data) = 0;
    virtual void ReadEepromDataCnf(std::uint16_t address, int length, ByteSpan data) = 0;
    virtual void ReadProgramDataCnf(std::uint16_t address, int length, ByteSpan data) = 0;
    virtual void ReadRamDataCnf(std::uint16_t address, int length, ByteSpan data) = 0;
    virtual void WriteEepromDataCnf(std::uint16_t address, int length) = 0;
    virtual void WriteProgramDataCnf(std::uint16_t address, int length) = 0;
    virtual void WriteRamDataCnf(std::uint16_t address, int length) = 0;
    virtual void StatusInfo(std::uint16_t address, int length, ByteSpan data) = 0;
};

/// Calls the handler of the message's code; a code outside the message set is ignored.
void dispatchMessage(const LinkMessage& message, MessageHandlers& handlers);

/// Records each received message for diagnosis: name, address, length and data.
using TraceHook = std::function<void(std::string_view name, std::uint16_t address, int length,
                                     ByteSpan data)>;

/// The link's handlers: every message is traced, posted to the mailbox, and announced
/// through the message-arrived event.
class MailboxPoster final : public MessageHandlers {
public:
    MailboxPoster(DataTransferMailbox& mailbox, platform::AutoResetEvent& messageArrived)
        : m_mailbox(mailbox), m_messageArrived(messageArrived) {}

    /// Set before the receive thread runs; it is called on that thread.
    void setTraceHook(TraceHook hook) { m_trace = std::move(hook); }

    void ReadEepromDataReq(std::uint16_t address, int length) override;
    void ReadProgramDataReq(std::uint16_t address, int length) override;
    void ReadRamDataReq(std::uint16_t address, int length) override;
    void WriteEepromDataReq(std::uint16_t address, int length, ByteSpan data) override;
    void WriteProgramDataReq(std::uint16_t address, int length, ByteSpan data) override;
    void WriteRamDataReq(std::uint16_t address, int length, ByteSpan data) override;
    void ReadEepromDataCnf(std::uint16_t address, int length, ByteSpan data) override;
    void ReadProgramDataCnf(std::uint16_t address, int length, ByteSpan data) override;
    void ReadRamDataCnf(std::uint16_t address, int length, ByteSpan data) override;
    void WriteEepromDataCnf(std::uint16_t address, int length) override;
    void WriteProgramDataCnf(std::uint16_t address, int length) override;
    void WriteRamDataCnf(std::uint16_t address, int length) override;
    void StatusInfo(std::uint16_t address, int length, ByteSpan data) override;

private:
    void deliver(std::size_t row, std::uint16_t address, int length, ByteSpan data);

    DataTransferMailbox& m_mailbox;
    platform::AutoResetEvent& m_messageArrived;
    TraceHook m_trace;
};

}  // namespace qvx::link
