// Restoring a lost link: the back-off between attempts, one attempt against a gateway and a
// controller, and the first read that tells a working data port from a busy one.

#include "connection/link_recovery.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "connection/connection_procedure.h"
#include "connection/connection_texts.h"
#include "link/device_memory_map.h"
#include "tests/support/loopback.h"
#include "tests/support/memory_controller.h"
#include "tests/support/modem_line.h"
#include "tests/support/text_peer.h"

using namespace std::chrono_literals;
using qvx::connection::ReconnectBackoff;
using qvx::connection::ReconnectTarget;
using qvx::link::DeviceLink;
using qvx::test::TextPeer;
namespace texts = qvx::connection::texts;

namespace {

/// Time that moves only when the test says so.
class FakeClock final : public qvx::platform::Clock {
public:
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override { return m_now; }
    void advance(std::chrono::milliseconds step) { m_now += step; }

private:
    std::chrono::steady_clock::time_point m_now{std::chrono::hours(100)};
};

/// Seconds from one attempt to the next when every attempt fails, from the loss on.
std::vector<long> delaysWhileFailing(int attempts) {
    FakeClock clock;
    ReconnectBackoff backoff(clock);
    backoff.start();
    std::vector<long> delays;
    for (int i = 0; i < attempts; ++i) {
        long waited = 0;
        while (!backoff.isDue()) {
            clock.advance(1s);
            ++waited;
        }
        delays.push_back(waited);
        backoff.attemptFailed();
    }
    return delays;
}

/// A listener that takes connections into its backlog and never serves them: a data port
/// whose gateway session is busy with another client.
struct BusyDataPort {
    BusyDataPort() : fd(qvx::test::listenOnLoopback(4, port)) {}
    ~BusyDataPort() { ::close(fd); }
    int port = 0;
    int fd;
};

void storeSerial(qvx::test::ControllerMemory& memory, std::uint8_t serial) {
    memory.put(memory.eeprom, qvx::link::memory_map::kServiceData, {12, 25, serial});
}

}  // namespace

TEST(ReconnectBackoff, DoublesFromOneSecondUpToThirtySeconds) {
    EXPECT_EQ(delaysWhileFailing(8), (std::vector<long>{1, 2, 4, 8, 16, 30, 30, 30}));
}

TEST(ReconnectBackoff, IsDueExactlyAtItsDelayAndStartsOverAfterANewLoss) {
    FakeClock clock;
    ReconnectBackoff backoff(clock);
    backoff.start();
    clock.advance(999ms);
    EXPECT_FALSE(backoff.isDue());
    EXPECT_EQ(backoff.untilDue(), 1ms);
    clock.advance(1ms);
    EXPECT_TRUE(backoff.isDue());
    EXPECT_EQ(backoff.untilDue(), 0ms);
    backoff.attemptFailed();
    backoff.attemptFailed();
    EXPECT_EQ(backoff.failedAttempts(), 2U);
    EXPECT_EQ(backoff.untilDue(), 4s);
    // A later loss starts at one second again, whatever the attempts before.
    backoff.start();
    EXPECT_EQ(backoff.failedAttempts(), 0U);
    EXPECT_EQ(backoff.untilDue(), 1s);
}

TEST(ReconnectLink, LogsInAgainAndReadsTheControllersIdentity) {
    TextPeer gateway(qvx::test::loginGateway("geheim"));
    qvx::test::MemoryController data;
    storeSerial(data.memory, 77);
    DeviceLink link;
    link.setHost("127.0.0.1");
    const std::atomic<bool> cancel{false};
    const auto outcome =
        qvx::connection::reconnectLink(link, {"geheim", gateway.port(), data.peer.port()}, cancel);
    ASSERT_TRUE(outcome.controller) << outcome.error;
    EXPECT_EQ(outcome.controller->serialNumber, 77);
    EXPECT_EQ(outcome.controller->week, 12);
    EXPECT_TRUE(link.isConnected());
    EXPECT_EQ(link.port(), data.peer.port());
    EXPECT_EQ(gateway.received(), "geheim\n\r");
    // It only reads: no write request reached the controller.
    for (const auto& request : data.peer.requests()) {
        EXPECT_TRUE(request.code == 1 || request.code == 2 || request.code == 3) << request.code;
    }
}

