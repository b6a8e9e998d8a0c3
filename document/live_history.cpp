#include "document/live_history.h"

namespace qvx::document {

void LiveHistory::append(float gripperMv, float supplyVolts, int outputLevel,
                         std::chrono::steady_clock::time_point at) {
    if (!m_origin) {
        m_origin = at;
    }
    const std::chrono::duration<double> since = at - *m_origin;
    const LiveSample sample{since.count(), gripperMv, supplyVolts, outputLevel};
    if (m_samples.size() < kCapacity) {
        m_samples.push_back(sample);
        return;
    }
    m_samples[m_head] = sample;
    m_head = (m_head + 1) % kCapacity;
}

void LiveHistory::clear() {
    m_samples.clear();
    m_head = 0;
    m_origin.reset();
}

}  // namespace qvx::document
