#include "views/ui_state.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace qvx::views {

namespace {

/// How often the user-interface thread looks whether a pumped job has ended: short against a
/// reply wait, long enough to cost nothing.
constexpr std::chrono::milliseconds kPumpingPollInterval{5};

std::atomic<bool>& enabledFlag() {
    static std::atomic<bool> flag{true};
    return flag;
}

/// The user-interface thread's running operations that can be cut short, innermost last, and
/// what waits for all of them to end.
struct BusyOperations {
    std::vector<std::function<void()>> cancels;
    std::vector<std::function<void()>> afterwards;
};

BusyOperations& busyOperations() {
    static BusyOperations operations;
    return operations;
}

}  // namespace

bool uiEnabled() { return enabledFlag(); }

UiBusyScope::UiBusyScope() : m_previous(enabledFlag().exchange(false)), m_cancellable(false) {}

UiBusyScope::UiBusyScope(std::function<void()> cancel)
    : m_previous(enabledFlag().exchange(false)), m_cancellable(true) {
    busyOperations().cancels.push_back(std::move(cancel));
}

UiBusyScope::~UiBusyScope() {
    BusyOperations& operations = busyOperations();
    if (m_cancellable) {
        operations.cancels.pop_back();  // scopes end in reverse order: this one is the last
    }
    enabledFlag() = m_previous;
    if (m_previous && !operations.afterwards.empty()) {
        const std::vector<std::function<void()>> afterwards = std::move(operations.afterwards);
        operations.afterwards.clear();
        for (const std::function<void()>& action : afterwards) {
            action();
        }
    }
}

bool cancelBusyOperations(std::function<void()> then) {
    BusyOperations& operations = busyOperations();
    if (operations.cancels.empty()) {
        return false;
    }
    // Walked on a copy: a handler may start or end a scope of its own.
    const std::vector<std::function<void()>> cancels = operations.cancels;
    for (const std::function<void()>& cancel : cancels) {
        cancel();
    }
    if (then) {
        operations.afterwards.push_back(std::move(then));
    }
    return true;
}

void runPumping(const std::function<void()>& job) {
    // The worker only sets a flag; the loop looks at it from a timer of its own thread. Nothing
    // of Qt crosses the threads, so the only hand-over is this flag and the join.
    std::atomic<bool> done{false};
    std::jthread worker([&job, &done] {
        job();
        done.store(true, std::memory_order_release);
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&done, &loop] {
        if (done.load(std::memory_order_acquire)) {
            loop.quit();
        }
    });
    poll.start(kPumpingPollInterval);
    loop.exec();
}

}  // namespace qvx::views
