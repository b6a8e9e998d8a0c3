#include "tests/support/text_peer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/loopback.h"

namespace qvx::test {

TextPeer::TextPeer(Script script, std::chrono::milliseconds pause)
    : m_script(std::move(script)), m_pause(pause) {
    m_listen = listenOnLoopback(5, m_port);
    m_thread = std::thread([this] { run(); });
}

TextPeer::~TextPeer() {
    (void)m_stop.set();
    m_thread.join();
    ::close(m_listen);
}

std::string TextPeer::received() const {
    const std::lock_guard guard(m_mutex);
    return m_received;
}

bool TextPeer::waitReadable(int fd) const {
    std::array<pollfd, 2> fds{pollfd{fd, POLLIN, 0}, pollfd{m_stop.descriptor(), POLLIN, 0}};
    return ::poll(fds.data(), fds.size(), -1) > 0 && (fds[1].revents & POLLIN) == 0;
}

void TextPeer::run() {
    while (waitReadable(m_listen)) {
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            serve(client);
            ::close(client);
        }
    }
}

void TextPeer::serve(int client) {
    std::string text;
    {
        const std::lock_guard guard(m_mutex);
        m_received.clear();
    }
    std::array<char, 256> buffer{};
    while (waitReadable(client)) {
        const ssize_t n = ::recv(client, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[static_cast<std::size_t>(i)];
            text.push_back(c);
            {
                const std::lock_guard guard(m_mutex);
                m_received = text;
            }
            if (c != '\n') {
                continue;
            }
            for (const std::string& piece : m_script(text)) {
                if (piece == "<close>") {
                    ::shutdown(client, SHUT_RDWR);
                    continue;
                }
                // The peer's own slowness (a gateway that holds its reply), not a synchronisation.
                std::this_thread::sleep_for(m_pause);
                (void)::send(client, piece.data(), piece.size(), MSG_NOSIGNAL);
            }
        }
    }
}

TextPeer::Script loginGateway(const std::string& passphrase) {
    return [passphrase](const std::string& received) -> std::vector<std::string> {
        const std::string line = received.substr(0, received.find('\n'));
        return {line == passphrase ? "+OK" : "+ERR PASSWORD INVALID", "<close>"};
    };
}

TextPeer::Script openGateway() {
    return [](const std::string&) -> std::vector<std::string> { return {"+OK", "<close>"}; };
}

}  // namespace qvx::test
