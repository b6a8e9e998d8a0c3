// Relay benchmark: request/confirm round trips, bulk throughput, processor time and peak
// memory of TCP-to-serial relays against a device emulated on a pseudo-terminal. Side by side
// in one run: the direct pty connection (the limit), qvx_gateway, and for comparison the
// reference relay (the least any relay does), ser2net and socat doing the same relay. Run
// through scripts/bench-relay.sh.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tests/gateway/gateway_test_support.h"
#include "tests/gateway/pty_pair.h"
#include "tests/gateway/tcp_test_client.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using qvx::gateway::test::Bytes;
using qvx::gateway::test::freePortRange;
using qvx::gateway::test::Pty;
using qvx::gateway::test::TempDir;
using qvx::gateway::test::writeTextFile;
using qvx::test::ChildProcess;

struct Options {
    std::string gateway = QVX_GATEWAY_PROGRAM;
    std::string compare;      // a second gateway build, run as one more relay (A/B comparison)
    int rounds = 15;          // every relay is started this many times, interleaved against drift
    int roundTrips = 600;     // unpaced round trips per round
    int pacedRoundTrips = 4;  // round trips per round on the emulated line
    std::size_t requestBytes = 8;
    std::size_t replyBytes = 40;
    std::size_t bulkBytes = std::size_t{8} << 20;  // each way, per round
    unsigned baud = 9600;
    std::vector<std::string> only;  // relay names to run; empty: all
};

// ---- Device emulator on the pty master --------------------------------------------------

void sleepUntil(Clock::time_point when) {
    const auto since = when.time_since_epoch();
    timespec target{};
    target.tv_sec =
        static_cast<time_t>(std::chrono::duration_cast<std::chrono::seconds>(since).count());
    target.tv_nsec = static_cast<long>((since - std::chrono::seconds(target.tv_sec)).count());
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &target, nullptr) == EINTR) {
    }
}

/// Reads exactly `count` bytes from the master; a hung-up slave (the relay has the port
/// closed) is waited out. Returns the arrival time of the first byte, nullopt on time-out.
std::optional<Clock::time_point> readExactly(int fd, std::uint8_t* out, std::size_t count,
                                             std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::optional<Clock::time_point> first;
    std::size_t got = 0;
    while (got < count) {
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0) {
            continue;
        }
        if ((wait.revents & POLLIN) == 0) {
            ::poll(nullptr, 0, 1);  // hung up: no slave open yet
            continue;
        }
        const ssize_t n = ::read(fd, out + got, count - got);
        if (n > 0) {
            if (!first) {
                first = Clock::now();
            }
            got += static_cast<std::size_t>(n);
        }
    }
    return first;
}

void writeAll(int fd, const std::uint8_t* data, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        if (n > 0) {
            data += n;
            count -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EIO) {
            throw std::runtime_error(std::string("write: ") + std::strerror(errno));
        } else {
            pollfd wait{fd, POLLOUT, 0};
            ::poll(&wait, 1, 10);
        }
    }
}

/// Answers `count` requests. With a byte time the device behaves like one behind a serial
/// line: a request is complete only when its last byte could have crossed the line, and the
/// reply's bytes leave one byte time apart.
void respond(int master, int count, std::size_t requestBytes, std::size_t replyBytes,
             std::chrono::nanoseconds byteTime, std::atomic<bool>& failed) {
    Bytes request(requestBytes);
    Bytes reply(replyBytes);
    for (std::size_t i = 0; i < reply.size(); ++i) {
        reply[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    for (int i = 0; i < count; ++i) {
        const auto first = readExactly(master, request.data(), request.size(), 10s);
        if (!first) {
            failed = true;
            return;
        }
        if (byteTime.count() == 0) {
            writeAll(master, reply.data(), reply.size());
            continue;
        }
        const auto complete = *first + byteTime * static_cast<long>(requestBytes);
        for (std::size_t j = 0; j < reply.size(); ++j) {
            sleepUntil(complete + byteTime * static_cast<long>(j + 1));
            writeAll(master, &reply[j], 1);
        }
    }
}

// ---- The client end -----------------------------------------------------------------------

/// The program's side of the relay: a TCP connection, or the pty slave itself for the
/// direct path.
class ClientEnd {
public:
    explicit ClientEnd(int fd) : m_fd(fd) {}
    ~ClientEnd() { ::close(m_fd); }
    ClientEnd(const ClientEnd&) = delete;
    ClientEnd& operator=(const ClientEnd&) = delete;
    [[nodiscard]] int fd() const { return m_fd; }

    void send(const std::uint8_t* data, std::size_t count) const { writeAll(m_fd, data, count); }
    [[nodiscard]] bool receive(std::uint8_t* out, std::size_t count) const {
        return readExactly(m_fd, out, count, 10s).has_value();
    }

private:
    int m_fd;
};

std::unique_ptr<ClientEnd> openDirect(const std::string& slave) {
    const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("cannot open " + slave);
    }
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return std::make_unique<ClientEnd>(fd);
}

/// Connects once the relay listens; the first connection is the one measured (socat serves
/// only one).
std::unique_ptr<ClientEnd> connectRelay(std::uint16_t port) {
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
        auto client = std::make_unique<qvx::gateway::test::TcpClient>(port);
        if (client->isConnected()) {
            const int fd = ::dup(client->fd());
            return std::make_unique<ClientEnd>(fd);
        }
        std::this_thread::sleep_for(5ms);
    }
    throw std::runtime_error("relay on port " + std::to_string(port) + " does not listen");
}

