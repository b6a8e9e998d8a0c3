#include "platform/auto_reset_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <vector>

namespace qvx::platform {

AutoResetEvent::AutoResetEvent() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (m_fd < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

AutoResetEvent::~AutoResetEvent() { ::close(m_fd); }

bool AutoResetEvent::set() {
    const std::uint64_t one = 1;
    // The counter saturates long before overflow matters; EAGAIN would mean it is already set.
    const ssize_t n = ::write(m_fd, &one, sizeof one);
    return n == static_cast<ssize_t>(sizeof one) || errno == EAGAIN;
}

bool AutoResetEvent::tryConsume() {
    std::uint64_t value = 0;
    // Reading an eventfd (not in semaphore mode) returns the counter and resets it to zero:
    // of several waiters woken by poll(), exactly one gets the signal.
    return ::read(m_fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

bool AutoResetEvent::wait(std::chrono::milliseconds timeout) { return waitAny({this}, timeout) == 0; }

void AutoResetEvent::waitForever() { (void)waitAny({this}, kInfinite); }

int waitAny(std::initializer_list<AutoResetEvent*> events, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const bool limited = timeout.count() >= 0;
    const auto deadline = Clock::now() + (limited ? timeout : std::chrono::milliseconds(0));

    std::vector<pollfd> fds;
    fds.reserve(events.size());
    for (const AutoResetEvent* event : events) {
        fds.push_back(pollfd{event->descriptor(), POLLIN, 0});
    }

    for (;;) {
        int index = 0;
        for (AutoResetEvent* event : events) {
            if (event->tryConsume()) {
                return index;
            }
            ++index;
        }
        int waitMs = -1;
        if (limited) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                return -1;
            }
            waitMs = static_cast<int>(left);
        }
        const int ready = ::poll(fds.data(), fds.size(), waitMs);
        if (ready < 0 && errno != EINTR) {
            return -1;
        }
        // Readable or not, loop: another waiter may have taken the signal first.
    }
}

}  // namespace qvx::platform
