// qvxctl: command-line access to the controller's device operations.

#include <iostream>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "tools/ctl_backup.h"
#include "tools/ctl_checksums.h"
#include "tools/ctl_commands.h"
#include "tools/ctl_connect.h"
#include "tools/ctl_options.h"

namespace {

int fail(const std::string& reason) {
    std::cerr << "qvxctl: " << reason << '\n';
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qvx;
    std::string error;
    const auto options = tools::parseCtlOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        // A command line that cannot be carried out is an error, never "they differ".
        (void)fail(error);
        return tools::kBackupError;
    }
    if (options->help) {
        std::cout << tools::ctlUsage();
        return 0;
    }

    if (tools::worksOffline(options->command)) {
        const int code = tools::runBackupCommand(nullptr, *options, std::cout, error);
        if (code != tools::kBackupMatches && !error.empty()) {
            (void)fail(error);
        }
        return code;
    }

    link::DeviceLink link;
    int code = 0;
    if (!tools::connectCtl(link, *options, error)) {
        code = tools::isBackupCommand(options->command) ? tools::kBackupError : 1;
    } else if (tools::isBackupCommand(options->command)) {
        code = tools::runBackupCommand(&link, *options, std::cout, error);
    } else {
        code = tools::runCtlCommand(link, *options, std::cout, error) ? 0 : 1;
    }
    if (code != 0 && !error.empty()) {
        (void)fail(error);
    }
    if (const auto warning = tools::checksumWarning(link.checksumErrors(), link.useCrcCheck())) {
        std::cerr << "qvxctl: " << *warning << '\n';
    }
    return code;
}
