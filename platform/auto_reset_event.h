#pragma once

#include <chrono>
#include <initializer_list>

namespace qvx::platform {

/// An event that wakes exactly one waiter and then clears itself, like a Win32 auto-reset event.
/// Backed by an eventfd, so a waiter can also poll it together with sockets.
class AutoResetEvent {
public:
    AutoResetEvent();
    ~AutoResetEvent();
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    /// Signals the event; signalling an already signalled event changes nothing.
    [[nodiscard]] bool set();
    /// Waits up to `timeout` for the event and clears it; false on time-out.
    [[nodiscard]] bool wait(std::chrono::milliseconds timeout);
    /// Waits without a time limit.
    void waitForever();
    /// Clears the event without waiting; true if it was signalled.
    bool tryConsume();

    /// Descriptor that becomes readable while the event is signalled (for poll()).
    [[nodiscard]] int descriptor() const { return m_fd; }

private:
    int m_fd;
};

constexpr std::chrono::milliseconds kInfinite{-1};

/// Waits until one of the events is signalled and clears that one event.
/// Returns its index in argument order (the first signalled one wins if several are),
/// or -1 on time-out. A negative timeout waits without limit.
int waitAny(std::initializer_list<AutoResetEvent*> events, std::chrono::milliseconds timeout);

}  // namespace qvx::platform
