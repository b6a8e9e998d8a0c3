#include "connection/sleep_pumping.h"

#include <chrono>
#include <thread>

namespace qvx::connection {

void sleepStep(const UiPump& pump) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (pump) {
        pump();
    }
}

void SleepPumping(int durationMs, const UiPump& pump) {
    for (int step = 0; step < durationMs / 100; ++step) {
        sleepStep(pump);
    }
}

}  // namespace qvx::connection
