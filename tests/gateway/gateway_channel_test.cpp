#include "gateway/gateway_channel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gateway/gateway_security.h"
#include "gateway_test_support.h"
#include "keep_alive_probe.h"
#include "pty_pair.h"
#include "stable_device_path.h"
#include "tcp_test_client.h"

using namespace std::chrono_literals;
using qvx::gateway::CGatewayChannel;
using qvx::gateway::CGatewaySecurity;
using qvx::gateway::GatewayLogTarget;
using qvx::gateway::GatewaySettings;
using qvx::gateway::LoginTiming;
using qvx::gateway::test::acceptedKeepAlive;
using qvx::gateway::test::Bytes;
using qvx::gateway::test::bytesOf;
using qvx::gateway::test::everyByteValue;
using qvx::gateway::test::FakeClock;
using qvx::gateway::test::freePortRange;
using qvx::gateway::test::KeepAliveState;
using qvx::gateway::test::Pty;
using qvx::gateway::test::randomBytes;
using qvx::gateway::test::RecordingSink;
using qvx::gateway::test::StableDevicePath;
using qvx::gateway::test::TcpClient;
using qvx::gateway::test::TempDir;
using qvx::gateway::test::writeTextFile;

namespace {

constexpr auto kDeadline = 5s;
constexpr LoginTiming kTiming{300ms, 600ms};

/// Channels 1..n on pseudo-terminals, their settings in a file, one login listener.
class GatewayFixture {
public:
    /// `portLines` go into every [PortN] section; a `comPort` given replaces the ptys' paths.
    GatewayFixture(int channels, const std::string& globals, const FakeClock* clock = nullptr,
                   const std::string& portLines = "", const std::string& comPort = "")
        : m_base(freePortRange(channels)) {
        std::string ini = "[Globals]\nBasePortAddress=" + std::to_string(m_base) +
                          "\nPorts=" + std::to_string(channels) + "\n" + globals;
        for (int n = 1; n <= channels; ++n) {
            m_ptys.push_back(std::make_unique<Pty>());
            ini += "[Port" + std::to_string(n) +
                   "]\nCOMPort=" + (comPort.empty() ? m_ptys.back()->slavePath() : comPort) +
                   "\nBaudRate=115200\n" + portLines;
        }
        writeTextFile(m_dir.path() / "qvx_gateway.ini", ini);
        m_stores.ConfigureStores(m_dir.path() / "qvx_gateway.ini", m_dir.path() / "r.ini", false);
        m_security = std::make_unique<CGatewaySecurity>(
            clock != nullptr ? static_cast<const qvx::platform::Clock&>(*clock)
                             : qvx::platform::SteadyClock::instance(),
            GatewayLogTarget{&m_sink, nullptr}, kTiming);
        m_security->ReadSettings(m_stores);
    }

    [[nodiscard]] std::unique_ptr<CGatewayChannel> build(int channel) {
        return std::make_unique<CGatewayChannel>(channel, m_stores, *m_security,
                                                 GatewayLogTarget{&m_sink, nullptr});
    }

    [[nodiscard]] std::uint16_t loginPort() const { return m_base; }
    [[nodiscard]] std::uint16_t dataPort(int channel) const {
        return static_cast<std::uint16_t>(m_base + channel);
    }
    [[nodiscard]] Pty& pty(int channel) {
        return *m_ptys.at(static_cast<std::size_t>(channel - 1));
    }
    [[nodiscard]] RecordingSink& sink() { return m_sink; }
    [[nodiscard]] GatewaySettings& stores() { return m_stores; }

