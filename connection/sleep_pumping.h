#pragma once

#include <functional>

namespace qvx::connection {

/// Dispatches the user interface's pending messages (the desktop program passes Qt's event
/// processing; tests and the command-line tool pass nothing or a counter).
using UiPump = std::function<void()>;

/// Waits duration / 100 steps of 100 ms (integer division), dispatching pending
/// user-interface messages after each step, so the windows stay responsive.
void SleepPumping(int durationMs, const UiPump& pump);

/// One 100 ms step of SleepPumping.
void sleepStep(const UiPump& pump);

}  // namespace qvx::connection
