#include "link/socket_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "link/listener_table.h"

namespace qvx::link {

ConnectedSocket::~ConnectedSocket() { ::close(m_fd); }

void ConnectedSocket::shutdown() const { ::shutdown(m_fd, SHUT_RDWR); }

void applyKeepAlive(int fd, const KeepAlive& keepAlive) {
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &keepAlive.idleSeconds,
                       sizeof keepAlive.idleSeconds);
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &keepAlive.intervalSeconds,
                       sizeof keepAlive.intervalSeconds);
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &keepAlive.probes, sizeof keepAlive.probes);
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &keepAlive.userTimeoutMs,
                       sizeof keepAlive.userTimeoutMs);
}

namespace {

void setBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
}

}  // namespace

SocketChannel::SocketChannel() = default;

SocketChannel::~SocketChannel() { close(); }

bool SocketChannel::open(int port, std::string_view host, bool serverMode, int /*sendBufferSize*/,
                         int /*receiveBufferSize*/) {
    // The buffer sizes of the original transport only bounded its single-byte reads and its
    // pieces per send; here the receiver reads what the socket has and the sender sends whole
    // queued pieces, so they need not be kept.
    if (m_isOpen.exchange(true)) {
        return m_openResult;
    }
    m_serverMode = serverMode;
    m_connected = false;
    m_lastError = 0;

    bool ok = true;
    const std::optional<Ipv4Endpoint> endpoint = resolveEndpoint(port, host);
    if (!endpoint) {
        m_lastError = EADDRNOTAVAIL;
        ok = false;
    } else if (serverMode) {
        int error = 0;
        const int fd = ListenerTable::instance().acquire(*endpoint, error);
        if (fd < 0) {
            m_lastError = error;
            ok = false;
        } else {
            m_listenEndpoint = *endpoint;
            m_listenSocket = fd;
        }
    }
    {
        const std::lock_guard guard(m_mutex);
        m_peer = endpoint;
    }
    m_connector = std::thread([this] { connectorLoop(); });
    m_sender = std::thread([this] { senderLoop(); });
    m_receiver = std::thread([this] { receiverLoop(); });
    m_openResult = ok;
    return ok;
}

bool SocketChannel::requestConnect() { return m_isOpen && m_connectRequest.set(); }

bool SocketChannel::setPeer(int port, std::string_view host, bool serverMode) {
    const std::optional<Ipv4Endpoint> endpoint = resolveEndpoint(port, host);
    const std::lock_guard guard(m_mutex);
    m_peer = endpoint;
    m_serverMode = serverMode;
    return endpoint.has_value();
}

bool SocketChannel::write(std::span<const std::uint8_t> bytes) {
    if (!m_connected) {
        return false;
    }
    // Bytes with nothing queued ahead of them go out from the caller's thread at once:
    // handing them to the sender thread would add a thread wake-up to every exchange.
    return m_sendQueue.write(bytes, [this](std::span<const std::uint8_t> piece) {
        return sendWithoutWaiting(piece);
    });
}

std::size_t SocketChannel::sendWithoutWaiting(std::span<const std::uint8_t> bytes) {
    const std::shared_ptr<ConnectedSocket> socket = currentSocket();
    if (!socket) {
        return 0;
    }
    // What the socket cannot take now, and any error, is left to the sender thread.
    const ssize_t n =
        ::send(socket->fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void SocketChannel::closeSocket() {
    if (const auto socket = currentSocket()) {
        socket->shutdown();
    }
}

std::optional<std::uint32_t> SocketChannel::remoteAddress() const {
    if (!m_remoteKnown) {
        return std::nullopt;
    }
    return m_remoteAddress.load();
}

std::shared_ptr<ConnectedSocket> SocketChannel::currentSocket() const {
    const std::lock_guard guard(m_mutex);
    return m_socket;
}

SocketChannel::Wait SocketChannel::waitFor(int fd, short events, const platform::AutoResetEvent& stop,
                                           int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::array<pollfd, 2> fds{pollfd{fd, events, 0}, pollfd{stop.descriptor(), POLLIN, 0}};
    for (;;) {
        int waitMs = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                return Wait::TimedOut;
            }
            waitMs = static_cast<int>(left);
        }
        const int ready = ::poll(fds.data(), fds.size(), waitMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        // The stop event is not consumed here: the thread's own loop sees it next and ends.
        if (ready < 0 || (fds[1].revents & POLLIN) != 0) {
            return Wait::Stopped;
        }
        if (fds[0].revents != 0) {
            return Wait::Ready;
        }
    }
}

void SocketChannel::connectorLoop() {
    while (platform::waitAny({&m_stopConnector, &m_connectRequest}, platform::kInfinite) == 1) {
        const int fd = m_serverMode ? acceptClient() : connectToPeer();
        if (m_closing) {
            if (fd >= 0) {
                ::close(fd);
            }
            return;
        }
        if (fd >= 0) {
            onConnected(fd);
        } else {
            ++m_failedAttempts;
            connectionLost(nullptr);
        }
    }
}

int SocketChannel::acceptClient() {
    const int listener = m_listenSocket;
    if (listener < 0) {
        m_lastError = ENOTSOCK;
        return -1;
    }
    for (;;) {
        if (waitFor(listener, POLLIN, m_stopConnector, -1) != Wait::Ready) {
            return -1;
        }
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            return fd;
        }
        // Several channels may share the listener: another one took this client.
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) {
            continue;
        }
        m_lastError = errno;
        return -1;
    }
}