    /// The lines of channel n, prefix and level included.
    [[nodiscard]] std::vector<std::string> channelLines(int channel) const {
        const std::string prefix = "Gatway-Server Nr. " + std::to_string(channel) + ": ";
        std::vector<std::string> lines;
        for (const std::string& line : m_sink.lines()) {
            if (line.find(prefix) != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    /// Logs in on the login port; true on "+OK".
    [[nodiscard]] bool login(const std::string& passphrase) const {
        TcpClient client(m_base);
        return client.send(passphrase + "\n") && client.receive(3, kDeadline) == bytesOf("+OK");
    }

    [[nodiscard]] std::string line(int channel, const std::string& levelAndText) const {
        const std::size_t colon = levelAndText.find(": ");
        return levelAndText.substr(0, colon + 2) + "Gatway-Server Nr. " + std::to_string(channel) +
               ": " + levelAndText.substr(colon + 2);
    }

private:
    TempDir m_dir;
    std::uint16_t m_base;
    std::vector<std::unique_ptr<Pty>> m_ptys;
    GatewaySettings m_stores;
    RecordingSink m_sink;
    std::unique_ptr<CGatewaySecurity> m_security;
};

/// Waits until the channel serves the client that just connected.
[[nodiscard]] bool waitRelaying(const CGatewayChannel& channel) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!channel.isRelaying()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

}  // namespace

TEST(GatewayChannel, BuildsWithItsInitialisationLineAndStartsListening) {
    GatewayFixture gateway(1, "");
    auto channel = gateway.build(1);
    EXPECT_EQ(gateway.channelLines(1),
              std::vector<std::string>{"Info: Gatway-Server Nr. 1:  Initialisierung OK: IP = "
                                       "127.0.0.1, Port=" +
                                       std::to_string(gateway.dataPort(1)) +
                                       ",COMPort=" + gateway.pty(1).slavePath()});
    EXPECT_FALSE(gateway.pty(1).slaveOpen()) << "the check closes the port again";
    ASSERT_TRUE(channel->StartChannel());
    EXPECT_TRUE(gateway.pty(1).slaveOpen());
    EXPECT_FALSE(channel->isRelaying());
    ASSERT_TRUE(gateway.sink().waitForLine(
        "Info: Gatway-Security:  Initialisierung Security OK: IP = 127.0.0.1", kDeadline));
}

TEST(GatewayChannel, RelaysEveryByteValueAndALargeRandomTransferBothWaysAtOnce) {
    GatewayFixture gateway(1, "Secured=0\n");
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    Pty& device = gateway.pty(1);

    const Bytes all = everyByteValue(4);
    ASSERT_TRUE(client.send(all));
    EXPECT_EQ(device.receive(all.size(), kDeadline), all);
    device.send(all);
    EXPECT_EQ(client.receive(all.size(), kDeadline), all);

    const Bytes up = randomBytes(std::size_t{2} << 20, 1);
    const Bytes down = randomBytes(std::size_t{2} << 20, 2);
    Bytes deviceGot;
    std::thread sendUp([&] { EXPECT_TRUE(client.send(up)); });
    std::thread sendDown([&] { device.send(down); });
    std::thread readUp([&] { deviceGot = device.receive(up.size(), 30s); });
    const Bytes clientGot = client.receive(down.size(), 30s);
    sendUp.join();
    sendDown.join();
    readUp.join();
    EXPECT_TRUE(deviceGot == up) << deviceGot.size() << " of " << up.size() << " bytes";
    EXPECT_TRUE(clientGot == down) << clientGot.size() << " of " << down.size() << " bytes";
}

// The reader runs from the start on, and the client counts as connected before its address
// is checked: the device talks just then, and still nothing reaches the refused client.
TEST(GatewayChannel, ARefusedClientGetsNoByteAndItsBytesNeverReachThePort) {
    GatewayFixture gateway(1, "Secured=1\nPassword=Pelmar\n");
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    Pty& device = gateway.pty(1);
    std::atomic<bool> drained{false};
    std::atomic<int> clientFd{-1};
    gateway.sink().setHook([&](const std::string& line) {
        if (line.find("Gatway-Server Nr. 1: Verbindung hergestellt") == std::string::npos) {
            return;
        }
        device.send(Bytes(16, 0x55));
        // Hold the check until the channel's reader has taken the bytes off the line.
        const int probe = ::open(device.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        drained = qvx::gateway::test::waitUntil(
            [&] {
                int queued = -1;
                return ::ioctl(probe, FIONREAD, &queued) == 0 && queued == 0;
            },
            kDeadline);
        ::close(probe);
        // Give a byte that is on its way to the client the time to get there, before the
        // check goes on to refuse it.
        if (qvx::gateway::test::waitUntil([&] { return clientFd >= 0; }, kDeadline)) {
            pollfd readable{clientFd, POLLIN, 0};
            (void)::poll(&readable, 1, 200);
        }
    });

    {
        TcpClient client(gateway.dataPort(1));
        ASSERT_TRUE(client.isConnected());
        clientFd = client.fd();
        const TcpClient::Ending ending = client.receiveUntilClosed(kDeadline);
        EXPECT_TRUE(drained);
        EXPECT_TRUE(ending.closed);
        EXPECT_TRUE(ending.bytes.empty()) << ending.bytes.size() << " bytes reached the client";
    }
    gateway.sink().setHook(nullptr);
    EXPECT_TRUE(device.waitSlaveOpen(false, kDeadline)) << "the port stays closed";
    {
        TcpClient client(gateway.dataPort(1));
        (void)client.send("secret");
        EXPECT_TRUE(client.receiveUntilClosed(kDeadline).closed);
    }
    EXPECT_TRUE(device.receive(1, 50ms).empty()) << "the client's bytes reached the port";

    const std::string peer = "127.0.0.1";
    ASSERT_TRUE(gateway.sink().waitForLines(1 + 2 * 3, kDeadline));
    const std::vector<std::string> lines = gateway.channelLines(1);
    ASSERT_EQ(lines.size(), 1U + 2 * 3);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()),
              std::vector<std::string>(lines.begin() + 1, lines.begin() + 4));
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 4),
              (std::vector<std::string>{
                  gateway.line(1, "Info: Verbindung hergestellt mit Remote-Address = " + peer),
                  gateway.line(1, "Error: Verbindung zu Remote-Address = " + peer + " abgelehnt."),
                  gateway.line(1, "Info: Verbindung unterbrochen zu Remote-Address = " + peer)}));
}

