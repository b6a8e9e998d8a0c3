#include "connection/sleep_pumping.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace qvx::connection {

void sleepStep(const UiPump& pump) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (pump) {
        pump();
    }
}

void runPumped(const std::function<void()>& job, const UiPump& pump) {
    std::atomic<bool> done{false};
    std::thread worker([&job, &done] {
        job();
        done = true;
    });
    while (!done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (pump) {
            pump();
        }
    }
    worker.join();
}

void SleepPumping(int durationMs, const UiPump& pump) {
    for (int step = 0; step < durationMs / 100; ++step) {
        sleepStep(pump);
    }
}

}  // namespace qvx::connection
