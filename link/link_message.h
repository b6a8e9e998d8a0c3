#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "link/crc_model.h"

namespace qvx::link {

inline constexpr std::uint8_t kStartMark = 0x02;
inline constexpr std::uint8_t kEndMark = 0x03;
/// Start mark, code, two address bytes, length, end mark and two checksum bytes.
inline constexpr std::size_t kFrameOverhead = 8;
/// Longest frame: 255 data bytes.
inline constexpr std::size_t kMaxFrameSize = kFrameOverhead + 255;

/// One protocol message, built for sending or decoded from a received frame.
///
/// Frame: 02 code addrLo addrHi length [data...] 03 crcHi crcLo. The address is
/// little-endian, the checksum big-endian; there is no byte stuffing.
struct LinkMessage {
    int code = 1;               ///< message code (1-6, 129-134, 255)
    std::uint16_t address = 0;  ///< device memory address
    int length = 0;             ///< the length byte
    std::vector<std::uint8_t> data;  ///< data bytes; empty for codes without data
    std::uint16_t crc = 0;      ///< checksum computed by build(), or the one received
    bool checkCrc = false;      ///< verify a received checksum
    CrcModel crcModel = CrcModel::linkChecksum();
    std::vector<std::uint8_t> frameBytes;  ///< the complete frame, start mark to checksum

    /// Fills `frameBytes` and `crc` from code, address, length and data. Refuses (false,
    /// frame left empty) a code outside the message set, a length outside 0..255, or a
    /// data-carrying code whose data count differs from the length byte, since such a
    /// frame could not be cut out of the stream again by its receiver.
    [[nodiscard]] bool build();

    /// Decodes a complete candidate frame. False, message unchanged, if the bytes are not
    /// a valid frame (too short for its own length byte, wrong marks, unknown code, or a
    /// checksum mismatch while `checkCrc` is set).
    [[nodiscard]] bool parse(std::span<const std::uint8_t> candidate);

    /// True if checking is off, or the checksum over `frameBytes` less its last two
    /// bytes equals `crc`.
    [[nodiscard]] bool verifyCrc() const;
};

}  // namespace qvx::link
