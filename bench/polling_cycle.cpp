// Polling cycles per second of the document's polling thread against the simulated
// controller over TCP, unpaced and with the line paced as a 9600 bit/s serial line, next to
// the limit the cycle implies: five 10 ms waits plus three request/confirm exchanges. And the
// transfer of a whole recording, from the simulated controller over TCP and through
// qvx_gateway with the simulated controller on a pseudo-terminal, next to the time its bytes
// need on the line.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "document/document.h"
#include "link/device_link.h"
#include "link/link_message.h"
#include "sim/sim_server.h"
#include "tests/e2e/child_process.h"
#include "tests/gateway/gateway_test_support.h"
#include "tests/gateway/tcp_test_client.h"

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

/// A recording as the recording view reads it: three channels of 640 samples, in chunks of
/// 20 samples (40 bytes) per channel.
constexpr std::size_t kRecordingSamples = 640;
constexpr std::size_t kChunkSamples = 20;
constexpr std::size_t kChunkBytes = 2 * kChunkSamples;

/// Bytes on the line for one read of `count` bytes: the link splits it into blocks of at most
/// `block` bytes, each a request frame and a confirm frame that carries the block.
std::size_t lineBytesOfRead(std::size_t count, std::size_t block) {
    std::size_t bytes = 0;
    for (std::size_t offset = 0; offset < count; offset += block) {
        bytes += 2 * qvx::link::kFrameOverhead + std::min(block, count - offset);
    }
    return bytes;
}

/// Reads the whole recording through `link`; false (with the benchmark told) on a failure.
bool readRecording(qvx::link::DeviceLink& link, benchmark::State& state) {
    std::vector<float> gripper(kRecordingSamples);
    std::vector<float> supply(kRecordingSamples);
    std::vector<int> outputs(kRecordingSamples);
    for (std::size_t first = 0; first < kRecordingSamples; first += kChunkSamples) {
        if (!link.readRecordingGripper(gripper, first, kChunkSamples) ||
            !link.readRecordingSupply(supply, first, kChunkSamples) ||
            !link.readRecordingOutputs(outputs, first, kChunkSamples)) {
            state.SkipWithError("transfer failed");
            return false;
        }
    }
    return true;
}

/// Reads the recording once per iteration and reports the time its bytes need on a line of
/// `baud` bit/s (10 bits a byte) and the transfer time as a multiple of it.
void transferRecordings(benchmark::State& state, qvx::link::DeviceLink& link, unsigned baud) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!readRecording(link, state)) {
            return;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t reads = 3 * kRecordingSamples / kChunkSamples;
    const double bytes =
        static_cast<double>(reads * lineBytesOfRead(kChunkBytes, link.maxBlockLength()));
    const double lineSeconds = bytes * 10.0 / baud;
    state.counters["line_time_s"] = lineSeconds;
    state.counters["x_line_time"] = seconds / static_cast<double>(state.iterations()) / lineSeconds;
}

/// Reading back a whole recording from the simulated controller over TCP, its line paced.
void BM_RecordingTransfer(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    qvx::sim::SimServer server(serverAt(baud));
    qvx::link::DeviceLink link;
    if (!connect(server, link, state)) {
        return;
    }
    transferRecordings(state, link, baud);
}
BENCHMARK(BM_RecordingTransfer)->Arg(9600)->Arg(115200)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);

#ifdef QVX_GATEWAY_PROGRAM
/// The same transfer through qvx_gateway (console mode without output, Secured=0, its COM
/// port set to the line speed) to the simulated controller on a pseudo-terminal, paced there.
void BM_RecordingTransferThroughGateway(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    const qvx::gateway::test::TempDir dir;
    qvx::sim::ServerConfig config = serverAt(baud);
    config.transport = qvx::sim::Transport::Pty;
    config.ptyPath = (dir.path() / "controller.tty").string();
    qvx::sim::SimServer server(config);
    std::string error;
    if (!server.start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::uint16_t base = qvx::gateway::test::freePortRange(1);
    std::filesystem::create_symlink(QVX_GATEWAY_PROGRAM, dir.path() / "qvx_gateway");
    qvx::gateway::test::writeTextFile(
        dir.path() / "qvx_gateway.ini",
        "[Globals]\nBasePortAddress=" + std::to_string(base) + "\nPorts=1\nSecured=0\n[Port1]\n" +
            "COMPort=" + config.ptyPath + "\nBaudRate=" + std::to_string(baud) + "\n");
    const qvx::test::ChildProcess gateway({(dir.path() / "qvx_gateway").string(), "-f"},
                                          dir.path() / "out.txt", dir.path() / "err.txt");
    // The data port listens once the gateway has read its settings.
    qvx::link::DeviceLink link;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!link.isConnected() && std::chrono::steady_clock::now() < deadline) {
        const unsigned failed = link.failedAttempts();
        (void)link.connect(base + 1, "127.0.0.1");
        while (!link.isConnected() && link.failedAttempts() == failed &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        if (!link.isConnected()) {
            std::this_thread::sleep_for(20ms);  // refused: not listening yet
        }
    }
    if (!link.isConnected()) {
        state.SkipWithError("gateway does not listen");
        return;
    }
    transferRecordings(state, link, baud);
}
BENCHMARK(BM_RecordingTransferThroughGateway)
    ->Arg(9600)
    ->Arg(115200)
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
#endif

}  // namespace

BENCHMARK_MAIN();
