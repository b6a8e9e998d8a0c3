#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

namespace qvx::document {

/// One point of the operating-state plot.
struct LiveSample {
    double seconds = 0.0;      ///< time since the first sample of the history, s
    float gripperMv = 0.0F;    ///< gripper value, mV (shown in the display unit in force)
    float supplyVolts = 0.0F;  ///< Ub, V; 0 when its read failed
    int outputLevel = 0;       ///< plotted output level, 0..5
};

/// The operating-state plot's points, kept by the document so that they outlive the view:
/// the newest kCapacity samples, oldest first. Written and read by the user-interface thread.
class LiveHistory {
public:
    static constexpr std::size_t kCapacity = 640;

    /// Appends a sample taken at `at`, dropping the oldest when full.
    void append(float gripperMv, float supplyVolts, int outputLevel,
                std::chrono::steady_clock::time_point at);
    [[nodiscard]] std::size_t size() const { return m_samples.size(); }
    [[nodiscard]] bool empty() const { return m_samples.empty(); }
    /// Sample `index`, 0 the oldest.
    [[nodiscard]] const LiveSample& operator[](std::size_t index) const {
        return m_samples[(m_head + index) % m_samples.size()];
    }
    [[nodiscard]] const LiveSample& newest() const { return (*this)[size() - 1]; }
    /// Forgets every sample; the next one starts the time at 0 again.
    void clear();

private:
    std::vector<LiveSample> m_samples;
    std::size_t m_head = 0;  // oldest sample once the ring has wrapped
    std::optional<std::chrono::steady_clock::time_point> m_origin;
};

}  // namespace qvx::document
