#pragma once

#include <functional>
#include <initializer_list>
#include <thread>

namespace qvx::gateway {

/// Turns signals into calls of a handler on a thread of its own, so that no work ever runs in
/// a signal handler. The signals are blocked in the constructing thread, and so in every
/// thread it starts afterwards, and read from a signalfd. Construct it before any other thread
/// exists. The signals stay blocked after destruction: one arriving late is then ignored
/// instead of ending the process by its default action.
class SignalWatcher {
public:
    /// `handler` gets the signal number, on the watcher's thread, once per delivery.
    SignalWatcher(std::initializer_list<int> signals, std::function<void(int)> handler);
    /// Stops and joins the watcher thread.
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    /// False when the signals could not be set up; the handler is then never called.
    [[nodiscard]] bool isWatching() const { return m_thread.joinable(); }

private:
    void watch();

    std::function<void(int)> m_handler;
    int m_signalFd = -1;  // readable when one of the signals is pending
    int m_quitFd = -1;    // eventfd that ends the thread
    std::thread m_thread;
};

}  // namespace qvx::gateway
