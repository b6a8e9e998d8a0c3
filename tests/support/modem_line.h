#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/auto_reset_event.h"
#include "tests/support/memory_controller.h"

namespace qvx::test {

/// The gateway's serial line with an AT modem in front of the controller, on a loopback port:
/// until the modem has reported a call, each command line it receives (CR and LF stripped)
/// goes to `answer`, whose text is sent back; once that text held "CONNECT", frames are
/// served from `memory`.
///
/// With the door closed, the port's backlog is kept full, so a connect is not taken in (the
/// system drops its SYN and retries it) until `openDoor` — a data connection that comes up
/// late.
class ModemLine {
public:
    using Answer = std::function<std::string(const std::string& commandLine)>;
    enum class Door { Open, Closed };

    explicit ModemLine(Answer answer, Door door = Door::Open);
    ~ModemLine();
    ModemLine(const ModemLine&) = delete;
    ModemLine& operator=(const ModemLine&) = delete;

    [[nodiscard]] int port() const { return m_port; }
    /// Lets the waiting connection in.
    void openDoor();
    /// Everything received while the modem read commands.
    [[nodiscard]] std::string commands() const;

    ControllerMemory memory;

private:
    void run();
    void serve(int client);
    /// One received byte of the command phase; true once the call stands.
    bool command(int client, char c, std::string& line);
    [[nodiscard]] bool waitReadable(int fd, bool withDoor);

    Answer m_answer;
    int m_listen = -1;
    int m_port = 0;
    int m_filler = -1;  // client end of the connection that fills the backlog
    platform::AutoResetEvent m_stop;
    platform::AutoResetEvent m_door;
    mutable std::mutex m_mutex;
    std::string m_commands;  // guarded by m_mutex
    std::thread m_thread;
};

/// A modem that answers every command with OK and the dial command ("ATD...") with
/// `dialResult` (such as "CONNECT 9600" or "BUSY").
[[nodiscard]] ModemLine::Answer hayesModem(const std::string& dialResult);

}  // namespace qvx::test
