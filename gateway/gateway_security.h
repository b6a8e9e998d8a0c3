#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "gateway/authorization_list.h"
#include "gateway/gateway_log.h"
#include "gateway/gateway_settings.h"
#include "gateway/listener_support.h"
#include "gateway/login_server.h"
#include "gateway/serial_channel.h"
#include "link/diagnostic_log.h"
#include "link/ipv4_endpoint.h"
#include "platform/clock.h"

namespace qvx::gateway {

/// The login listener and the passphrase check of the whole gateway (one per process).
///
/// A client proves the passphrase on the login port: it sends one line and gets "+OK" or
/// "+ERR PASSWORD INVALID" back, without terminator; the connection is closed replyHold after
/// the reply, or lineTimeout after it was accepted when no line came by then, so an idle
/// client cannot hold a place. Up to maxConnections logins are served at once, each on its
/// own time limits; the reply hold keeps a login's place for its whole length, which limits
/// how fast one client can try passphrases. A successful login puts the client's address on the
/// authorisation list, which the data channels ask through IsAuthorized. With Secured off every
/// line gets "+OK" and every data connection is accepted.
///
/// Threads: ReadSettings and Start run on the service thread before any data channel asks
/// IsAuthorized; the logins run on the login server's thread, owned and joined by this
/// object; IsAuthorized may be called from any thread.
class CGatewaySecurity final : public link::DiagnosticLog, private LoginHandler {
public:
    /// `clock` stamps and ages the authorisations; it must outlive the object, as must the
    /// target's sink and event log.
    explicit CGatewaySecurity(const platform::Clock& clock = platform::SteadyClock::instance(),
                              GatewayLogTarget target = {}, LoginTiming timing = {});
    ~CGatewaySecurity() override;
    CGatewaySecurity(const CGatewaySecurity&) = delete;
    CGatewaySecurity& operator=(const CGatewaySecurity&) = delete;

    /// Takes login port, listen address, Secured and Password from the stores, the first time
    /// only. Logs an Error when Secured is not a number (security is on then), when security
    /// is on with a Password that no login can match, or when a stored Password cannot be
    /// read (every login is refused then).
    void ReadSettings(const GatewaySettings& stores);

    /// Opens the login listener and accepts logins; tried once, later calls return the first
    /// result. A listener that cannot be had (port 0, bind or listen failure, no free entry in
    /// the listener table) is logged as an Error and never accepts; the data channels go on
    /// without it.
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

private:
    [[nodiscard]] bool loginAccepted(const std::string& peer, bool known) override;
    [[nodiscard]] std::string_view loginLine(const std::string& line,
                                             const std::string& peer) override;
    void loginTimedOut(const std::string& peer) override;
    void loginEnded(const std::string& peer) override;
    void acceptFailed(int error) override;
    void purgeStale();

    const GatewayLogTarget m_target;
    const LoginTiming m_timing;
    bool m_settingsPending = true;  // service thread only, before any other thread asks
    GlobalSettings m_settings;      // fixed once read, before the listener opens
    std::atomic<bool> m_startAttempted{false};
    std::atomic<bool> m_started{false};
    AuthorizationList m_authorizations;
    RepeatedErrorThrottle m_acceptThrottle{AcceptFailureBackoff::kRepeatedLogInterval};  // server
    link::Ipv4Endpoint m_endpoint;          // of the listener, while it is held
    int m_listener = -1;                    // from the process-wide listener table, or -1
    std::unique_ptr<LoginServer> m_server;  // started by Start, stopped by the destructor
};

}  // namespace qvx::gateway
