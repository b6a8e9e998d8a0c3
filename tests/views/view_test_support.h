#pragma once

#include <QString>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "document/document.h"
#include "link/link_message.h"
#include "sim/sim_server.h"
#include "tests/support/memory_controller.h"
#include "views/user_messages.h"

namespace qvx::views::test {

using namespace std::chrono_literals;

/// The simulated controller on a loopback port, recording one sample every `sampleInterval`,
/// and a document whose link is connected to it with the calibration table read. Every request
/// the simulator receives is kept, and `onRequest` (if set) sees it on the server's thread.
class SimulatedController {
public:
    explicit SimulatedController(std::chrono::milliseconds sampleInterval = 1ms);

    [[nodiscard]] std::vector<std::uint8_t> eeprom() const { return m_server.eeprom(); }
    [[nodiscard]] std::uint8_t ram(std::uint32_t address);
    void writeEeprom(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
    void writeRam(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
    [[nodiscard]] bool recording();
    /// Requests received so far with this code and address.
    [[nodiscard]] int requestsAt(int code, std::uint32_t address) const;
    /// Requests received so far.
    [[nodiscard]] int requestCount() const;
    void setOnRequest(std::function<void(const link::LinkMessage&)> hook);
    /// Replaces the simulator's fault plan (a silent or slow controller).
    void setFaultPlan(const sim::FaultPlan& plan) { m_server.setFaultPlan(plan); }
    /// Holds the gripper still at `mv`.
    void holdGripper(double mv);

    document::CQvx_controllerDoc document;

private:
    mutable std::mutex m_mutex;
    std::vector<link::LinkMessage> m_requests;                  // guarded by m_mutex
    std::function<void(const link::LinkMessage&)> m_onRequest;  // guarded by m_mutex
    sim::SimServer m_server;
};

/// A scripted controller memory that can refuse reads or writes at chosen EEPROM addresses,
/// and a document connected to it with short waits.
struct ScriptedController {
    ScriptedController();
    qvx::test::MemoryController controller;
    document::CQvx_controllerDoc document;
    /// Requests received so far with this code and address.
    [[nodiscard]] int requestsAt(int code, std::uint32_t address) const;
};

/// Message codes of the requests the tests count.
inline constexpr int kReadEeprom = 1;
inline constexpr int kReadRam = 3;
inline constexpr int kWriteEeprom = 4;
inline constexpr int kWriteRam = 6;

/// Collects what a view tells the user, without blocking.
struct Messages {
    [[nodiscard]] MessageSink sink();
    std::vector<QString> captions;
    std::vector<QString> texts;
};

/// Shows the view as the active window, so that focus changes and shortcuts work.
[[nodiscard]] bool activate(QWidget& view);
/// Lets posted events (the queued field validation) run.
void settle();

}  // namespace qvx::views::test
