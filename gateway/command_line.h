#pragma once

#include <span>
#include <string>

namespace qvx::gateway {

/// What the command line asks the gateway to do.
enum class HostOperation {
    ServiceDispatcher,  // no switch: hand the process to the service manager
    Install,            // -i
    Remove,             // -u
    StartInstalled,     // -s
    StopInstalled,      // -e
    Console,            // -d: run in the foreground with console output
    FacelessConsole,    // -f: run in the foreground without console output
};

/// The parsed command line.
struct CommandLine {
    HostOperation operation = HostOperation::ServiceDispatcher;
    std::string account;   // -l: account for -i, empty when not given
    std::string password;  // -p: password for -i, empty when not given
    bool operator==(const CommandLine&) const = default;
};

/// Parses the arguments after the program path. Only the second character of an argument that
/// begins with '-' counts ("-install" acts as -i); other arguments are ignored. -d and -f act at
/// once, leaving the rest unexamined; of -i, -u, -s and -e the last one wins; -l and -p take
/// the rest of their argument, or the next argument when the rest is empty.
[[nodiscard]] CommandLine parseCommandLine(std::span<const std::string> arguments);

}  // namespace qvx::gateway