TEST(GatewayChannel, ALoginAuthorisesDataConnectionsForTenSeconds) {
    FakeClock clock;
    GatewayFixture gateway(2, "Secured=1\nPassword=Pelmar\n", &clock);
    auto first = gateway.build(1);
    auto second = gateway.build(2);
    ASSERT_TRUE(first->StartChannel());
    ASSERT_TRUE(second->StartChannel());
    ASSERT_TRUE(gateway.login("Pelmar"));

    // The same machine through another of its addresses is another client.
    {
        TcpClient other(gateway.dataPort(1), INADDR_LOOPBACK + 1);
        ASSERT_TRUE(other.isConnected());
        EXPECT_TRUE(other.receiveUntilClosed(kDeadline).closed);
        ASSERT_TRUE(gateway.sink().waitForLine(
            "Error: Gatway-Server Nr. 1: Verbindung zu Remote-Address = 127.0.0.2 abgelehnt.",
            kDeadline));
        ASSERT_TRUE(gateway.sink().waitForLine(
            "Info: Gatway-Server Nr. 1: Verbindung unterbrochen zu Remote-Address = 127.0.0.2",
            kDeadline));
        gateway.sink().clear();
    }

    // Two data connections on the strength of one login: one after the other on the same
    // channel, and on another channel.
    for (int round = 0; round < 2; ++round) {
        TcpClient client(gateway.dataPort(1));
        ASSERT_TRUE(waitRelaying(*first));
        ASSERT_TRUE(client.send("ping"));
        EXPECT_EQ(gateway.pty(1).receive(4, kDeadline), bytesOf("ping"));
        client.close();
        ASSERT_TRUE(gateway.pty(1).waitSlaveOpen(false, kDeadline));
        ASSERT_TRUE(gateway.sink().waitForLine(
            "Info: Gatway-Server Nr. 1: Verbindung unterbrochen zu Remote-Address = 127.0.0.1",
            kDeadline));
        gateway.sink().clear();
    }
    clock.advance(10s);
    {
        TcpClient client(gateway.dataPort(2));
        ASSERT_TRUE(waitRelaying(*second)) << "10 s after the login";
        gateway.pty(2).send(bytesOf("pong"));
        EXPECT_EQ(client.receive(4, kDeadline), bytesOf("pong"));
    }
    clock.advance(1s);
    TcpClient late(gateway.dataPort(1));
    const TcpClient::Ending ending = late.receiveUntilClosed(kDeadline);
    EXPECT_TRUE(ending.closed) << "11 s after the login";
    EXPECT_TRUE(ending.bytes.empty());
}

