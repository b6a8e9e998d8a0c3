#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/controller.h"
#include "sim/modem.h"
#include "sim/request_handler.h"

namespace qvx::sim {

/// What one line to the controller carries besides the frame protocol.
struct SessionConfig {
    bool modem = false;                                      ///< an AT modem sits in front
    ModemBehaviour modemBehaviour = ModemBehaviour::Answer;  ///< how its calls go
    ModemTiming modemTiming{};                               ///< when its results come
    std::chrono::milliseconds statusEvery{
        0};  ///< period of unsolicited status reports, ms; 0 = none
};

/// Bytes for the line, due at a time.
struct Emission {
    TimePoint due;                    ///< when they go out
    std::vector<std::uint8_t> bytes;  ///< what goes out
    bool closeAfter = false;          ///< end the connection afterwards
};

/// Everything that happens on one line, without I/O: the modem (if any) until a call is up,
/// then the request handler, plus the status reports; all output waits in one queue in the
/// order it was made, each piece with the time it is due.
///
/// A status report is a `StatusInfo` frame for address 32 carrying RAM 32-37 (gripper word,
/// supply word, temperature, status byte). With a modem, a command line that arrives between
/// frames while a call is up ("AT...", CR) ends the call and is taken as a command: on a
/// serial line that stays open, that is how the next caller's modem dialogue starts.
class Session {
public:
    Session(Controller& controller, const SessionConfig& config, std::uint64_t faultSeed,
            TimePoint now);

    /// Feeds received bytes, in order.
    void receive(std::span<const std::uint8_t> bytes, TimePoint now);
    /// Output due by `now`, in order.
    [[nodiscard]] std::vector<Emission> takeDue(TimePoint now);
    /// When something next becomes due (output, status report or the end of a call set-up).
    [[nodiscard]] std::optional<TimePoint> nextDue() const;
    /// The line was closed: pending output and partial frames are dropped, the call ends.
    void reset(TimePoint now);
    /// True while frames are exchanged (always without a modem).
    [[nodiscard]] bool framesActive() const;

    [[nodiscard]] RequestHandler& handler() { return m_handler; }

private:
    void enqueue(TimePoint due, std::vector<std::uint8_t> bytes, bool closeAfter);
    void queueReplies(std::vector<Reply> replies, TimePoint now);
    /// Watches the bytes between frames for a command line; true when it ended the call.
    bool watchForCommand(std::uint8_t byte, TimePoint now);
    void advance(TimePoint now);

    Controller& m_controller;
    SessionConfig m_config;
    RequestHandler m_handler;
    std::optional<ModemEmulator> m_modem;
    std::deque<Emission> m_queue;  // in due order
    TimePoint m_nextStatus;        // when the next status report is due
    std::string m_idleText;        // text seen between frames while a call is up
};

}  // namespace qvx::sim
