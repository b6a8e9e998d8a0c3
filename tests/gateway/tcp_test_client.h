#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::gateway::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

/// Every byte value once, `repetitions` times over.
inline Bytes everyByteValue(int repetitions = 1) {
    Bytes bytes;
    for (int r = 0; r < repetitions; ++r) {
        for (int value = 0; value < 256; ++value) {
            bytes.push_back(static_cast<std::uint8_t>(value));
        }
    }
    return bytes;
}

/// `count` bytes from a fixed seed.
inline Bytes randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> value(0, 255);
    Bytes bytes(count);
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(value(generator));
    }
    return bytes;
}

/// A base port such that it and the next `count` ports on 127.0.0.1 were all free a moment
/// ago. Drawn at random below the system's ephemeral range (32768 and up), where neither
/// outgoing connections nor other tests' bind(0) probes take ports, so tests running in
/// parallel rarely meet.
inline std::uint16_t freePortRange(int count) {
    constexpr int kLowest = 20000;
    constexpr int kHighest = 32000;
    static std::mt19937 generator(static_cast<unsigned>(::getpid()) ^
                                  static_cast<unsigned>(std::random_device{}()));
    std::uniform_int_distribution<int> pick(kLowest, kHighest - count);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int base = pick(generator);
        bool free = true;
        for (int i = 0; i <= count && free; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in one{};
            one.sin_family = AF_INET;
            one.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            one.sin_port = htons(static_cast<std::uint16_t>(base + i));
            free = ::bind(fd, reinterpret_cast<sockaddr*>(&one), sizeof one) == 0;
            ::close(fd);
        }
        if (free) {
            return static_cast<std::uint16_t>(base);
        }
    }
    return 0;
}

/// A blocking TCP client on 127.0.0.1 for tests; every wait has a deadline.
class TcpClient {
public:
    /// Connects to 127.0.0.1:port, from the loopback address `source` (host byte order);
    /// isConnected() tells whether it worked.
    explicit TcpClient(std::uint16_t port, std::uint32_t source = INADDR_LOOPBACK) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(source);
        (void)::bind(m_fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        } else {
            const int on = 1;
            (void)::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
    }
    ~TcpClient() { close(); }
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    [[nodiscard]] bool isConnected() const { return m_fd >= 0; }
    [[nodiscard]] int fd() const { return m_fd; }

    void close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    /// Sends all bytes; false when the connection fails.
    bool send(const Bytes& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    bool send(std::string_view text) const { return send(bytesOf(text)); }

    /// Reads until `count` bytes arrived, the peer closed, or the deadline passed.
    [[nodiscard]] Bytes receive(std::size_t count, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        Bytes bytes;
        while (bytes.size() < count && !m_closedByPeer) {
            if (!waitReadable(deadline)) {
                break;
            }
            std::array<std::uint8_t, 65536> chunk{};
            const ssize_t n =
                ::recv(m_fd, chunk.data(), std::min(chunk.size(), count - bytes.size()), 0);
            if (n <= 0) {
                m_closedByPeer = true;
                break;
            }
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
        }
        return bytes;
    }

    /// Reads everything until the peer closes or the deadline passes; the result says which,
    /// with the bytes that came before.
    struct Ending {
        bool closed = false;
        Bytes bytes;
    };
    [[nodiscard]] Ending receiveUntilClosed(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        Ending ending;
        while (!m_closedByPeer && waitReadable(deadline)) {
            std::array<std::uint8_t, 4096> chunk{};
            const ssize_t n = ::recv(m_fd, chunk.data(), chunk.size(), 0);
            if (n <= 0) {
                m_closedByPeer = true;
                break;
            }
            ending.bytes.insert(ending.bytes.end(), chunk.begin(), chunk.begin() + n);
        }
        ending.closed = m_closedByPeer;
        return ending;
    }

    /// True when nothing arrives and the connection stays open for `quiet`.
    [[nodiscard]] bool staysQuiet(std::chrono::milliseconds quiet) {
        pollfd fd{m_fd, POLLIN, 0};
        return ::poll(&fd, 1, static_cast<int>(quiet.count())) == 0;
    }

private:
    [[nodiscard]] bool waitReadable(std::chrono::steady_clock::time_point deadline) const {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return false;
            }
            pollfd fd{m_fd, POLLIN, 0};
            const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
            if (ready > 0) {
                return true;
            }
            if (ready < 0 && errno != EINTR) {
                return false;
            }
        }
    }

    int m_fd = -1;
    bool m_closedByPeer = false;
};

}  // namespace qvx::gateway::test
