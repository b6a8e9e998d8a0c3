#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "gateway/authorization_list.h"
#include "gateway/gateway_log.h"
#include "gateway/gateway_settings.h"
#include "gateway/listener_support.h"
#include "gateway/login_line.h"
#include "link/socket_channel.h"
#include "platform/clock.h"

namespace qvx::gateway {

/// Time limits of a login connection.
struct LoginTiming {
    std::chrono::milliseconds replyHold{3000};     // from the reply to closing the connection
    std::chrono::milliseconds lineTimeout{10000};  // from the accept to a complete line
};

/// The login listener and the passphrase check of the whole gateway (one per process).
///
/// A client proves the passphrase on the login port: it sends one line and gets "+OK" or
/// "+ERR PASSWORD INVALID" back, without terminator; the connection is closed replyHold after
/// the reply, or lineTimeout after it was accepted when no line came by then, so an idle
/// client cannot lock the port. One login is served at a time and the reply hold keeps the
/// port for its whole length, which limits how fast passphrases can be tried. A successful login
/// puts the client's address on the authorisation list, which the data channels ask through
/// IsAuthorized. With Secured off every line gets "+OK" and every data connection is accepted.
///
/// Threads: ReadSettings and Start run on the service thread before any data channel asks
/// IsAuthorized; the login runs on the listener's own threads and one timer thread, all
/// owned and joined by this object; IsAuthorized may be called from any thread.
class CGatewaySecurity final : public link::SocketChannel {
public:
    /// `clock` stamps and ages the authorisations; it must outlive the object, as must the
    /// target's sink and event log.
    explicit CGatewaySecurity(const platform::Clock& clock = platform::SteadyClock::instance(),
                              GatewayLogTarget target = {}, LoginTiming timing = {});
    ~CGatewaySecurity() override;
    CGatewaySecurity(const CGatewaySecurity&) = delete;
    CGatewaySecurity& operator=(const CGatewaySecurity&) = delete;

    /// Takes login port, listen address, Secured and Password from the stores, the first time
    /// only. Logs an Error when security is on with a Password that no login can match, or
    /// when a stored Secured or Password cannot be read; every login is refused then.
    void ReadSettings(const GatewaySettings& stores);

    /// Opens the login listener and accepts the first login; tried once, later calls return
    /// the first result. A listener that cannot be had (port 0, bind or listen failure, no
    /// free entry in the listener table) is logged as an Error and never accepts; the data
    /// channels go on without it.
    [[nodiscard]] bool Start();

    /// True when security is off, or when `address` (dotted IPv4 text) logged in within the
    /// last kValidity seconds. Purges stale entries first, with a Debug line for each.
    [[nodiscard]] bool IsAuthorized(std::string_view address);

    /// True once the login listener accepts.
    [[nodiscard]] bool isStarted() const { return m_started; }
    [[nodiscard]] const GlobalSettings& settings() const { return m_settings; }
    /// Number of authorisations on the list, stale ones included until the next check.
    [[nodiscard]] std::size_t authorizationCount() const { return m_authorizations.size(); }

    /// Adds "Gatway-Security: " and writes to the gateway log.
    void log(std::string_view text, int level) override;

protected:
    void onData(std::span<const std::uint8_t> bytes) override;
    void signalConnected() override;
    void signalDisconnected() override;

private:
    enum class LoginState {
        Idle,        // no login connection
        Collecting,  // waiting for the line, until the line time-out
        Answering,   // the line is being checked and answered
        Answered,    // the reply is out; the receive thread closes after replyHold
        Closing,     // closed, waiting for the connection to end
    };

    [[nodiscard]] std::string_view evaluate(const std::string& line, const std::string& peer);
    void purgeStale();
    void timerLoop(const std::stop_token& stop);

    const GatewayLogTarget m_target;
    const LoginTiming m_timing;
    bool m_settingsPending = true;  // service thread only, before any other thread asks
    GlobalSettings m_settings;      // fixed once read, before the listener opens
    std::atomic<bool> m_startAttempted{false};
    std::atomic<bool> m_started{false};
    AuthorizationList m_authorizations;
    AcceptFailureBackoff m_acceptBackoff;

    std::mutex m_sessionMutex;
    std::condition_variable_any m_sessionChanged;
    LoginState m_state = LoginState::Idle;                            // guarded by m_sessionMutex
    std::optional<std::chrono::steady_clock::time_point> m_deadline;  // guarded
    std::uint64_t m_session = 0;  // guarded; counts login connections
    bool m_destroying = false;    // guarded; ends a reply hold at once
    bool m_sessionUp = false;     // guarded; a connection was accepted and has not ended
    std::string m_peer;           // guarded; address of the current or last login
    LoginLineCollector m_line;    // guarded

    std::jthread m_timer;  // started by Start, stopped and joined by the destructor
};

}  // namespace qvx::gateway
