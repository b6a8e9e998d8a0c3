// The built qvx_gateway installing, removing, starting and stopping its systemd service, and
// running as that service. A temporary folder stands in for the unit folder, a script for
// systemctl (it records its calls and answers state queries from a list), a datagram socket
// for systemd's notification socket and a file for the system log.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "scoped_environment.h"
#include "tests/gateway/gateway_test_support.h"
#include "tests/gateway/notify_receiver.h"
#include "tests/gateway/pty_pair.h"
#include "tests/gateway/tcp_test_client.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using qvx::gateway::test::bytesOf;
using qvx::gateway::test::freePortRange;
using qvx::gateway::test::NotifyReceiver;
using qvx::gateway::test::Pty;
using qvx::gateway::test::TcpClient;
using qvx::gateway::test::TempDir;
using qvx::gateway::test::writeTextFile;
using qvx::test::ChildProcess;
using qvx::test::ScopedEnvironment;

namespace {

// Polling the unit's state takes a second per query.
constexpr auto kExitDeadline = 20s;
constexpr auto kDeadline = 5s;
const std::string kName = "TCP/IP-RS2323 Gateway";

const char* const kSystemctlStandIn = R"SH(#!/bin/sh
# systemctl for the tests: records every call, answers is-active from the file states (one
# line per query, the last line kept), and fails a verb whose file fail-VERB exists, with
# that file's text on standard error.
here=$(dirname "$0")
echo "$*" >> "$here/calls"
verb=
for argument in "$@"; do
    case "$argument" in
        -*) ;;
        *) verb=$argument; break ;;
    esac
done
if [ -f "$here/fail-$verb" ]; then
    cat "$here/fail-$verb" >&2
    exit 1
fi
case "$verb" in
    show) echo 252 ;;
    is-active)
        state=$(head -n 1 "$here/states")
        if [ "$(wc -l < "$here/states")" -gt 1 ]; then sed -i 1d "$here/states"; fi
        echo "$state"
        [ "$state" = active ] || exit 3 ;;
esac
exit 0
)SH";

/// A unit folder, the systemctl stand-in and an event log file in a folder of their own.
class ServiceFolder {
public:
    ServiceFolder() {
        fs::create_directory(units());
        writeTextFile(systemctl(), kSystemctlStandIn);
        fs::permissions(systemctl(), fs::perms::owner_all);
        setStates("inactive\n");
    }

    [[nodiscard]] fs::path units() const { return m_dir.path() / "units"; }
    [[nodiscard]] fs::path unit() const { return units() / "qvx_gateway.service"; }
    [[nodiscard]] fs::path systemctl() const { return m_dir.path() / "systemctl"; }
    [[nodiscard]] fs::path events() const { return m_dir.path() / "events"; }
    [[nodiscard]] const fs::path& path() const { return m_dir.path(); }

    /// The answers of the next state queries, one line each.
    void setStates(const std::string& lines) const {
        writeTextFile(m_dir.path() / "states", lines);
    }
    /// Makes systemctl fail `verb` with `text` on standard error.
    void failVerb(const std::string& verb, const std::string& text) const {
        writeTextFile(m_dir.path() / ("fail-" + verb), text);
    }
    [[nodiscard]] std::string calls() const {
        return ChildProcess::readFile(m_dir.path() / "calls");
    }
    [[nodiscard]] std::string eventLog() const { return ChildProcess::readFile(events()); }

    struct Outcome {
        std::optional<int> exitCode;
        std::string out;
        std::string err;
    };

    /// Runs the gateway with `switches` to its end, with this folder's unit folder, systemctl
    /// and event log and without a notification socket.
    Outcome run(const std::vector<std::string>& switches) const {
        const ScopedEnvironment environment({{"QVX_GATEWAY_UNIT_DIR", units().string()},
                                             {"QVX_GATEWAY_SYSTEMCTL", systemctl().string()},
                                             {"QVX_GATEWAY_EVENT_LOG_FILE", events().string()},
                                             {"NOTIFY_SOCKET", std::nullopt}});
        std::vector<std::string> arguments{QVX_GATEWAY_PROGRAM};
        arguments.insert(arguments.end(), switches.begin(), switches.end());
        ChildProcess process(arguments, m_dir.path() / "out.txt", m_dir.path() / "err.txt");
        EXPECT_TRUE(process.waitForExit(kExitDeadline));
        return {process.exitCode(), process.out(), process.err()};
    }

