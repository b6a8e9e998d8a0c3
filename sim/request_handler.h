#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <vector>

#include "link/frame_receiver.h"
#include "link/link_message.h"
#include "sim/controller.h"
#include "sim/fault_plan.h"

namespace qvx::sim {

/// A piece of output for the line, in order.
struct Reply {
    std::vector<std::uint8_t> bytes;         ///< bytes to send
    std::chrono::milliseconds gapBefore{0};  ///< pause after the previous piece went out, ms
    bool closeAfter = false;                 ///< end the connection once these bytes are out
};

/// What became of one received message (for the request log).
enum class RequestOutcome : std::uint8_t {
    Answered,      ///< carried out, confirm sent
    Corrupted,     ///< carried out, confirm sent damaged
    Dropped,       ///< carried out, confirm lost
    BeyondMemory,  ///< outside the addressed area: not carried out, no confirm
    Ignored,       ///< not a request (a confirm or a status report)
    Silenced,      ///< the controller is silent: nothing done
};

/// The controller's side of the frame protocol without I/O: feed it received bytes, get the
/// bytes to send back. Every request of the message set inside its area is carried out and
/// confirmed (reads echo address and length with the data; writes echo them without data);
/// requests beyond the area, confirms and status reports get nothing. Checksums of requests
/// are always verified; invalid frames and noise are dropped like the link's own receiver
/// drops them. Confirms always carry correct checksums unless the fault plan damages them.
class RequestHandler {
public:
    using Trace = std::function<void(const link::LinkMessage& message, RequestOutcome outcome)>;

    /// `faultSeed` makes the choice of dropped and damaged confirms repeatable.
    explicit RequestHandler(Controller& controller, std::uint64_t faultSeed = 1);

    void setFaultPlan(const FaultPlan& plan) { m_plan = plan; }
    [[nodiscard]] const FaultPlan& faultPlan() const { return m_plan; }
    /// Called for every valid message received.
    void setTrace(Trace trace) { m_trace = std::move(trace); }

    /// Feeds received bytes, in order; returns what goes back, in order.
    [[nodiscard]] std::vector<Reply> receive(std::span<const std::uint8_t> bytes, TimePoint now);
    /// True while no frame is partly received (the next byte would have to be a start mark).
    [[nodiscard]] bool betweenFrames() const;
    /// Forgets a partly received frame (the line was closed).
    void reset();

private:
    void handle(const link::LinkMessage& request, TimePoint now, std::vector<Reply>& out);
    [[nodiscard]] bool chance(double share);
    [[nodiscard]] static std::vector<std::uint8_t> frameOf(int code, std::uint16_t address,
                                                           int length,
                                                           std::vector<std::uint8_t> data);

    Controller& m_controller;
    FaultPlan m_plan;
    Trace m_trace;
    std::mt19937_64 m_random;               // drives drop and corrupt decisions
    link::FrameReceiver m_receiver;         // cuts candidate frames from the stream
    std::vector<std::uint8_t> m_candidate;  // bytes of the candidate frame so far
};

}  // namespace qvx::sim
