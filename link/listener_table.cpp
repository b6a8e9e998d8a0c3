#include "link/listener_table.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace qvx::link {

namespace {

int bindListener(const Ipv4Endpoint& endpoint, int& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    const int on = 1;
    (void)::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = htonl(endpoint.address);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, ListenerTable::kBacklog) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

ListenerTable& ListenerTable::instance() {
    static ListenerTable table;
    return table;
}

int ListenerTable::acquire(const Ipv4Endpoint& endpoint, int& error) {
    const std::lock_guard guard(m_mutex);
    for (Entry& entry : m_entries) {
        if (entry.inUse && entry.endpoint == endpoint) {
            ++entry.users;
            return entry.socket;
        }
    }
    for (Entry& entry : m_entries) {
        if (!entry.inUse) {
            const int fd = bindListener(endpoint, error);
            if (fd < 0) {
                return -1;
            }
            entry = Entry{true, endpoint, fd, 1};
            return fd;
        }
    }
    error = ENOSPC;
    return -1;
}

void ListenerTable::release(const Ipv4Endpoint& endpoint) {
    const std::lock_guard guard(m_mutex);
    for (Entry& entry : m_entries) {
        if (entry.inUse && entry.endpoint == endpoint) {
            if (--entry.users == 0) {
                ::close(entry.socket);
                entry = Entry{};
            }
            return;
        }
    }
}

}  // namespace qvx::link
