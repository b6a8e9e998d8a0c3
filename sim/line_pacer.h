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
/// byte takes ten bit times (start bit, eight data bits, stop bit). Speed 0 lets every byte
/// through at once. No I/O: the owner pushes and pops with the time.
///
/// Bytes that follow each other without a pause form a run, and byte n of a run ends at
/// exactly start + n × byte time, however late the owner pops them: a late pop delays the
/// bytes it finds but none after them, so the pacing error never adds up along a run.
class LinePacer {
public:
    /// Bytes whose transmission has ended, with when the last of them ended.
    struct Delivery {
        std::vector<std::uint8_t> bytes;  ///< in line order
        TimePoint lastEnd{};              ///< end of the last byte's stop bit (if any byte)
    };

    explicit LinePacer(unsigned bitsPerSecond = 0);

    /// Queues bytes ready for the line at `readyAt`: they follow the queued bytes back to back,
    /// or start a new run at `readyAt` when the line has gone quiet by then.
    void push(std::span<const std::uint8_t> bytes, TimePoint readyAt);
    /// The bytes whose transmission has ended by `now`, in order.
    [[nodiscard]] Delivery popDue(TimePoint now);
    /// When the next queued byte will have gone through.
    [[nodiscard]] std::optional<TimePoint> nextDue() const;
    [[nodiscard]] bool empty() const { return m_bytes.empty(); }
    /// Drops every queued byte (the line was closed); the next byte starts a new run.
    void clear();

private:
    struct Timed {
        TimePoint end;      // end of the byte's stop bit
        std::uint8_t byte;  // the byte
    };
    /// End of byte n (from 1) of the current run, to the nanosecond and without rounding
    /// error carried from one byte to the next.
    [[nodiscard]] TimePoint endOfByte(std::uint64_t n) const;

    std::uint64_t m_bitsPerSecond;  // line speed, bit/s; 0 = unpaced
    TimePoint m_runStart{};         // when the current run's first start bit began
    std::uint64_t m_runBytes = 0;   // bytes queued in the current run so far
    std::deque<Timed> m_bytes;
};

}  // namespace qvx::sim
