#include "views/ui_state.h"

#include <QEventLoop>
#include <atomic>
#include <thread>
#include <vector>

namespace qvx::views {

namespace {

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
    QEventLoop loop;
    // The quit is queued to the user-interface thread, so it is seen even when the job ends
    // before the loop has started.
    std::jthread worker([&job, &loop] {
        job();
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
}

}  // namespace qvx::views
