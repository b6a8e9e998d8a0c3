#include "gateway/gateway_security.h"

#include <utility>

#include "gateway/gateway_texts.h"

namespace qvx::gateway {

namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

CGatewaySecurity::CGatewaySecurity(const platform::Clock& clock, GatewayLogTarget target,
                                   LoginTiming timing)
    : m_target(target), m_timing(timing), m_authorizations(clock) {
    applyLogTarget(*this, m_target);
}

CGatewaySecurity::~CGatewaySecurity() {
    m_acceptBackoff.cancel();
    {
        const std::lock_guard lock(m_sessionMutex);
        m_destroying = true;  // ends a reply hold at once
    }
    m_sessionChanged.notify_all();
    close();
    if (m_timer.joinable()) {
        m_timer.request_stop();
        m_timer.join();
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
        log(texts::kSecuredUnreadable, link::kLogError);
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
    const int error = openListener(*this, m_settings.loginPort, m_settings.listenAddress);
    if (error != 0) {
        log(listenerFailureText(m_settings.loginPort, m_settings.listenAddress, error),
            link::kLogError);
        log(std::string(texts::kSecurityInitialisationFailed) + m_settings.listenAddress,
            link::kLogError);
        return false;
    }
    log(std::string(texts::kSecurityInitialisationOk) + m_settings.listenAddress, link::kLogInfo);
    m_timer = std::jthread([this](const std::stop_token& stop) { timerLoop(stop); });
    m_started = requestConnect();
    return m_started;
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

void CGatewaySecurity::signalConnected() {
    const std::optional<std::uint32_t> remote = remoteAddress();
    const std::string peer = peerAddressText(remote);
    log(std::string(texts::kConnectedWith) + peer, link::kLogInfo);
    const std::lock_guard lock(m_sessionMutex);
    ++m_session;
    m_sessionUp = true;
    m_peer = peer;
    m_line.clear();
    if (!remote && m_settings.secured) {
        // Nobody could be authorised by this login: refuse it like a data channel would.
        log(std::string(texts::kConnectionTo) + peer + std::string(texts::kRefusedSuffix),
            link::kLogError);
        m_state = LoginState::Closing;
        m_deadline.reset();
        closeSocket();
        return;
    }
    m_state = LoginState::Collecting;
    m_deadline = std::chrono::steady_clock::now() + m_timing.lineTimeout;
    m_sessionChanged.notify_all();
}

void CGatewaySecurity::onData(std::span<const std::uint8_t> bytes) {
    std::string line;
    std::string peer;
    std::uint64_t session = 0;
    {
        const std::lock_guard lock(m_sessionMutex);
        if (m_state != LoginState::Collecting) {
            return;  // bytes after the line are not part of the login
        }
        (void)m_line.feed(bytes);
        if (!m_line.complete()) {
            return;
        }
        line = m_line.line();
        peer = m_peer;
        session = m_session;
        m_state = LoginState::Answering;
        m_deadline.reset();
    }
    (void)write(bytesOf(evaluate(line, peer)));
    // The receive thread holds the login port for the hold time, so every attempt costs a
    // client that long whether it waits for the close or not.
    std::unique_lock lock(m_sessionMutex);
    if (m_session != session || m_state != LoginState::Answering) {
        return;
    }
    m_state = LoginState::Answered;
    (void)m_sessionChanged.wait_for(lock, m_timing.replyHold, [this] { return m_destroying; });
    if (m_session == session && m_state == LoginState::Answered) {
        m_state = LoginState::Closing;
        m_line.clear();
        closeSocket();
    }
}

std::string_view CGatewaySecurity::evaluate(const std::string& line, const std::string& peer) {
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

void CGatewaySecurity::signalDisconnected() {
    bool wasUp = false;
    std::string peer;
    {
        const std::lock_guard lock(m_sessionMutex);
        wasUp = std::exchange(m_sessionUp, false);
        peer = m_peer;
        m_state = LoginState::Idle;
        m_deadline.reset();
        m_line.clear();
    }
    if (!wasUp) {
        // The accept itself failed although the listener stands.
        if (!m_acceptBackoff.pauseAfterFailure(*this, lastError())) {
            return;
        }
    } else {
        log(std::string(texts::kDisconnectedFrom) + peer, link::kLogInfo);
    }
    (void)requestConnect();
}

void CGatewaySecurity::timerLoop(const std::stop_token& stop) {
    std::unique_lock lock(m_sessionMutex);
    while (!stop.stop_requested()) {
        if (!m_deadline) {
            m_sessionChanged.wait(lock, stop, [this] { return m_deadline.has_value(); });
            continue;
        }
        const auto deadline = *m_deadline;
        if (m_sessionChanged.wait_until(lock, stop, deadline,
                                        [&] { return !m_deadline || *m_deadline != deadline; })) {
            continue;  // the deadline moved or went away
        }
        if (stop.stop_requested()) {
            break;
        }
        log(texts::kLoginLineTimeout, link::kLogWarning);
        // Only a login waiting for its line has a deadline, and the session cannot have
        // moved on: a new accept is requested only after the disconnection cleared the
        // deadline under this lock.
        m_state = LoginState::Closing;
        m_deadline.reset();
        closeSocket();
    }
}

}  // namespace qvx::gateway
