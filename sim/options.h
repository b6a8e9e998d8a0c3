#pragma once

#include <string>
#include <vector>

#include "sim/sim_server.h"

namespace qvx::sim {

/// The program's command line, parsed.
struct ProgramOptions {
    ServerConfig server;   ///< what to run
    bool verbose = false;  ///< log every request to stderr
    bool help = false;     ///< print the usage and exit
};

/// Parses the arguments after the program name. False with an error text for an unknown
/// option, a missing or malformed value, or a line other than exactly one of --pty / --tcp
/// (unless --help is given).
[[nodiscard]] bool parseOptions(const std::vector<std::string>& args, ProgramOptions& options,
                                std::string& error);

/// The text --help prints.
[[nodiscard]] std::string usageText();

}  // namespace qvx::sim