TEST(ReconnectLink, DialsTheModemAgainForTheModemType) {
    TextPeer gateway(qvx::test::openGateway());
    qvx::test::ModemLine line(qvx::test::hayesModem("CONNECT 9600"));
    storeSerial(line.memory, 5);
    DeviceLink link;
    link.setHost("127.0.0.1");
    link.setTcpConnection(false);
    link.modem().initString = "AT&FX0E0\r\n";
    link.modem().dialString = "ATDT";
    link.modem().callNumber = "0815";
    link.modem().initTimeout = 200;
    link.modem().dialTimeout = 2000;
    const std::atomic<bool> cancel{false};
    const auto outcome =
        qvx::connection::reconnectLink(link, {"", gateway.port(), line.port()}, cancel);
    ASSERT_TRUE(outcome.controller) << outcome.error;
    EXPECT_EQ(outcome.controller->serialNumber, 5);
    EXPECT_EQ(line.commands(), "AT&FX0E0\r\nATDT0815\r\n");
    EXPECT_FALSE(link.textMode());
}

TEST(ReconnectLink, NamesWhatFailedAndLeavesTheLinkDisconnected) {
    DeviceLink refused;
    refused.setHost("127.0.0.1");
    const std::atomic<bool> cancel{false};
    const int nobody = qvx::test::unusedLoopbackPort();
    auto outcome = qvx::connection::reconnectLink(refused, {"", nobody, nobody + 1}, cancel);
    EXPECT_FALSE(outcome.controller);
    EXPECT_EQ(outcome.error,
              texts::kRecoveryLoginFailed + std::string("127.0.0.1, ") + std::to_string(nobody));

    TextPeer gateway(qvx::test::openGateway());
    qvx::test::MemoryController silent;
    {
        const std::lock_guard guard(silent.memory.mutex);
        silent.memory.silent = true;
    }
    DeviceLink link;
    link.setHost("127.0.0.1");
    link.setMaxRetry(1);
    outcome =
        qvx::connection::reconnectLink(link, {"", gateway.port(), silent.peer.port()}, cancel);
    EXPECT_FALSE(outcome.controller);
    EXPECT_EQ(outcome.error, texts::kControllerSilent);
    EXPECT_TRUE(qvx::test::waitUntil([&] { return !link.isConnected(); }, 5s));
}

TEST(ReconnectLink, ACancelEndsTheLoginWithoutWaitingItsReplyPause) {
    TextPeer gateway(qvx::test::openGateway());
    DeviceLink link;
    link.setHost("127.0.0.1");
    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        EXPECT_TRUE(qvx::test::waitUntil([&] { return link.textMode(); }, 5s));
        cancel = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = qvx::connection::reconnectLink(link, {"", gateway.port(), 1}, cancel);
    canceller.join();
    EXPECT_FALSE(outcome.controller);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);  // the reply pause is 3 s
    EXPECT_FALSE(link.textMode());
}

namespace {

struct RecordingUi final : qvx::connection::ConnectionUi {
    std::vector<std::string> messages;
    int pumps = 0;
    void showMessage(std::string_view text, std::string_view) override {
        messages.emplace_back(text);
    }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    void showDialingNotice(std::string_view) override {}
    void hideDialingNotice() override {}
    void pump() override { ++pumps; }
};

}  // namespace

TEST(ConnectionProcedure, ABusyDataPortIsGivenUpAndReportedNotTakenForOnline) {
    TextPeer gateway(qvx::test::openGateway());
    BusyDataPort busy;
    DeviceLink link;
    link.setHost("127.0.0.1");
    link.setBasePort(gateway.port());
    link.setPort(busy.port);
    link.setMaxRetry(1);
    RecordingUi ui;
    const auto result = qvx::connection::runConnectionProcedure(link, "", ui);
    EXPECT_FALSE(result.online);
    EXPECT_EQ(ui.messages, std::vector<std::string>{texts::kControllerSilent});
    EXPECT_TRUE(qvx::test::waitUntil([&] { return !link.isConnected(); }, 5s));
    EXPECT_GT(ui.pumps, 100);  // the windows stayed alive through the reply wait of 5 s
}

TEST(ConnectionProcedure, ReportsTheIdentityOfTheControllerThatAnswered) {
    TextPeer gateway(qvx::test::openGateway());
    qvx::test::MemoryController data;
    storeSerial(data.memory, 9);
    DeviceLink link;
    link.setHost("127.0.0.1");
    link.setBasePort(gateway.port());
    link.setPort(data.peer.port());
    RecordingUi ui;
    const auto result = qvx::connection::runConnectionProcedure(link, "", ui);
    ASSERT_TRUE(result.online);
    ASSERT_TRUE(result.controller);
    EXPECT_EQ(result.controller->serialNumber, 9);
}