TEST(GatewayChannel, ASecondClientWaitsInTheBacklogUntilTheFirstLeaves) {
    GatewayFixture gateway(1, "Secured=0\n");
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    Pty& device = gateway.pty(1);

    auto first = std::make_unique<TcpClient>(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    TcpClient second(gateway.dataPort(1));
    ASSERT_TRUE(second.isConnected()) << "taken into the backlog";
    ASSERT_TRUE(second.send("B"));
    ASSERT_TRUE(first->send("A"));
    EXPECT_EQ(device.receive(2, 300ms), bytesOf("A")) << "only the first client is served";
    device.send(bytesOf("a"));
    EXPECT_EQ(first->receive(1, kDeadline), bytesOf("a"));
    EXPECT_TRUE(second.staysQuiet(100ms));

    first.reset();
    EXPECT_EQ(device.receive(1, kDeadline), bytesOf("B"));
    device.send(bytesOf("b"));
    EXPECT_EQ(second.receive(1, kDeadline), bytesOf("b"));
}

TEST(GatewayChannel, EachSessionOpensThePortAfreshAndClosesItWhenItEnds) {
    GatewayFixture gateway(1, "Secured=0\n");
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    Pty& device = gateway.pty(1);
    for (int session = 0; session < 3; ++session) {
        TcpClient client(gateway.dataPort(1));
        ASSERT_TRUE(waitRelaying(*channel));
        ASSERT_TRUE(device.waitSlaveOpen(true, kDeadline));
        const Bytes request = bytesOf("request " + std::to_string(session));
        ASSERT_TRUE(client.send(request));
        EXPECT_EQ(device.receive(request.size(), kDeadline), request);
        device.send(bytesOf("confirm"));
        EXPECT_EQ(client.receive(7, kDeadline), bytesOf("confirm"));
        client.close();
        EXPECT_TRUE(device.waitSlaveOpen(false, kDeadline)) << "closed after session " << session;
    }
}

// Boot order does not matter: a channel whose adapter is not there yet listens all the same.
// A client meanwhile is refused with the reason; once the device is there, clients are served.
TEST(GatewayChannel, AComPortMissingAtStartIsWaitedForAndClientsMeanwhileAreRefused) {
    StableDevicePath device;
    device.pointAtNothing();
    GatewayFixture gateway(1, "Secured=0\n", nullptr, "", device.path());
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    {
        TcpClient early(gateway.dataPort(1));
        ASSERT_TRUE(early.isConnected());
        EXPECT_TRUE(early.receiveUntilClosed(kDeadline).closed);
    }
    const std::string unplugged = "Error: Gatway-Server Nr. 1: COMPort <" + device.path() +
                                  "> kann nicht geöffnet werden: No such file or directory";
    const std::string peer = "127.0.0.1";
    ASSERT_TRUE(gateway.sink().waitForLine(
        gateway.line(1, "Info: Verbindung unterbrochen zu Remote-Address = " + peer), kDeadline));
    EXPECT_EQ(
        gateway.channelLines(1),
        (std::vector<std::string>{
            unplugged,
            "Error: Gatway-Server Nr. 1:  Initialisierung fehlgeschlagen: IP = 127.0.0.1, "
            "Port=" +
                std::to_string(gateway.dataPort(1)) + ",COMPort=" + device.path(),
            "Warning: Gatway-Server Nr. 1: COMPort <" + device.path() +
                "> ist nicht verfügbar; er wird geöffnet, sobald das Gerät erscheint.",
            gateway.line(1, "Info: Verbindung hergestellt mit Remote-Address = " + peer), unplugged,
            gateway.line(1, "Error: Verbindung zu Remote-Address = " + peer + " abgelehnt."),
            gateway.line(1, "Info: Verbindung unterbrochen zu Remote-Address = " + peer)}));

    device.pointAt(gateway.pty(1).slavePath());
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    ASSERT_TRUE(client.send("ping"));
    EXPECT_EQ(gateway.pty(1).receive(4, kDeadline), bytesOf("ping"));
    gateway.pty(1).send(bytesOf("pong"));
    EXPECT_EQ(client.receive(4, kDeadline), bytesOf("pong"));
}

TEST(GatewayChannel, ADeviceThatAppearsAfterTheStartIsOpenedAtOnce) {
    StableDevicePath device;
    device.pointAtNothing();
    GatewayFixture gateway(1, "Secured=0\n", nullptr, "", device.path());
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    device.pointAt(gateway.pty(1).slavePath());
    EXPECT_TRUE(gateway.pty(1).waitSlaveOpen(true, kDeadline));
    EXPECT_TRUE(gateway.sink().waitForLine(
        "Info: Gatway-Server Nr. 1: COMPort <" + device.path() + "> ist wieder verfügbar.",
        kDeadline));
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    ASSERT_TRUE(client.send("x"));
    EXPECT_EQ(gateway.pty(1).receive(1, kDeadline), bytesOf("x"));
}

// The adapter is unplugged during a session and plugged in again: the client stays connected
// and relaying resumes both ways without a new connection.
TEST(GatewayChannel, AReplugDuringASessionKeepsTheClientAndRelaysAgain) {
    StableDevicePath device;
    auto first = std::make_unique<Pty>();
    device.pointAt(first->slavePath());
    GatewayFixture gateway(1, "Secured=0\n", nullptr, "", device.path());
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    ASSERT_TRUE(client.send("1"));
    ASSERT_EQ(first->receive(1, kDeadline), bytesOf("1"));

    first.reset();
    device.remove();
    const std::string gone = "Error: Gatway-Server Nr. 1: COMPort <" + device.path() +
                             "> kann nicht gelesen werden: Input/output error";
    ASSERT_TRUE(gateway.sink().waitForLine(gone, kDeadline));
    ASSERT_TRUE(client.send("lost"));  // nowhere to go while the device is away
    EXPECT_TRUE(client.staysQuiet(100ms)) << "the client stays connected";

    Pty& second = gateway.pty(1);
    device.pointAt(second.slavePath());
    ASSERT_TRUE(second.waitSlaveOpen(true, kDeadline));
    ASSERT_TRUE(client.send("2"));
    EXPECT_EQ(second.receive(1, kDeadline), bytesOf("2"));
    second.send(bytesOf("3"));
    EXPECT_EQ(client.receive(1, kDeadline), bytesOf("3"));
    EXPECT_TRUE(channel->isRelaying());

    const std::vector<std::string> lines = gateway.channelLines(1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), gone), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "Info: Gatway-Server Nr. 1: COMPort <" + device.path() +
                             "> ist wieder verfügbar."),
              1);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("Verbindung unterbrochen") != std::string::npos;
                            }),
              0);
}