    /// The unit -i writes for the built program, as the shipped one is for /usr/local/bin.
    [[nodiscard]] static std::string expectedUnit(const std::string& userLine = "") {
        std::string text =
            ChildProcess::readFile(fs::path(QVX_SOURCE_DIR) / "contrib" / "qvx_gateway.service");
        const std::string shipped = "ExecStart=/usr/local/bin/qvx_gateway\n";
        text.replace(text.find(shipped), shipped.size(),
                     "ExecStart=" + fs::canonical(QVX_GATEWAY_PROGRAM).string() + "\n");
        const std::string install = "\n[Install]";
        text.insert(text.find(install), userLine);
        return text;
    }

private:
    TempDir m_dir;
};

std::string lines(std::initializer_list<std::string> each) {
    std::string text;
    for (const std::string& line : each) {
        text += line + "\n";
    }
    return text;
}

const std::string kShow = "show --property=Version --value";
const std::string kIsActive = "is-active qvx_gateway.service";

}  // namespace

// -i writes the unit and enables it once; a second -i finds it and fails with the create
// failure, leaving it as it was.
TEST(ServiceInstall, WritesAndEnablesTheUnitOnce) {
    const ServiceFolder folder;
    const ServiceFolder::Outcome installed = folder.run({"-i"});
    EXPECT_EQ(installed.exitCode, 1);
    EXPECT_EQ(installed.out, kName + " installed.\n");
    EXPECT_EQ(installed.err, "");
    EXPECT_EQ(ChildProcess::readFile(folder.unit()), ServiceFolder::expectedUnit());
    EXPECT_EQ(fs::status(folder.unit()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(folder.calls(), lines({kShow, "daemon-reload", "enable qvx_gateway.service"}));
    EXPECT_EQ(folder.eventLog(), "info: Service installed\n");

    const ServiceFolder::Outcome again = folder.run({"-install"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, "CreateService failed - File exists\n");
    EXPECT_EQ(ChildProcess::readFile(folder.unit()), ServiceFolder::expectedUnit());
    EXPECT_EQ(folder.calls(), lines({kShow, "daemon-reload", "enable qvx_gateway.service", kShow}));
    EXPECT_EQ(folder.eventLog(), "info: Service installed\n");
}

// systemd itself accepts the unit -i writes, with and without an account.
TEST(ServiceInstall, SystemdAcceptsTheWrittenUnit) {
    if (::system("systemd-analyze --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "systemd-analyze is not installed";
    }
    for (const std::vector<std::string>& switches :
         {std::vector<std::string>{"-i"}, std::vector<std::string>{"-i", "-l", "root"}}) {
        const ServiceFolder folder;
        ASSERT_EQ(folder.run(switches).exitCode, 1);
        const std::string command = "systemd-analyze verify '" + folder.unit().string() + "' >'" +
                                    (folder.path() / "verify.txt").string() + "' 2>&1";
        EXPECT_EQ(::system(command.c_str()), 0)
            << ChildProcess::readFile(folder.path() / "verify.txt");
    }
}

// -l becomes User= with the serial group; a password has nothing to go to and is refused before
// anything happens; an account that does not exist, or one that would add lines to the unit, is
// refused; an enable that fails leaves no unit behind.
TEST(ServiceInstall, AccountsPasswordsAndFailuresOfTheEnable) {
    {
        const ServiceFolder folder;
        const ServiceFolder::Outcome outcome = folder.run({"-i", "-lroot"});
        EXPECT_EQ(outcome.exitCode, 1);
        // The account gets the group of the serial devices, where this machine has it.
        const std::string group =
            ::getgrnam("dialout") != nullptr ? "SupplementaryGroups=dialout\n" : "";
        EXPECT_EQ(ChildProcess::readFile(folder.unit()),
                  ServiceFolder::expectedUnit("User=root\n" + group));
    }
    struct Refusal {
        std::vector<std::string> switches;
        std::string out;
        std::string calls;
    };
    const Refusal refusals[] = {
        {{"-i", "-l", "root", "-p", "secret"},
         kName + " not installed: a password (-p) has no meaning for a systemd service; give the "
                 "account with -l only.\n",
         ""},
        {{"-i", "-l", "qvx_no_such_account"},
         "CreateService failed - The account name is invalid or does not exist\n",
         kShow + "\n"},
        {{"-i", "-l", "root\nExecStartPre=/bin/sh"},
         "CreateService failed - The account name is invalid or does not exist\n",
         kShow + "\n"},
    };
    for (const Refusal& refusal : refusals) {
        const ServiceFolder folder;
        const ServiceFolder::Outcome outcome = folder.run(refusal.switches);
        EXPECT_EQ(outcome.exitCode, 0) << refusal.out;
        EXPECT_EQ(outcome.out, refusal.out);
        EXPECT_FALSE(fs::exists(folder.unit())) << refusal.out;
        EXPECT_EQ(folder.calls(), refusal.calls);
        EXPECT_EQ(folder.eventLog(), "");
    }

    const ServiceFolder folder;
    folder.failVerb("enable", "Failed to enable unit: Access denied\n");
    const ServiceFolder::Outcome outcome = folder.run({"-i"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, "CreateService failed - Failed to enable unit: Access denied\n");
    EXPECT_FALSE(fs::exists(folder.unit()));
    EXPECT_EQ(folder.calls(),
              lines({kShow, "daemon-reload", "enable qvx_gateway.service", "daemon-reload"}));
    // Only a hidden temporary file could be left: there is none.
    EXPECT_TRUE(fs::is_empty(folder.units()));
}

namespace {

struct ControlCase {
    const char* name;
    std::vector<std::string> switches;
    bool installed;      // the unit file is there
    std::string states;  // answers of the state queries
    std::string failVerb;
    std::string failText;
    int exitCode;
    std::string out;
    std::string eventLog;
    std::string calls;
    bool installedAfter;
};

void PrintTo(const ControlCase& c, std::ostream* out) {
    *out << c.name;
}

class ServiceControl : public testing::TestWithParam<ControlCase> {};

const std::string kStart = "--no-block start qvx_gateway.service";
const std::string kStop = "--no-block stop qvx_gateway.service";
const std::string kNotBooted =
    "System has not been booted with systemd as init system (PID 1). Can't operate.\n"
    "Failed to connect to bus: Host is down\n";
const std::string kOpenManagerFailed =
    "OpenSCManager failed - System has not been booted with systemd as init system (PID 1). "
    "Can't operate. Failed to connect to bus: Host is down\n";
const std::string kOpenServiceFailed = "OpenService failed - No such file or directory\n";

}  // namespace

TEST_P(ServiceControl, PrintsTheProgressAndEndsWithTheResult) {
    const ControlCase& c = GetParam();
    const ServiceFolder folder;
    if (c.installed) {
        writeTextFile(folder.unit(), ServiceFolder::expectedUnit());
    }
    folder.setStates(c.states);
    if (!c.failVerb.empty()) {
        folder.failVerb(c.failVerb, c.failText);
    }
    const ServiceFolder::Outcome outcome = folder.run(c.switches);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(folder.eventLog(), c.eventLog);
    EXPECT_EQ(folder.calls(), c.calls);
    EXPECT_EQ(fs::exists(folder.unit()), c.installedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceControl,
    testing::Values(
        ControlCase{"StartWaitsWhileActivating",
                    {"-s"},
                    true,
                    "activating\nactive\n",
                    "",
                    "",
                    1,
                    "Starting up " + kName + "..\n" + kName + " started.\n",
                    "info: Service gestartet\n",
                    lines({kShow, kStart, kIsActive, kIsActive}),
                    true},
        ControlCase{"StartThatFailsWhileActivating",
                    {"-s"},
                    true,
                    "activating\nfailed\n",
                    "",
                    "",
                    0,
                    "Starting up " + kName + "..\n" + kName + " failed to start.\n",
                    "error: Service konnte nicht gestartet werden.\n",
                    lines({kShow, kStart, kIsActive, kIsActive}),
                    true},
        ControlCase{"StartRequestRefused",
                    {"-s"},
                    true,
                    "inactive\n",
                    "start",
                    "Job for qvx_gateway.service failed.\nSee the journal.\n",
                    0,
                    "Starting up " + kName + ".\n" + kName +
                        " failed to start: Job for qvx_gateway.service failed. See the journal.\n",
                    "error: Service konnte nicht gestartet werden.\n",
                    lines({kShow, kStart}),
                    true},
        ControlCase{"StopWaitsWhileDeactivating",
                    {"-e"},
                    true,
                    "deactivating\ninactive\n",
                    "",
                    "",
                    1,
                    "Stopping " + kName + "..\n" + kName + " stopped.\n",
                    "info: Service beendet\n",
                    lines({kShow, kStop, kIsActive, kIsActive}),
                    true},
        ControlCase{"StopThatDoesNotEnd",
                    {"-e"},
                    true,
                    "deactivating\nactive\n",
                    "",
                    "",
                    0,
                    "Stopping " + kName + "..\n" + kName + " failed to stop.\n",
                    "error: Service konnte nicht beendet werden.\n",
                    lines({kShow, kStop, kIsActive, kIsActive}),
                    true},
        ControlCase{"RemoveStopsARunningServiceFirst",
                    {"-u"},
                    true,
                    "active\ndeactivating\ninactive\n",
                    "",
                    "",
                    1,
                    "Stopping " + kName + "..\n" + kName + " stopped.\n" + kName + " removed.\n",
                    "",
                    lines({kShow, kIsActive, kStop, kIsActive, kIsActive,
                           "disable qvx_gateway.service", "daemon-reload"}),
                    false},
        ControlCase{"RemoveAStoppedService",
                    {"-u"},
                    true,
                    "failed\n",
                    "",
                    "",
                    1,
                    kName + " removed.\n",
                    "",
                    lines({kShow, kIsActive, "disable qvx_gateway.service", "daemon-reload"}),
                    false},
        ControlCase{"RemoveThatCannotDisable",
                    {"-u"},
                    true,
                    "inactive\n",
                    "disable",
                    "Failed to disable unit: Access denied\n",
                    0,
                    "DeleteService failed - Failed to disable unit: Access denied\n",
                    "",
                    lines({kShow, kIsActive, "disable qvx_gateway.service"}),
                    true},
        ControlCase{"RemoveNotInstalled",
                    {"-u"},
                    false,
                    "inactive\n",
                    "",
                    "",
                    0,
                    kOpenServiceFailed,
                    "",
                    lines({kShow}),
                    false},
        ControlCase{"StartNotInstalled",
                    {"-s"},
                    false,
                    "inactive\n",
                    "",
                    "",
                    0,
                    kOpenServiceFailed,
                    "error: Service konnte nicht gestartet werden.\n",
                    lines({kShow}),
                    false},
        ControlCase{"InstallWithoutSystemd",
                    {"-i"},
                    false,
                    "inactive\n",
                    "show",
                    kNotBooted,
                    0,
                    kOpenManagerFailed,
                    "",
                    lines({kShow}),
                    false},
        ControlCase{"StopWithoutSystemd",
                    {"-e"},
                    true,
                    "inactive\n",
                    "show",
                    kNotBooted,
                    0,
                    kOpenManagerFailed,
                    "error: Service konnte nicht beendet werden.\n",
                    lines({kShow}),
                    true}),
    [](const testing::TestParamInfo<ControlCase>& row) { return std::string(row.param.name); });

namespace {

/// The gateway started the way systemd starts its service: no switches, NOTIFY_SOCKET set,
/// the settings in a store of the test's own.
class ServiceRun {
public:
    explicit ServiceRun(const std::string& store) : m_receiver(m_dir.path() / "notify") {
        writeTextFile(this->store(), store);
        const ScopedEnvironment environment(
            {{"NOTIFY_SOCKET", m_receiver.path().string()},
             {"QVX_GATEWAY_REGISTRY", this->store().string()},
             {"QVX_GATEWAY_EVENT_LOG_FILE", (m_dir.path() / "events").string()}});
        m_process =
            std::make_unique<ChildProcess>(std::vector<std::string>{QVX_GATEWAY_PROGRAM},
                                           m_dir.path() / "out.txt", m_dir.path() / "err.txt");
    }

    [[nodiscard]] ChildProcess& process() { return *m_process; }
    [[nodiscard]] const NotifyReceiver& notify() const { return m_receiver; }
    [[nodiscard]] fs::path store() const { return m_dir.path() / "registry.ini"; }
    [[nodiscard]] std::string eventLog() const {
        return ChildProcess::readFile(m_dir.path() / "events");
    }

private:
    TempDir m_dir;
    NotifyReceiver m_receiver;
    std::unique_ptr<ChildProcess> m_process;  // ended before the socket and the folder go
};

}  // namespace

// Under systemd the gateway reads the service store, writing back every default it missed,
// reports READY=1 once it serves, relays, and on SIGTERM reports STOPPING=1 and ends with exit
// code 1. It has no console: its lines go to the event log.
TEST(ServiceRun, ServesUntilTheServiceManagerStopsIt) {
    const std::uint16_t base = freePortRange(1);
    Pty pty;
    ServiceRun run("[Parameters]\nTCPPortBase=" + std::to_string(base) +
                   "\n[Parameters\\Gateway1]\nCOMPort=" + pty.slavePath() + "\n");
    std::string seen;
    ASSERT_TRUE(run.notify().receiveUntil("READY=1", kDeadline, &seen)) << seen;
    EXPECT_EQ(seen,
              "STATUS=TCP/IP-RS2323 Gateway starting|STATUS=TCP/IP-RS2323 Gateway starting|"
              "READY=1\nSTATUS=TCP/IP-RS2323 Gateway running|");

    TcpClient client(static_cast<std::uint16_t>(base + 1));
    ASSERT_TRUE(pty.waitSlaveOpen(true, kDeadline));
    ASSERT_TRUE(client.send("x"));
    EXPECT_EQ(pty.receive(1, kDeadline), bytesOf("x"));

    ASSERT_TRUE(run.process().signal(SIGTERM));
    EXPECT_EQ(run.notify().receive(kDeadline), "STOPPING=1\nSTATUS=TCP/IP-RS2323 Gateway stopping");
    ASSERT_TRUE(run.process().waitForExit(kDeadline));
    EXPECT_EQ(run.process().exitCode(), 1);
    EXPECT_TRUE(client.receiveUntilClosed(kDeadline).closed);
    EXPECT_EQ(run.process().out(), "");
    EXPECT_EQ(run.process().err(), "");

    const std::string dataPort = std::to_string(base + 1);
    EXPECT_EQ(run.eventLog(),
              "info: Gatway-Server Nr. 1:  Initialisierung OK: IP = 127.0.0.1, Port=" + dataPort +
                  ",COMPort=" + pty.slavePath() +
                  "\ninfo: Gatway-Security:  Initialisierung Security OK: IP = 127.0.0.1\n"
                  "info: Gatway-Server Nr. 1: Verbindung hergestellt mit Remote-Address = "
                  "127.0.0.1\n");
    EXPECT_EQ(ChildProcess::readFile(run.store()),
              "[Parameters]\nTCPPortBase=" + std::to_string(base) +
                  "\nSecured=0\nIPAddress=127.0.0.1\nPassword=Pelmar\nGatewayMax=1\n"
                  "[Parameters\\Gateway1]\nCOMPort=" +
                  pty.slavePath() + "\nBaudRate=9600\nByteSize=8\nParity=0\nStopBits=0\n");
}

// Boot order does not matter in service mode either: with its adapter missing at start the
// service runs on, keeps the data port, and opens the device once it appears.
TEST(ServiceRun, AMissingDeviceKeepsTheServiceRunningAndIsOpenedWhenItAppears) {
    const std::uint16_t base = freePortRange(1);
    Pty pty;
    const TempDir links;
    const fs::path device = links.path() / "serial-by-id";
    ServiceRun run("[Parameters]\nTCPPortBase=" + std::to_string(base) +
                   "\n[Parameters\\Gateway1]\nCOMPort=" + device.string() + "\n");
    std::string seen;
    ASSERT_TRUE(run.notify().receiveUntil("READY=1", kDeadline, &seen)) << seen;
    EXPECT_EQ(run.notify().receive(2500ms), std::nullopt) << "no stop of its own";
    EXPECT_TRUE(run.process().running());

    fs::create_symlink(pty.slavePath(), device);
    ASSERT_TRUE(pty.waitSlaveOpen(true, kDeadline));
    TcpClient client(static_cast<std::uint16_t>(base + 1));
    ASSERT_TRUE(client.send("x"));
    EXPECT_EQ(pty.receive(1, kDeadline), bytesOf("x"));

    ASSERT_TRUE(run.process().signal(SIGTERM));
    ASSERT_TRUE(run.process().waitForExit(kDeadline));
    EXPECT_EQ(run.process().exitCode(), 1);
    const std::string log = run.eventLog();
    EXPECT_NE(log.find("warning: Gatway-Server Nr. 1: COMPort <" + device.string() +
                       "> ist nicht verfügbar; er wird geöffnet, sobald das Gerät erscheint.\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("info: Gatway-Server Nr. 1: COMPort <" + device.string() +
                       "> ist wieder verfügbar.\n"),
              std::string::npos)
        << log;
}

// Started by hand without switches, the hand-over to the service manager fails: the reason
// goes to the event log, a hint to standard error, and the exit code is 0.
TEST(ServiceRun, WithoutTheServiceManagerTheHandOverFails) {
    const ServiceFolder folder;
    const ServiceFolder::Outcome outcome = folder.run({});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err,
              "qvx_gateway: The service process could not connect to the service manager: "
              "NOTIFY_SOCKET is not set; -d or -f runs the gateway in the foreground\n");
    EXPECT_EQ(folder.eventLog(),
              "error: The service process could not connect to the service manager: "
              "NOTIFY_SOCKET is not set\n");
    EXPECT_EQ(folder.calls(), "");
}
