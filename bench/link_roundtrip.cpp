// Request/confirm round trips through the device link to an in-process controller over
// loopback: exchanges per second, with median and 99th-percentile latency.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "link/device_link.h"
#include "tests/support/scripted_peer.h"

namespace {

using namespace std::chrono_literals;
using qvx::link::DeviceLink;
using qvx::link::LinkMessage;
using qvx::test::ScriptedPeer;

void reportLatency(benchmark::State& state, std::vector<double>& micros) {
    if (micros.empty()) {
        return;
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["exchanges_per_s"] =
        benchmark::Counter(static_cast<double>(micros.size()), benchmark::Counter::kIsRate);
}

/// One read of `count` bytes (count / 32 exchanges with the default block length).
void BM_ReadRoundTrip(benchmark::State& state) {
    ScriptedPeer peer([](const LinkMessage& request, int) { return ScriptedPeer::confirm(request); });
    DeviceLink link;
    if (!link.connect(peer.port(), "127.0.0.1") ||
        !qvx::test::waitUntil([&] { return link.isConnected(); }, 5s)) {
        state.SkipWithError("no connection to the in-process controller");
        return;
    }
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<double> micros;
    micros.reserve(100000);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!link.readRam(32, count)) {
            state.SkipWithError("read failed");
            break;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    reportLatency(state, micros);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(BM_ReadRoundTrip)->Arg(2)->Arg(32)->Arg(255)->UseRealTime()->MinTime(2.0);

/// One engine-locked device operation, as the polling thread issues them.
void BM_PollingCycleReads(benchmark::State& state) {
    ScriptedPeer peer([](const LinkMessage& request, int) { return ScriptedPeer::confirm(request); });
    DeviceLink link;
    if (!link.connect(peer.port(), "127.0.0.1") ||
        !qvx::test::waitUntil([&] { return link.isConnected(); }, 5s)) {
        state.SkipWithError("no connection to the in-process controller");
        return;
    }
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        int outputs = 0;
        std::array<int, 5> points{};
        float value = 0;
        if (!link.readOutputStatus(outputs) || !link.readSwitchPoints(points) || !link.readGripperValue(value, 0)) {
            state.SkipWithError("read failed");
            break;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    reportLatency(state, micros);
}
BENCHMARK(BM_PollingCycleReads)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
