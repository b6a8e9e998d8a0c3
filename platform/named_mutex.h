#pragma once

#include <chrono>
#include <mutex>
#include <string>

namespace qvx::platform {

/// A timed mutex looked up by name: every NamedTimedMutex with the same name in this process
/// shares one lock. Deliberately not shared between processes: on POSIX a crashed holder of a
/// cross-process lock would block every other instance for good.
class NamedTimedMutex {
public:
    explicit NamedTimedMutex(const std::string& name);

    [[nodiscard]] bool tryLockFor(std::chrono::milliseconds timeout) {
        return m_mutex->try_lock_for(timeout);
    }
    void unlock() { m_mutex->unlock(); }

    // Lockable interface, for std::unique_lock.
    void lock() { m_mutex->lock(); }
    [[nodiscard]] bool try_lock() { return m_mutex->try_lock(); }
    template <class Rep, class Period>
    [[nodiscard]] bool try_lock_for(const std::chrono::duration<Rep, Period>& timeout) {
        return m_mutex->try_lock_for(timeout);
    }

private:
    std::timed_mutex* m_mutex;  // owned by the process-wide registry, lives until exit
};

}  // namespace qvx::platform
