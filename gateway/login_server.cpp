#include "gateway/login_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <utility>

#include "gateway/listener_support.h"

namespace qvx::gateway {

namespace {

void closeConnection(int fd) {
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

std::optional<std::uint32_t> peerOf(int fd) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.sin_family != AF_INET) {
        return std::nullopt;
    }
    return ntohl(peer.sin_addr.s_addr);
}

}  // namespace

LoginServer::LoginServer(int listener, LoginTiming timing, link::KeepAlive keepAlive,
                         LoginHandler& handler)
    : m_listener(listener),
      m_timing(timing),
      m_keepAlive(keepAlive),
      m_handler(handler),
      m_thread([this](const std::stop_token& stop) { run(stop); }) {}

LoginServer::~LoginServer() {
    m_thread.request_stop();
    (void)m_wake.set();
    m_thread.join();
    for (const Connection& connection : m_connections) {
        closeConnection(connection.fd);
    }
}

bool LoginServer::accepting(Clock::time_point now) const {
    return m_connections.size() < m_timing.maxConnections && now >= m_acceptPausedUntil;
}

int LoginServer::pollTimeout(Clock::time_point now) const {
    std::optional<Clock::time_point> next;
    if (m_connections.size() < m_timing.maxConnections && now < m_acceptPausedUntil) {
        next = m_acceptPausedUntil;
    }
    for (const Connection& connection : m_connections) {
        next = next ? std::min(*next, connection.deadline) : connection.deadline;
    }
    if (!next) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

void LoginServer::run(const std::stop_token& stop) {
    std::vector<pollfd> fds;
    std::vector<std::size_t> owners;  // the connection of each entry after the first two
    while (!stop.stop_requested()) {
        Clock::time_point now = Clock::now();
        expire(now);
        fds.assign({pollfd{m_wake.descriptor(), POLLIN, 0},
                    pollfd{accepting(now) ? m_listener : -1, POLLIN, 0}});
        owners.clear();
        for (std::size_t i = 0; i < m_connections.size(); ++i) {
            // An answered login is not read any more: it only waits for its hold time.
            if (!m_connections[i].answered) {
                fds.push_back(pollfd{m_connections[i].fd, POLLIN, 0});
                owners.push_back(i);
            }
        }
        const int ready = ::poll(fds.data(), fds.size(), pollTimeout(now));
        if (ready <= 0 || (fds[0].revents & POLLIN) != 0) {
            continue;  // a deadline, an interruption, or the stop
        }
        now = Clock::now();
        for (std::size_t entry = 2; entry < fds.size(); ++entry) {
            if (fds[entry].revents != 0) {
                receive(m_connections[owners[entry - 2]], now);
            }
        }
        if (fds[1].revents != 0) {
            acceptOne(now);
        }
        // Connections whose receive ended them were marked with a closed descriptor.
        for (std::size_t i = m_connections.size(); i-- > 0;) {
            if (m_connections[i].fd < 0) {
                end(i);
            }
        }
    }
}

void LoginServer::expire(Clock::time_point now) {
    for (std::size_t i = m_connections.size(); i-- > 0;) {
        Connection& connection = m_connections[i];
        if (now < connection.deadline) {
            continue;
        }
        if (!connection.answered) {
            m_handler.loginTimedOut(connection.peer);
        }
        closeConnection(connection.fd);
        connection.fd = -1;
        end(i);
    }
}

void LoginServer::acceptOne(Clock::time_point now) {
    const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        // Another user of a shared listener took the client, or it gave up in the backlog.
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) {
            m_handler.acceptFailed(errno);
            m_acceptPausedUntil = now + kAcceptPause;
        }
        return;
    }
    const int on = 1;
    (void)::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    link::applyKeepAlive(fd, m_keepAlive);
    const std::optional<std::uint32_t> remote = peerOf(fd);
    Connection connection;
    connection.fd = fd;
    connection.peer = peerAddressText(remote);
    connection.deadline = now + m_timing.lineTimeout;
    if (!m_handler.loginAccepted(connection.peer, remote.has_value())) {
        closeConnection(fd);
        m_handler.loginEnded(connection.peer);
        return;
    }
    m_connections.push_back(std::move(connection));
}

void LoginServer::receive(Connection& connection, Clock::time_point now) {
    std::array<std::uint8_t, 512> buffer{};
    const ssize_t got = ::recv(connection.fd, buffer.data(), buffer.size(), 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (got <= 0) {
        closeConnection(connection.fd);  // the client left before its line was complete
        connection.fd = -1;
        return;
    }
    (void)connection.line.feed(std::span(buffer.data(), static_cast<std::size_t>(got)));
    if (!connection.line.complete()) {
        return;
    }
    const std::string_view reply = m_handler.loginLine(connection.line.line(), connection.peer);
    // A reply of a few bytes always fits into a fresh connection's send buffer.
    (void)::send(connection.fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    connection.answered = true;
    connection.deadline = now + m_timing.replyHold;
}

void LoginServer::end(std::size_t index) {
    const std::string peer = std::move(m_connections[index].peer);
    m_connections.erase(m_connections.begin() + static_cast<std::ptrdiff_t>(index));
    m_handler.loginEnded(peer);
}

}  // namespace qvx::gateway
