#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/controller.h"

namespace qvx::sim {

/// How the emulated modem's call goes.
enum class ModemBehaviour : std::uint8_t {
    Answer,          ///< "CONNECT 9600" after the dial delay
    Busy,            ///< "BUSY" after the dial delay
    NoAnswer,        ///< nothing, then "NO CARRIER" after `noCarrierAfter`
    EmptyLineFirst,  ///< an empty line after the dial delay, "CONNECT 9600" `emptyLineGap` later
};

/// Timing of the emulated modem's results.
struct ModemTiming {
    std::chrono::milliseconds dialDelay{1000};  ///< dial command to its result, ms
    std::chrono::milliseconds noCarrierAfter{
        10000};  ///< dial command to "NO CARRIER" (no answer), ms
    std::chrono::milliseconds emptyLineGap{
        1000};  ///< empty line to "CONNECT" (empty-line variant), ms
};

/// Text the modem sends, and when.
struct ModemText {
    TimePoint due;     ///< when it goes out
    std::string text;  ///< the characters, line ends included
};

/// An AT-command modem in front of the controller, without I/O. Before a call it answers
/// every command line (ended by CR, a following LF ignored) with "\r\nOK\r\n", echo off; a
/// dial command (ATD...) gets its result after a delay. A command starts at the first "AT" of
/// the line (what comes before is noise); lines without one get nothing. Bytes received while the
/// call is being set up are discarded. Once connected, the frame protocol runs until `hangUp`.
class ModemEmulator {
public:
    ModemEmulator(ModemBehaviour behaviour, ModemTiming timing);

    /// Feeds bytes received in command mode; appends the texts to send. Call `advance` first.
    void receive(std::span<const std::uint8_t> bytes, TimePoint now, std::vector<ModemText>& out);
    /// Completes a call set-up whose result time has come.
    void advance(TimePoint now);
    /// True once the call is connected.
    [[nodiscard]] bool connected() const { return m_state == State::Connected; }
    /// When the call set-up completes, while one is under way.
    [[nodiscard]] std::optional<TimePoint> pendingUntil() const;
    /// Ends the call (the line was closed): back to command mode.
    void hangUp();

private:
    enum class State : std::uint8_t { Command, Dialing, Connected };
    void onLine(TimePoint now, std::vector<ModemText>& out);

    ModemBehaviour m_behaviour;
    ModemTiming m_timing;
    State m_state = State::Command;
    TimePoint m_resultAt;        // end of the call set-up
    bool m_willConnect = false;  // the set-up ends connected
    std::string m_line;          // command line received so far
};

}  // namespace qvx::sim