// Another process holds the port between two sessions: the next client is refused with an
// Error naming the port and why, instead of a session that silently goes nowhere.
TEST(GatewayChannel, APortTakenByAnotherOpenerRefusesTheClientWithTheReason) {
    GatewayFixture gateway(1, "Secured=0\n");
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    {
        TcpClient first(gateway.dataPort(1));
        ASSERT_TRUE(waitRelaying(*channel));
    }
    ASSERT_TRUE(gateway.pty(1).waitSlaveOpen(false, kDeadline));
    int error = 0;
    const int other = qvx::gateway::openExclusive(gateway.pty(1).slavePath(), error);
    ASSERT_GE(other, 0) << error;
    {
        TcpClient second(gateway.dataPort(1));
        EXPECT_TRUE(second.receiveUntilClosed(kDeadline).closed);
    }
    EXPECT_TRUE(gateway.sink().waitForLine(
        "Error: Gatway-Server Nr. 1: COMPort <" + gateway.pty(1).slavePath() +
            "> kann nicht geöffnet werden: Device or resource busy",
        kDeadline));
    EXPECT_TRUE(gateway.sink().waitForLine(
        "Error: Gatway-Server Nr. 1: Verbindung zu Remote-Address = 127.0.0.1 abgelehnt.",
        kDeadline));
    qvx::gateway::closeExclusive(other);
}

