#include "document/document.h"

#include <algorithm>
#include <chrono>

#include "connection/client_settings.h"
#include "document/outputs.h"

namespace qvx::document {

namespace {

constexpr float kMillimetresPerTenthInch = 2.54F;
constexpr auto kStopCheck = std::chrono::milliseconds(10);

}  // namespace

CQvx_controllerDoc::CQvx_controllerDoc() = default;

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

void CQvx_controllerDoc::pollLoop() {
    for (;;) {
        if (stopRequested()) {
            return;
        }
        if (!m_link.isConnected()) {
            pollOk = false;
            continue;
        }
        if (stopRequested()) {
            return;
        }
        bool ok = pollOutputs();
        if (stopRequested()) {
            return;
        }
        if (ok && m_link.isConnected()) {
            ok = pollSwitchPoints();
            if (stopRequested()) {
                return;
            }
        }
        if (ok && m_link.isConnected()) {
            ok = pollGripper();
        }
        if (stopRequested()) {
            return;
        }
        pollOk = ok;
        newData = true;
        ++pollCycles;
    }
}

}  // namespace qvx::document
