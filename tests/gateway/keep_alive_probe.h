#pragma once

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "tcp_test_client.h"

namespace qvx::gateway::test {

/// The keep-alive options of a connected socket.
struct KeepAliveState {
    bool on = false;
    int idleSeconds = 0;
    int intervalSeconds = 0;
    int probes = 0;
    int userTimeoutMs = 0;
    bool operator==(const KeepAliveState&) const = default;
};

inline bool intOption(int fd, int level, int name, int& value) {
    socklen_t length = sizeof value;
    return ::getsockopt(fd, level, name, &value, &length) == 0;
}

inline std::optional<KeepAliveState> keepAliveOf(int fd) {
    KeepAliveState state;
    int on = 0;
    if (!intOption(fd, SOL_SOCKET, SO_KEEPALIVE, on) ||
        !intOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, state.idleSeconds) ||
        !intOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, state.intervalSeconds) ||
        !intOption(fd, IPPROTO_TCP, TCP_KEEPCNT, state.probes) ||
        !intOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, state.userTimeoutMs)) {
        return std::nullopt;
    }
    state.on = on != 0;
    return state;
}

inline std::uint16_t portOf(const sockaddr_in& address) {
    return ntohs(address.sin_port);
}

/// True when `fd` is the other end of the connection whose local port is `clientPort` and
/// whose remote port is `serverPort`.
inline bool isServerSide(int fd, std::uint16_t clientPort, std::uint16_t serverPort) {
    sockaddr_in local{};
    sockaddr_in remote{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.sin_family != AF_INET) {
        return false;
    }
    length = sizeof remote;
    return ::getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &length) == 0 &&
           portOf(local) == serverPort && portOf(remote) == clientPort;
}

/// The keep-alive options of the socket that accepted `client`, looked up among the
/// descriptors of process `pid` (this one by default; another one is reached through
/// pidfd_getfd, which needs the right to trace it).
inline std::optional<KeepAliveState> acceptedKeepAlive(const TcpClient& client,
                                                       pid_t pid = ::getpid()) {
    sockaddr_in local{};
    sockaddr_in remote{};
    socklen_t length = sizeof local;
    (void)::getsockname(client.fd(), reinterpret_cast<sockaddr*>(&local), &length);
    length = sizeof remote;
    (void)::getpeername(client.fd(), reinterpret_cast<sockaddr*>(&remote), &length);
    const bool own = pid == ::getpid();
    const int pidfd = own ? -1 : static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (!own && pidfd < 0) {
        return std::nullopt;
    }
    std::optional<KeepAliveState> found;
    std::error_code error;
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const int number = std::stoi(entry.path().filename().string());
        const int fd =
            own ? number : static_cast<int>(::syscall(SYS_pidfd_getfd, pidfd, number, 0));
        if (fd < 0) {
            continue;
        }
        if (fd != client.fd() && isServerSide(fd, portOf(local), portOf(remote))) {
            found = keepAliveOf(fd);
        }
        if (!own) {
            ::close(fd);
        }
        if (found) {
            break;
        }
    }
    if (pidfd >= 0) {
        ::close(pidfd);
    }
    return found;
}

}  // namespace qvx::gateway::test
