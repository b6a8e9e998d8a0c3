#include "tests/support/scripted_peer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

#include "link/frame_receiver.h"
#include "link/message_table.h"
#include "tests/support/loopback.h"

namespace qvx::test {

Bytes frameOf(int code, std::uint16_t address, int length, Bytes data) {
    link::LinkMessage message;
    message.code = code;
    message.address = address;
    message.length = length;
    message.data = std::move(data);
    if (!message.build()) {
        throw std::invalid_argument("frameOf: not a valid frame");
    }
    return message.frameBytes;
}

std::vector<Bytes> ScriptedPeer::confirm(const link::LinkMessage& request, int fill) {
    const int code = request.code + 128;
    if (request.code >= 1 && request.code <= 3) {
        Bytes data(static_cast<std::size_t>(request.length));
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(fill >= 0 ? static_cast<std::size_t>(fill) : (request.address + i) & 0xFFU);
        }
        return {frameOf(code, request.address, request.length, data)};
    }
    return {frameOf(code, request.address, request.length)};
}

ScriptedPeer::ScriptedPeer(Script script) : m_script(std::move(script)) {
    m_listenFd = listenOnLoopback(5, m_port);
    m_thread = std::thread([this] { run(); });
}

ScriptedPeer::~ScriptedPeer() {
    (void)m_stop.set();
    m_thread.join();
    ::close(m_listenFd);
}

std::vector<link::LinkMessage> ScriptedPeer::requests() const {
    const std::lock_guard guard(m_mutex);
    return m_requests;
}

Bytes ScriptedPeer::rawReceived() const {
    const std::lock_guard guard(m_mutex);
    return m_raw;
}

bool ScriptedPeer::waitForRequests(std::size_t count, std::chrono::milliseconds deadline) const {
    std::unique_lock guard(m_mutex);
    return m_changed.wait_for(guard, deadline, [&] { return m_requests.size() >= count; });
}

bool ScriptedPeer::waitForClient(std::chrono::milliseconds deadline) const {
    std::unique_lock guard(m_mutex);
    return m_changed.wait_for(guard, deadline, [&] { return m_clientFd >= 0; });
}

void ScriptedPeer::sendRaw(const Bytes& bytes) {
    const std::lock_guard guard(m_mutex);
    if (m_clientFd >= 0) {
        (void)::send(m_clientFd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
}

void ScriptedPeer::dropClient() {
    const std::lock_guard guard(m_mutex);
    if (m_clientFd >= 0) {
        ::shutdown(m_clientFd, SHUT_RDWR);
    }
}

void ScriptedPeer::run() {
    link::FrameAssembler assembler(true);
    std::array<std::uint8_t, 4096> buffer{};
    int index = 0;
    for (;;) {
        int client = -1;
        {
            const std::lock_guard guard(m_mutex);
            client = m_clientFd;
        }
        std::array<pollfd, 2> fds{pollfd{client >= 0 ? client : m_listenFd, POLLIN, 0},
                                  pollfd{m_stop.descriptor(), POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), -1) < 0 || (fds[1].revents & POLLIN) != 0) {
            break;
        }
        if (client < 0) {
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                const int on = 1;
                (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                const std::lock_guard guard(m_mutex);
                m_clientFd = fd;
                m_changed.notify_all();
            }
            continue;
        }
        const ssize_t n = ::recv(client, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            const std::lock_guard guard(m_mutex);
            ::close(m_clientFd);
            m_clientFd = -1;
            assembler.reset();
            m_changed.notify_all();
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            std::vector<Bytes> replies;
            {
                const std::lock_guard guard(m_mutex);
                m_raw.push_back(buffer[static_cast<std::size_t>(i)]);
            }
            auto message = assembler.push(buffer[static_cast<std::size_t>(i)]);
            if (!message) {
                continue;
            }
            replies = m_script(*message, index++);
            const std::lock_guard guard(m_mutex);
            m_requests.push_back(*message);
            for (const Bytes& reply : replies) {
                (void)::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            m_changed.notify_all();
        }
    }
    const std::lock_guard guard(m_mutex);
    if (m_clientFd >= 0) {
        ::close(m_clientFd);
        m_clientFd = -1;
    }
}

}  // namespace qvx::test

namespace qvx::test {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace qvx::test
