// The built qvx_gateway as a real process: a temporary folder holds a link to the program and
// its qvx_gateway.ini, pseudo-terminals stand in for the COM ports.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "scoped_environment.h"
#include "tests/gateway/gateway_test_support.h"
#include "tests/gateway/keep_alive_probe.h"
#include "tests/gateway/line_probe.h"
#include "tests/gateway/pty_pair.h"
#include "tests/gateway/stable_device_path.h"
#include "tests/gateway/tcp_test_client.h"

using namespace std::chrono_literals;
using qvx::gateway::test::acceptedKeepAlive;
using qvx::gateway::test::Bytes;
using qvx::gateway::test::bytesOf;
using qvx::gateway::test::everyByteValue;
using qvx::gateway::test::freePortRange;
using qvx::gateway::test::KeepAliveState;
using qvx::gateway::test::Pty;
using qvx::gateway::test::randomBytes;
using qvx::gateway::test::StableDevicePath;
using qvx::gateway::test::TcpClient;
using qvx::gateway::test::TempDir;
using qvx::gateway::test::waitUntil;
using qvx::gateway::test::writeTextFile;
using qvx::test::ChildProcess;
using qvx::test::ScopedEnvironment;

namespace {

constexpr auto kDeadline = 5s;
const std::string kDebugging = "Debugging TCP/IP-RS2323 Gateway.\n";
const std::string kStopping = "Stopping TCP/IP-RS2323 Gateway.\n";

/// qvx_gateway started from a folder of its own with `channels` ptys as its COM ports.
class Gateway {
public:
    /// `globals`: lines for [Globals] after BasePortAddress and Ports; `portLines`: extra
    /// lines for every [PortN] section. `writeIni` false leaves the folder without settings.
    /// `comPort`, when given, replaces the ptys' paths in the settings.
    explicit Gateway(int channels, const std::string& globals = "",
                     const std::string& portLines = "", bool writeIni = true,
                     const std::string& comPort = "")
        : m_base(freePortRange(channels)) {
        std::filesystem::create_symlink(QVX_GATEWAY_PROGRAM, m_dir.path() / "qvx_gateway");
        std::string ini = "[Globals]\nBasePortAddress=" + std::to_string(m_base) +
                          "\nPorts=" + std::to_string(channels) + "\n" + globals;
        for (int n = 1; n <= channels; ++n) {
            m_ptys.push_back(std::make_unique<Pty>());
            ini += "[Port" + std::to_string(n) +
                   "]\nCOMPort=" + (comPort.empty() ? m_ptys.back()->slavePath() : comPort) + "\n" +
                   portLines;
        }
        if (writeIni) {
            writeTextFile(m_dir.path() / "qvx_gateway.ini", ini);
        }
    }

