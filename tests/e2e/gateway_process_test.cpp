// The built qvx_gateway as a real process: a temporary folder holds a link to the program and
// its qvx_gateway.ini, pseudo-terminals stand in for the COM ports.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "tests/gateway/gateway_test_support.h"
#include "tests/gateway/line_probe.h"
#include "tests/gateway/pty_pair.h"
#include "tests/gateway/tcp_test_client.h"

using namespace std::chrono_literals;
using qvx::gateway::test::Bytes;
using qvx::gateway::test::bytesOf;
using qvx::gateway::test::everyByteValue;
using qvx::gateway::test::freePortRange;
using qvx::gateway::test::Pty;
using qvx::gateway::test::randomBytes;
using qvx::gateway::test::TcpClient;
using qvx::gateway::test::TempDir;
using qvx::gateway::test::waitUntil;
using qvx::gateway::test::writeTextFile;
using qvx::test::ChildProcess;

namespace {

constexpr auto kDeadline = 5s;
const std::string kDebugging = "Debugging TCP/IP-RS2323 Gateway.\n";
const std::string kStopping = "Stopping TCP/IP-RS2323 Gateway.\n";

/// qvx_gateway started from a folder of its own with `channels` ptys as its COM ports.
class Gateway {
public:
    /// `globals`: lines for [Globals] after BasePortAddress and Ports; `portLines`: extra
    /// lines for every [PortN] section. `writeIni` false leaves the folder without settings.
    explicit Gateway(int channels, const std::string& globals = "",
                     const std::string& portLines = "", bool writeIni = true)
        : m_base(freePortRange(channels)) {
        std::filesystem::create_symlink(QVX_GATEWAY_PROGRAM, m_dir.path() / "qvx_gateway");
        std::string ini = "[Globals]\nBasePortAddress=" + std::to_string(m_base) +
                          "\nPorts=" + std::to_string(channels) + "\n" + globals;
        for (int n = 1; n <= channels; ++n) {
            m_ptys.push_back(std::make_unique<Pty>());
            ini += "[Port" + std::to_string(n) + "]\nCOMPort=" + m_ptys.back()->slavePath() + "\n" +
                   portLines;
        }
        if (writeIni) {
            writeTextFile(m_dir.path() / "qvx_gateway.ini", ini);
        }
    }

    /// Starts the program with one switch.
    ChildProcess& start(const std::string& option = "-d") {
        m_process = std::make_unique<ChildProcess>(
            std::vector<std::string>{(m_dir.path() / "qvx_gateway").string(), option},
            m_dir.path() / "out.txt", m_dir.path() / "err.txt");
        return *m_process;
    }

    /// Waits until the listeners stand (the login listener's line is written after the first
    /// channel's).
    [[nodiscard]] bool waitUntilListening() const {
        return m_process->waitForOutput("Initialisierung Security OK", kDeadline);
    }

    [[nodiscard]] ChildProcess& process() { return *m_process; }
    [[nodiscard]] std::uint16_t loginPort() const { return m_base; }
    [[nodiscard]] std::uint16_t dataPort(int n) const {
        return static_cast<std::uint16_t>(m_base + n);
    }
    [[nodiscard]] Pty& pty(int n) { return *m_ptys.at(static_cast<std::size_t>(n - 1)); }
    /// Replaces the settings file.
    void writeIni(const std::string& text) const {
        writeTextFile(m_dir.path() / "qvx_gateway.ini", text);
    }

    [[nodiscard]] std::string initOk(int n) {
        return "Info: Gatway-Server Nr. " + std::to_string(n) +
               ":  Initialisierung OK: IP = 127.0.0.1, Port=" + std::to_string(dataPort(n)) +
               ",COMPort=" + pty(n).slavePath() + "\n";
    }

private:
    TempDir m_dir;
    std::uint16_t m_base;
    std::vector<std::unique_ptr<Pty>> m_ptys;
    std::unique_ptr<ChildProcess> m_process;  // ended before the ptys and the folder go
};

const std::string kSecurityOk =
    "Info: Gatway-Security:  Initialisierung Security OK: IP = 127.0.0.1\n";

class ConsoleStop : public testing::TestWithParam<int> {};

}  // namespace

