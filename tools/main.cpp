// qvxctl: command-line access to the controller's device operations.

#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "link/device_link.h"
#include "platform/system_error.h"
#include "tools/ctl_commands.h"
#include "tools/ctl_options.h"

namespace {

constexpr auto kConnectWait = std::chrono::seconds(10);

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
    if (options->blockLength) {
        link.setMaxBlockLength(*options->blockLength);
    }
    if (options->retries) {
        link.setMaxRetry(*options->retries);
    }
    if (options->timeoutMs) {
        link.setReplyWait(*options->timeoutMs);
    }
    link.setUseCrcCheck(options->crcCheck);
    link.setConnectTimeout(kConnectWait);

    const std::string where = options->host + ":" + std::to_string(options->port);
    if (!link.connect(options->port, options->host)) {
        return fail("cannot connect to " + where);
    }
    const auto deadline = std::chrono::steady_clock::now() + kConnectWait + std::chrono::seconds(1);
    while (!link.isConnected()) {
        if (link.lastError() != 0 || std::chrono::steady_clock::now() > deadline) {
            const std::string reason = platform::systemErrorText(link.lastError());
            return fail("cannot connect to " + where + (reason.empty() ? "" : ": " + reason));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!tools::runCtlCommand(link, *options, std::cout, error)) {
        return fail(error);
    }
    return 0;
}
