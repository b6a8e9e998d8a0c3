#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace qvx::gateway {

/// The service manager's notification socket (NOTIFY_SOCKET): state reports of a service
/// started by systemd go there as datagrams of "KEY=value" lines, such as "READY=1",
/// "STOPPING=1" or "STATUS=...". The protocol is a few lines on an AF_UNIX datagram socket,
/// so the gateway needs no library for it.
class NotifySocket {
public:
    /// The socket named by `address`: an absolute path, or "@name" for the abstract
    /// namespace. nullopt when the address cannot name a Unix socket (empty, relative, too
    /// long) or no socket can be had; `error` then holds the errno value.
    [[nodiscard]] static std::optional<NotifySocket> connect(std::string_view address, int& error);

    ~NotifySocket();
    NotifySocket(NotifySocket&& other) noexcept;
    NotifySocket& operator=(NotifySocket&& other) noexcept;
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    /// Sends one message; false (errno set) when it could not be delivered. Safe to call from
    /// several threads: each message is one datagram.
    [[nodiscard]] bool send(std::string_view message) const;

private:
    NotifySocket(int descriptor, std::string address)
        : m_descriptor(descriptor), m_address(std::move(address)) {}

    int m_descriptor = -1;  // unbound datagram socket
    std::string m_address;  // sun_path bytes, a leading NUL for the abstract namespace
};

}  // namespace qvx::gateway
