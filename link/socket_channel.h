#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <thread>

#include "link/diagnostic_log.h"
#include "link/ipv4_endpoint.h"
#include "platform/auto_reset_event.h"
#include "platform/byte_queue.h"

namespace qvx::link {

/// A connected socket shared by the threads that use it; the descriptor is closed when the
/// last user lets go, so a number that is still in use is never reused for something else.
class ConnectedSocket {
public:
    explicit ConnectedSocket(int fd) : m_fd(fd) {}
    ~ConnectedSocket();
    ConnectedSocket(const ConnectedSocket&) = delete;
    ConnectedSocket& operator=(const ConnectedSocket&) = delete;
    [[nodiscard]] int fd() const { return m_fd; }
    /// Ends the connection both ways and wakes every thread blocked on it.
    void shutdown() const;

private:
    int m_fd;
};

/// Keep-alive timing of a connection, so that a peer that vanished without closing is noticed.
struct KeepAlive {
    int idleSeconds = 0;      // TCP_KEEPIDLE: quiet time before the first probe
    int intervalSeconds = 0;  // TCP_KEEPINTVL: time between two probes
    int probes = 0;           // TCP_KEEPCNT: unanswered probes that end the connection
    int userTimeoutMs = 0;    // TCP_USER_TIMEOUT: longest wait for an acknowledgement
};

/// Sets the keep-alive timing on a connected socket (SO_KEEPALIVE itself is not touched);
/// options the system refuses are left at their defaults.
void applyKeepAlive(int fd, const KeepAlive& keepAlive);

/// One TCP connection carried by three threads: a connector (connect or accept), a sender
/// that drains the outgoing byte queue into the socket (bytes with nothing ahead of them skip
/// it), and a receiver that hands incoming bytes up. Client mode connects to a peer; server
/// mode accepts on a listening socket shared through the process-wide listener table.
///
/// Each connection ends exactly once: whichever thread clears `connected` closes the socket
/// and raises `signalDisconnected`. A refused connect raises it too.
///
/// The most-derived class must call close() first in its destructor, so no callback reaches
/// a half-destroyed object.
class SocketChannel : public DiagnosticLog {
public:
    SocketChannel();
    ~SocketChannel() override;

    /// Starts the threads and prepares the peer (client) or the listener (server). A second
    /// open does nothing and returns whether the first succeeded. False in server mode when
    /// no listening socket could be had, or when the address does not resolve.
    [[nodiscard]] bool open(int port, std::string_view host, bool serverMode, int sendBufferSize,
                            int receiveBufferSize);
    /// Asks the connector for one attempt (client: connect; server: accept).
    [[nodiscard]] bool requestConnect();
    /// Resolves and stores a new peer without reopening; false if it does not resolve.
    [[nodiscard]] bool setPeer(int port, std::string_view host, bool serverMode);
    /// Sends the bytes as one piece: from the caller's thread at once when nothing is queued
    /// ahead of them and the socket takes them, otherwise through the sender's queue. False
    /// at once when not connected.
    [[nodiscard]] bool write(std::span<const std::uint8_t> bytes);
    /// Ends the current connection; the receiver then reports the loss.
    void closeSocket();

    [[nodiscard]] bool isConnected() const { return m_connected; }
    [[nodiscard]] bool isOpen() const { return m_isOpen; }
    /// Server mode: a listening socket was obtained.
    [[nodiscard]] bool hasListener() const { return m_listenSocket >= 0; }
    /// The peer of the current or last connection, when its address could be read.
    [[nodiscard]] std::optional<std::uint32_t> remoteAddress() const;
    [[nodiscard]] int lastError() const { return m_lastError; }
    /// Number of connection attempts that failed so far; a caller waiting for a connection
    /// notes it before asking and stops waiting when it grows.
    [[nodiscard]] unsigned failedAttempts() const { return m_failedAttempts; }
    /// Longest wait for a client-mode connect before the attempt counts as failed.
    void setConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimeoutMs = timeout.count(); }
    /// Keep-alive timing for the connections made from now on, on top of SO_KEEPALIVE with the
    /// system's timing, which every connection gets. Call it before open().
    void setKeepAlive(const KeepAlive& keepAlive) { m_keepAlive = keepAlive; }

protected:
    /// Received bytes, in arrival order, on the receive thread.
    virtual void onData(std::span<const std::uint8_t> bytes) = 0;
    /// A connection is up (connector thread). Sending works from here on.
    virtual void signalConnected() = 0;
    /// A connection ended, or an attempt failed (any of the channel's threads).
    virtual void signalDisconnected() = 0;

    /// The closing order: connector, sender, receiver stopped and joined, the listener
    /// released. Idempotent. Never call it from one of the channel's own callbacks.
    void close();

private:
    void connectorLoop();
    void senderLoop();
    /// Sends all bytes, waiting for room; a failure ends the connection.
    void sendAll(const ConnectedSocket& socket, std::span<const std::uint8_t> bytes);
    /// Sends what the socket takes at once; returns the count (0 on any failure).
    [[nodiscard]] std::size_t sendWithoutWaiting(std::span<const std::uint8_t> bytes);
    void receiverLoop();
    [[nodiscard]] int acceptClient();
    [[nodiscard]] int connectToPeer();
    void onConnected(int fd);
    /// Ends the connection carried by `socket` unless another thread already has; nullptr
    /// stands for a failed attempt, which only raises the signal.
    void connectionLost(const ConnectedSocket* socket);
    [[nodiscard]] std::shared_ptr<ConnectedSocket> currentSocket() const;

    enum class Wait { Ready, Stopped, TimedOut };
    /// Waits until fd has one of `events` (or an error) or `stop` is signalled.
    [[nodiscard]] static Wait waitFor(int fd, short events, const platform::AutoResetEvent& stop,
                                      int timeoutMs);

    std::atomic<bool> m_isOpen{false};
    std::atomic<bool> m_openResult{false};
    std::atomic<bool> m_serverMode{false};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_closed{false};
    std::atomic<int> m_lastError{0};
    std::atomic<unsigned> m_failedAttempts{0};
    std::atomic<long long> m_connectTimeoutMs{10000};
    std::optional<KeepAlive> m_keepAlive;  // written before open(), read by the connector

    mutable std::mutex m_mutex;
    std::shared_ptr<ConnectedSocket> m_socket;  // guarded by m_mutex
    std::optional<Ipv4Endpoint> m_peer;         // guarded by m_mutex
    std::atomic<bool> m_remoteKnown{false};
    std::atomic<std::uint32_t> m_remoteAddress{0};

    Ipv4Endpoint m_listenEndpoint;  // written by open() before the connector accepts
    std::atomic<int> m_listenSocket{-1};

    platform::AutoResetEvent m_stopConnector;
    platform::AutoResetEvent m_connectRequest;
    platform::AutoResetEvent m_stopReceiver;
    platform::AutoResetEvent m_startReceiving;
    platform::ByteQueue m_sendQueue;

    std::thread m_connector;
    std::thread m_sender;
    std::thread m_receiver;
};

}  // namespace qvx::link
