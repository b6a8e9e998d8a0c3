#include "tools/ctl_connect.h"

#include <algorithm>
#include <chrono>
#include <string>
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

/// A data port that serves another client takes the connection into its backlog and never
/// answers. One harmless read tells that apart before any command runs: a write sent into the
/// backlog would reach the controller when the port is free, long after qvxctl gave up.
bool somethingAnswers(link::DeviceLink& link, const std::string& where, std::string& error) {
    int status = 0;
    if (link.readStatusByte(status)) {
        return true;
    }
    const unsigned attempts = std::max(1U, link.maxRetry());
    const std::string waited = std::to_string(attempts) +
                               (attempts == 1 ? " attempt" : " attempts") + " of " +
                               std::to_string(link.replyWait()) + " ms";
    // Through a dialled modem the port was free: the modem answered.
    if (link.tcpConnection() && link.mailbox().lastSequence() == 0) {
        error =
            "no answer on the data port " + where + " (" + waited +
            "): the port may be in use by another client (the gateway serves one at a time), or "
            "nothing answers behind it";
    } else {
        error = "the controller on " + where + " did not answer the first read (" + waited + ")";
    }
    return false;
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
    return somethingAnswers(link, where, error);
}

}  // namespace qvx::tools
