#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "gateway/login_line.h"
#include "link/socket_channel.h"
#include "platform/auto_reset_event.h"

namespace qvx::gateway {

/// Limits of the login connections.
struct LoginTiming {
    std::chrono::milliseconds replyHold{3000};     // from the reply to closing the connection
    std::chrono::milliseconds lineTimeout{10000};  // from the accept to a complete line
    std::size_t maxConnections = 16;  // served at a time; further clients wait in the backlog
};

/// What the login server hands to its owner; every call comes from the server's thread.
class LoginHandler {
public:
    virtual ~LoginHandler() = default;
    /// A connection from `peer` (dotted address, or the stand-in when `known` is false) was
    /// accepted; false refuses it at once.
    [[nodiscard]] virtual bool loginAccepted(const std::string& peer, bool known) = 0;
    /// The complete line of a login from `peer`; returns the reply.
    [[nodiscard]] virtual std::string_view loginLine(const std::string& line,
                                                     const std::string& peer) = 0;
    /// No complete line came within the line time-out; the connection is closed next.
    virtual void loginTimedOut(const std::string& peer) = 0;
    /// The connection from `peer` has ended (closed by either side).
    virtual void loginEnded(const std::string& peer) = 0;
    /// An accept failed although the listener stands; the server pauses before the next one.
    virtual void acceptFailed(int error) = 0;
};

/// Serves the login connections of one listening socket, each on its own: every connection
/// has its own line time-out and reply hold, so logins that arrive together are answered
/// together. At most maxConnections are served at a time. Bytes after the line are not read.
///
/// Threads: one thread of its own polls the listener and every connection; it is started by
/// the constructor and stopped and joined by the destructor, which closes what is still open
/// without reporting it.
class LoginServer {
public:
    /// Pause after an accept that failed although the listener stands.
    static constexpr std::chrono::milliseconds kAcceptPause{250};

    /// `listener` (non-blocking, owned by the caller) and `handler` must outlive the server.
    LoginServer(int listener, LoginTiming timing, link::KeepAlive keepAlive, LoginHandler& handler);
    ~LoginServer();
    LoginServer(const LoginServer&) = delete;
    LoginServer& operator=(const LoginServer&) = delete;

private:
    using Clock = std::chrono::steady_clock;

    struct Connection {
        int fd = -1;
        std::string peer;  // dotted address of the client
        LoginLineCollector line;
        bool answered = false;       // the reply is out; only the hold time is left
        Clock::time_point deadline;  // line time-out, or end of the reply hold
    };

    void run(const std::stop_token& stop);
    [[nodiscard]] int pollTimeout(Clock::time_point now) const;
    void expire(Clock::time_point now);
    void acceptOne(Clock::time_point now);
    void receive(Connection& connection, Clock::time_point now);
    void end(std::size_t index);
    [[nodiscard]] bool accepting(Clock::time_point now) const;

    const int m_listener;
    const LoginTiming m_timing;
    const link::KeepAlive m_keepAlive;
    LoginHandler& m_handler;
    std::vector<Connection> m_connections;  // server thread only
    Clock::time_point m_acceptPausedUntil;  // server thread only
    platform::AutoResetEvent m_wake;        // ends the poll when the server stops
    std::jthread m_thread;                  // last member: started when the rest exists
};

}  // namespace qvx::gateway