// -d announces itself, writes its log lines on the console and ends within moments of Ctrl+C
// or Ctrl+Break with exit code 1, the channels taken down first.
TEST_P(ConsoleStop, EndsPromptlyWithExitCodeOne) {
    Gateway gateway(1);
    ChildProcess& process = gateway.start("-d");
    ASSERT_TRUE(gateway.waitUntilListening()) << process.out() << process.err();
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(process.waitForOutput("Verbindung hergestellt", kDeadline));

    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_TRUE(process.signal(GetParam()));
    ASSERT_TRUE(process.waitForExit(kDeadline));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 2s);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(client.receiveUntilClosed(kDeadline).closed) << "the session ends with the program";
    EXPECT_EQ(process.out(),
              kDebugging + gateway.initOk(1) + kSecurityOk +
                  "Info: Gatway-Server Nr. 1: Verbindung hergestellt mit Remote-Address = "
                  "127.0.0.1\n" +
                  kStopping);
    EXPECT_EQ(process.err(), "");
}

INSTANTIATE_TEST_SUITE_P(CtrlCAndCtrlBreak, ConsoleStop, testing::Values(SIGINT, SIGQUIT),
                         [](const testing::TestParamInfo<int>& row) {
                             return row.param == SIGINT ? "Sigint" : "Sigquit";
                         });

TEST(GatewayProgram, FacelessModeShowsNothingAndEndsAtTheEndOfTheSession) {
    for (const int number : {SIGTERM, SIGHUP}) {
        Gateway gateway(1);
        ChildProcess& process = gateway.start("-f");
        ASSERT_TRUE(
            waitUntil([&] { return TcpClient(gateway.dataPort(1)).isConnected(); }, kDeadline));
        ASSERT_TRUE(process.signal(number));
        ASSERT_TRUE(process.waitForExit(kDeadline));
        EXPECT_EQ(process.exitCode(), 1) << number;
        EXPECT_EQ(process.out(), "");
        EXPECT_EQ(process.err(), "");
    }
}

TEST(GatewayProgram, WithoutSettingsFileOneChannelRunsOnTheDefaults) {
    Gateway gateway(0, "", "", false);
    ChildProcess& process = gateway.start("-d");
    // COM1: may or may not exist here, and port 5101 may be taken: either way the channel's
    // line names the defaults.
    ASSERT_TRUE(waitUntil(
        [&] {
            return (process.out() + process.err())
                       .find("IP = 127.0.0.1, Port=5101,COMPort=COM1:\n") != std::string::npos;
        },
        kDeadline))
        << process.out() << process.err();
    EXPECT_NE((process.out() + process.err()).find("Gatway-Server Nr. 1: "), std::string::npos);
    EXPECT_EQ((process.out() + process.err()).find("Gatway-Server Nr. 2: "), std::string::npos);
}

TEST(GatewayProgram, AppliesTheLineSettingsOfTheFile) {
    Gateway gateway(1, "", "BaudRate=19200\nByteSize=7\nParity=EVENPARITY\nStopBits=TWOSTOPBITS\n");
    ChildProcess& process = gateway.start("-d");
    ASSERT_TRUE(gateway.waitUntilListening()) << process.err();
    const auto line = qvx::gateway::test::probeLine(gateway.pty(1).slavePath());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->outputBaud, 19200U);
    EXPECT_TRUE(line->extraStopBit);
    EXPECT_FALSE(line->softwareFlowControl);
    EXPECT_FALSE(line->hardwareFlowControl);
}

