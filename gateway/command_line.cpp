#include "gateway/command_line.h"

#include <string_view>

namespace qvx::gateway {

namespace {

constexpr std::string_view kHelpSwitch = "--help";
constexpr std::string_view kCheckConfigSwitch = "--check-config";
constexpr std::string_view kServiceStoreWord = "service";

}  // namespace

CommandLine parseCommandLine(std::span<const std::string> arguments) {
    CommandLine result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == kHelpSwitch) {
            result.operation = HostOperation::Help;
            return result;
        }
        if (argument == kCheckConfigSwitch) {
            result.operation = HostOperation::CheckConfig;
            if (i + 1 < arguments.size() && arguments[i + 1] == kServiceStoreWord) {
                result.checkedStore = ConfigStore::Service;
            }
            return result;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            continue;
        }
        const auto valueOf = [&]() -> std::string {
            if (argument.size() > 2) {
                return argument.substr(2);
            }
            return i + 1 < arguments.size() ? arguments[++i] : std::string();
        };
        switch (argument[1]) {
            case 'i':
                result.operation = HostOperation::Install;
                break;
            case 'u':
                result.operation = HostOperation::Remove;
                break;
            case 's':
                result.operation = HostOperation::StartInstalled;
                break;
            case 'e':
                result.operation = HostOperation::StopInstalled;
                break;
            case 'd':
                result.operation = HostOperation::Console;
                return result;
            case 'f':
                result.operation = HostOperation::FacelessConsole;
                return result;
            case 'h':
                result.operation = HostOperation::Help;
                return result;
            case 'l':
                result.account = valueOf();
                break;
            case 'p':
                result.password = valueOf();
                break;
            default:
                break;
        }
    }
    return result;
}

}  // namespace qvx::gateway