int SocketChannel::connectToPeer() {
    std::optional<Ipv4Endpoint> peer;
    {
        const std::lock_guard guard(m_mutex);
        peer = m_peer;
    }
    if (!peer) {
        m_lastError = EADDRNOTAVAIL;
        return -1;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        m_lastError = errno;
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(peer->port);
    address.sin_addr.s_addr = htonl(peer->address);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            m_lastError = errno;
            ::close(fd);
            return -1;
        }
        // Connect without blocking, so an unreachable host costs the connect time-out, not
        // the minutes of the system's own retries, and closing the channel ends the attempt.
        const Wait wait = waitFor(fd, POLLOUT, m_stopConnector, static_cast<int>(m_connectTimeoutMs.load()));
        int error = 0;
        socklen_t length = sizeof error;
        if (wait == Wait::Ready) {
            (void)::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        } else {
            error = wait == Wait::TimedOut ? ETIMEDOUT : ECANCELED;
        }
        if (error != 0) {
            m_lastError = error;
            ::close(fd);
            return -1;
        }
    }
    setBlocking(fd);
    return fd;
}

void SocketChannel::onConnected(int fd) {
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0) {
        m_lastError = errno;
    }
    if (m_keepAlive) {
        applyKeepAlive(fd, *m_keepAlive);
    }
    // Small request/confirm exchanges: Nagle's algorithm with delayed acknowledgements
    // would hold each of them back by tens of milliseconds.
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 && peer.sin_family == AF_INET) {
        m_remoteAddress = ntohl(peer.sin_addr.s_addr);
        m_remoteKnown = true;
    } else {
        m_lastError = errno;
        m_remoteKnown = false;
    }
    setBlocking(fd);
    // Bytes queued for an earlier connection are never sent to this one.
    m_sendQueue.discard();
    std::shared_ptr<ConnectedSocket> previous;
    {
        const std::lock_guard guard(m_mutex);
        previous = std::exchange(m_socket, std::make_shared<ConnectedSocket>(fd));
        m_connected = true;
    }
    if (previous) {
        // A new attempt was requested while the old connection still stood: end the old one
        // so the receiver lets go of it and moves to the new socket.
        previous->shutdown();
    }
    signalConnected();
    (void)m_startReceiving.set();
}

void SocketChannel::connectionLost(const ConnectedSocket* socket) {
    if (socket != nullptr) {
        std::shared_ptr<ConnectedSocket> lost;
        {
            const std::lock_guard guard(m_mutex);
            if (m_socket.get() != socket) {
                return;  // this connection's end was already handled
            }
            lost = std::move(m_socket);
            m_connected = false;
        }
        lost->shutdown();
        // A writer held back by a full queue gets its room back; what it queues now is
        // dropped when the next connection starts, and later writes fail at once.
        m_sendQueue.discard();
    }
    if (!m_closing) {
        signalDisconnected();
    }
}

void SocketChannel::receiverLoop() {
    std::array<std::uint8_t, 4096> buffer{};
    while (platform::waitAny({&m_stopReceiver, &m_startReceiving}, platform::kInfinite) == 1) {
        const std::shared_ptr<ConnectedSocket> socket = currentSocket();
        if (!socket) {
            continue;
        }
        for (;;) {
            if (waitFor(socket->fd(), POLLIN, m_stopReceiver, -1) == Wait::Stopped) {
                return;
            }
            const ssize_t n = ::recv(socket->fd(), buffer.data(), buffer.size(), 0);
            if (n > 0 && !m_closing) {
                onData(std::span(buffer.data(), static_cast<std::size_t>(n)));
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                m_lastError = errno;
            }
            if (!m_closing) {
                connectionLost(socket.get());
            }
            break;
        }
    }
}

void SocketChannel::senderLoop() {
    std::array<std::uint8_t, 4096> buffer{};
    for (;;) {
        const std::size_t count = m_sendQueue.read(buffer);
        if (count == 0) {
            return;  // the queue was closed
        }
        // Without a socket the connection these bytes were for is gone.
        if (const std::shared_ptr<ConnectedSocket> socket = currentSocket()) {
            sendAll(*socket, std::span(buffer.data(), count));
        }
        m_sendQueue.finishedSending();
    }
}

void SocketChannel::sendAll(const ConnectedSocket& socket, std::span<const std::uint8_t> bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(socket.fd(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            m_lastError = errno;
            if (!m_closing) {
                connectionLost(&socket);
            }
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

void SocketChannel::close() {
    if (m_closed.exchange(true)) {
        return;
    }
    m_closing = true;
    if (!m_isOpen) {
        return;
    }
    (void)m_stopConnector.set();
    if (const auto socket = currentSocket()) {
        socket->shutdown();  // wakes a sender blocked in send and the receiver
    }
    m_connector.join();
    m_sendQueue.close();
    m_sender.join();
    (void)m_stopReceiver.set();
    m_receiver.join();
    {
        const std::lock_guard guard(m_mutex);
        m_socket.reset();
        m_connected = false;
    }
    if (m_listenSocket >= 0) {
        ListenerTable::instance().release(m_listenEndpoint);
        m_listenSocket = -1;
    }
}

}  // namespace qvx::link