// A line nobody drains and a client that keeps sending: taking the channel down still ends
// within moments, since the serial side is stopped first.
TEST(GatewayChannel, ABlockedLineDoesNotHoldTheChannelsEnd) {
    GatewayFixture gateway(1, "Secured=0\n");
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    // The flood ends when the channel's end resets the connection.
    std::thread flood([&] { (void)client.send(Bytes(std::size_t{8} << 20, 0x55)); });
    ASSERT_TRUE(gateway.pty(1).waitReadable(kDeadline));
    const auto stopping = std::chrono::steady_clock::now();
    channel.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 2s);
    flood.join();
}

// IdleTimeout ends a session in which nothing moved, and leaves a busy one alone.
TEST(GatewayChannel, IdleTimeoutEndsAQuietSessionButNotABusyOne) {
    GatewayFixture gateway(1, "Secured=0\n", nullptr, "IdleTimeout=1\n");
    auto channel = gateway.build(1);
    EXPECT_EQ(channel->channelSettings().idleTimeoutSeconds, 1U);
    ASSERT_TRUE(channel->StartChannel());
    {
        TcpClient busy(gateway.dataPort(1));
        ASSERT_TRUE(waitRelaying(*channel));
        const auto until = std::chrono::steady_clock::now() + 2500ms;
        while (std::chrono::steady_clock::now() < until) {
            ASSERT_TRUE(busy.send("b"));
            ASSERT_EQ(gateway.pty(1).receive(1, kDeadline), bytesOf("b"));
            EXPECT_TRUE(busy.staysQuiet(100ms));
        }
        EXPECT_TRUE(channel->isRelaying());
    }
    ASSERT_TRUE(gateway.sink().waitForLine(
        "Info: Gatway-Server Nr. 1: Verbindung unterbrochen zu Remote-Address = 127.0.0.1",
        kDeadline));
    gateway.sink().clear();

    TcpClient quiet(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    const TcpClient::Ending ending = quiet.receiveUntilClosed(kDeadline);
    EXPECT_TRUE(ending.closed);
    EXPECT_TRUE(ending.bytes.empty());
    ASSERT_TRUE(gateway.sink().waitForLines(3, kDeadline));
    EXPECT_EQ(gateway.sink().lines(),
              (std::vector<std::string>{
                  "Info: Gatway-Server Nr. 1: Verbindung hergestellt mit Remote-Address = "
                  "127.0.0.1",
                  "Warning: Gatway-Server Nr. 1: Keine Daten seit 1 s, Verbindung zu "
                  "Remote-Address = 127.0.0.1 wird geschlossen.",
                  "Info: Gatway-Server Nr. 1: Verbindung unterbrochen zu Remote-Address = "
                  "127.0.0.1"}));
}

// An accepted data connection carries the short keep-alive, so a client that vanished without
// closing frees the port within about a minute.
TEST(GatewayChannel, AcceptedConnectionsCarryTheStaleSessionKeepAlive) {
    GatewayFixture gateway(1, "Secured=0\n");
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    const std::optional<KeepAliveState> state = acceptedKeepAlive(client);
    ASSERT_TRUE(state);
    EXPECT_EQ(*state, (KeepAliveState{true, 30, 10, 3, 60000}));
}

TEST(GatewayChannel, TraceRecordsWhatIsRelayedWithDirectionMarks) {
    const TempDir dir;
    const std::string trace = (dir.path() / "port1.trace").string();
    GatewayFixture gateway(1, "Secured=0\n", nullptr, "Trace=" + trace + "\n");
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    ASSERT_TRUE(client.send(Bytes{0x02, 0x10, 0xFF}));
    ASSERT_EQ(gateway.pty(1).receive(3, kDeadline), (Bytes{0x02, 0x10, 0xFF}));
    gateway.pty(1).send(Bytes{0x00, 0x0A});
    ASSERT_EQ(client.receive(2, kDeadline), (Bytes{0x00, 0x0A}));
    channel.reset();

    std::ifstream in(trace);
    std::vector<std::string> marks;
    for (std::string line; std::getline(in, line);) {
        marks.push_back(line.substr(line.find(' ', line.find(' ') + 1)));
    }
    EXPECT_EQ(marks, (std::vector<std::string>{" TX> 02 10 FF", " RX< 00 0A"}));
}

TEST(GatewayChannel, ATraceFileThatCannotBeOpenedIsReportedAndTheChannelRunsWithoutIt) {
    GatewayFixture gateway(1, "Secured=0\n", nullptr, "Trace=/qvx-no-such-folder/t.trace\n");
    auto channel = gateway.build(1);
    ASSERT_TRUE(channel->StartChannel());
    EXPECT_EQ(gateway.channelLines(1).back(),
              "Error: Gatway-Server Nr. 1: Trace-Datei </qvx-no-such-folder/t.trace> kann nicht "
              "geöffnet werden: No such file or directory");
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(waitRelaying(*channel));
    ASSERT_TRUE(client.send("x"));
    EXPECT_EQ(gateway.pty(1).receive(1, kDeadline), bytesOf("x"));
}

// Without its listener a channel would fail every accept at once and spin; it is reported
// and does not start.
TEST(GatewayChannel, ADataListenerThatCannotBeHadIsReportedAndFailsTheStart) {
    {
        GatewayFixture gateway(1, "");
        const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(gateway.dataPort(1));
        ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(holder, 1), 0);
        auto channel = gateway.build(1);
        EXPECT_FALSE(channel->StartChannel());
        const std::string port = std::to_string(gateway.dataPort(1));
        EXPECT_EQ(gateway.channelLines(1),
                  (std::vector<std::string>{
                      "Error: Gatway-Server Nr. 1: TCP-Port " + port +
                          " auf IP = 127.0.0.1 kann nicht geöffnet werden: Address already in use",
                      "Error: Gatway-Server Nr. 1:  Initialisierung fehlgeschlagen: IP = "
                      "127.0.0.1, Port=" +
                          port + ",COMPort=" + gateway.pty(1).slavePath()}));
        ::close(holder);
    }
    {
        // Base port 65535: channel 1's data port would lie past 65535; it is refused instead
        // of bound to some other port.
        GatewayFixture gateway(1, "");
        TempDir dir;
        writeTextFile(dir.path() / "qvx_gateway.ini",
                      "[Globals]\nBasePortAddress=65535\n[Port1]\nCOMPort=" +
                          gateway.pty(1).slavePath() + "\n");
        gateway.stores().ConfigureStores(dir.path() / "qvx_gateway.ini", dir.path() / "r.ini",
                                         false);
        auto channel = gateway.build(1);
        EXPECT_EQ(channel->channelSettings().dataPort, 0);
        EXPECT_FALSE(channel->StartChannel());
        const std::vector<std::string> lines = gateway.channelLines(1);
        ASSERT_EQ(lines.size(), 2U);
        EXPECT_EQ(lines[0],
                  "Error: Gatway-Server Nr. 1: TCP-Port 0 auf IP = 127.0.0.1 kann nicht geöffnet "
                  "werden: Port 0 ist nicht zulässig");
    }
}

