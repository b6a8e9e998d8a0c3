#include "document/document.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "connection/client_settings.h"
#include "connection/connection_texts.h"
#include "document/outputs.h"
#include "platform/user_text.h"

namespace qvx::document {

namespace {

constexpr float kMillimetresPerTenthInch = 2.54F;
constexpr auto kStopCheck = std::chrono::milliseconds(10);

}  // namespace

CQvx_controllerDoc::CQvx_controllerDoc(const platform::Clock& clock) : m_clock(clock) {
    m_link.setSink(m_logBuffer);
}

CQvx_controllerDoc::~CQvx_controllerDoc() { stopPolling(); }

bool CQvx_controllerDoc::OnNewDocument(const std::filesystem::path& settings) {
    inchUnit = connection::readInchUnit(settings);
    return true;
}

void CQvx_controllerDoc::OnCloseDocument(const std::filesystem::path& settings) {
    (void)connection::writeBaseUnit(settings, m_link.calibration().getMode(), inchUnit);
}

void CQvx_controllerDoc::addView(DocumentView* view) { m_views.push_back(view); }

void CQvx_controllerDoc::removeView(DocumentView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void CQvx_controllerDoc::UpdateAllViews(DocumentView* sender, int hint) {
    // A view may register or leave while it is updated; walk a copy.
    const std::vector<DocumentView*> views = m_views;
    for (DocumentView* view : views) {
        if (view != sender) {
            view->OnUpdate(sender, hint);
        }
    }
}

void CQvx_controllerDoc::startPolling() {
    if (!m_poller.joinable()) {
        m_stopping = false;
        m_poller = std::thread([this] { pollLoop(); });
    }
}

void CQvx_controllerDoc::stopPolling() {
    if (!m_poller.joinable()) {
        return;
    }
    m_stopping = true;
    (void)m_stop.set();
    // A transfer in progress waits for its confirm up to the reply wait per attempt; ending
    // the connection makes it and its retries fail at once.
    m_link.closeSocket();
    m_poller.join();
}

void CQvx_controllerDoc::setReconnectTarget(connection::ReconnectTarget target,
                                            std::optional<connection::ServiceData> controller) {
    m_health.dataPort = target.dataPort;
    m_target = std::move(target);
    m_controller = controller;
}

void CQvx_controllerDoc::disconnectLink() {
    m_link.closeSocket();
    if (!isPolling()) {
        return;  // never online: the panes keep their initial state
    }
    stopPolling();
    pollOk = false;
    markAllStale();
    m_health.reconnecting = false;
    m_health.setLastError(platform::userText(connection::texts::kDisconnectedByUser));
    logLine(platform::userText(connection::texts::kDisconnectedByUser), link::kLogInfo);
    newData = true;  // the panes show offline at once
}

std::optional<RecoveryReport> CQvx_controllerDoc::takeRecoveryReport() {
    const std::lock_guard guard(m_reportMutex);
    return std::exchange(m_report, std::nullopt);
}

void CQvx_controllerDoc::markAllStale() {
    outputsCurrent = false;
    switchPointsCurrent = false;
    gripperCurrent = false;
}

bool CQvx_controllerDoc::stopRequested() { return m_stopping || m_stop.wait(kStopCheck); }

bool CQvx_controllerDoc::pollOutputs() {
    int outputs = 0;
    if (!m_link.readOutputStatus(outputs)) {
        return false;
    }
    for (std::size_t k = 0; k < outputActive.size(); ++k) {
        outputActive[k] = (outputs & outputMask(static_cast<int>(k) + 1)) != 0;
    }
    return true;
}

bool CQvx_controllerDoc::pollSwitchPoints() {
    std::array<int, 5> points{};
    if (!m_link.readSwitchPoints(points)) {
        return false;  // the previous five values stay
    }
    for (std::size_t k = 0; k < points.size(); ++k) {
        switchPoints[k] = points[k];
    }
    return true;
}

bool CQvx_controllerDoc::pollGripper() {
    float mv = 0.0F;
    if (!m_link.readGripperValue(mv, 1)) {
        return false;
    }
    gripperMv = mv;
    const link::CalibrationTable& table = m_link.calibration();
    if (table.getMode() == link::CalibrationMode::Millivolt) {
        gripperDisplay = mv;
        return true;
    }
    float length = 0.0F;
    if (!table.mvToMm(mv, length)) {
        return false;
    }
    gripperDisplay = inchUnit == 1 ? length / kMillimetresPerTenthInch : length;
    return true;
}

bool CQvx_controllerDoc::pollCycle() {
    // The currency of the values is published with the cycle's end, so the panes never see
    // one of them stale only because the cycle has not read it yet.
    const bool outputs = pollOutputs();
    bool points = false;
    bool gripper = false;
    if (stopRequested()) {
        m_stopping = true;
        return false;
    }
    if (outputs && m_link.isConnected()) {
        points = pollSwitchPoints();
        if (stopRequested()) {
            m_stopping = true;
            return false;
        }
    }
    if (points && m_link.isConnected()) {
        gripper = pollGripper();
    }
    outputsCurrent = outputs;
    switchPointsCurrent = points;
    gripperCurrent = gripper;
    return gripper;
}

void CQvx_controllerDoc::publishStatusByte(std::optional<int> status) {
    if (status) {
        statusByte = *status;
    }
    statusByteRead = status.has_value();
    ++statusByteAnswers;
}

void CQvx_controllerDoc::answerRequests(bool cycleOk) {
    // A stop request cuts the answers short; an unanswered request stays for the next cycle.
    if (statusByteWanted.exchange(false)) {
        int status = 0;
        publishStatusByte(m_link.readStatusByte(status) ? std::optional(status) : std::nullopt);
    }
    if (!cycleOk || m_stopping || !operatingValuesWanted.exchange(false)) {
        return;
    }
    float celsius = 0.0F;
    const bool celsiusRead = m_link.readTemperature(celsius);
    if (celsiusRead) {
        temperature = celsius;
    }
    temperatureRead = celsiusRead;
    float volts = 0.0F;
    const bool voltsRead = !m_stopping && m_link.readSupplyVoltage(volts);
    if (voltsRead) {
        supplyVolts = volts;
    }
    supplyVoltsRead = voltsRead;
    int flags = 0;
    const bool flagsRead = !m_stopping && m_link.readLimitFlags(flags);
    if (flagsRead) {
        limitFlags = flags;
    }
    limitFlagsRead = flagsRead;
    ++operatingValueAnswers;
}

void CQvx_controllerDoc::linkLost(connection::ReconnectBackoff& backoff, bool controllerSilent) {
    // The reason first, so a pane that sees the link offline also finds why.
    const std::string endpoint = m_link.host() + ", " + std::to_string(m_target.dataPort);
    if (!controllerSilent) {
        m_health.setLastError(platform::userText(connection::texts::kConnectionLost) + endpoint);
    }
    pollOk = false;
    markAllStale();
    newData = true;  // the panes show offline at once, not only with the next result
    logLine(platform::userText(connection::texts::kConnectionLost) + endpoint, link::kLogWarning);
    backoff.start();
    m_health.failedAttempts = 0;
    // Only a link made with a login can be made again.
    m_health.reconnecting = autoReconnect && m_target.dataPort != 0;
}

bool CQvx_controllerDoc::tryReconnect() {
    if (!m_link.lockEngine()) {
        return false;
    }
    logLine(platform::userText(connection::texts::kReconnecting) + m_link.host() + ", " +
                std::to_string(m_target.loginPort),
            link::kLogInfo);
    const connection::ReconnectOutcome outcome = connection::reconnectLink(m_link, m_target, m_stopping);
    if (!outcome.controller) {
        m_link.unlockEngine();
        if (!m_stopping) {
            m_health.setLastError(outcome.error);
            logLine(outcome.error, link::kLogWarning);
        }
        return false;
    }
    RecoveryReport report;
    report.controller = *outcome.controller;
    report.anotherController = m_controller && m_controller->serialNumber != outcome.controller->serialNumber;
    report.previousSerialNumber = m_controller ? m_controller->serialNumber : 0;
    if (report.anotherController) {
        // Another controller's table and tolerances replace the previous one's. Its table
        // may reach into the tolerance cells; then they are not read (nobody is asked here).
        connection::readCalibrationForDisplay(m_link);
        if (m_link.calibration().storedCount() <= link::CalibrationTable::kMaxPoints) {
            (void)m_link.readToleranceValues(report.underTolerance, report.overTolerance);
            report.tolerancesRead = true;
        }
    }
    m_link.unlockEngine();
    m_controller = outcome.controller;
    {
        const std::lock_guard guard(m_reportMutex);
        m_report = report;
    }
    logLine(platform::userText(connection::texts::kReconnected) + m_link.host() + ", " +
                std::to_string(m_target.dataPort),
            link::kLogInfo);
    return true;
}

void CQvx_controllerDoc::pollLoop() {
    connection::ReconnectBackoff backoff(m_clock);
    bool online = m_link.isConnected();  // polling starts on a link that works
    int failedCycles = 0;
    bool closedForSilence = false;
    for (;;) {
        if (stopRequested()) {
            return;
        }
        if (!m_link.isConnected()) {
            if (online) {
                online = false;
                linkLost(backoff, closedForSilence);
                closedForSilence = false;
            }
            // Reconnecting follows the loss of a link that was online, never a link that was
            // not there from the start.
            if (m_health.reconnecting && backoff.isDue()) {
                if (tryReconnect()) {
                    m_health.reconnecting = false;
                    failedCycles = 0;
                } else if (!m_stopping) {
                    backoff.attemptFailed();
                    ++m_health.failedAttempts;
                    logLine(platform::userText(connection::texts::kNextAttemptIn) +
                                std::to_string(backoff.currentDelay().count()) + " s",
                            link::kLogInfo);
                }
            }
            m_health.nextAttemptMs = backoff.untilDue().count();
            pollOk = false;
            if (statusByteWanted.exchange(false)) {
                publishStatusByte(std::nullopt);  // no link: the read fails at once
            }
            continue;
        }
        online = true;
        if (stopRequested()) {
            return;
        }
        const bool ok = pollCycle();
        if (!m_stopping) {
            answerRequests(ok);
        }
        if (m_stopping || stopRequested()) {
            return;
        }
        pollOk = ok;
        newData = true;
        ++pollCycles;
        failedCycles = ok ? 0 : failedCycles + 1;
        if (failedCycles == kFailedCyclesForLoss) {
            m_health.setLastError(platform::userText(connection::texts::kControllerGone));
            logLine(platform::userText(connection::texts::kControllerGone), link::kLogWarning);
            // Without reconnecting, the link stays and polling resumes when answers come back.
            if (autoReconnect && m_target.dataPort != 0) {
                closedForSilence = true;
                m_link.closeSocket();
            }
        }
    }
}

}  // namespace qvx::document
