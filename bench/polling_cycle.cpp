// Polling cycles per second of the document's polling thread against the simulated
// controller over TCP, unpaced and with the line paced as a 9600 bit/s serial line, next to
// the limit the cycle implies: five 10 ms waits plus three request/confirm exchanges.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "document/document.h"
#include "link/device_link.h"
#include "sim/sim_server.h"

namespace {

using namespace std::chrono_literals;

/// Bytes on the line per cycle: three requests of 8 bytes, confirms of 9 (output status),
/// 18 (switch points) and 10 (gripper value) bytes.
constexpr double kCycleBytes = 3 * 8 + 9 + 18 + 10;

qvx::sim::ServerConfig serverAt(unsigned baud) {
    qvx::sim::ServerConfig config;
    config.baud = baud;
    return config;
}

/// Starts the simulated controller and connects the link to it, waiting up to 5 s; false,
/// with the benchmark skipped and the reason given, when either fails.
bool connect(qvx::sim::SimServer& server, qvx::link::DeviceLink& link, benchmark::State& state) {
    std::string error;
    if (!server.start(error)) {
        state.SkipWithError(error.c_str());
        return false;
    }
    if (!link.connect(server.port(), "127.0.0.1")) {
        state.SkipWithError("no connection");
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!link.isConnected() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    if (!link.isConnected()) {
        state.SkipWithError("no connection");
        return false;
    }
    return true;
}

void BM_PollingCycles(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    qvx::sim::SimServer server(serverAt(baud));
    qvx::document::CQvx_controllerDoc document;
    if (!connect(server, document.link(), state)) {
        return;
    }
    document.startPolling();
    for (auto _ : state) {
        const auto before = document.pollCycles.load();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(2s);
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        state.counters["cycles_per_s"] = static_cast<double>(document.pollCycles.load() - before) / seconds;
    }
    document.stopPolling();
    // The limit: 50 ms of waits, plus the bytes on the line at the given speed.
    const double lineSeconds = baud == 0 ? 0.0 : kCycleBytes * 10.0 / baud;
    state.counters["limit_cycles_per_s"] = 1.0 / (0.050 + lineSeconds);
    state.counters["poll_ok"] = document.pollOk ? 1 : 0;
}
BENCHMARK(BM_PollingCycles)->Arg(0)->Arg(9600)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

/// Reading back a whole recording as the recording view does: three channels of 640 samples in
/// chunks of 20, next to the time its bytes need on the line (a request of 8 bytes and a
/// confirm of 48 per chunk).
void BM_RecordingTransfer(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    qvx::sim::SimServer server(serverAt(baud));
    qvx::link::DeviceLink link;
    if (!connect(server, link, state)) {
        return;
    }
    std::vector<float> gripper(640);
    std::vector<float> supply(640);
    std::vector<int> outputs(640);
    for (auto _ : state) {
        for (std::size_t first = 0; first < 640; first += 20) {
            if (!link.readRecordingGripper(gripper, first, 20) || !link.readRecordingSupply(supply, first, 20) ||
                !link.readRecordingOutputs(outputs, first, 20)) {
                state.SkipWithError("transfer failed");
                return;
            }
        }
    }
    constexpr double kBytes = 3 * 32 * (8 + 48);
    state.counters["line_time_s"] = baud == 0 ? 0.0 : kBytes * 10.0 / baud;
}
BENCHMARK(BM_RecordingTransfer)->Arg(9600)->Arg(115200)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
