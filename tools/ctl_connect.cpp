#include "tools/ctl_connect.h"

#include <chrono>
#include <thread>

#include "connection/client_settings.h"
#include "connection/gateway_login.h"
#include "connection/modem_dialing.h"
#include "platform/system_error.h"

namespace qvx::tools {

namespace {

constexpr auto kConnectWait = std::chrono::seconds(10);

void applySettings(link::DeviceLink& link, const CtlOptions& options) {
    if (!options.iniFile.empty()) {
        connection::ReadConnectionSettings(link, options.iniFile);
    } else {
        link.setHost(options.host);
        link.modem().initString = "AT&FX0E0\r\n";
        link.modem().dialString = "ATDT";
        link.modem().initTimeout = 1000;
        link.modem().dialTimeout = 40000;
    }
    if (options.port != 0) {
        link.setPort(options.port);
    }
    if (options.loginPort) {
        link.setBasePort(*options.loginPort);
    }
    if (options.modemNumber) {
        link.setTcpConnection(false);
        link.modem().callNumber = *options.modemNumber;
    }
    if (options.blockLength) {
        link.setMaxBlockLength(*options.blockLength);
    }
    if (options.retries) {
        link.setMaxRetry(*options.retries);
    }
    if (options.crcCheck) {
        link.setUseCrcCheck(true);
    }
}

bool waitConnected(link::DeviceLink& link, unsigned failedBefore) {
    const auto deadline = std::chrono::steady_clock::now() + kConnectWait + std::chrono::seconds(1);
    while (!link.isConnected()) {
        if (link.failedAttempts() != failedBefore || std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace

bool connectCtl(link::DeviceLink& link, const CtlOptions& options, std::string& error) {
    applySettings(link, options);
    link.setConnectTimeout(kConnectWait);
    const std::string where = link.host() + ":" + std::to_string(link.port());
    const bool login = options.loginPort.has_value() || !options.iniFile.empty();
    if (login) {
        if (!connection::GatewayLogin(link, link.host(), options.password, link.basePort(), link.port(), {})) {
            error = "the login at " + link.host() + ":" + std::to_string(link.basePort()) +
                    " failed (no gateway, or a wrong passphrase)";
            return false;
        }
    } else {
        const unsigned failedBefore = link.failedAttempts();
        (void)link.connect(link.port(), link.host());
        if (!waitConnected(link, failedBefore)) {
            const std::string reason = platform::systemErrorText(link.lastError());
            error = "cannot connect to " + where + (reason.empty() ? "" : ": " + reason);
            return false;
        }
    }
    if (!link.isConnected() && !waitConnected(link, link.failedAttempts())) {
        error = "cannot connect to the data port " + where;
        return false;
    }
    // The reply wait of the command line wins over the login's 5000 ms.
    if (options.timeoutMs) {
        link.setReplyWait(*options.timeoutMs);
    }
    if (!link.tcpConnection() && !connection::DialModem(link, {})) {
        error = "dialling " + link.modem().callNumber + " through the modem failed";
        return false;
    }
    return true;
}

}  // namespace qvx::tools
