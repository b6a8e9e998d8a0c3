#include "sim/line_pacer.h"

namespace qvx::sim {

namespace {

constexpr std::uint64_t kBitsPerByte = 10;  // start bit, eight data bits, stop bit
constexpr std::uint64_t kNanosPerSecond = 1'000'000'000;

}  // namespace

LinePacer::LinePacer(unsigned bitsPerSecond) : m_bitsPerSecond(bitsPerSecond) {}

TimePoint LinePacer::endOfByte(std::uint64_t n) const {
    if (m_bitsPerSecond == 0) {
        return m_runStart;
    }
    // Whole seconds and the remainder apart, so long runs neither overflow nor round.
    const std::uint64_t bits = n * kBitsPerByte;
    const std::uint64_t seconds = bits / m_bitsPerSecond;
    const std::uint64_t restNanos = (bits % m_bitsPerSecond) * kNanosPerSecond / m_bitsPerSecond;
    return m_runStart + std::chrono::seconds(seconds) +
           std::chrono::nanoseconds(static_cast<std::int64_t>(restNanos));
}

void LinePacer::push(std::span<const std::uint8_t> bytes, TimePoint readyAt) {
    if (bytes.empty()) {
        return;
    }
    if (m_runBytes == 0 || endOfByte(m_runBytes) < readyAt) {
        m_runStart = readyAt;  // the line went quiet: the first start bit begins now
        m_runBytes = 0;
    }
    for (const std::uint8_t byte : bytes) {
        m_bytes.push_back({endOfByte(++m_runBytes), byte});
    }
}

LinePacer::Delivery LinePacer::popDue(TimePoint now) {
    Delivery due;
    while (!m_bytes.empty() && m_bytes.front().end <= now) {
        due.bytes.push_back(m_bytes.front().byte);
        due.lastEnd = m_bytes.front().end;
        m_bytes.pop_front();
    }
    return due;
}

std::optional<TimePoint> LinePacer::nextDue() const {
    if (m_bytes.empty()) {
        return std::nullopt;
    }
    return m_bytes.front().end;
}

void LinePacer::clear() {
    m_bytes.clear();
    m_runBytes = 0;
}

}  // namespace qvx::sim
