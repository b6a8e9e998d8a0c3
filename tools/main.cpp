// qvxctl: command-line access to the controller's device operations.

#include <iostream>
#include <string>
#include <vector>

#include "link/device_link.h"
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
        return fail(error);
    }
    if (options->help) {
        std::cout << tools::ctlUsage();
        return 0;
    }

    link::DeviceLink link;
    const bool done = tools::connectCtl(link, *options, error) &&
                      tools::runCtlCommand(link, *options, std::cout, error);
    if (!done) {
        (void)fail(error);
    }
    if (const auto warning = tools::checksumWarning(link.checksumErrors(), link.useCrcCheck())) {
        std::cerr << "qvxctl: " << *warning << '\n';
    }
    return done ? 0 : 1;
}