// Login on the login port with the real time limits, then a data session relaying every
// byte value and a large random transfer both ways; the COM port is closed when the session
// ends and opened again for the next one.
TEST(GatewayProgram, LogsInAndRelaysUnchangedThroughTheProgram) {
    Gateway gateway(1, "Secured=1\nPassword=Größe\n");
    ChildProcess& process = gateway.start("-d");
    ASSERT_TRUE(gateway.waitUntilListening()) << process.err();
    {
        TcpClient refused(gateway.dataPort(1));
        EXPECT_TRUE(refused.receiveUntilClosed(kDeadline).closed) << "no login yet";
    }
    ASSERT_TRUE(gateway.pty(1).waitSlaveOpen(false, kDeadline));

    TcpClient login(gateway.loginPort());
    ASSERT_TRUE(login.send("Größe\r\n"));
    EXPECT_EQ(login.receive(3, kDeadline), bytesOf("+OK"));
    const auto replied = std::chrono::steady_clock::now();

    for (int session = 0; session < 2; ++session) {
        TcpClient client(gateway.dataPort(1));
        ASSERT_TRUE(gateway.pty(1).waitSlaveOpen(true, kDeadline)) << session;
        const Bytes all = everyByteValue(2);
        ASSERT_TRUE(client.send(all));
        EXPECT_EQ(gateway.pty(1).receive(all.size(), kDeadline), all);
        gateway.pty(1).send(all);
        EXPECT_EQ(client.receive(all.size(), kDeadline), all);
        if (session == 0) {
            const Bytes up = randomBytes(std::size_t{1} << 20, 7);
            const Bytes down = randomBytes(std::size_t{1} << 20, 8);
            Bytes deviceGot;
            std::thread sendUp([&] { EXPECT_TRUE(client.send(up)); });
            std::thread sendDown([&] { gateway.pty(1).send(down); });
            std::thread readUp([&] { deviceGot = gateway.pty(1).receive(up.size(), 30s); });
            const Bytes clientGot = client.receive(down.size(), 30s);
            sendUp.join();
            sendDown.join();
            readUp.join();
            EXPECT_TRUE(deviceGot == up) << deviceGot.size();
            EXPECT_TRUE(clientGot == down) << clientGot.size();
        }
        client.close();
        EXPECT_TRUE(gateway.pty(1).waitSlaveOpen(false, kDeadline)) << "closed after " << session;
    }

    // The login connection is closed from the gateway's side 3 s after the reply.
    const TcpClient::Ending ending = login.receiveUntilClosed(kDeadline);
    EXPECT_TRUE(ending.closed);
    EXPECT_GE(std::chrono::steady_clock::now() - replied, 2900ms);

    ASSERT_TRUE(process.waitForOutput(
        "Info: Gatway-Security: Verbindung unterbrochen zu Remote-Address = ", kDeadline));
    const std::string peer = "127.0.0.1\n";
    const std::string session =
        "Info: Gatway-Server Nr. 1: Verbindung hergestellt mit Remote-Address = " + peer +
        "Info: Gatway-Server Nr. 1: Verbindung unterbrochen zu Remote-Address = " + peer;
    EXPECT_EQ(process.out(),
              kDebugging + gateway.initOk(1) + kSecurityOk +
                  "Info: Gatway-Server Nr. 1: Verbindung hergestellt mit Remote-Address = " + peer +
                  "Info: Gatway-Server Nr. 1: Verbindung unterbrochen zu Remote-Address = " + peer +
                  "Info: Gatway-Security: Verbindung hergestellt mit Remote-Address = " + peer +
                  "Info: Gatway-Security: Remote Partner authenficated. Passphrase OK.\n" +
                  session + session +
                  "Info: Gatway-Security: Verbindung unterbrochen zu Remote-Address = " + peer);
    EXPECT_EQ(process.err(),
              "Error: Gatway-Server Nr. 1: Verbindung zu Remote-Address = 127.0.0.1 abgelehnt.\n");
}

// One login connection is served at a time: a client that never sends its line is closed
// after 10 s, so it cannot lock everybody else out.
TEST(GatewayProgram, AnIdleLoginConnectionIsClosedAfterTenSeconds) {
    Gateway gateway(1, "Secured=1\n");
    ChildProcess& process = gateway.start("-d");
    ASSERT_TRUE(gateway.waitUntilListening()) << process.err();
    TcpClient idle(gateway.loginPort());
    ASSERT_TRUE(process.waitForOutput("Gatway-Security: Verbindung hergestellt", kDeadline));
    const auto accepted = std::chrono::steady_clock::now();
    TcpClient waiting(gateway.loginPort());
    ASSERT_TRUE(waiting.send("Pelmar\n"));

    const TcpClient::Ending ending = idle.receiveUntilClosed(15s);
    EXPECT_TRUE(ending.closed);
    EXPECT_TRUE(ending.bytes.empty());
    const auto idleFor = std::chrono::steady_clock::now() - accepted;
    EXPECT_GE(idleFor, 9900ms);
    EXPECT_LT(idleFor, 12s);
    EXPECT_EQ(waiting.receive(3, kDeadline), bytesOf("+OK"));
    EXPECT_TRUE(process.waitForOutput(
        "Warning: Gatway-Security: Keine Passphrase rechtzeitig empfangen, Verbindung wird "
        "geschlossen.\nInfo: Gatway-Security: Verbindung unterbrochen zu Remote-Address = "
        "127.0.0.1\n",
        kDeadline));
}

// A COM port that cannot be opened drops its channel; in console mode the program goes on.
TEST(GatewayProgram, AMissingComPortDropsItsChannel) {
    Gateway gateway(0);
    gateway.writeIni("[Globals]\nBasePortAddress=" + std::to_string(gateway.loginPort()) +
                     "\n[Port1]\nCOMPort=/dev/qvx-missing-port\n");
    ChildProcess& process = gateway.start("-d");
    const std::string prefix = "Error: Gatway-Server Nr. 1: ";
    const std::string openFailure =
        prefix +
        "COMPort </dev/qvx-missing-port> kann nicht geöffnet werden: No such file or "
        "directory\n";
    const std::string expected =
        openFailure + prefix + " Initialisierung fehlgeschlagen: IP = 127.0.0.1, Port=" +
        std::to_string(gateway.dataPort(1)) + ",COMPort=/dev/qvx-missing-port\n" + openFailure +
        prefix + "Gateway konnte nicht gestartet werden.\n";
    ASSERT_TRUE(process.waitForOutput(expected, kDeadline, true)) << process.err();
    EXPECT_EQ(process.err(), expected);
    ASSERT_TRUE(process.waitForOutput(kSecurityOk, kDeadline));
    // The channel is destroyed right after its last line.
    EXPECT_TRUE(
        waitUntil([&] { return !TcpClient(gateway.dataPort(1)).isConnected(); }, kDeadline));
    EXPECT_TRUE(process.running());
    ASSERT_TRUE(process.signal(SIGINT));
    ASSERT_TRUE(process.waitForExit(kDeadline));
    EXPECT_EQ(process.exitCode(), 1);
}

