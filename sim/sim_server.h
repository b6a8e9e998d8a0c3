#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/auto_reset_event.h"
#include "platform/clock.h"
#include "sim/controller.h"
#include "sim/fault_plan.h"
#include "sim/line_pacer.h"
#include "sim/pty_port.h"
#include "sim/request_handler.h"
#include "sim/session.h"

namespace qvx::sim {

/// Which line the simulated controller sits on.
enum class Transport : std::uint8_t {
    Tcp,  ///< a TCP port on 127.0.0.1, one client at a time (later ones wait their turn)
    Pty,  ///< a pseudo-terminal whose slave side a symbolic link names
};

/// Everything a running simulator is made of.
struct ServerConfig {
    Transport transport = Transport::Tcp;  ///< the line
    std::uint16_t tcpPort = 0;             ///< TCP port; 0 picks a free one
    std::string ptyPath{};                 ///< path of the link to the pty's slave side
    ControllerConfig controller{};         ///< the controller's behaviour
    SessionConfig session{};               ///< modem and status reports
    FaultPlan faults{};                    ///< faults injected from the start
    std::uint64_t faultSeed = 1;           ///< seed of the drop and corrupt decisions
    unsigned baud = 0;         ///< line speed both ways, bit/s (10 bits a byte); 0 = unpaced
    std::string eepromPath{};  ///< file that keeps the EEPROM; empty = not kept
    std::chrono::milliseconds settle{
        300};                       ///< quiet time after EEPROM changes before it is saved, ms
    RequestHandler::Trace trace{};  ///< request log, called on the server's thread
    std::function<void(const std::string&)>
        errorLog{};  ///< failures after start (saving), any thread
};

/// The simulated controller on a real line: the core (controller, session) driven by one
/// thread that this object starts in `start` and joins in `stop` or its destructor. Start and
/// stop belong to the owner; every other public operation is safe from any thread.
class SimServer {
public:
    explicit SimServer(ServerConfig config,
                       const platform::Clock& clock = platform::SteadyClock::instance());
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    /// Loads (or creates) the EEPROM file, opens the line and starts the thread. False with
    /// an error text when any of it fails; nothing is left running then.
    [[nodiscard]] bool start(std::string& error);
    /// Stops and joins the thread, closes the line and saves the EEPROM if it changed.
    void stop();

    /// The TCP port in use (after start).
    [[nodiscard]] std::uint16_t port() const { return m_port; }
    /// The line's name: "127.0.0.1:PORT" or the pty link's path.
    [[nodiscard]] std::string endpoint() const;
    /// True while a TCP client is connected.
    [[nodiscard]] bool clientConnected() const { return m_clientConnected; }

    /// Replaces the fault plan (one-shot faults included).
    void setFaultPlan(const FaultPlan& plan);
    /// A copy of the EEPROM as it is now.
    [[nodiscard]] std::vector<std::uint8_t> eeprom() const;
    /// Runs `action` on the controller under the server's lock (keep it short).
    void withController(const std::function<void(Controller&)>& action);

private:
    void run();
    void serviceLine(TimePoint now);
    void acceptClient();
    void closeClient(TimePoint now);
    [[nodiscard]] int lineFd() const;
    /// How long the thread may sleep: until the next byte, output or sample is due.
    [[nodiscard]] timespec waitTime(TimePoint now) const;
    void flushOutput();
    void saveIfSettled(TimePoint now, bool force);

    ServerConfig m_config;
    const platform::Clock& m_clock;

    mutable std::mutex m_mutex;  // guards m_controller and m_session
    std::unique_ptr<Controller> m_controller;
    std::unique_ptr<Session> m_session;

    // Line state, touched only by the server thread (and by start/stop while it is not running).
    int m_listenFd = -1;
    int m_clientFd = -1;
    std::uint16_t m_port = 0;
    PtyPort m_pty;
    LinePacer m_inPacer;
    LinePacer m_outPacer;
    std::vector<std::uint8_t> m_outBuffer;  // paced bytes not yet accepted by the descriptor
    bool m_closeWhenSent = false;           // a confirm was cut: close once it is out
    std::uint64_t m_savedRevision = 0;      // EEPROM revision last saved
    TimePoint m_nextSaveAttempt;            // after a failed save, wait before trying again

    std::atomic<bool> m_clientConnected{false};
    platform::AutoResetEvent m_stopEvent;
    std::thread m_thread;
    bool m_started = false;  // start() succeeded and stop() has not run
};

}  // namespace qvx::sim
