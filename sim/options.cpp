#include "sim/options.h"

#include <charconv>
#include <random>

namespace qvx::sim {

namespace {

template <typename T>
bool parseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

}  // namespace

std::string usageText() {
    return R"USAGE(Usage: qvx_sim (--tcp PORT | --pty PATH) [options]

A simulated gripper position-sensor controller: memory map, live values, recording, and
optionally a modem, on a TCP port or a pseudo-terminal. Prints one line when it is ready,
runs until SIGTERM or SIGINT, and saves the EEPROM file (if any) on the way out.

Line (exactly one):
  --tcp PORT            serve one client at a time on 127.0.0.1:PORT (0 picks a free port);
                        ready line: "qvx_sim listening on 127.0.0.1:PORT"
  --pty PATH            create a pseudo-terminal (raw) and make PATH a symbolic link to its
                        slave side, for a gateway's serial settings;
                        ready line: "qvx_sim ready on PATH (pty)"

Controller:
  --eeprom FILE         keep the EEPROM in FILE (raw image of 8192 bytes): loaded at start,
                        created if missing, saved atomically after writes settle and at exit
  --seed N              seed of the measurement noise and of the fault choices (repeatable runs)
  --cycle MS            one open-close-open travel of the gripper, ms (default 6000)
  --supply V            mean supply voltage, V (default 24)
  --temperature C       mean temperature, °C (default 35)
  --fast-recording      take recording samples every 1 ms instead of every 30 ms

Modem (before the frame protocol, answers AT command lines with OK):
  --modem               answer a dial command (ATD...) with CONNECT 9600
  --modem-busy          answer it with BUSY
  --modem-no-answer     answer it with nothing, NO CARRIER after --no-carrier-after
  --modem-empty-line    send an empty line first, CONNECT 9600 a second later
  --dial-delay MS       dial command to its result, ms (default 1000)
  --no-carrier-after MS dial command to NO CARRIER when nobody answers, ms (default 10000)

Line and faults:
  --baud N              pace both directions as a serial line of N bit/s (10 bits a byte)
  --drop P              lose a share P (0..1) of the confirms
  --corrupt P           damage a share P (0..1) of the confirms (one bit flipped)
  --silent              carry out and answer nothing
  --silent-after-writes N
                        carry out and answer N write requests, then fall silent for good
  --reply-delay MS      wait MS ms before each confirm goes out
  --status-every MS     send an unsolicited StatusInfo frame every MS ms
  -v, --verbose         log every request to stderr
  -h, --help            print this text
)USAGE";
}

bool parseOptions(const std::vector<std::string>& args, ProgramOptions& options,
                  std::string& error) {
    ServerConfig& server = options.server;
    server.faultSeed = std::random_device{}();
    server.controller.seed = server.faultSeed;
    int lines = 0;
    bool seeded = false;
    std::uint64_t seed = 0;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        const auto number = [&](auto& out) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!parseNumber(text, out)) {
                error = arg;
                error += ": not a valid number: ";
                error += text;
                return false;
            }
            return true;
        };
        const auto milliseconds = [&](std::chrono::milliseconds& out) {
            unsigned ms = 0;
            if (!number(ms)) {
                return false;
            }
            out = std::chrono::milliseconds(ms);
            return true;
        };
        const auto share = [&](double& out) {
            if (!number(out)) {
                return false;
            }
            if (!(out >= 0.0 && out <= 1.0)) {
                error = arg + ": the share must lie between 0 and 1";
                return false;
            }
            return true;
        };
        const auto modem = [&](ModemBehaviour behaviour) {
            server.session.modem = true;
            server.session.modemBehaviour = behaviour;
            return true;
        };

        bool ok = true;
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-v" || arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--tcp") {
            server.transport = Transport::Tcp;
            ++lines;
            ok = number(server.tcpPort);
        } else if (arg == "--pty") {
            server.transport = Transport::Pty;
            ++lines;
            ok = value(server.ptyPath);
        } else if (arg == "--eeprom") {
            ok = value(server.eepromPath);
        } else if (arg == "--seed") {
            ok = number(seed);
            seeded = true;
        } else if (arg == "--cycle") {
            ok = milliseconds(server.controller.cycle);
        } else if (arg == "--supply") {
            ok = number(server.controller.supplyVolts);
        } else if (arg == "--temperature") {
            ok = number(server.controller.temperatureCelsius);
        } else if (arg == "--fast-recording") {
            server.controller.sampleInterval = std::chrono::milliseconds(1);
        } else if (arg == "--modem") {
            ok = modem(ModemBehaviour::Answer);
        } else if (arg == "--modem-busy") {
            ok = modem(ModemBehaviour::Busy);
        } else if (arg == "--modem-no-answer") {
            ok = modem(ModemBehaviour::NoAnswer);
        } else if (arg == "--modem-empty-line") {
            ok = modem(ModemBehaviour::EmptyLineFirst);
        } else if (arg == "--dial-delay") {
            ok = milliseconds(server.session.modemTiming.dialDelay);
        } else if (arg == "--no-carrier-after") {
            ok = milliseconds(server.session.modemTiming.noCarrierAfter);
        } else if (arg == "--baud") {
            ok = number(server.baud);
        } else if (arg == "--drop") {
            ok = share(server.faults.dropShare);
        } else if (arg == "--corrupt") {
            ok = share(server.faults.corruptShare);
        } else if (arg == "--silent") {
            server.faults.silent = true;
        } else if (arg == "--silent-after-writes") {
            unsigned writes = 0;
            ok = number(writes);
            server.faults.writesBeforeSilence = writes;
        } else if (arg == "--reply-delay") {
            ok = milliseconds(server.faults.replyDelay);
        } else if (arg == "--status-every") {
            ok = milliseconds(server.session.statusEvery);
        } else {
            error = "unknown option " + arg;
            ok = false;
        }
        if (!ok) {
            return false;
        }
    }
    if (seeded) {
        server.controller.seed = seed;
        server.faultSeed = seed;
    }
    if (!options.help && lines != 1) {
        error = lines == 0 ? "give --tcp PORT or --pty PATH" : "give only one of --tcp and --pty";
        return false;
    }
    return true;
}

}  // namespace qvx::sim
