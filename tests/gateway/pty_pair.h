#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvx::gateway::test {

/// A pseudo-terminal: the gateway opens the slave as its serial port, the test plays the
/// device on the master side.
class Pty {
public:
    Pty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        std::array<char, 128> name{};
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
            ::ptsname_r(m_master, name.data(), name.size()) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        m_slavePath = name.data();
        // Until its slave has been opened once, a master reports no hang-up: open and close it
        // here, so that slaveOpen() tells from the start whether somebody holds the slave.
        const int slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0) {
            throw std::runtime_error("pseudo-terminal slave cannot be opened");
        }
        ::close(slave);
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    [[nodiscard]] const std::string& slavePath() const { return m_slavePath; }
    [[nodiscard]] int master() const { return m_master; }

    void closeMaster() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

    void send(const std::vector<std::uint8_t>& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                throw std::runtime_error("pty write failed");
            }
            done += static_cast<std::size_t>(n);
        }
    }

    /// Reads until `count` bytes arrived or the deadline passed.
    [[nodiscard]] std::vector<std::uint8_t> receive(std::size_t count,
                                                    std::chrono::milliseconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{m_master, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            if ((fd.revents & POLLIN) == 0) {
                // Hung up (no slave open): wait for the port to come back within the deadline.
                ::poll(nullptr, 0, 1);
                continue;
            }
            std::array<std::uint8_t, 4096> chunk{};
            const ssize_t n =
                ::read(m_master, chunk.data(), std::min(chunk.size(), count - bytes.size()));
            if (n <= 0) {
                continue;
            }
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
        }
        return bytes;
    }

    /// True once the master side has something to read.
    [[nodiscard]] bool waitReadable(std::chrono::milliseconds timeout) const {
        pollfd fd{m_master, POLLIN, 0};
        return ::poll(&fd, 1, static_cast<int>(timeout.count())) == 1;
    }

    /// True while some process holds the slave side open (the serial port is open).
    [[nodiscard]] bool slaveOpen() const {
        pollfd fd{m_master, POLLIN, 0};
        return ::poll(&fd, 1, 0) >= 0 && (fd.revents & POLLHUP) == 0;
    }

    /// Waits until the slave side is open (`open` true) or closed; false at the deadline.
    [[nodiscard]] bool waitSlaveOpen(bool open, std::chrono::milliseconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (slaveOpen() != open) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            ::poll(nullptr, 0, 1);
        }
        return true;
    }

private:
    int m_master = -1;
    std::string m_slavePath;
};

}  // namespace qvx::gateway::test
