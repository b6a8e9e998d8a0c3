#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace qvx::platform {

/// A timed mutex built on a condition variable. std::timed_mutex would do, but its timed
/// wait goes through pthread_mutex_clocklock, which ThreadSanitizer does not follow.
class TimedMutex {
public:
    [[nodiscard]] bool tryLockFor(std::chrono::milliseconds timeout) {
        std::unique_lock guard(m_mutex);
        if (!m_released.wait_for(guard, timeout, [this] { return !m_locked; })) {
            return false;
        }
        m_locked = true;
        return true;
    }
    void lock() {
        std::unique_lock guard(m_mutex);
        m_released.wait(guard, [this] { return !m_locked; });
        m_locked = true;
    }
    void unlock() {
        {
            const std::lock_guard guard(m_mutex);
            m_locked = false;
        }
        m_released.notify_one();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_locked = false;  // guarded by m_mutex
};

/// A timed mutex looked up by name: every NamedTimedMutex with the same name in this process
/// shares one lock. Deliberately not shared between processes: on POSIX a crashed holder of a
/// cross-process lock would block every other instance for good.
class NamedTimedMutex {
public:
    explicit NamedTimedMutex(const std::string& name);

    [[nodiscard]] bool tryLockFor(std::chrono::milliseconds timeout) {
        return m_mutex->tryLockFor(timeout);
    }
    void lock() { m_mutex->lock(); }
    void unlock() { m_mutex->unlock(); }

private:
    TimedMutex* m_mutex;  // owned by the process-wide registry, lives until exit
};

}  // namespace qvx::platform
