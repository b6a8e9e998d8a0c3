#include "gateway/systemd_control.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "gateway/program_runner.h"
#include "gateway/systemd_notify.h"
#include "gateway_test_support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using qvx::gateway::failureText;
using qvx::gateway::isUsableAccount;
using qvx::gateway::NotifySocket;
using qvx::gateway::packagedUnitFileText;
using qvx::gateway::ProgramResult;
using qvx::gateway::runProgram;
using qvx::gateway::SystemdControl;
using qvx::gateway::SystemdSettings;
using qvx::gateway::unitExecWord;
using qvx::gateway::unitFileText;
using qvx::gateway::UnitState;
using qvx::gateway::test::TempDir;
using qvx::gateway::test::writeTextFile;

namespace {

constexpr std::string_view kDisplayName = "TCP/IP-RS2323 Gateway";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void makeExecutable(const fs::path& path, const std::string& script) {
    writeTextFile(path, script);
    fs::permissions(path, fs::perms::owner_all);
}

}  // namespace

// The program path must reach systemd exactly: blanks are quoted, specifiers escaped, and what
// systemd does not take as a program name is refused.
TEST(UnitFile, TheProgramPathIsOneExactExecStartWord) {
    EXPECT_EQ(unitExecWord("/usr/local/bin/qvx_gateway"), "/usr/local/bin/qvx_gateway");
    EXPECT_EQ(unitExecWord("/opt/my gateway/qvx_gateway"), "\"/opt/my gateway/qvx_gateway\"");
    EXPECT_EQ(unitExecWord("/opt/100%/gw"), "/opt/100%%/gw");
    EXPECT_EQ(unitExecWord("/opt/Größe/gw"), "/opt/Größe/gw");
    for (const char* refused :
         {"", "qvx_gateway", "./qvx_gateway", "/opt/a\nb/gw", "/opt/\tgw", "/opt/\x7f/gw",
          "/opt/a\\b/gw", "/opt/\"q\"/gw", "/opt/it's/gw", "/opt/$HOME/gw"}) {
        EXPECT_EQ(unitExecWord(refused), std::nullopt) << refused;
    }
}

// systemd-analyze reads the unit as systemd would and checks that ExecStart names an
// executable file: it finds the awkward paths exactly where they are.
TEST(UnitFile, SystemdReadsTheWrittenUnitAndFindsTheProgram) {
    const ProgramResult probe = runProgram({"systemd-analyze", "--version"});
    if (probe.startError == ENOENT) {
        GTEST_SKIP() << "systemd-analyze is not installed";
    }
    const TempDir dir;
    for (const char* folder : {"plain", "with blank", "100% sure", "Größe"}) {
        const fs::path program = dir.path() / folder / "qvx_gateway";
        fs::create_directories(program.parent_path());
        makeExecutable(program, "#!/bin/sh\nexit 0\n");
        const fs::path unit = dir.path() / "qvx_gateway.service";
        writeTextFile(unit, unitFileText(kDisplayName, *unitExecWord(program.string()), "root",
                                         qvx::gateway::kSerialGroup));
        const ProgramResult verified = runProgram({"systemd-analyze", "verify", unit.string()});
        EXPECT_TRUE(verified.succeeded()) << folder << ": " << verified.err;
        EXPECT_EQ(verified.err, "") << folder;
    }
}

// The package's unit is the one -i writes for root, so both run the gateway the same way; only
// its first comment says how it got there. systemd reads it as it reads the written one.
TEST(UnitFile, ThePackagedUnitIsTheInstalledOneUnderItsOwnComment) {
    const std::string installed = unitFileText(kDisplayName, "/usr/bin/qvx_gateway", "");
    const std::string packaged = packagedUnitFileText(kDisplayName, "/usr/bin/qvx_gateway");
    const std::string body = installed.substr(installed.find("\n[Unit]\n") + 1);
    ASSERT_TRUE(packaged.ends_with(body)) << packaged;
    const std::string header = packaged.substr(0, packaged.size() - body.size());
    EXPECT_NE(header.find("systemctl enable --now"), std::string::npos) << header;
    std::istringstream lines(header);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line.starts_with("# ")) << line;
    }

    const ProgramResult probe = runProgram({"systemd-analyze", "--version"});
    if (probe.startError == ENOENT) {
        GTEST_SKIP() << "systemd-analyze is not installed";
    }
    const TempDir dir;
    const fs::path program = dir.path() / "qvx_gateway";
    makeExecutable(program, "#!/bin/sh\nexit 0\n");
    const fs::path unit = dir.path() / "qvx_gateway.service";
    writeTextFile(unit, packagedUnitFileText(kDisplayName, *unitExecWord(program.string())));
    const ProgramResult verified = runProgram({"systemd-analyze", "verify", unit.string()});
    EXPECT_TRUE(verified.succeeded()) << verified.err;
    EXPECT_EQ(verified.err, "");
}

// An account becomes a User= line: it must name an account here and must not be able to add
// lines of its own to the unit.
TEST(UnitFile, OnlyExistingPlainAccountsAreUsable) {
    EXPECT_TRUE(isUsableAccount("root"));
    EXPECT_TRUE(isUsableAccount("0"));
    EXPECT_TRUE(isUsableAccount("4711"));  // a bare user id needs no entry
    for (const char* refused :
         {"", "qvx_no_such_account", "-root", "ro ot", "root\nExecStartPre=/bin/sh", "root;",
          "DOMAIN\\root", "abcdefghijklmnopqrstuvwxyz0123456"}) {
        EXPECT_FALSE(isUsableAccount(refused)) << refused;
    }
}

