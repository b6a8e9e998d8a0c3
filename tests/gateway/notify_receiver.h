#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace qvx::gateway::test {

/// Plays systemd's side of the notification socket: a datagram socket bound to a path, to
/// be given to the gateway as NOTIFY_SOCKET.
class NotifyReceiver {
public:
    explicit NotifyReceiver(const std::filesystem::path& path) : m_path(path) {
        m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string text = path.string();
        if (m_socket < 0 || text.size() >= sizeof address.sun_path) {
            throw std::runtime_error("no notification socket");
        }
        std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_socket);
            throw std::runtime_error("cannot bind the notification socket");
        }
    }
    ~NotifyReceiver() {
        ::close(m_socket);
        ::unlink(m_path.c_str());
    }
    NotifyReceiver(const NotifyReceiver&) = delete;
    NotifyReceiver& operator=(const NotifyReceiver&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

    /// The next message; nullopt when none came within `timeout`.
    [[nodiscard]] std::optional<std::string> receive(std::chrono::milliseconds timeout) const {
        pollfd fd{m_socket, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(timeout.count())) != 1) {
            return std::nullopt;
        }
        std::array<char, 4096> buffer{};
        const ssize_t got = ::recv(m_socket, buffer.data(), buffer.size(), 0);
        if (got < 0) {
            return std::nullopt;
        }
        return std::string(buffer.data(), static_cast<std::size_t>(got));
    }

    /// Receives until a message contains `text`; that message, or nullopt at the deadline.
    /// Every message received on the way is appended to `seen` when given.
    [[nodiscard]] std::optional<std::string> receiveUntil(const std::string& text,
                                                          std::chrono::milliseconds timeout,
                                                          std::string* seen = nullptr) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return std::nullopt;
            }
            std::optional<std::string> message = receive(left);
            if (!message) {
                return std::nullopt;
            }
            if (seen != nullptr) {
                *seen += *message + "|";
            }
            if (message->find(text) != std::string::npos) {
                return message;
            }
        }
    }

private:
    std::filesystem::path m_path;
    int m_socket = -1;
};

}  // namespace qvx::gateway::test
