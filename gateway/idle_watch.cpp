#include "gateway/idle_watch.h"

#include <utility>

namespace qvx::gateway {

IdleWatch::IdleWatch(std::chrono::milliseconds timeout, std::function<void()> onIdle)
    : m_timeout(timeout),
      m_onIdle(std::move(onIdle)),
      m_watcher([this](const std::stop_token& stop) { watch(stop); }) {}

IdleWatch::~IdleWatch() {
    m_watcher.request_stop();
    m_watcher.join();
}

void IdleWatch::begin() {
    touch();
    {
        const std::lock_guard lock(m_mutex);
        m_active = true;
    }
    m_changed.notify_all();
}

void IdleWatch::end() {
    {
        const std::lock_guard lock(m_mutex);
        m_active = false;
    }
    m_changed.notify_all();
}

void IdleWatch::watch(const std::stop_token& stop) {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(m_mutex);
    while (!stop.stop_requested()) {
        if (!m_active) {
            (void)m_changed.wait(lock, stop, [this] { return m_active; });
            continue;
        }
        // Touches do not wake the watcher: it looks again when the last known quiet time
        // would have run out.
        const Clock::time_point deadline =
            Clock::time_point(Clock::duration(m_lastActivity.load(std::memory_order_relaxed))) +
            m_timeout;
        if (Clock::now() >= deadline) {
            m_active = false;
            m_onIdle();
            continue;
        }
        (void)m_changed.wait_until(lock, stop, deadline, [this] { return !m_active; });
    }
}

}  // namespace qvx::gateway
