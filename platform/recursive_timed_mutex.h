#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qvx::platform {

/// A mutex its owner may take again (each take needs its own unlock) with a timed wait for
/// everybody else. Built on a condition variable so ThreadSanitizer can follow it.
class RecursiveTimedMutex {
public:
    [[nodiscard]] bool tryLockFor(std::chrono::milliseconds timeout) {
        const auto self = std::this_thread::get_id();
        std::unique_lock guard(m_mutex);
        if (m_depth > 0 && m_owner == self) {
            ++m_depth;
            return true;
        }
        if (!m_released.wait_for(guard, timeout, [this] { return m_depth == 0; })) {
            return false;
        }
        m_owner = self;
        m_depth = 1;
        return true;
    }

    /// Releases one take; only the owner may call it.
    void unlock() {
        {
            const std::lock_guard guard(m_mutex);
            if (m_depth == 0 || m_owner != std::this_thread::get_id()) {
                return;
            }
            if (--m_depth > 0) {
                return;
            }
            m_owner = {};
        }
        m_released.notify_one();
    }

    /// True if the calling thread holds the lock.
    [[nodiscard]] bool heldByCaller() const {
        const std::lock_guard guard(m_mutex);
        return m_depth > 0 && m_owner == std::this_thread::get_id();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::thread::id m_owner;  // guarded by m_mutex
    int m_depth = 0;          // guarded by m_mutex; takes by the owner
};

}  // namespace qvx::platform
