#pragma once

#include <atomic>
#include <chrono>
#include <functional>

namespace qvx::views {

/// Process-wide: while false, navigation between views and closing the window do nothing.
/// Long operations on the user-interface thread clear it through a UiBusyScope.
[[nodiscard]] bool uiEnabled();

/// Clears `uiEnabled` for its lifetime and restores the previous value at the end; nested
/// scopes restore in order, so an inner operation never re-enables closing under an outer one.
class UiBusyScope {
public:
    UiBusyScope();
    ~UiBusyScope();
    UiBusyScope(const UiBusyScope&) = delete;
    UiBusyScope& operator=(const UiBusyScope&) = delete;

private:
    bool m_previous;
};

/// Waits `duration` while the user interface keeps processing its events (painting, timers);
/// the only nested event loop of the program's views.
void pumpingWait(std::chrono::milliseconds duration);

/// Waits in steps of `step` until `done` returns true or `limit` has passed, processing
/// events meanwhile; true when `done` held.
[[nodiscard]] bool pumpingWaitFor(const std::function<bool()>& done, std::chrono::milliseconds step,
                                  std::chrono::milliseconds limit);

}  // namespace qvx::views
