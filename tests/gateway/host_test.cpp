#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gateway/command_line.h"
#include "gateway/gateway_texts.h"
#include "gateway/service_host.h"
#include "gateway/signal_watcher.h"
#include "gateway_test_support.h"
#include "notify_receiver.h"

using namespace std::chrono_literals;
using qvx::gateway::CommandLine;
using qvx::gateway::CServiceHost;
using qvx::gateway::HostEnvironment;
using qvx::gateway::HostOperation;
using qvx::gateway::parseCommandLine;
using qvx::gateway::ServiceState;
using qvx::gateway::SignalWatcher;
using qvx::gateway::test::NotifyReceiver;
using qvx::gateway::test::RecordingEventLog;
using qvx::gateway::test::TempDir;
namespace texts = qvx::gateway::texts;

namespace qvx::gateway {
void PrintTo(const CommandLine& c, std::ostream* out) {
    *out << "{" << static_cast<int>(c.operation) << ", '" << c.account << "', '" << c.password
         << "'}";
}
}  // namespace qvx::gateway

TEST(CommandLine, OnlyTheSecondCharacterOfASwitchCounts) {
    struct Case {
        std::vector<std::string> arguments;
        CommandLine expected;
    };
    const Case cases[] = {
        {{}, {HostOperation::ServiceDispatcher, "", ""}},
        {{"-d"}, {HostOperation::Console, "", ""}},
        {{"-f"}, {HostOperation::FacelessConsole, "", ""}},
        {{"-install"}, {HostOperation::Install, "", ""}},
        {{"-u"}, {HostOperation::Remove, "", ""}},
        {{"-s"}, {HostOperation::StartInstalled, "", ""}},
        {{"-e"}, {HostOperation::StopInstalled, "", ""}},
        // The last of -i, -u, -s, -e wins.
        {{"-i", "-s", "-u"}, {HostOperation::Remove, "", ""}},
        // -d and -f act at once: what follows is not examined.
        {{"-i", "-d", "-u", "-lroot"}, {HostOperation::Console, "", ""}},
        {{"-lroot", "-f", "-psecret"}, {HostOperation::FacelessConsole, "root", ""}},
        // Account and password: the rest of the argument, or the next argument.
        {{"-l", "svc", "-p", "pw", "-i"}, {HostOperation::Install, "svc", "pw"}},
        {{"-lsvc", "-ppw"}, {HostOperation::ServiceDispatcher, "svc", "pw"}},
        {{"-i", "-l"}, {HostOperation::Install, "", ""}},
        // Anything else is ignored, long switches other than the two below included.
        {{"d", "-", "-x", "--", "-D", "--debug"}, {HostOperation::ServiceDispatcher, "", ""}},
        // Help and the settings check act at once too.
        {{"-i", "--help", "-u"}, {HostOperation::Help, "", ""}},
        {{"-hx"}, {HostOperation::Help, "", ""}},
        {{"-lroot", "--check-config", "-d"}, {HostOperation::CheckConfig, "root", ""}},
        {{"-d", "--help"}, {HostOperation::Console, "", ""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseCommandLine(c.arguments), c.expected) << testing::PrintToString(c.arguments);
    }
    // The store --check-config reads: the file, or the service store when the next argument
    // says so.
    using qvx::gateway::ConfigStore;
    const std::vector<std::string> file{"--check-config", "-s"};
    EXPECT_EQ(parseCommandLine(file).checkedStore, ConfigStore::File);
    const std::vector<std::string> service{"--check-config", "service"};
    EXPECT_EQ(parseCommandLine(service).checkedStore, ConfigStore::Service);
    EXPECT_EQ(parseCommandLine(service).operation, HostOperation::CheckConfig);
}

TEST(SignalWatcher, HandsASignalToItsThreadInsteadOfAHandler) {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<int> signals;
    {
        SignalWatcher watcher({SIGUSR2}, [&](int signal) {
            {
                const std::lock_guard lock(mutex);
                signals.push_back(signal);
            }
            arrived.notify_all();
        });
        ASSERT_TRUE(watcher.isWatching());
        ASSERT_EQ(::kill(::getpid(), SIGUSR2), 0);
        std::unique_lock lock(mutex);
        ASSERT_TRUE(arrived.wait_for(lock, 5s, [&] { return !signals.empty(); }));
    }
    EXPECT_EQ(signals, std::vector<int>{SIGUSR2});
    // Still blocked after the watcher is gone: a late signal is not fatal.
    ASSERT_EQ(::kill(::getpid(), SIGUSR2), 0);
    sigset_t pending;
    ASSERT_EQ(::sigpending(&pending), 0);
    EXPECT_EQ(::sigismember(&pending, SIGUSR2), 1);
}

namespace {

/// A host whose operations only record that they were chosen and return a set result.
class ScriptedHost final : public CServiceHost {
public:
    ScriptedHost(RecordingEventLog& log, int result)
        : CServiceHost("qvx_gateway", "TCP/IP-RS2323 Gateway", {}, log), m_result(result) {}

    void Run(std::span<const std::string> /*arguments*/) override { chosen.emplace_back("Run"); }
    void Stop() override {}
    int EnterServiceDispatcher() override { return choose("EnterServiceDispatcher"); }
    int InstallService() override { return choose("InstallService"); }
    int RemoveService() override { return choose("RemoveService"); }
    int StopInstalledService() override { return choose("StopInstalledService"); }
    int StartInstalledService() override { return choose("StartInstalledService"); }
    int RunInConsole(bool faceless) override {
        return choose(faceless ? "RunInConsole(faceless)" : "RunInConsole");
    }
    int ShowHelp() override { return choose("ShowHelp"); }
    int CheckConfiguration(qvx::gateway::ConfigStore store) override {
        return choose(store == qvx::gateway::ConfigStore::Service ? "CheckConfiguration(service)"
                                                                  : "CheckConfiguration");
    }

    std::vector<std::string> chosen;

private:
    int choose(const char* name) {
        chosen.emplace_back(name);
        return m_result;
    }
    const int m_result;
};

/// A service whose Run is a script, to watch the reports around it.
class ScriptedService final : public CServiceHost {
public:
    ScriptedService(HostEnvironment environment, RecordingEventLog& log,
                    std::function<void(ScriptedService&)> run)
        : CServiceHost("qvx_gateway", "TCP/IP-RS2323 Gateway", std::move(environment), log),
          m_run(std::move(run)) {}

    void Run(std::span<const std::string> /*arguments*/) override {
        ++runs;
        m_run(*this);
    }
    void Stop() override { (void)ReportServiceState(ServiceState::StopPending); }
    int CheckConfiguration(qvx::gateway::ConfigStore /*store*/) override { return 1; }

    int runs = 0;

private:
    std::function<void(ScriptedService&)> m_run;
};

HostEnvironment withNotifySocket(const std::string& address) {
    HostEnvironment environment;
    environment.notifySocket = address;
    return environment;
}

}  // namespace

// Each switch reaches its operation, and the operation's result is the exit code.
TEST(HostDispatch, EverySwitchChoosesItsOperationWhoseResultIsTheExitCode) {
    struct Case {
        std::vector<std::string> arguments;
        const char* operation;
    };
    const Case cases[] = {
        {{}, "EnterServiceDispatcher"},
        {{"service-argument"}, "EnterServiceDispatcher"},
        {{"-install"}, "InstallService"},
        {{"-i", "-l", "gateway", "-ppw"}, "InstallService"},
        {{"-u"}, "RemoveService"},
        {{"-s"}, "StartInstalledService"},
        {{"-e"}, "StopInstalledService"},
        {{"-s", "-e"}, "StopInstalledService"},
        {{"-debug"}, "RunInConsole"},
        {{"-f", "-i"}, "RunInConsole(faceless)"},
        {{"-h"}, "ShowHelp"},
        {{"--help"}, "ShowHelp"},
        {{"--check-config"}, "CheckConfiguration"},
        {{"--check-config", "service"}, "CheckConfiguration(service)"},
    };
    for (const int result : {0, 1}) {
        for (const Case& c : cases) {
            RecordingEventLog log;
            ScriptedHost host(log, result);
            std::vector<std::string> arguments{"/usr/local/bin/qvx_gateway"};
            arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
            EXPECT_EQ(host.HandleCommandLine(arguments), result) << c.operation;
            EXPECT_EQ(host.chosen, std::vector<std::string>{c.operation});
            EXPECT_TRUE(log.entries().empty());
        }
    }
    RecordingEventLog log;
    ScriptedHost host(log, 1);
    ASSERT_EQ(host.HandleCommandLine({"qvx_gateway", "-i", "-l", "gateway", "-ppw"}), 1);
    EXPECT_EQ(host.commandLine().account, "gateway");
    EXPECT_EQ(host.commandLine().password, "pw");
}

TEST(HostTexts, FormatsFillEachPlaceholderInTurn) {
    using qvx::gateway::formatText;
    EXPECT_EQ(formatText(texts::kStartCallFailed, {"TCP/IP-RS2323 Gateway", "Job failed"}),
              "\nTCP/IP-RS2323 Gateway failed to start: Job failed\n");
    // Parts are taken as they are: a '%s' inside a part is not filled again.
    EXPECT_EQ(formatText(texts::kCreateFailed, {"50%s done"}),
              "CreateService failed - 50%s done\n");
    EXPECT_EQ(formatText("%s and %s", {"one"}), "one and %s");
}

// Started without the service manager, the hand-over fails: the reason goes to the event log
// as an error, Run never runs and the exit code is 0. A notification socket that cannot be
// used fails the same way, at the first state report at the latest.
TEST(ServiceMode, AHandOverThatFailsIsAnEventLogErrorAndExitCodeZero) {
    const TempDir dir;
    struct Case {
        std::optional<std::string> notifySocket;
        std::string entry;
    };
    const Case cases[] = {
        {std::nullopt, std::string(texts::kNoServiceManager)},
        {"relative/notify", "Address family not supported by protocol"},
        {(dir.path() / "nobody-listens").string(), std::string(texts::kEventStatusFailed)},
    };
    for (const Case& c : cases) {
        RecordingEventLog log;
        HostEnvironment environment;
        environment.notifySocket = c.notifySocket;
        ScriptedService service(environment, log, [](ScriptedService&) {});
        EXPECT_EQ(service.HandleCommandLine({"/usr/local/bin/qvx_gateway"}), 0) << c.entry;
        EXPECT_EQ(service.runs, 0);
        EXPECT_EQ(log.entries(),
                  (std::vector<RecordingEventLog::Entry>{{c.entry, qvx::link::kLogError}}));
    }
}

// systemd hears start pending, READY=1 once running, STOPPING=1 on stop, and never a late
// READY=1 after STOPPING=1 (a stop request that overtakes the start); exit code 1.
TEST(ServiceMode, ReportsEachStateAndNeverReadyAfterStopping) {
    const TempDir dir;
    const NotifyReceiver receiver(dir.path() / "notify");
    RecordingEventLog log;
    ScriptedService service(withNotifySocket(receiver.path().string()), log,
                            [](ScriptedService& self) {
                                EXPECT_TRUE(self.ReportServiceState(ServiceState::Running));
                                self.Stop();
                                EXPECT_TRUE(self.ReportServiceState(ServiceState::Running));
                                EXPECT_TRUE(self.ReportServiceState(ServiceState::StartPending));
                            });
    EXPECT_EQ(service.HandleCommandLine({"/usr/local/bin/qvx_gateway"}), 1);
    EXPECT_TRUE(service.serviceMode());
    std::vector<std::string> messages;
    while (const std::optional<std::string> message = receiver.receive(0ms)) {
        messages.push_back(*message);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "STATUS=TCP/IP-RS2323 Gateway starting",
                            "READY=1\nSTATUS=TCP/IP-RS2323 Gateway running",
                            "STOPPING=1\nSTATUS=TCP/IP-RS2323 Gateway stopping",
                            "STATUS=TCP/IP-RS2323 Gateway stopped",
                        }));
    EXPECT_TRUE(log.entries().empty());
}

// Console mode reports to nobody, even where NOTIFY_SOCKET is set (a -d started from a shell
// of a service): systemd must not take the foreground gateway for its service.
TEST(ServiceMode, ConsoleModeReportsNothingEvenUnderSystemd) {
    const TempDir dir;
    const NotifyReceiver receiver(dir.path() / "notify");
    RecordingEventLog log;
    ScriptedService service(withNotifySocket(receiver.path().string()), log,
                            [](ScriptedService& self) {
                                EXPECT_TRUE(self.ReportServiceState(ServiceState::Running));
                                self.Stop();
                            });
    EXPECT_EQ(service.HandleCommandLine({"/usr/local/bin/qvx_gateway", "-d"}), 1);
    EXPECT_EQ(service.runs, 1);
    EXPECT_FALSE(service.serviceMode());
    EXPECT_EQ(receiver.receive(0ms), std::nullopt);
    EXPECT_TRUE(log.entries().empty());
}