// The login listener takes one of the five listener entries: channels 1 to 4 listen,
// channel 5 is reported and dropped, and nothing spins.
TEST(GatewayProgram, OfFiveChannelsFourListenAndNoneSpins) {
    Gateway gateway(5);
    ChildProcess& process = gateway.start("-d");
    const std::string dropped =
        "Error: Gatway-Server Nr. 5: Gateway konnte nicht gestartet werden.\n";
    ASSERT_TRUE(process.waitForOutput(dropped, kDeadline, true)) << process.err();
    EXPECT_EQ(process.err(),
              "Error: Gatway-Server Nr. 5: TCP-Port " + std::to_string(gateway.dataPort(5)) +
                  " auf IP = 127.0.0.1 kann nicht geöffnet werden: alle 5 Einträge der "
                  "Listener-Tabelle sind belegt\n"
                  "Error: Gatway-Server Nr. 5:  Initialisierung fehlgeschlagen: IP = 127.0.0.1, "
                  "Port=" +
                  std::to_string(gateway.dataPort(5)) + ",COMPort=" + gateway.pty(5).slavePath() +
                  "\n" + dropped);
    EXPECT_EQ(process.out(), kDebugging + gateway.initOk(1) + kSecurityOk + gateway.initOk(2) +
                                 gateway.initOk(3) + gateway.initOk(4));
    for (int n = 1; n <= 4; ++n) {
        TcpClient client(gateway.dataPort(n));
        ASSERT_TRUE(gateway.pty(n).waitSlaveOpen(true, kDeadline));
        ASSERT_TRUE(client.send("x"));
        EXPECT_EQ(gateway.pty(n).receive(1, kDeadline), bytesOf("x")) << n;
    }
    EXPECT_FALSE(TcpClient(gateway.dataPort(5)).isConnected());

    // Idle, the program uses next to no processor time.
    const double before = process.cpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(process.cpuSeconds() - before, 0.1);
}

// A login port that is taken is reported; the data channels go on as their settings say.
// A data port past 65535 is refused rather than bound to some other port.
TEST(GatewayProgram, ListenersThatCannotBeHadAreReported) {
    {
        Gateway gateway(1, "Secured=0\n");
        const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(gateway.loginPort());
        ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(holder, 1), 0);
        ChildProcess& process = gateway.start("-d");
        const std::string expected =
            "Error: Gatway-Security: TCP-Port " + std::to_string(gateway.loginPort()) +
            " auf IP = 127.0.0.1 kann nicht geöffnet werden: Address already in use\n"
            "Error: Gatway-Security:  Initialisierung Security fehlgeschlagen: IP = 127.0.0.1\n";
        ASSERT_TRUE(process.waitForOutput(expected, kDeadline, true)) << process.err();
        TcpClient client(gateway.dataPort(1));
        ASSERT_TRUE(gateway.pty(1).waitSlaveOpen(true, kDeadline));
        ASSERT_TRUE(client.send("x"));
        EXPECT_EQ(gateway.pty(1).receive(1, kDeadline), bytesOf("x"));
        const double before = process.cpuSeconds();
        std::this_thread::sleep_for(500ms);
        EXPECT_LT(process.cpuSeconds() - before, 0.1);
        ::close(holder);
    }
    {
        Gateway gateway(0);
        gateway.writeIni("[Globals]\nBasePortAddress=65535\n[Port1]\nCOMPort=/dev/null\n");
        ChildProcess& process = gateway.start("-d");
        ASSERT_TRUE(
            process.waitForOutput("Gateway konnte nicht gestartet werden.", kDeadline, true));
        EXPECT_EQ(process.err().rfind("Error: Gatway-Server Nr. 1: TCP-Port 0 auf IP = 127.0.0.1 "
                                      "kann nicht geöffnet werden: Port 0 ist nicht zulässig\n",
                                      0),
                  0U)
            << process.err();
    }
}
