#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qvx::link {

/// Number under which a received message, or a change of the connection, is reported to a
/// waiting transfer. Internal numbering; it never travels on the wire.
enum class LinkEventKind : int {
    None = 0,  ///< nothing arrived within the wait
    Connected = 1,
    Disconnected = 2,
    ReadEepromDataReq = 3,
    ReadEepromDataCnf = 4,
    ReadProgramDataReq = 5,
    ReadProgramDataCnf = 6,
    ReadRamDataReq = 7,
    ReadRamDataCnf = 8,
    WriteEepromDataReq = 9,
    WriteEepromDataCnf = 10,
    WriteProgramDataReq = 11,
    WriteProgramDataCnf = 12,
    WriteRamDataReq = 13,
    WriteRamDataCnf = 14,
    StatusInfo = 15,
};

/// Message codes on the wire. A confirm's code is its request's code plus 128.
enum class MessageCode : std::uint8_t {
    ReadEepromDataReq = 1,
    ReadProgramDataReq = 2,
    ReadRamDataReq = 3,
    WriteEepromDataReq = 4,
    WriteProgramDataReq = 5,
    WriteRamDataReq = 6,
    ReadEepromDataCnf = 129,
    ReadProgramDataCnf = 130,
    ReadRamDataCnf = 131,
    WriteEepromDataCnf = 132,
    WriteProgramDataCnf = 133,
    WriteRamDataCnf = 134,
    StatusInfo = 255,
};

/// One row of the message set.
struct MessageInfo {
    MessageCode code;
    std::string_view name;
    /// True when the frame carries `length` data bytes; false when the length byte only
    /// tells how many bytes are to be read (requests 1-3) or were written (confirms 132-134).
    bool carriesData;
    /// Kind posted to the mailbox when this message is received.
    LinkEventKind receivedKind;
    /// For requests: the confirm kind a transfer waits for; None for every other message.
    LinkEventKind confirmKind;
};

/// The whole message set, in handler order; builder, receiver, dispatcher and simulator
/// all look codes up here.
inline constexpr std::array<MessageInfo, 13> kMessageTable{{
    {MessageCode::ReadEepromDataReq, "ReadEepromDataReq", false, LinkEventKind::ReadEepromDataReq,
     LinkEventKind::ReadEepromDataCnf},
    {MessageCode::ReadProgramDataReq, "ReadProgramDataReq", false,
     LinkEventKind::ReadProgramDataReq, LinkEventKind::ReadProgramDataCnf},
    {MessageCode::ReadRamDataReq, "ReadRamDataReq", false, LinkEventKind::ReadRamDataReq,
     LinkEventKind::ReadRamDataCnf},
    {MessageCode::WriteEepromDataReq, "WriteEepromDataReq", true,
     LinkEventKind::WriteEepromDataReq, LinkEventKind::WriteEepromDataCnf},
    {MessageCode::WriteProgramDataReq, "WriteProgramDataReq", true,
     LinkEventKind::WriteProgramDataReq, LinkEventKind::WriteProgramDataCnf},
    {MessageCode::WriteRamDataReq, "WriteRamDataReq", true, LinkEventKind::WriteRamDataReq,
     LinkEventKind::WriteRamDataCnf},
    {MessageCode::ReadEepromDataCnf, "ReadEepromDataCnf", true, LinkEventKind::ReadEepromDataCnf,
     LinkEventKind::None},
    {MessageCode::ReadProgramDataCnf, "ReadProgramDataCnf", true,
     LinkEventKind::ReadProgramDataCnf, LinkEventKind::None},
    {MessageCode::ReadRamDataCnf, "ReadRamDataCnf", true, LinkEventKind::ReadRamDataCnf,
     LinkEventKind::None},
    {MessageCode::WriteEepromDataCnf, "WriteEepromDataCnf", false,
     LinkEventKind::WriteEepromDataCnf, LinkEventKind::None},
    {MessageCode::WriteProgramDataCnf, "WriteProgramDataCnf", false,
     LinkEventKind::WriteProgramDataCnf, LinkEventKind::None},
    {MessageCode::WriteRamDataCnf, "WriteRamDataCnf", false, LinkEventKind::WriteRamDataCnf,
     LinkEventKind::None},
    {MessageCode::StatusInfo, "StatusInfo", true, LinkEventKind::StatusInfo, LinkEventKind::None},
}};

/// The table row of a code, or nullptr for a code outside the message set.
constexpr const MessageInfo* findMessage(int code) {
    for (const MessageInfo& info : kMessageTable) {
        if (static_cast<int>(info.code) == code) {
            return &info;
        }
    }
    return nullptr;
}

/// Class of a byte that follows a start mark: not a code, a code without data, a code with data.
enum class CodeClass : std::uint8_t { Invalid, WithoutData, WithData };

/// Lookup of every byte value, so the receiver decides a code with one index.
inline constexpr std::array<CodeClass, 256> kCodeClasses = [] {
    std::array<CodeClass, 256> classes{};
    for (const MessageInfo& info : kMessageTable) {
        classes[static_cast<std::size_t>(info.code)] =
            info.carriesData ? CodeClass::WithData : CodeClass::WithoutData;
    }
    return classes;
}();

constexpr CodeClass classOf(std::uint8_t code) { return kCodeClasses[code]; }

}  // namespace qvx::link
