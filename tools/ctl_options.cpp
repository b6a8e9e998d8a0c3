#include "tools/ctl_options.h"

#include <charconv>
#include <set>

namespace qvx::tools {

std::optional<long long> parseNumber(const std::string& text, long long minimum, long long maximum) {
    int base = 10;
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && digits.front() == '-') {
        negative = true;
        digits.remove_prefix(1);
    }
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    unsigned long long magnitude = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (ec != std::errc() || end != digits.data() + digits.size() || magnitude > 0x7FFFFFFFFFFFULL) {
        return std::nullopt;
    }
    const long long value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

namespace {

const std::set<std::string>& commands() {
    static const std::set<std::string> names{
        "status",      "service",  "switch-points", "input-record", "calibration", "tolerances",
        "read-eeprom", "read-ram", "write-eeprom",  "write-ram",    "record",     "poll",
        "backup",      "verify",   "restore",       "diff"};
    return names;
}

}  // namespace

std::optional<CtlOptions> parseCtlOptions(const std::vector<std::string>& args, std::string& error) {
    CtlOptions options;
    auto valueOf = [&](std::size_t& i, const std::string& name) -> std::optional<std::string> {
        if (i + 1 >= args.size()) {
            error = name + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    };
    auto numberOf = [&](std::size_t& i, const std::string& name, long long minimum,
                        long long maximum) -> std::optional<long long> {
        const auto text = valueOf(i, name);
        if (!text) {
            return std::nullopt;
        }
        const auto value = parseNumber(*text, minimum, maximum);
        if (!value) {
            error = name + " takes a number from " + std::to_string(minimum) + " to " + std::to_string(maximum) +
                    ", not '" + *text + "'";
        }
        return value;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--host") {
            const auto host = valueOf(i, arg);
            if (!host) {
                return std::nullopt;
            }
            options.host = *host;
        } else if (arg == "--port") {
            const auto port = numberOf(i, arg, 1, 65535);
            if (!port) {
                return std::nullopt;
            }
            options.port = static_cast<int>(*port);
        } else if (arg == "--block-length") {
            const auto n = numberOf(i, arg, 1, 255);
            if (!n) {
                return std::nullopt;
            }
            options.blockLength = static_cast<unsigned>(*n);
        } else if (arg == "--retries") {
            const auto n = numberOf(i, arg, 0, 100);
            if (!n) {
                return std::nullopt;
            }
            options.retries = static_cast<unsigned>(*n);
        } else if (arg == "--timeout") {
            const auto n = numberOf(i, arg, 1, 600000);
            if (!n) {
                return std::nullopt;
            }
            options.timeoutMs = static_cast<int>(*n);
        } else if (arg == "--login-port") {
            const auto n = numberOf(i, arg, 1, 65535);
            if (!n) {
                return std::nullopt;
            }
            options.loginPort = static_cast<int>(*n);
        } else if (arg == "--password") {
            const auto text = valueOf(i, arg);
            if (!text) {
                return std::nullopt;
            }
            options.password = *text;
        } else if (arg == "--modem") {
            const auto number = valueOf(i, arg);
            if (!number) {
                return std::nullopt;
            }
            options.modemNumber = *number;
        } else if (arg == "--ini") {
            const auto file = valueOf(i, arg);
            if (!file) {
                return std::nullopt;
            }
            options.iniFile = *file;
        } else if (arg == "--crc-check") {
            options.crcCheck = true;
        } else if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--ignore-checksum") {
            options.ignoreChecksum = true;
        } else if (arg == "--no-safety-copy") {
            options.safetyCopy = false;
        } else if (arg == "--start") {
            options.startRecording = true;
        } else if (arg == "--seconds") {
            const auto n = numberOf(i, arg, 1, 7 * 24 * 3600);
            if (!n) {
                return std::nullopt;
            }
            options.seconds = static_cast<int>(*n);
        } else if (arg == "--interval") {
            const auto n = numberOf(i, arg, 0, 60000);
            if (!n) {
                return std::nullopt;
            }
            options.intervalMs = static_cast<int>(*n);
        } else if (arg == "--csv") {
            const auto file = valueOf(i, arg);
            if (!file) {
                return std::nullopt;
            }
            options.csvFile = *file;
        } else if (arg.size() > 1 && arg[0] == '-' && !parseNumber(arg, -1LL << 40, 1LL << 40)) {
            error = "unknown option " + arg;
            return std::nullopt;
        } else if (options.command.empty()) {
            if (commands().count(arg) == 0) {
                error = "unknown command " + arg;
                return std::nullopt;
            }
            options.command = arg;
        } else {
            options.arguments.push_back(arg);
        }
    }
    if (options.help) {
        return options;
    }
    if (options.command.empty()) {
        error = "no command given (try --help)";
        return std::nullopt;
    }
    // Comparing two files needs no controller.
    if (options.port == 0 && options.iniFile.empty() && options.command != "diff") {
        error = "--port is required (or --ini FILE)";
        return std::nullopt;
    }
    if (options.command == "record" && options.csvFile.empty()) {
        error = "record needs --csv FILE";
        return std::nullopt;
    }
    return options;
}