// ---- Relays under test --------------------------------------------------------------------

struct Relay {
    std::string name;
    /// Starts the relay from `slave` to 127.0.0.1:port in `dir`; nullptr for the direct path.
    std::function<std::unique_ptr<ChildProcess>(const std::string& slave, std::uint16_t port,
                                                const std::filesystem::path& dir)>
        start;
    std::string command;  // for the report
};

std::vector<Relay> relays(const Options& options) {
    std::vector<Relay> all;
    all.push_back({"direct pty", nullptr, "the benchmark opens the pty slave itself"});
    const auto gatewayRelay = [&options](const std::string& program) {
        return [&options, program](const std::string& slave, std::uint16_t port,
                                   const std::filesystem::path& dir) {
            std::filesystem::create_symlink(program, dir / "qvx_gateway");
            writeTextFile(dir / "qvx_gateway.ini",
                          "[Globals]\nBasePortAddress=" + std::to_string(port - 1) +
                              "\nPorts=1\nSecured=0\n[Port1]\nCOMPort=" + slave +
                              "\nBaudRate=" + std::to_string(options.baud) + "\n");
            return std::make_unique<ChildProcess>(
                std::vector<std::string>{(dir / "qvx_gateway").string(), "-f"}, dir / "out.txt",
                dir / "err.txt");
        };
    };
    all.push_back({"qvx_gateway", gatewayRelay(options.gateway), "qvx_gateway -f, Secured=0"});
    if (!options.compare.empty()) {
        all.push_back({"qvx_gateway (compare)", gatewayRelay(options.compare),
                       options.compare + " -f, Secured=0"});
    }
    all.push_back(
        {"reference relay",
         [](const std::string& slave, std::uint16_t port, const std::filesystem::path& dir) {
             return std::make_unique<ChildProcess>(
                 std::vector<std::string>{QVX_REFERENCE_RELAY_PROGRAM, std::to_string(port), slave},
                 dir / "out.txt", dir / "err.txt");
         },
         "qvx_reference_relay <port> <pty>: one thread, poll on both, recv/write and "
         "read/send"});
    all.push_back(
        {"ser2net",
         [&options](const std::string& slave, std::uint16_t port,
                    const std::filesystem::path& dir) {
             writeTextFile(
                 dir / "ser2net.yaml",
                 "%YAML 1.1\n---\nconnection: &bench\n  accepter: tcp(nodelay),127.0.0.1," +
                     std::to_string(port) + "\n  connector: serialdev," + slave + "," +
                     std::to_string(options.baud) +
                     "n81,local\n  options:\n    chardelay: false\n    kickolduser: "
                     "false\n");
             return std::make_unique<ChildProcess>(
                 std::vector<std::string>{"/usr/sbin/ser2net", "-n", "-d", "-c",
                                          (dir / "ser2net.yaml").string(), "-P",
                                          (dir / "ser2net.pid").string()},
                 dir / "out.txt", dir / "err.txt");
         },
         "ser2net -n -d -c <yaml>: accepter tcp(nodelay), connector serialdev,<pty>,9600n81,local, "
         "chardelay false"});
    all.push_back(
        {"socat",
         [](const std::string& slave, std::uint16_t port, const std::filesystem::path& dir) {
             return std::make_unique<ChildProcess>(
                 std::vector<std::string>{
                     "/usr/bin/socat",
                     "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,nodelay",
                     "OPEN:" + slave + ",rawer"},
                 dir / "out.txt", dir / "err.txt");
         },
         "socat TCP-LISTEN:<port>,bind=127.0.0.1,reuseaddr,nodelay OPEN:<pty>,rawer"});
    if (!options.only.empty()) {
        std::erase_if(all, [&](const Relay& relay) {
            return std::find(options.only.begin(), options.only.end(), relay.name) ==
                   options.only.end();
        });
    }
    return all;
}