TEST(GatewayChannel, OfFiveChannelsFourGetAListenerBesideTheLoginListener) {
    GatewayFixture gateway(5, "");
    std::vector<std::unique_ptr<CGatewayChannel>> running;
    for (int n = 1; n <= 5; ++n) {
        auto channel = gateway.build(n);
        if (channel->StartChannel()) {
            running.push_back(std::move(channel));
        } else {
            EXPECT_EQ(n, 5);
        }
    }
    ASSERT_EQ(running.size(), 4U);
    EXPECT_EQ(gateway.channelLines(5).front(),
              "Error: Gatway-Server Nr. 5: TCP-Port " + std::to_string(gateway.dataPort(5)) +
                  " auf IP = 127.0.0.1 kann nicht geöffnet werden: alle 5 Einträge der "
                  "Listener-Tabelle sind belegt");
    for (int n = 1; n <= 4; ++n) {
        TcpClient client(gateway.dataPort(n));
        ASSERT_TRUE(waitRelaying(*running[static_cast<std::size_t>(n - 1)])) << n;
        ASSERT_TRUE(client.send("x"));
        EXPECT_EQ(gateway.pty(n).receive(1, kDeadline), bytesOf("x")) << n;
    }
    EXPECT_FALSE(TcpClient(gateway.dataPort(5)).isConnected());
}