std::string ctlUsage() {
    return R"(Usage: qvxctl [options] COMMAND [ARGUMENTS]

Command-line access to the controller's device operations, through a gateway's data port
or directly to a simulator. One command per run; exit code 0 on success, otherwise one line
on standard error saying why.

Connection:
  --host HOST           gateway or simulator host (default localhost)
  --port PORT           its data port (required unless --ini gives it)
  --block-length N      bytes per request, 1..255 (default 32)
  --retries N           attempts per block, 0..100 (default 5)
  --timeout MS          longest wait for one confirm in ms (default 5000)
  --crc-check           drop received frames whose checksum does not match, so their
                        requests are repeated (without it they are taken as they come);
                        either way such frames are counted and reported on standard error
  --login-port N        log in at the gateway's login port N first (then connect to --port)
  --password TEXT       the gateway's passphrase for the login (default: empty)
  --modem NUMBER        after connecting, dial NUMBER through the modem on the gateway's
                        serial line (AT commands from qvx.ini, or the defaults)
  --ini FILE            take every connection setting from a qvx.ini: address, ports, login,
                        connection type, modem texts, block length, retries, time-outs;
                        options given on the command line still win
  -h, --help            print this text

Commands (numbers in decimal or 0x-prefixed hexadecimal):
  status                output status, switch points, gripper value (mV), supply voltage,
                        temperature, status byte and limit flags
  service               week and year of manufacture, serial number
  switch-points         the five working switch points (raw words and mV)
  input-record [V1..V5] the five-value record as raw words; with five values, write them
  calibration           the calibration table: count, selected point, every support point
  tolerances            under- and over-tolerance in mV
  read-eeprom ADDR COUNT   dump COUNT bytes of EEPROM from ADDR
  read-ram ADDR COUNT      dump COUNT bytes of RAM from ADDR
  write-eeprom ADDR HEX... write bytes (two hexadecimal digits each) to EEPROM at ADDR
  write-ram ADDR HEX...    write bytes to RAM at ADDR
  record [--start] --csv FILE
                        read the controller's recording (640 samples per channel) into a
                        CSV file: time in ms, gripper value in mV, Ub in V, output word;
                        --start makes a new recording first and waits for it (60 s at most)
  poll [--seconds N] [--interval MS]
                        read the live values as the desktop program's polling does, for N
                        seconds (default 10) with MS ms between cycles (default 100), and
                        report the cycles and the failed ones; exit code 1 if any failed

Device backups (one file with the programming, the calibration table, the raw cells, the
identity and a checksum; exit code 0 when the settings match, 1 when they differ, 2 on
errors such as an unreadable or damaged file or a failed transfer):
  backup FILE           read the whole controller into FILE
  verify FILE           compare the controller with FILE and print every difference
  restore FILE [--yes]  print the differences; with --yes save a safety copy of the
                        controller (in $XDG_DATA_HOME/qvx), write them, read everything back
                        and report each item; without --yes nothing is written (exit 1)
  diff FILE1 FILE2      compare two backups, no controller needed
  --ignore-checksum     use a backup file whose checksum does not match its content
  --no-safety-copy      restore without the safety copy (where no data folder can be written)

Output: figures as "name: value" lines, byte dumps as hexadecimal bytes separated by spaces.
)";
}

}  // namespace qvx::tools