    /// Starts the program with one switch.
    ChildProcess& start(const std::string& option = "-d") {
        return start(std::vector<std::string>{option});
    }
    /// Starts the program with these arguments; what it sends to the system log goes to
    /// events() instead.
    ChildProcess& start(const std::vector<std::string>& options) {
        const ScopedEnvironment environment({{"QVX_GATEWAY_EVENT_LOG_FILE", events().string()}});
        std::vector<std::string> arguments{(m_dir.path() / "qvx_gateway").string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        m_process = std::make_unique<ChildProcess>(arguments, m_dir.path() / "out.txt",
                                                   m_dir.path() / "err.txt");
        return *m_process;
    }
    /// Runs the program with these arguments to its end.
    ChildProcess& run(const std::vector<std::string>& options) {
        ChildProcess& process = start(options);
        EXPECT_TRUE(process.waitForExit(kDeadline));
        return process;
    }
    [[nodiscard]] std::filesystem::path folder() const { return m_dir.path(); }
    /// The file that stands in for the system log.
    [[nodiscard]] std::filesystem::path events() const { return m_dir.path() / "events"; }

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
    /// A client of channel n is served: its byte reaches the device.
    void expectServed(int n) {
        TcpClient client(dataPort(n));
        ASSERT_TRUE(pty(n).waitSlaveOpen(true, kDeadline)) << n;
        ASSERT_TRUE(client.send("x"));
        EXPECT_EQ(pty(n).receive(1, kDeadline), bytesOf("x")) << n;
    }
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

INSTANTIATE_TEST_SUITE_P(CtrlCCtrlBreakAndTerm, ConsoleStop,
                         testing::Values(SIGINT, SIGQUIT, SIGTERM),
                         [](const testing::TestParamInfo<int>& row) {
                             return std::string(sigabbrev_np(row.param));
                         });

namespace {

struct StopCase {
    const char* mode;
    int signal;
};

class StopBehindABlockedLine : public testing::TestWithParam<StopCase> {};

}  // namespace

// A line nobody drains and a client that keeps sending: the receive thread sits in a serial
// write just then, and still every way of stopping ends the program within 2 s.
TEST_P(StopBehindABlockedLine, EndsWithinTwoSeconds) {
    Gateway gateway(1, "Secured=0\n");
    ChildProcess& process = gateway.start(GetParam().mode);
    ASSERT_TRUE(waitUntil([&] { return TcpClient(gateway.dataPort(1)).isConnected(); }, kDeadline));
    ASSERT_TRUE(gateway.pty(1).waitSlaveOpen(false, kDeadline));
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(gateway.pty(1).waitSlaveOpen(true, kDeadline));
    // The flood ends when the program's end resets the connection.
    std::thread flood([&] { (void)client.send(Bytes(std::size_t{1} << 20, 0x55)); });
    ASSERT_TRUE(gateway.pty(1).waitReadable(kDeadline));

    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_TRUE(process.signal(GetParam().signal));
    ASSERT_TRUE(process.waitForExit(kDeadline));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 2s);
    EXPECT_EQ(process.exitCode(), 1);
    flood.join();
}

INSTANTIATE_TEST_SUITE_P(Modes, StopBehindABlockedLine,
                         testing::Values(StopCase{"-d", SIGINT}, StopCase{"-d", SIGTERM},
                                         StopCase{"-f", SIGTERM}, StopCase{"-f", SIGHUP}),
                         [](const testing::TestParamInfo<StopCase>& row) {
                             return std::string(row.param.mode[1] == 'd' ? "Console" : "Faceless") +
                                    sigabbrev_np(row.param.signal);
                         });

// The adapter is unplugged during a session and plugged in again behind the same stable
// link: bytes flow again without reconnecting, and the log says once each that it is gone
// and that it is back.
TEST(GatewayProgram, AReplugDuringASessionRelaysAgainWithoutReconnecting) {
    StableDevicePath device;
    auto first = std::make_unique<Pty>();
    device.pointAt(first->slavePath());
    Gateway gateway(1, "Secured=0\n", "", true, device.path());
    ChildProcess& process = gateway.start("-d");
    ASSERT_TRUE(gateway.waitUntilListening()) << process.err();
    TcpClient client(gateway.dataPort(1));
    ASSERT_TRUE(process.waitForOutput("Verbindung hergestellt", kDeadline));
    ASSERT_TRUE(client.send("1"));
    ASSERT_EQ(first->receive(1, kDeadline), bytesOf("1"));

    first.reset();
    device.remove();
    const std::string gone = "Error: Gatway-Server Nr. 1: COMPort <" + device.path() +
                             "> kann nicht gelesen werden: Input/output error\n";
    ASSERT_TRUE(process.waitForOutput(gone, kDeadline, true)) << process.err();
    device.pointAt(gateway.pty(1).slavePath());
    const std::string back =
        "Info: Gatway-Server Nr. 1: COMPort <" + device.path() + "> ist wieder verfügbar.\n";
    ASSERT_TRUE(process.waitForOutput(back, kDeadline)) << process.out();
    ASSERT_TRUE(client.send("2"));
    EXPECT_EQ(gateway.pty(1).receive(1, kDeadline), bytesOf("2"));
    gateway.pty(1).send(bytesOf("3"));
    EXPECT_EQ(client.receive(1, kDeadline), bytesOf("3"));
    EXPECT_EQ(process.err(), gone);
    EXPECT_EQ(process.out().find("Verbindung unterbrochen"), std::string::npos);
}

// Boot order does not matter: a channel whose adapter appears only after the start keeps its
// data port, refuses clients with the reason while the device is missing, and serves them
// once it is there.
TEST(GatewayProgram, AComPortThatAppearsAfterTheStartIsServed) {
    StableDevicePath device;
    device.pointAtNothing();
    Gateway gateway(1, "Secured=0\n", "", true, device.path());
    ChildProcess& process = gateway.start("-d");
    const std::string warning = "Warning: Gatway-Server Nr. 1: COMPort <" + device.path() +
                                "> ist nicht verfügbar; er wird geöffnet, sobald das Gerät "
                                "erscheint.\n";
    ASSERT_TRUE(process.waitForOutput(warning, kDeadline)) << process.out() << process.err();
    {
        TcpClient early(gateway.dataPort(1));
        ASSERT_TRUE(early.isConnected()) << "the data port listens";
        EXPECT_TRUE(early.receiveUntilClosed(kDeadline).closed);
    }
    ASSERT_TRUE(process.waitForOutput(
        "Error: Gatway-Server Nr. 1: Verbindung zu Remote-Address = 127.0.0.1 abgelehnt.\n",
        kDeadline, true));
    const std::string unplugged = "Error: Gatway-Server Nr. 1: COMPort <" + device.path() +
                                  "> kann nicht geöffnet werden: No such file or directory\n";
    EXPECT_EQ(process.err(),
              unplugged +
                  "Error: Gatway-Server Nr. 1:  Initialisierung fehlgeschlagen: IP = 127.0.0.1, "
                  "Port=" +
                  std::to_string(gateway.dataPort(1)) + ",COMPort=" + device.path() + "\n" +
                  unplugged +
                  "Error: Gatway-Server Nr. 1: Verbindung zu Remote-Address = 127.0.0.1 "
                  "abgelehnt.\n");

    device.pointAt(gateway.pty(1).slavePath());
    gateway.expectServed(1);
}

// Three users logging in at once each get their reply at once, not one after the other's
// 3 s hold; each may then use its data connection.
TEST(GatewayProgram, ThreeSimultaneousLoginsAreAnsweredTogether) {
    Gateway gateway(1, "Secured=1\nPassword=Pelmar\n");
    ChildProcess& process = gateway.start("-d");
    ASSERT_TRUE(gateway.waitUntilListening()) << process.err();
    std::vector<std::unique_ptr<TcpClient>> logins;
    for (int i = 0; i < 3; ++i) {
        logins.push_back(std::make_unique<TcpClient>(gateway.loginPort()));
        ASSERT_TRUE(logins.back()->send("Pelmar\n"));
    }
    const auto sent = std::chrono::steady_clock::now();
    for (const auto& login : logins) {
        EXPECT_EQ(login->receive(3, kDeadline), bytesOf("+OK"));
    }
    // One after the other, the third would wait for two holds of 3 s.
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 2900ms);
    gateway.expectServed(1);
}

// "Secured=on" is no number: it counts as on, with an Error line naming it.
TEST(GatewayProgram, SecuredOnCountsAsOn) {
    Gateway gateway(1, "Secured=on\nPassword=Pelmar\n");
    ChildProcess& process = gateway.start("-d");
    ASSERT_TRUE(gateway.waitUntilListening()) << process.err();
    EXPECT_EQ(process.err(),
              "Error: Gatway-Security: Der Wert von Secured ist keine Zahl: \"on\"; die "
              "Passphrase-Prüfung ist eingeschaltet.\n");
    {
        TcpClient refused(gateway.dataPort(1));
        EXPECT_TRUE(refused.receiveUntilClosed(kDeadline).closed) << "no login yet";
    }
    TcpClient login(gateway.loginPort());
    ASSERT_TRUE(login.send("Pelmar\n"));
    ASSERT_EQ(login.receive(3, kDeadline), bytesOf("+OK"));
    gateway.expectServed(1);
}

// A second gateway on the same serial port does not share the line: its channel is told the
// port is busy and by which process, and waits; the first one relays on undisturbed.
TEST(GatewayProgram, ASecondGatewayOnTheSamePortIsToldWhoHoldsIt) {
    Gateway first(1, "Secured=0\n");
    ChildProcess& holder = first.start("-d");
    ASSERT_TRUE(first.waitUntilListening()) << holder.err();
    // The port's check at start has closed it again before that line; the channel opens it to
    // hold it just after. A second gateway started in between would get the port.
    ASSERT_TRUE(first.pty(1).waitSlaveOpen(true, kDeadline));
    Gateway second(1, "Secured=0\n", "", true, first.pty(1).slavePath());
    ChildProcess& process = second.start("-d");
    const std::string busy = "Error: Gatway-Server Nr. 1: COMPort <" + first.pty(1).slavePath() +
                             "> kann nicht geöffnet werden: Device or resource busy (belegt von "
                             "Prozess " +
                             std::to_string(holder.pid()) + " qvx_gateway)\n";
    ASSERT_TRUE(process.waitForOutput(busy, kDeadline, true)) << process.err();
    ASSERT_TRUE(process.waitForOutput("ist nicht verfügbar", kDeadline)) << process.out();

    TcpClient client(first.dataPort(1));
    ASSERT_TRUE(first.pty(1).waitSlaveOpen(true, kDeadline));
    ASSERT_TRUE(client.send("x"));
    EXPECT_EQ(first.pty(1).receive(1, kDeadline), bytesOf("x"));
    first.pty(1).send(bytesOf("y"));
    EXPECT_EQ(client.receive(1, kDeadline), bytesOf("y"));
}

// Accepted data and login connections carry the short keep-alive (30 s, 3 probes 10 s apart,
// 60 s user time-out), so a vanished client frees its port within about a minute.
TEST(GatewayProgram, AcceptedSocketsCarryTheStaleSessionKeepAlive) {
    Gateway gateway(1, "Secured=0\n");
    ChildProcess& process = gateway.start("-d");
    ASSERT_TRUE(gateway.waitUntilListening()) << process.err();
    const KeepAliveState expected{true, 30, 10, 3, 60000};
    TcpClient data(gateway.dataPort(1));
    ASSERT_TRUE(process.waitForOutput("Gatway-Server Nr. 1: Verbindung hergestellt", kDeadline));
    EXPECT_EQ(acceptedKeepAlive(data, process.pid()), expected);
    TcpClient login(gateway.loginPort());
    ASSERT_TRUE(process.waitForOutput("Gatway-Security: Verbindung hergestellt", kDeadline));
    EXPECT_EQ(acceptedKeepAlive(login, process.pid()), expected);
}

// --check-config shows every channel and what would not work, and opens nothing: the device
// stays closed, and ports held by others (here: by the running gateway) do not matter.
TEST(GatewayProgram, CheckConfigShowsTheSettingsAndOpensNothing) {
    Gateway gateway(1, "Secured=1\nPassword=Pelmar\n", "BaudRate=19200\nParity=EVENPARITY\n");
    ChildProcess& checked = gateway.run({"--check-config"});
    EXPECT_EQ(checked.exitCode(), 0);
    EXPECT_EQ(checked.err(), "");
    const std::string port = std::to_string(gateway.dataPort(1));
    EXPECT_EQ(checked.out(), "Settings: " + (gateway.folder() / "qvx_gateway.ini").string() +
                                 "\nLogin port: " + std::to_string(gateway.loginPort()) +
                                 " on 127.0.0.1\nSecured: on, Password of 6 bytes\nChannels: 1\n"
                                 "Channel 1: data port " +
                                 port + ", COMPort " + gateway.pty(1).slavePath() + " (" +
                                 gateway.pty(1).slavePath() +
                                 ", present), 19200 bit/s 8E1, IdleTimeout off, Trace off\n"
                                 "The settings are usable.\n");
    EXPECT_FALSE(gateway.pty(1).slaveOpen());

    gateway.writeIni("[Globals]\nBasePortAddress=" + std::to_string(gateway.loginPort()) +
                     "\n[Port1]\nCOMPort=" + gateway.pty(1).slavePath() + "\nByteSize=9\n");
    ChildProcess& refused = gateway.run({"--check-config"});
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_NE(refused.out().find("Problem: channel 1: no serial line runs at 9600 bit/s 9N1\n"),
              std::string::npos)
        << refused.out();

    // The service store is read as it is: a missing one is not created.
    const std::filesystem::path store = gateway.folder() / "registry.ini";
    const ScopedEnvironment environment({{"QVX_GATEWAY_REGISTRY", store.string()}});
    ChildProcess& service = gateway.run({"--check-config", "service"});
    EXPECT_EQ(service.exitCode(), 0) << service.out();
    EXPECT_EQ(service.out().rfind("Settings: " + store.string() + "\nLogin port: 5000 on ", 0), 0U)
        << service.out();
    EXPECT_FALSE(std::filesystem::exists(store));
}

TEST(GatewayProgram, HelpListsEverySwitch) {
    Gateway gateway(0, "", "", false);
    for (const char* option : {"--help", "-h"}) {
        ChildProcess& process = gateway.run({option});
        EXPECT_EQ(process.exitCode(), 0) << option;
        EXPECT_EQ(process.err(), "") << option;
        for (const char* line :
             {"\n  -d ", "\n  -f ", "\n  -i ", "\n  -l ACCOUNT ", "\n  -p PASSWORD ", "\n  -u ",
              "\n  -s ", "\n  -e ", "\n  --check-config [service]\n", "\n  -h, --help ",
              "\n  (no switch) "}) {
            EXPECT_NE(process.out().find(line), std::string::npos) << option << ": " << line;
        }
    }
}

// -f shows nothing on the console; its log lines go to the system log (here the file that
// stands in for it), so that a gateway started by another supervisor is not silent.
TEST(GatewayProgram, FacelessModeLogsToTheSystemLogAndEndsAtTheEndOfTheSession) {
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
        const std::string log = ChildProcess::readFile(gateway.events());
        EXPECT_EQ(
            log.rfind("info: " + gateway.initOk(1).substr(6) + "info: " + kSecurityOk.substr(6), 0),
            0U)
            << log;
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
    const auto line = qvx::gateway::test::probeLine(gateway.pty(1).master());
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

// A COM port whose path is no serial device refuses its line settings: the channel is
// dropped; in console mode the program goes on.
TEST(GatewayProgram, AComPortThatIsNoTerminalDropsItsChannel) {
    // One channel, so that its data port is among the ports found free; its pty goes unused.
    Gateway gateway(1);
    const std::filesystem::path plain = gateway.folder() / "plain-file";
    writeTextFile(plain, "x");
    gateway.writeIni("[Globals]\nBasePortAddress=" + std::to_string(gateway.loginPort()) +
                     "\n[Port1]\nCOMPort=" + plain.string() + "\n");
    ChildProcess& process = gateway.start("-d");
    const std::string prefix = "Error: Gatway-Server Nr. 1: ";
    const std::string refused = prefix + "COMPort <" + plain.string() +
                                "> Konfiguration fehlgeschlagen: Inappropriate ioctl for device\n";
    const std::string expected =
        refused + prefix + " Initialisierung fehlgeschlagen: IP = 127.0.0.1, Port=" +
        std::to_string(gateway.dataPort(1)) + ",COMPort=" + plain.string() + "\n" + refused +
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
        gateway.expectServed(n);
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
        gateway.expectServed(1);
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
