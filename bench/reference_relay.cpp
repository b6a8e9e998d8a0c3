// The floor for the relay benchmark: the least a TCP-to-pty relay can do. One thread waits in
// poll() on the client's socket and the pty and hands each read on in one call, so a round
// trip costs it exactly the kernel calls socat makes and nothing else: no settings, no
// sessions, no other threads. What the gateway adds beyond this relay is its own cost; what
// this relay adds to the direct pty is the price of any relay on the machine.
//
//     qvx_reference_relay PORT PTY    serves one client on 127.0.0.1:PORT, then ends
//
// Writes block: the benchmark moves bytes one way at a time, so neither side can fill up
// while the relay waits for the other.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool writeAll(int fd, const std::uint8_t* data, std::size_t count, bool socket) {
    while (count > 0) {
        const ssize_t n = socket ? ::send(fd, data, count, MSG_NOSIGNAL) : ::write(fd, data, count);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

// Hands what one read brings on in one write; false when either side has ended.
bool relayOnce(int from, int to, bool fromSocket) {
    std::array<std::uint8_t, 4096> buffer{};
    ssize_t n = 0;
    do {
        n = fromSocket ? ::recv(from, buffer.data(), buffer.size(), 0)
                       : ::read(from, buffer.data(), buffer.size());
    } while (n < 0 && errno == EINTR);
    return n > 0 && writeAll(to, buffer.data(), static_cast<std::size_t>(n), !fromSocket);
}

int acceptOne(std::uint16_t port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    (void)::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener < 0 ||
        ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0) {
        std::perror("qvx_reference_relay: listen");
        return -1;
    }
    int client = -1;
    do {
        client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    } while (client < 0 && errno == EINTR);
    ::close(listener);
    if (client >= 0) {
        (void)::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return client;
}

int openRaw(const char* path) {
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios line{};
    if (fd < 0 || ::tcgetattr(fd, &line) != 0) {
        std::perror("qvx_reference_relay: pty");
        return -1;
    }
    ::cfmakeraw(&line);
    (void)::tcsetattr(fd, TCSANOW, &line);
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qvx_reference_relay PORT PTY\n");
        return 2;
    }
    const long port = std::strtol(argv[1], nullptr, 10);
    if (port <= 0 || port > 65535) {
        std::fprintf(stderr, "qvx_reference_relay: no port: %s\n", argv[1]);
        return 2;
    }
    const int client = acceptOne(static_cast<std::uint16_t>(port));
    const int pty = client < 0 ? -1 : openRaw(argv[2]);
    if (pty < 0) {
        return 1;
    }
    std::array<pollfd, 2> fds{pollfd{client, POLLIN, 0}, pollfd{pty, POLLIN, 0}};
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 1;
        }
        if (fds[0].revents != 0 && !relayOnce(client, pty, true)) {
            return 0;  // the client has gone
        }
        if (fds[1].revents != 0 && !relayOnce(pty, client, false)) {
            return 0;
        }
    }
}
