#include "connection/link_recovery.h"

#include <algorithm>
#include <thread>

#include "connection/connection_texts.h"
#include "connection/gateway_login.h"
#include "connection/modem_dialing.h"
#include "platform/user_text.h"

namespace qvx::connection {

namespace {

constexpr int kDataConnectionSteps = 10;  // the start-up's last second, in steps of 100 ms

std::string endpointText(const link::DeviceLink& link, int port) {
    return link.host() + ", " + std::to_string(port);
}

/// Gives a data connection that is still coming up its last second.
bool awaitDataConnection(link::DeviceLink& link, const std::atomic<bool>& cancel) {
    const unsigned failedBefore = link.failedAttempts();
    for (int step = 0; step < kDataConnectionSteps && !link.isConnected() &&
                       link.failedAttempts() == failedBefore && !cancel;
         ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return link.isConnected();
}

}  // namespace

std::optional<ServiceData> readControllerIdentity(link::DeviceLink& link) {
    ServiceData data;
    if (!link.readServiceData(data.week, data.year, data.serialNumber)) {
        return std::nullopt;
    }
    return data;
}

void readCalibrationForDisplay(link::DeviceLink& link) {
    (void)link.readCalibration();
    link::CalibrationTable& table = link.calibration();
    if (table.getMode() == link::CalibrationMode::Calibrated && table.getCount() < 2) {
        table.setMode(link::CalibrationMode::Millivolt);
    }
}

void ReconnectBackoff::start() {
    m_failed = 0;
    m_delay = kFirstDelay;
    m_due = m_clock.now() + m_delay;
}

void ReconnectBackoff::attemptFailed() {
    ++m_failed;
    m_delay = std::min(m_delay * 2, kLongestDelay);
    m_due = m_clock.now() + m_delay;
}

std::chrono::milliseconds ReconnectBackoff::untilDue() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_due - m_clock.now());
    return std::max(left, std::chrono::milliseconds(0));
}

ReconnectOutcome reconnectLink(link::DeviceLink& link, const ReconnectTarget& target,
                               const std::atomic<bool>& cancel) {
    ReconnectOutcome outcome;
    if (!GatewayLogin(link, link.host(), target.passphrase, target.loginPort, target.dataPort, {},
                      &cancel)) {
        outcome.error =
            platform::userText(texts::kRecoveryLoginFailed) + endpointText(link, target.loginPort);
        link.closeSocket();
        return outcome;
    }
    if (!awaitDataConnection(link, cancel)) {
        outcome.error = platform::userText(texts::kRecoveryDataPortFailed) +
                        endpointText(link, target.dataPort);
        link.closeSocket();
        return outcome;
    }
    if (!link.tcpConnection() && (cancel || !DialModem(link, {}))) {
        outcome.error = platform::userText(texts::kRecoveryDialFailed) + link.modem().callNumber;
        link.closeSocket();
        return outcome;
    }
    outcome.controller = cancel ? std::nullopt : readControllerIdentity(link);
    if (!outcome.controller) {
        outcome.error = platform::userText(texts::kControllerSilent);
        link.closeSocket();
    }
    return outcome;
}

}  // namespace qvx::connection
