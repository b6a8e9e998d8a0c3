#include "tests/support/modem_line.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

#include "link/frame_receiver.h"
#include "tests/support/loopback.h"

namespace qvx::test {

namespace {

void sendText(int client, const std::string& text) {
    (void)::send(client, text.data(), text.size(), MSG_NOSIGNAL);
}

}  // namespace

ModemLine::ModemLine(Answer answer, Door door) : m_answer(std::move(answer)) {
    // A backlog of 0 holds one waiting connection: the filler takes it while the door is shut.
    m_listen = listenOnLoopback(0, m_port);
    if (door == Door::Closed) {
        m_filler = connectToLoopback(m_port);
    } else {
        (void)m_door.set();
    }
    m_thread = std::thread([this] { run(); });
}

ModemLine::~ModemLine() {
    (void)m_stop.set();
    m_thread.join();
    if (m_filler >= 0) {
        ::close(m_filler);
    }
    ::close(m_listen);
}

void ModemLine::openDoor() {
    (void)m_door.set();
}

std::string ModemLine::commands() const {
    const std::lock_guard guard(m_mutex);
    return m_commands;
}

bool ModemLine::waitReadable(int fd, bool withDoor) {
    std::array<pollfd, 2> fds{pollfd{m_stop.descriptor(), POLLIN, 0},
                              pollfd{withDoor ? m_door.descriptor() : fd, POLLIN, 0}};
    return ::poll(fds.data(), fds.size(), -1) > 0 && (fds[0].revents & POLLIN) == 0;
}

void ModemLine::run() {
    // Nothing is accepted before the door opens; then the filler goes first.
    if (!waitReadable(-1, true)) {
        return;
    }
    (void)m_door.tryConsume();
    if (m_filler >= 0) {
        ::close(::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC));
    }
    while (waitReadable(m_listen, false)) {
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            serve(client);
            ::close(client);
        }
    }
}

bool ModemLine::command(int client, char c, std::string& line) {
    {
        const std::lock_guard guard(m_mutex);
        m_commands.push_back(c);
    }
    if (c != '\n') {
        if (c != '\r') {
            line.push_back(c);
        }
        return false;
    }
    const std::string reply = m_answer(line);
    line.clear();
    sendText(client, reply);
    return reply.find("CONNECT") != std::string::npos;
}

void ModemLine::serve(int client) {
    bool called = false;
    std::string line;
    link::FrameAssembler frames(true);
    std::array<std::uint8_t, 4096> buffer{};
    while (waitReadable(client, false)) {
        const ssize_t n = ::recv(client, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            const std::uint8_t byte = buffer[static_cast<std::size_t>(i)];
            if (!called) {
                called = command(client, static_cast<char>(byte), line);
                continue;
            }
            if (const auto request = frames.push(byte)) {
                for (const Bytes& reply : memory.serve(*request)) {
                    (void)::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
                }
            }
        }
    }
}

ModemLine::Answer hayesModem(const std::string& dialResult) {
    return [dialResult](const std::string& line) {
        return std::string("\r\n") + (line.rfind("ATD", 0) == 0 ? dialResult : "OK") + "\r\n";
    };
}

}  // namespace qvx::test
