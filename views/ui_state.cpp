#include "views/ui_state.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

namespace qvx::views {

namespace {
std::atomic<bool>& enabledFlag() {
    static std::atomic<bool> flag{true};
    return flag;
}
}  // namespace

bool uiEnabled() { return enabledFlag(); }

UiBusyScope::UiBusyScope() : m_previous(enabledFlag().exchange(false)) {}

UiBusyScope::~UiBusyScope() { enabledFlag() = m_previous; }

void pumpingWait(std::chrono::milliseconds duration) {
    const QDeadlineTimer deadline(duration);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
}

bool pumpingWaitFor(const std::function<bool()>& done, std::chrono::milliseconds step, std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        pumpingWait(step);
    }
    return true;
}

}  // namespace qvx::views