/// Processor time of every thread of `pid` so far, in seconds, to the nanosecond (the clock
/// ticks of /proc/<pid>/stat are too coarse for short transfers).
double cpuSeconds(pid_t pid) {
    double total = 0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::FILE* file = std::fopen((task.path() / "schedstat").c_str(), "r");
        if (file == nullptr) {
            continue;
        }
        unsigned long long nanoseconds = 0;
        if (std::fscanf(file, "%llu", &nanoseconds) == 1) {
            total += static_cast<double>(nanoseconds) / 1e9;
        }
        std::fclose(file);
    }
    return total;
}

long peakMemoryKb(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        return -1;
    }
    std::array<char, 256> line{};
    long kb = -1;
    while (std::fgets(line.data(), line.size(), file) != nullptr) {
        if (std::strncmp(line.data(), "VmHWM:", 6) == 0) {
            kb = std::strtol(line.data() + 6, nullptr, 10);
        }
    }
    std::fclose(file);
    return kb;
}

// ---- Measurements -------------------------------------------------------------------------

struct Totals {
    std::vector<double> fastMicros;   // unpaced round trips
    std::vector<double> pacedMicros;  // round trips on the emulated line
    double downSeconds = 0;           // bulk, device to client
    double upSeconds = 0;             // bulk, client to device
    double bulkCpuSeconds = 0;        // relay's processor time during the bulk transfers
    double cpuSeconds = 0;            // relay's processor time over the whole round
    long peakKb = 0;                  // largest resident set of the relay
    std::size_t bulkBytes = 0;        // both ways, all rounds
};

double micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void roundTrips(const ClientEnd& client, Pty& device, int count, const Options& options,
                std::chrono::nanoseconds byteTime, std::vector<double>* samples) {
    std::atomic<bool> failed{false};
    std::thread responder([&] {
        respond(device.master(), count, options.requestBytes, options.replyBytes, byteTime, failed);
    });
    Bytes request(options.requestBytes, 0x42);
    Bytes reply(options.replyBytes);
    for (int i = 0; i < count && !failed; ++i) {
        const auto start = Clock::now();
        client.send(request.data(), request.size());
        if (!client.receive(reply.data(), reply.size())) {
            failed = true;
            break;
        }
        if (samples != nullptr) {
            samples->push_back(micros(Clock::now() - start));
        }
    }
    responder.join();
    if (failed) {
        throw std::runtime_error("round trip failed");
    }
}