TEST(UnitFileWrite, CreatesReadableUnitsOnceAndLeavesNothingHalfDone) {
    const TempDir dir;
    SystemdSettings settings;
    settings.unitDirectory = dir.path();
    const SystemdControl control(settings, "qvx_gateway");
    EXPECT_EQ(control.unitFile(), dir.path() / "qvx_gateway.service");
    int error = -1;
    EXPECT_FALSE(control.unitFileExists(error));
    EXPECT_EQ(error, ENOENT);

    const mode_t previous = ::umask(077);
    const bool created = control.createUnitFile("first\n", error);
    ::umask(previous);
    ASSERT_TRUE(created) << error;
    EXPECT_TRUE(control.unitFileExists(error));
    EXPECT_EQ(fs::status(control.unitFile()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);

    EXPECT_FALSE(control.createUnitFile("second\n", error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(readFile(control.unitFile()), "first\n");
    // No temporary file stays behind, either way.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    ASSERT_TRUE(control.removeUnitFile(error));
    EXPECT_FALSE(control.removeUnitFile(error));
    EXPECT_EQ(error, ENOENT);

    settings.unitDirectory = dir.path() / "missing";
    EXPECT_FALSE(SystemdControl(settings, "qvx_gateway").createUnitFile("x", error));
    EXPECT_EQ(error, ENOENT);
}

// A unit that stays pending is given up on after the poll limit instead of being watched
// for ever; each poll that still finds it pending is reported.
TEST(UnitPolling, StopsWaitingAtThePollLimit) {
    const TempDir dir;
    SystemdSettings settings;
    settings.systemctl = (dir.path() / "systemctl").string();
    settings.pollInterval = 1ms;
    settings.maxPolls = 4;
    makeExecutable(settings.systemctl,
                   "#!/bin/sh\necho \"$*\" >> \"$(dirname \"$0\")/calls\"\necho activating\n"
                   "exit 3\n");
    const SystemdControl control(settings, "qvx_gateway");
    int pending = 0;
    EXPECT_EQ(control.waitWhile(UnitState::StartPending, [&] { ++pending; }),
              UnitState::StartPending);
    EXPECT_EQ(pending, 4);
    std::string expected;
    for (int i = 0; i < 4; ++i) {
        expected += "is-active qvx_gateway.service\n";
    }
    EXPECT_EQ(readFile(dir.path() / "calls"), expected);
    // A state that has moved on ends the wait at once.
    EXPECT_EQ(control.waitWhile(UnitState::StopPending, [&] { ++pending; }),
              UnitState::StartPending);
    EXPECT_EQ(pending, 4);
}

TEST(ProgramRunner, CollectsBothStreamsAndTheExitCode) {
    // Much more than a pipe holds, on both streams at once.
    const ProgramResult result =
        runProgram({"sh", "-c", "head -c 300000 /dev/zero; head -c 200000 /dev/zero >&2; exit 7"});
    EXPECT_EQ(result.startError, 0);
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_EQ(result.out.size(), 300000U);
    EXPECT_EQ(result.err.size(), 200000U);
    EXPECT_FALSE(result.succeeded());

    const ProgramResult missing = runProgram({"/nonexistent/qvx-systemctl"});
    EXPECT_EQ(missing.startError, ENOENT);
    EXPECT_EQ(failureText(missing), "No such file or directory");
}

// The gateway blocks the signals it reads on its watcher thread; a program it starts must
// not inherit that, or it could not be stopped.
TEST(ProgramRunner, TheProgramStartsWithNoSignalsBlocked) {
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    sigset_t previous;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &block, &previous), 0);
    const ProgramResult result = runProgram({"grep", "^SigBlk", "/proc/self/status"});
    ASSERT_EQ(::pthread_sigmask(SIG_SETMASK, &previous, nullptr), 0);
    EXPECT_EQ(result.out, "SigBlk:\t0000000000000000\n");
}

TEST(ProgramRunner, TheFailureTextIsWhatTheProgramSaidOnOneLine) {
    ProgramResult result;
    result.exitCode = 1;
    result.err =
        "System has not been booted with systemd as init system (PID 1). Can't operate.\n"
        "Failed to connect to bus: Host is down\n";
    EXPECT_EQ(failureText(result),
              "System has not been booted with systemd as init system (PID 1). Can't operate. "
              "Failed to connect to bus: Host is down");
    result.err = " \n\t";
    EXPECT_EQ(failureText(result), "exit code 1");
    result.exitCode = -1;
    EXPECT_EQ(failureText(result), "ended by a signal");
}

TEST(NotifySocket, RefusesAddressesThatNameNoUnixSocket) {
    for (const std::string& address : {std::string(), std::string("relative/notify"),
                                       std::string("@"), "/" + std::string(120, 'x')}) {
        int error = 0;
        EXPECT_FALSE(NotifySocket::connect(address, error)) << address;
        EXPECT_NE(error, 0) << address;
    }
}

// "@name" is the abstract namespace: no file, the name's bytes without a terminator.
TEST(NotifySocket, ReachesAnAbstractSocket) {
    const std::string name = "qvx-notify-test-" + std::to_string(::getpid());
    const int receiver = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(receiver, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    ASSERT_EQ(::bind(receiver, reinterpret_cast<sockaddr*>(&address),
                     static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())),
              0);
    int error = 0;
    const std::optional<NotifySocket> socket = NotifySocket::connect("@" + name, error);
    ASSERT_TRUE(socket);
    ASSERT_TRUE(socket->send("READY=1"));
    char buffer[64] = {};
    EXPECT_EQ(::recv(receiver, buffer, sizeof buffer, MSG_DONTWAIT), 7);
    EXPECT_STREQ(buffer, "READY=1");
    ::close(receiver);
}
