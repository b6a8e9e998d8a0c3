#include "app/command_line.h"

#include <optional>

namespace qvx::app {

namespace {

/// The value of option `name` at `arguments[i]`, given as "name value" (which moves `i` past
/// the value) or "name=value"; nullopt when `arguments[i]` is not that option. An empty
/// string when the value is missing.
std::optional<std::string> optionValue(const std::vector<std::string>& arguments, std::size_t& i,
                                       const std::string& name) {
    const std::string& argument = arguments[i];
    if (argument == name) {
        return i + 1 < arguments.size() ? arguments[++i] : std::string();
    }
    if (argument.rfind(name + "=", 0) == 0) {
        return argument.substr(name.size() + 1);
    }
    return std::nullopt;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
        } else if (argument == "--version") {
            line.version = true;
        } else if (auto file = optionValue(arguments, i, "--log")) {
            if (file->empty()) {
                line.error = "--log needs a file name";
                return line;
            }
            line.logFile = *file;
        } else if (auto code = optionValue(arguments, i, "--lang")) {
            line.language = languageFromCode(*code);
            if (!line.language) {
                line.error = "--lang needs de or en";
                return line;
            }
        } else {
            line.rest.push_back(argument);
        }
    }
    return line;
}

std::string usageText() {
    return "Usage: qvx_controller [--lang de|en] [--log FILE] [ACCESS-CODE]\n"
           "\n"
           "Commissioning and diagnosis of the gripper's position-sensor controller. The\n"
           "connection settings are read from qvx.ini in the working folder.\n"
           "\n"
           "  --lang de|en  the language of the user interface; without it the user's\n"
           "                language (German unless that is English)\n"
           "  --log FILE    write the link's diagnostic log to FILE as well (appended)\n"
           "  --help        print this text and exit\n"
           "  --version     print the version and exit\n"
           "\n"
           "Any other command line is compared as a whole with the supervisor access code.\n";
}

std::string versionText() {
    return std::string("qvx_controller Version ") + QVX_VERSION + "\n";
}

}  // namespace qvx::app