double bulk(const ClientEnd& client, Pty& device, std::size_t total, bool down) {
    const std::size_t chunk = 64 * 1024;
    Bytes buffer(chunk, 0x5A);
    std::atomic<bool> failed{false};
    const auto start = Clock::now();
    std::thread deviceSide([&] {
        Bytes local(chunk, 0x3C);
        for (std::size_t done = 0; done < total;) {
            const std::size_t n = std::min(chunk, total - done);
            if (down) {
                writeAll(device.master(), local.data(), n);
            } else if (!readExactly(device.master(), local.data(), n, 20s)) {
                failed = true;
                return;
            }
            done += n;
        }
    });
    for (std::size_t done = 0; done < total;) {
        const std::size_t n = std::min(chunk, total - done);
        if (down) {
            if (!client.receive(buffer.data(), n)) {
                failed = true;
                break;
            }
        } else {
            client.send(buffer.data(), n);
        }
        done += n;
    }
    deviceSide.join();
    if (failed) {
        throw std::runtime_error("bulk transfer failed");
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void runRound(const Relay& relay, const Options& options, Totals& totals) {
    TempDir dir;
    Pty device;
    const std::uint16_t port = freePortRange(1);
    std::unique_ptr<ChildProcess> process;
    std::unique_ptr<ClientEnd> client;
    if (relay.start) {
        process = relay.start(device.slavePath(), static_cast<std::uint16_t>(port + 1), dir.path());
        client = connectRelay(static_cast<std::uint16_t>(port + 1));
    } else {
        client = openDirect(device.slavePath());
    }
    const double cpuStart = process ? cpuSeconds(process->pid()) : 0;
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / options.baud);

    roundTrips(*client, device, 50, options, 0ns, nullptr);  // warm-up
    roundTrips(*client, device, options.roundTrips, options, 0ns, &totals.fastMicros);
    roundTrips(*client, device, options.pacedRoundTrips, options, byteTime, &totals.pacedMicros);

    const double cpuBeforeBulk = process ? cpuSeconds(process->pid()) : 0;
    totals.downSeconds += bulk(*client, device, options.bulkBytes, true);
    totals.upSeconds += bulk(*client, device, options.bulkBytes, false);
    totals.bulkBytes += 2 * options.bulkBytes;
    if (process) {
        const double cpuEnd = cpuSeconds(process->pid());
        totals.bulkCpuSeconds += cpuEnd - cpuBeforeBulk;
        totals.cpuSeconds += cpuEnd - cpuStart;
        totals.peakKb = std::max(totals.peakKb, peakMemoryKb(process->pid()));
    }
    client.reset();
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index =
        static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw std::invalid_argument("missing value for " + argument);
            }
            return argv[++i];
        };
        if (argument == "--gateway") {
            options.gateway = value();
        } else if (argument == "--compare") {
            options.compare = value();
        } else if (argument == "--rounds") {
            options.rounds = std::stoi(value());
        } else if (argument == "--round-trips") {
            options.roundTrips = std::stoi(value());
        } else if (argument == "--paced-round-trips") {
            options.pacedRoundTrips = std::stoi(value());
        } else if (argument == "--bulk-mib") {
            options.bulkBytes = std::stoul(value()) << 20;
        } else if (argument == "--baud") {
            options.baud = static_cast<unsigned>(std::stoul(value()));
        } else if (argument == "--only") {
            options.only.push_back(value());
        } else {
            throw std::invalid_argument(
                "usage: qvx_bench_relay [--gateway PATH] [--compare PATH] [--rounds N] "
                "[--round-trips N] "
                "[--paced-round-trips N] [--bulk-mib N] [--baud N] [--only NAME]...");
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options options = parse(argc, argv);
        const std::vector<Relay> list = relays(options);
        std::map<std::string, Totals> totals;
        // Each round starts one relay further along the list, so that every relay takes every
        // place equally often: in a fixed order one and the same gateway, run twice per round,
        // added 34.9 µs to the round trip in the one place and 18.3 µs in the next.
        for (int round = 0; round < options.rounds; ++round) {
            for (std::size_t i = 0; i < list.size(); ++i) {
                const Relay& relay = list[(i + static_cast<std::size_t>(round)) % list.size()];
                std::fprintf(stderr, "round %d: %s\n", round + 1, relay.name.c_str());
                runRound(relay, options, totals[relay.name]);
            }
        }

        const double lineMicros = 1e6 * 10.0 *
                                  static_cast<double>(options.requestBytes + options.replyBytes) /
                                  options.baud;
        const double directMedian = percentile(totals[list.front().name].fastMicros, 0.5);
        std::printf(
            "Round trip: %zu-byte request, %zu-byte reply; %d rounds of %d unpaced and %d "
            "paced round trips; bulk %zu MiB each way per round; line %u bit/s (%.0f µs for "
            "the %zu bytes)\n\n",
            options.requestBytes, options.replyBytes, options.rounds, options.roundTrips,
            options.pacedRoundTrips, options.bulkBytes >> 20, options.baud, lineMicros,
            options.requestBytes + options.replyBytes);
        std::printf(
            "| relay | round trip median | p99 | added to direct | round trip at %u bit/s median | "
            "p99 | "
            "over line time | device→client | client→device | CPU per MiB | CPU total | peak RSS "
            "|\n",
            options.baud);
        std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
        for (const Relay& relay : list) {
            const Totals& t = totals[relay.name];
            const double median = percentile(t.fastMicros, 0.5);
            const double pacedMedian = percentile(t.pacedMicros, 0.5);
            const double mib = static_cast<double>(t.bulkBytes) / (1 << 20);
            const double half = mib / 2;
            std::printf(
                "| %s | %.1f µs | %.1f µs | %+.1f µs | %.2f ms | %.2f ms | %+.2f %% | %.1f MiB/s | "
                "%.1f MiB/s | ",
                relay.name.c_str(), median, percentile(t.fastMicros, 0.99), median - directMedian,
                pacedMedian / 1000, percentile(t.pacedMicros, 0.99) / 1000,
                100.0 * (pacedMedian - lineMicros) / lineMicros, half / t.downSeconds,
                half / t.upSeconds);
            if (relay.start) {
                std::printf("%.2f ms | %.2f s | %.1f MiB |\n", 1000 * t.bulkCpuSeconds / mib,
                            t.cpuSeconds, static_cast<double>(t.peakKb) / 1024);
            } else {
                std::printf("- | - | - |\n");
            }
        }
        std::printf("\nCommands:\n");
        for (const Relay& relay : list) {
            std::printf("- %s: %s\n", relay.name.c_str(), relay.command.c_str());
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qvx_bench_relay: %s\n", error.what());
        return 1;
    }
}
