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

/// Runs `job` on a worker thread and dispatches pending user-interface messages every 10 ms
/// until it has ended and its thread is joined. The job must not touch the user interface.
void runPumped(const std::function<void()>& job, const UiPump& pump);

}  // namespace qvx::connection
