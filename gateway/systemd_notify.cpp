#include "gateway/systemd_notify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <utility>

namespace qvx::gateway {

std::optional<NotifySocket> NotifySocket::connect(std::string_view address, int& error) {
    error = 0;
    std::string path(address);
    if (path.size() >= 2 && path.front() == '@') {
        path.front() = '\0';
    } else if (path.empty() || path.front() != '/') {
        error = EAFNOSUPPORT;
        return std::nullopt;
    }
    if (path.size() >= sizeof(sockaddr_un::sun_path)) {
        error = ENAMETOOLONG;
        return std::nullopt;
    }
    const int descriptor = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        error = errno;
        return std::nullopt;
    }
    return NotifySocket(descriptor, std::move(path));
}

NotifySocket::~NotifySocket() {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
}

NotifySocket::NotifySocket(NotifySocket&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)), m_address(std::move(other.m_address)) {}

NotifySocket& NotifySocket::operator=(NotifySocket&& other) noexcept {
    if (this != &other) {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_address = std::move(other.m_address);
    }
    return *this;
}

bool NotifySocket::send(std::string_view message) const {
    sockaddr_un target{};
    target.sun_family = AF_UNIX;
    std::memcpy(target.sun_path, m_address.data(), m_address.size());
    // An abstract address is exactly as long as its bytes; a path carries its terminator.
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + m_address.size() +
                                               (m_address.front() == '\0' ? 0 : 1));
    for (;;) {
        const ssize_t sent = ::sendto(m_descriptor, message.data(), message.size(), MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&target), length);
        if (sent >= 0) {
            return static_cast<std::size_t>(sent) == message.size();
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

}  // namespace qvx::gateway
