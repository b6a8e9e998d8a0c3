#include "tests/sim/sim_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

#include "link/crc_model.h"
#include "link/frame_receiver.h"
#include "tests/support/scripted_peer.h"

namespace qvx::simtest {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point end) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

std::vector<link::LinkMessage> messagesIn(const Bytes& stream) {
    link::FrameAssembler assembler(true);
    std::vector<link::LinkMessage> messages;
    for (const std::uint8_t byte : stream) {
        if (auto message = assembler.push(byte)) {
            messages.push_back(std::move(*message));
        }
    }
    return messages;
}

Bytes bytesOf(const std::vector<sim::Reply>& replies) {
    Bytes all;
    for (const sim::Reply& reply : replies) {
        all.insert(all.end(), reply.bytes.begin(), reply.bytes.end());
    }
    return all;
}

bool checksumHolds(const Bytes& frame) {
    if (frame.size() < 3) {
        return false;
    }
    const std::uint16_t crc = link::linkChecksum(std::span(frame.data(), frame.size() - 2));
    return frame[frame.size() - 2] == (crc >> 8U) && frame.back() == (crc & 0xFFU);
}

// --- ChildProcess -------------------------------------------------------------------------

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    std::array<int, 2> pipeFds{};
    if (::pipe2(pipeFds.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2");
    }
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(all.size() + 1);
    for (std::string& arg : all) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    m_stdout = pipeFds[0];
    if (m_pid < 0) {
        ::close(m_stdout);
        throw std::runtime_error("fork");
    }
}

ChildProcess::~ChildProcess() {
    (void)terminate();
    if (m_stdout >= 0) {
        ::close(m_stdout);
    }
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    for (;;) {
        const auto newline = m_pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_pending.substr(0, newline);
            m_pending.erase(0, newline + 1);
            return line;
        }
        pollfd fd{m_stdout, POLLIN, 0};
        if (::poll(&fd, 1, msLeft(end)) <= 0) {
            return std::nullopt;
        }
        std::array<char, 256> buffer{};
        const ssize_t n = ::read(m_stdout, buffer.data(), buffer.size());
        if (n <= 0) {
            return std::nullopt;
        }
        m_pending.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

std::string ChildProcess::restOfOutput() {
    std::array<char, 256> buffer{};
    for (ssize_t n = 0; (n = ::read(m_stdout, buffer.data(), buffer.size())) > 0;) {
        m_pending.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return std::exchange(m_pending, {});
}

std::optional<int> ChildProcess::waitExit(std::chrono::milliseconds deadline) {
    if (m_pid <= 0) {
        return std::nullopt;
    }
    int status = 0;
    const bool ended =
        test::waitUntil([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, deadline);
    if (!ended) {
        return std::nullopt;
    }
    m_pid = -1;
    return status;
}

std::optional<int> ChildProcess::terminate(std::chrono::milliseconds deadline) {
    if (m_pid <= 0) {
        return std::nullopt;
    }
    ::kill(m_pid, SIGTERM);
    if (auto status = waitExit(deadline)) {
        return status;
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
    return std::nullopt;
}

// --- LineClient ---------------------------------------------------------------------------

LineClient LineClient::tcp(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return LineClient(-1);
    }
    return LineClient(fd);
}

LineClient LineClient::tty(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (fd < 0 || ::tcgetattr(fd, &tio) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return LineClient(-1);
    }
    ::cfmakeraw(&tio);
    (void)::tcsetattr(fd, TCSANOW, &tio);
    return LineClient(fd);
}

LineClient::LineClient(LineClient&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

LineClient::~LineClient() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool LineClient::send(const Bytes& bytes) const {
    return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

bool LineClient::send(const std::string& text) const {
    return send(Bytes(text.begin(), text.end()));
}

Bytes LineClient::read(std::size_t count, std::chrono::milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    Bytes received;
    while (received.size() < count) {
        pollfd fd{m_fd, POLLIN, 0};
        if (::poll(&fd, 1, msLeft(end)) <= 0) {
            break;
        }
        std::array<std::uint8_t, 512> buffer{};
        const ssize_t n =
            ::read(m_fd, buffer.data(), std::min(buffer.size(), count - received.size()));
        if (n <= 0) {
            break;
        }
        received.insert(received.end(), buffer.begin(), buffer.begin() + n);
    }
    return received;
}

std::string LineClient::readUntil(const std::string& needle, std::chrono::milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    std::string text;
    while (text.find(needle) == std::string::npos) {
        const Bytes one = read(1, std::chrono::milliseconds(msLeft(end)));
        if (one.empty()) {
            break;
        }
        text.push_back(static_cast<char>(one[0]));
    }
    return text;
}

bool LineClient::waitClosed(std::chrono::milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    for (;;) {
        pollfd fd{m_fd, POLLIN, 0};
        if (::poll(&fd, 1, msLeft(end)) <= 0) {
            return false;
        }
        std::array<std::uint8_t, 256> buffer{};
        const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
        if (n <= 0) {
            return true;
        }
    }
}

}  // namespace qvx::simtest
