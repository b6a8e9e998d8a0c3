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
#include "gateway/signal_watcher.h"

using namespace std::chrono_literals;
using qvx::gateway::CommandLine;
using qvx::gateway::HostOperation;
using qvx::gateway::parseCommandLine;
using qvx::gateway::SignalWatcher;

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
        // Anything else is ignored.
        {{"d", "-", "-x", "--", "-D"}, {HostOperation::ServiceDispatcher, "", ""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseCommandLine(c.arguments), c.expected) << testing::PrintToString(c.arguments);
    }
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
