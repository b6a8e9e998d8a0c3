#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/link_message.h"
#include "sim/request_handler.h"

namespace qvx::simtest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

/// The valid messages in a byte stream, in order (checksums verified).
std::vector<link::LinkMessage> messagesIn(const Bytes& stream);
/// All reply bytes, concatenated.
Bytes bytesOf(const std::vector<sim::Reply>& replies);
/// True when the frame's checksum matches its bytes.
bool checksumHolds(const Bytes& frame);

/// A program started with a pipe on its stdout. The destructor always ends it (SIGTERM, then
/// SIGKILL after a deadline) and reaps it.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    /// One line of stdout without its newline; nullopt at the deadline or end of output.
    std::optional<std::string> readLine(std::chrono::milliseconds deadline);
    /// Sends SIGTERM and reaps; the exit status (as waitpid reports it), or nullopt if the
    /// process had to be killed.
    std::optional<int> terminate(std::chrono::milliseconds deadline = 5s);
    /// Waits for the process to end by itself; its status, or nullopt at the deadline.
    std::optional<int> waitExit(std::chrono::milliseconds deadline);
    /// Everything the process wrote to stdout until it closed it (after it ended).
    std::string restOfOutput();

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    std::string m_pending;  // read but not yet returned as a line
};

/// A blocking-free byte connection (a TCP client or an opened pty) with deadline reads.
class LineClient {
public:
    /// Connects to 127.0.0.1:port; check `ok()`.
    static LineClient tcp(std::uint16_t port);
    /// Opens a tty path and sets it raw; check `ok()`.
    static LineClient tty(const std::string& path);
    LineClient(LineClient&& other) noexcept;
    ~LineClient();
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;
    LineClient& operator=(LineClient&&) = delete;

    [[nodiscard]] bool ok() const { return m_fd >= 0; }
    [[nodiscard]] bool send(const Bytes& bytes) const;
    [[nodiscard]] bool send(const std::string& text) const;
    /// Reads until `count` bytes arrived or the deadline passed; returns what arrived.
    Bytes read(std::size_t count, std::chrono::milliseconds deadline);
    /// Reads until the received text contains `needle`; returns all text read.
    std::string readUntil(const std::string& needle, std::chrono::milliseconds deadline);
    /// True when the peer closed the connection within the deadline.
    bool waitClosed(std::chrono::milliseconds deadline);

private:
    explicit LineClient(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

}  // namespace qvx::simtest
