#pragma once

#include <cstdint>
#include <span>

namespace qvx::link {

/// A parametrised CRC engine (width up to 16 bits); the parameters are data, so every
/// catalogued CRC of that width is a setting of one routine.
struct CrcModel {
    int width = 16;                  ///< register width in bits
    std::uint16_t polynomial = 0x1021;
    std::uint16_t initial = 0xFFFF;  ///< register value before the first byte
    bool reflectInput = false;       ///< reflect each input byte before use
    bool reflectOutput = false;      ///< reflect the register over `width` bits at the end
    std::uint16_t finalXor = 0x0000;
    std::uint16_t workingRegister = 0;  ///< register of the last computation

    /// The link's checksum: width 16, polynomial 0x1021, initial 0xFFFF, no reflection,
    /// no final XOR (check value 0x29B1 over "123456789").
    static constexpr CrcModel linkChecksum() { return CrcModel{}; }

    /// Bitwise computation over `bytes`; also leaves the raw register in `workingRegister`.
    [[nodiscard]] std::uint16_t compute(std::span<const std::uint8_t> bytes);

    [[nodiscard]] bool isLinkChecksum() const;
};

/// Table-driven form of the link checksum; agrees with CrcModel::linkChecksum().compute().
[[nodiscard]] std::uint16_t linkChecksum(std::span<const std::uint8_t> bytes);

}  // namespace qvx::link
