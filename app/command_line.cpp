#include "app/command_line.h"

namespace qvx::app {

namespace {
constexpr const char* kLogOption = "--log";
constexpr const char* kLogOptionWithValue = "--log=";
}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
        } else if (argument == "--version") {
            line.version = true;
        } else if (argument == kLogOption) {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                line.error = "--log needs a file name";
                return line;
            }
            line.logFile = arguments[++i];
        } else if (argument.rfind(kLogOptionWithValue, 0) == 0) {
            line.logFile = argument.substr(std::string(kLogOptionWithValue).size());
            if (line.logFile.empty()) {
                line.error = "--log needs a file name";
                return line;
            }
        } else {
            line.rest.push_back(argument);
        }
    }
    return line;
}

std::string usageText() {
    return "Usage: qvx_controller [--log FILE] [ACCESS-CODE]\n"
           "\n"
           "Commissioning and diagnosis of the gripper's position-sensor controller. The\n"
           "connection settings are read from qvx.ini in the working folder.\n"
           "\n"
           "  --log FILE   write the link's diagnostic log to FILE as well (appended)\n"
           "  --help       print this text and exit\n"
           "  --version    print the version and exit\n"
           "\n"
           "Any other command line is compared as a whole with the supervisor access code.\n";
}

std::string versionText() {
    return std::string("qvx_controller Version ") + QVX_VERSION + "\n";
}

}  // namespace qvx::app
