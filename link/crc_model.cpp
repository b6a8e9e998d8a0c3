#include "link/crc_model.h"

#include <array>

namespace qvx::link {

namespace {

std::uint32_t reflect(std::uint32_t value, int bits) {
    std::uint32_t result = 0;
    for (int i = 0; i < bits; ++i) {
        if ((value >> i) & 1U) {
            result |= 1U << (bits - 1 - i);
        }
    }
    return result;
}

constexpr std::array<std::uint16_t, 256> kLinkTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t reg = byte << 8;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 0x8000U) != 0 ? (reg << 1) ^ 0x1021U : reg << 1;
        }
        table[byte] = static_cast<std::uint16_t>(reg);
    }
    return table;
}();

}  // namespace

std::uint16_t CrcModel::compute(std::span<const std::uint8_t> bytes) {
    const std::uint32_t mask = width >= 32 ? 0xFFFFFFFFU : (1U << width) - 1U;
    const std::uint32_t topBit = 1U << (width - 1);
    std::uint32_t reg = initial & mask;
    for (std::uint8_t byte : bytes) {
        const std::uint32_t in = reflectInput ? reflect(byte, 8) : byte;
        reg ^= width >= 8 ? in << (width - 8) : in >> (8 - width);
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & topBit) != 0 ? (reg << 1) ^ polynomial : reg << 1;
            reg &= mask;
        }
    }
    workingRegister = static_cast<std::uint16_t>(reg);
    const std::uint32_t out = reflectOutput ? reflect(reg, width) : reg;
    return static_cast<std::uint16_t>((out ^ finalXor) & mask);
}

bool CrcModel::isLinkChecksum() const {
    const CrcModel standard = linkChecksum();
    return width == standard.width && polynomial == standard.polynomial &&
           initial == standard.initial && reflectInput == standard.reflectInput &&
           reflectOutput == standard.reflectOutput && finalXor == standard.finalXor;
}

std::uint16_t linkChecksum(std::span<const std::uint8_t> bytes) {
    std::uint16_t reg = 0xFFFF;
    for (std::uint8_t byte : bytes) {
        reg = static_cast<std::uint16_t>((reg << 8) ^ kLinkTable[((reg >> 8) ^ byte) & 0xFFU]);
    }
    return reg;
}

}  // namespace qvx::link
