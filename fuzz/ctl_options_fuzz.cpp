// qvxctl's command line: parseCtlOptions on arbitrary arguments (the input split at NUL
// bytes), with the number and hex-byte readers it and the commands use.
//
// Properties:
// - a refused command line always says why;
// - an accepted one (unless it asks for help) names a known command and a port (or a qvx.ini
//   that gives it), every number
//   lies in its documented range, a recording names its CSV file, and the command's own
//   arguments are arguments of the command line, in order;
// - a number that parses reads back from its decimal and its hexadecimal text, and lies in
//   the range it was asked for;
// - hex bytes that parse are dumped as the same two digits each.

#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "tools/ctl_commands.h"
#include "tools/ctl_options.h"

namespace {

using qvx::tools::CtlOptions;
using qvx::tools::parseNumber;

std::vector<std::string> argumentsOf(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    if (size == 0) {
        return args;
    }
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(std::move(current));
    return args;
}

std::string hexText(long long value) {
    const unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                                   : static_cast<unsigned long long>(value);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    unsigned long long rest = magnitude;
    do {
        digits.insert(digits.begin(), kDigits[rest % 16]);
        rest /= 16;
    } while (rest != 0);
    return (value < 0 ? "-0x" : "0x") + digits;
}

void checkNumber(const std::string& text, long long low, long long high) {
    const std::optional<long long> any = parseNumber(text, LLONG_MIN, LLONG_MAX);
    const std::optional<long long> ranged = parseNumber(text, low, high);
    if (!any) {
        QVX_FUZZ_CHECK(!ranged);
        return;
    }
    QVX_FUZZ_CHECK(parseNumber(std::to_string(*any), LLONG_MIN, LLONG_MAX) == any);
    QVX_FUZZ_CHECK(parseNumber(hexText(*any), LLONG_MIN, LLONG_MAX) == any);
    QVX_FUZZ_CHECK(ranged.has_value() == (low <= *any && *any <= high));
    QVX_FUZZ_CHECK(!ranged || *ranged == *any);
}

void checkHexBytes(const std::vector<std::string>& args) {
    const auto bytes = qvx::tools::parseHexBytes(args);
    if (!bytes) {
        return;
    }
    QVX_FUZZ_CHECK(bytes->size() == args.size());
    std::string expected;
    for (const std::string& arg : args) {
        if (!expected.empty()) {
            expected.push_back(' ');
        }
        for (const char c : arg) {
            expected.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    QVX_FUZZ_CHECK(qvx::tools::hexDump(*bytes) == expected);
}

bool isSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    std::size_t j = 0;
    for (const std::string& item : part) {
        while (j < whole.size() && whole[j] != item) {
            ++j;
        }
        if (j == whole.size()) {
            return false;
        }
        ++j;
    }
    return true;
}

void checkOptions(const std::vector<std::string>& args) {
    std::string error;
    const std::optional<CtlOptions> options = qvx::tools::parseCtlOptions(args, error);
    if (!options) {
        QVX_FUZZ_CHECK(!error.empty());
        return;
    }
    if (options->help) {
        return;
    }
    static const std::set<std::string> kCommands{
        "status",      "service",  "switch-points", "input-record", "calibration", "tolerances",
        "read-eeprom", "read-ram", "write-eeprom",  "write-ram",    "record",
        "poll",        "backup",   "verify",        "restore",      "diff"};
    QVX_FUZZ_CHECK(kCommands.count(options->command) == 1);
    // The port comes from the command line, or from the qvx.ini named by --ini; comparing two
    // backup files needs no controller.
    QVX_FUZZ_CHECK((options->port >= 1 && options->port <= 65535) ||
                   (options->port == 0 && (!options->iniFile.empty() || options->command == "diff")));
    QVX_FUZZ_CHECK(!options->blockLength ||
                   (*options->blockLength >= 1 && *options->blockLength <= 255));
    QVX_FUZZ_CHECK(!options->retries || *options->retries <= 100);
    QVX_FUZZ_CHECK(!options->timeoutMs ||
                   (*options->timeoutMs >= 1 && *options->timeoutMs <= 600000));
    QVX_FUZZ_CHECK(options->command != "record" || !options->csvFile.empty());
    QVX_FUZZ_CHECK(isSubsequence(options->arguments, args));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args = argumentsOf(data, size);
    checkOptions(args);
    for (std::size_t i = 0; i < args.size(); ++i) {
        checkNumber(args[i], i % 2 == 0 ? 0 : -(1LL << 40), i % 3 == 0 ? 0xFFFF : 1LL << 40);
    }
    checkHexBytes(args);
    return 0;
}
