#include "gateway/gateway_security.h"

#include <cerrno>

#include "gateway/gateway_texts.h"
#include "gateway/listener_support.h"
#include "link/listener_table.h"
#include "platform/system_error.h"

namespace qvx::gateway {

namespace {

std::string securedNotANumberText(std::string_view value) {
    std::string text(texts::kSecuredNotANumberPrefix);
    text += value;
    text += texts::kSecuredNotANumberSuffix;
    return text;
}

}  // namespace

CGatewaySecurity::CGatewaySecurity(const platform::Clock& clock, GatewayLogTarget target,
                                   LoginTiming timing)
    : m_target(target), m_timing(timing), m_authorizations(clock) {
    applyLogTarget(*this, m_target);
}

CGatewaySecurity::~CGatewaySecurity() {
    m_server.reset();
    if (m_listener >= 0) {
        link::ListenerTable::instance().release(m_endpoint);
    }
}

void CGatewaySecurity::log(std::string_view text, int level) {
    std::string line(texts::kSecurityPrefix);
    line += text;
    writeGatewayLog(*this, m_target.eventLog, line, level);
}

void CGatewaySecurity::ReadSettings(const GatewaySettings& stores) {
    if (!m_settingsPending) {
        return;
    }
    m_settings = stores.readGlobalSettings();
    m_settingsPending = false;
    if (m_settings.securedUnreadable) {
        log(securedNotANumberText(m_settings.securedText), link::kLogError);
    }
    if (m_settings.secured && m_settings.passwordUnreadable) {
        log(texts::kPasswordUnreadable, link::kLogError);
    }
    if (m_settings.secured && m_settings.password.size() > LoginLineCollector::kMaxLineBytes) {
        log(texts::kPasswordTooLong, link::kLogError);
    }
}

bool CGatewaySecurity::Start() {
    if (m_startAttempted.exchange(true)) {
        return m_started;
    }
    int error = 0;
    m_listener = acquireListener(m_settings.loginPort, m_settings.listenAddress, m_endpoint, error);
    if (m_listener < 0) {
        log(listenerFailureText(m_settings.loginPort, m_settings.listenAddress, error),
            link::kLogError);
        log(std::string(texts::kSecurityInitialisationFailed) + m_settings.listenAddress,
            link::kLogError);
        return false;
    }
    log(std::string(texts::kSecurityInitialisationOk) + m_settings.listenAddress, link::kLogInfo);
    m_server = std::make_unique<LoginServer>(m_listener, m_timing, kStaleSessionKeepAlive,
                                             static_cast<LoginHandler&>(*this));
    m_started = true;
    return true;
}

bool CGatewaySecurity::IsAuthorized(std::string_view address) {
    if (!m_settings.secured) {
        return true;
    }
    purgeStale();
    return m_authorizations.contains(address);
}

void CGatewaySecurity::purgeStale() {
    for (const std::string& stale : m_authorizations.purgeStale()) {
        std::string text(texts::kStalePrefix);
        text += stale;
        text += texts::kStaleSuffix;
        log(text, link::kLogDebug);
    }
}

bool CGatewaySecurity::loginAccepted(const std::string& peer, bool known) {
    log(std::string(texts::kConnectedWith) + peer, link::kLogInfo);
    if (!known && m_settings.secured) {
        // Nobody could be authorised by this login: refuse it like a data channel would.
        log(std::string(texts::kConnectionTo) + peer + std::string(texts::kRefusedSuffix),
            link::kLogError);
        return false;
    }
    return true;
}

std::string_view CGatewaySecurity::loginLine(const std::string& line, const std::string& peer) {
    if (!m_settings.secured) {
        return texts::kReplyOk;
    }
    // Compared as bytes: same length, same bytes, case-sensitive. Without a readable stored
    // passphrase nothing matches.
    if (m_settings.loginsRefused() || line != m_settings.password) {
        log(texts::kNotAuthenticated, link::kLogError);
        return texts::kReplyInvalid;
    }
    log(texts::kAuthenticated, link::kLogInfo);
    // Purged here too, so logins without data connections cannot grow the list for ever.
    purgeStale();
    m_authorizations.add(peer);
    return texts::kReplyOk;
}

void CGatewaySecurity::loginTimedOut(const std::string& /*peer*/) {
    log(texts::kLoginLineTimeout, link::kLogWarning);
}

void CGatewaySecurity::loginEnded(const std::string& peer) {
    log(std::string(texts::kDisconnectedFrom) + peer, link::kLogInfo);
}

void CGatewaySecurity::acceptFailed(int error) {
    if (m_acceptThrottle.shouldLog(error, std::chrono::steady_clock::now())) {
        log(std::string(texts::kAcceptFailed) + platform::systemErrorText(error), link::kLogError);
    }
}

}  // namespace qvx::gateway
