#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qvx::tools {

/// What one qvxctl run is asked to do.
struct CtlOptions {
    std::string host = "localhost";  ///< gateway or simulator host
    int port = 0;                    ///< data port (or the simulator's TCP port)
    std::optional<unsigned> blockLength;  ///< bytes per block
    std::optional<unsigned> retries;      ///< attempts per block
    std::optional<int> timeoutMs;         ///< longest wait for one confirm, ms
    bool crcCheck = false;                ///< verify received checksums
    std::optional<int> loginPort;         ///< log in at the gateway's login port first
    std::string password;                 ///< passphrase for the login
    std::optional<std::string> modemNumber;  ///< dial this number through the gateway's line
    std::string iniFile;                  ///< take every connection setting from this qvx.ini
    bool help = false;
    std::string command;                  ///< status, service, read-eeprom, ...
    std::vector<std::string> arguments;   ///< the command's own arguments
    bool startRecording = false;          ///< record: start a new recording first
    std::string csvFile;                  ///< record: where the CSV goes
    int seconds = 10;                     ///< poll: how long, s
    int intervalMs = 100;                 ///< poll: pause between two cycles, ms
    bool yes = false;                     ///< restore: write the differences without asking
    bool ignoreChecksum = false;          ///< backup files: use one whose checksum fails
    bool safetyCopy = true;               ///< restore: save the controller's state first
};

/// Parses the command line (without the program name). On error returns nothing and sets
/// `error` to a one-line reason.
[[nodiscard]] std::optional<CtlOptions> parseCtlOptions(const std::vector<std::string>& args,
                                                        std::string& error);

/// A number written in decimal or with a 0x prefix in hexadecimal; nothing if it is not one
/// whole number in [minimum, maximum].
[[nodiscard]] std::optional<long long> parseNumber(const std::string& text, long long minimum,
                                                   long long maximum);

/// The help text.
[[nodiscard]] std::string ctlUsage();

}  // namespace qvx::tools
