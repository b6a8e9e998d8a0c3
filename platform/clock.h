#pragma once

#include <chrono>

namespace qvx::platform {

/// Monotonic time source, passed into anything whose behaviour depends on elapsed time,
/// so tests can run time-outs and age limits on fake time.
class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual std::chrono::steady_clock::time_point now() const = 0;
};

/// The real monotonic clock.
class SteadyClock final : public Clock {
public:
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::now();
    }
    static const SteadyClock& instance() {
        static const SteadyClock clock;
        return clock;
    }
};

}  // namespace qvx::platform
