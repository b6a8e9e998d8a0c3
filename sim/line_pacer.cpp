#include "sim/line_pacer.h"

#include <algorithm>

namespace qvx::sim {

LinePacer::LinePacer(unsigned bitsPerSecond)
    : m_byteTime(bitsPerSecond == 0 ? std::chrono::nanoseconds(0)
                                    : std::chrono::nanoseconds(10'000'000'000LL / bitsPerSecond)) {}

void LinePacer::push(std::span<const std::uint8_t> bytes, TimePoint now) {
    for (const std::uint8_t byte : bytes) {
        m_lineFreeAt = std::max(m_lineFreeAt, now) + m_byteTime;
        m_bytes.push_back({m_lineFreeAt, byte});
    }
}

std::vector<std::uint8_t> LinePacer::popDue(TimePoint now) {
    std::vector<std::uint8_t> due;
    while (!m_bytes.empty() && m_bytes.front().done <= now) {
        due.push_back(m_bytes.front().byte);
        m_bytes.pop_front();
    }
    return due;
}

std::optional<TimePoint> LinePacer::nextDue() const {
    if (m_bytes.empty()) {
        return std::nullopt;
    }
    return m_bytes.front().done;
}

void LinePacer::clear() {
    m_bytes.clear();
}

}  // namespace qvx::sim
