#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace qvx::gateway {

/// Ends sessions in which nothing moves: once a session has been quiet for the time-out (no
/// touch() since begin() or the last touch()), a watcher thread calls `onIdle` once for it.
///
/// Threads: begin, touch and end may be called from any thread; touch costs a clock read and
/// an atomic store, so the relay can call it for every piece it moves. `onIdle` runs on the
/// watcher thread with the watch's lock held: it must not call begin or end itself.
class IdleWatch {
public:
    /// Starts the watcher thread. `timeout` must be positive.
    IdleWatch(std::chrono::milliseconds timeout, std::function<void()> onIdle);
    /// Stops and joins the watcher thread; `onIdle` is not called any more afterwards.
    ~IdleWatch();
    IdleWatch(const IdleWatch&) = delete;
    IdleWatch& operator=(const IdleWatch&) = delete;

    /// A session starts now.
    void begin();
    /// Bytes moved in the current session.
    void touch() {
        m_lastActivity.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                             std::memory_order_relaxed);
    }
    /// The session is over; no `onIdle` for it.
    void end();

private:
    void watch(const std::stop_token& stop);

    const std::chrono::milliseconds m_timeout;
    const std::function<void()> m_onIdle;
    std::atomic<std::chrono::steady_clock::rep> m_lastActivity{0};  // steady clock ticks
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    bool m_active = false;   // guarded by m_mutex: a session is watched
    std::jthread m_watcher;  // last member: started after the fields above exist
};

}  // namespace qvx::gateway
