#include "gateway/login_line.h"

namespace qvx::gateway {

namespace {

constexpr std::uint8_t kZero = 0x00;
constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::uint8_t kCarriageReturn = 0x0D;

}  // namespace

std::size_t LoginLineCollector::feed(std::span<const std::uint8_t> bytes) {
    std::size_t taken = 0;
    while (!m_complete && taken < bytes.size()) {
        const std::uint8_t byte = bytes[taken++];
        if (byte == kZero || byte == kLineFeed) {
            m_complete = true;
        } else if (byte != kCarriageReturn) {
            m_line.push_back(static_cast<char>(byte));
            m_complete = m_line.size() >= kMaxLineBytes;
        }
    }
    return taken;
}

void LoginLineCollector::clear() {
    m_line.clear();
    m_complete = false;
}

}  // namespace qvx::gateway
