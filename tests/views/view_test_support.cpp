#include "tests/views/view_test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "sim/controller.h"
#include "tests/support/scripted_peer.h"

namespace qvx::views::test {

namespace {

void connectDocument(document::CQvx_controllerDoc& document, int port) {
    link::DeviceLink& link = document.link();
    link.setReplyWait(300);
    link.setMaxRetry(1);
    EXPECT_TRUE(link.connect(port, "127.0.0.1"));
    EXPECT_TRUE(qvx::test::waitUntil([&link] { return link.isConnected(); }, 5s));
}

sim::ServerConfig simConfig(std::chrono::milliseconds sampleInterval) {
    sim::ServerConfig config;
    config.controller.sampleInterval = sampleInterval;
    return config;
}

}  // namespace

SimulatedController::SimulatedController(std::chrono::milliseconds sampleInterval)
    : m_server([this, sampleInterval] {
          sim::ServerConfig config = simConfig(sampleInterval);
          config.trace = [this](const link::LinkMessage& message, sim::RequestOutcome) {
              const std::lock_guard guard(m_mutex);
              m_requests.push_back(message);
              if (m_onRequest) {
                  m_onRequest(message);
              }
          };
          return config;
      }()) {
    std::string error;
    EXPECT_TRUE(m_server.start(error)) << error;
    connectDocument(document, m_server.port());
    // The tests' short reply wait is for their own exchanges; the set-up read may wait for a
    // busy machine (a sanitizer build beside other builds), so it may repeat.
    document.link().setMaxRetry(4);
    EXPECT_TRUE(document.link().readCalibration());
    document.link().setMaxRetry(1);
}

std::uint8_t SimulatedController::ram(std::uint32_t address) {
    std::uint8_t value = 0;
    m_server.withController(
        [&](sim::Controller& controller) { value = controller.ram()[address]; });
    return value;
}

void SimulatedController::writeEeprom(std::uint32_t address,
                                      const std::vector<std::uint8_t>& bytes) {
    m_server.withController([&](sim::Controller& controller) {
        EXPECT_TRUE(
            controller.write(sim::Area::Eeprom, address, bytes, std::chrono::steady_clock::now()));
    });
}

void SimulatedController::writeRam(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
    m_server.withController([&](sim::Controller& controller) {
        EXPECT_TRUE(
            controller.write(sim::Area::Ram, address, bytes, std::chrono::steady_clock::now()));
    });
}

bool SimulatedController::recording() {
    bool running = false;
    m_server.withController([&](sim::Controller& controller) { running = controller.recording(); });
    return running;
}

int SimulatedController::requestsAt(int code, std::uint32_t address) const {
    const std::lock_guard guard(m_mutex);
    int count = 0;
    for (const link::LinkMessage& message : m_requests) {
        count += message.code == code && message.address == address ? 1 : 0;
    }
    return count;
}

int SimulatedController::requestCount() const {
    const std::lock_guard guard(m_mutex);
    return static_cast<int>(m_requests.size());
}

void SimulatedController::holdGripper(double mv) {
    m_server.withController([mv](sim::Controller& controller) { controller.holdGripper(mv); });
}

void SimulatedController::setOnRequest(std::function<void(const link::LinkMessage&)> hook) {
    const std::lock_guard guard(m_mutex);
    m_onRequest = std::move(hook);
}

ScriptedController::ScriptedController() {
    connectDocument(document, controller.peer.port());
}

int ScriptedController::requestsAt(int code, std::uint32_t address) const {
    int count = 0;
    for (const link::LinkMessage& message : controller.peer.requests()) {
        count += message.code == code && message.address == address ? 1 : 0;
    }
    return count;
}

MessageSink Messages::sink() {
    return [this](const QString& caption, const QString& text) {
        captions.push_back(caption);
        texts.push_back(text);
    };
}

bool activate(QWidget& view) {
    view.resize(900, 420);
    view.show();
    view.activateWindow();
    return QTest::qWaitForWindowActive(&view);
}

void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

}  // namespace qvx::views::test
