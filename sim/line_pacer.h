#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "sim/controller.h"

namespace qvx::sim {

/// Lets bytes through no faster than a serial line of the given speed carries them: every
/// byte takes ten bit times (start bit, eight data bits, stop bit) after the one before.
/// Speed 0 lets every byte through at once. No I/O: the owner pushes and pops with the time.
class LinePacer {
public:
    explicit LinePacer(unsigned bitsPerSecond = 0);

    /// Queues bytes that reach the line at `now`.
    void push(std::span<const std::uint8_t> bytes, TimePoint now);
    /// The bytes whose transmission has ended by `now`, in order.
    [[nodiscard]] std::vector<std::uint8_t> popDue(TimePoint now);
    /// When the next queued byte will have gone through.
    [[nodiscard]] std::optional<TimePoint> nextDue() const;
    [[nodiscard]] bool empty() const { return m_bytes.empty(); }
    /// Drops every queued byte (the line was closed).
    void clear();

private:
    struct Timed {
        TimePoint done;     // end of the byte's stop bit
        std::uint8_t byte;  // the byte
    };
    std::chrono::nanoseconds m_byteTime;  // ten bit times
    TimePoint m_lineFreeAt;               // end of the last queued byte
    std::deque<Timed> m_bytes;
};

}  // namespace qvx::sim
