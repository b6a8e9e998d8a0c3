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
    Help,               // -h, --help: list the switches
    CheckConfig,        // --check-config: read and show the settings, open nothing
};

/// Which settings --check-config reads.
enum class ConfigStore {
    File,     // qvx_gateway.ini, as -d and -f read it
    Service,  // the service store, as the systemd service reads it ("--check-config service")
};

/// The parsed command line.
struct CommandLine {
    HostOperation operation = HostOperation::ServiceDispatcher;
    std::string account;                           // -l: account for -i, empty when not given
    std::string password;                          // -p: password for -i, empty when not given
    ConfigStore checkedStore = ConfigStore::File;  // for --check-config
    bool operator==(const CommandLine&) const = default;
};

/// Parses the arguments after the program path. Only the second character of an argument that
/// begins with '-' counts ("-install" acts as -i); other arguments are ignored, and so are
/// arguments beginning with "--" other than "--help" and "--check-config". -d, -f, -h,
/// --help and --check-config act at once, leaving the rest unexamined (except the word
/// "service" right after --check-config); of -i, -u, -s and -e the last one wins; -l and -p
/// take the rest of their argument, or the next argument when the rest is empty.
[[nodiscard]] CommandLine parseCommandLine(std::span<const std::string> arguments);

}  // namespace qvx::gateway
