#include "gateway/gateway_service.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "gateway_test_support.h"
#include "notify_receiver.h"
#include "tcp_test_client.h"

using namespace std::chrono_literals;
using qvx::gateway::CGatewayService;
using qvx::gateway::HostEnvironment;
using qvx::gateway::writeGatewayLog;
using qvx::gateway::test::freePortRange;
using qvx::gateway::test::NotifyReceiver;
using qvx::gateway::test::RecordingEventLog;
using qvx::gateway::test::RecordingSink;
using qvx::gateway::test::TempDir;
using qvx::gateway::test::writeTextFile;
using qvx::link::kLogDebug;
using qvx::link::kLogError;
using qvx::link::kLogInfo;
using qvx::link::kLogWarning;
using Entry = qvx::gateway::test::RecordingEventLog::Entry;

// The event log takes what the console shows of errors, warnings and information; Debug and
// whatever the mask holds back stay out of it.
TEST(GatewayLog, CopiesWhatPassesTheMaskExceptDebugToTheEventLog) {
    qvx::link::DiagnosticLog log;
    RecordingSink sink;
    log.setSink(sink);
    RecordingEventLog events;
    const auto writeAll = [&] {
        writeGatewayLog(log, &events, "E", kLogError);
        writeGatewayLog(log, &events, "W", kLogWarning);
        writeGatewayLog(log, &events, "I", kLogInfo);
        writeGatewayLog(log, &events, "D", kLogDebug);
        writeGatewayLog(log, &events, "two bits", kLogError | kLogInfo);
    };
    writeAll();
    EXPECT_EQ(events.entries(),
              (std::vector<Entry>{{"E", kLogError}, {"W", kLogWarning}, {"I", kLogInfo}}));
    EXPECT_EQ(sink.lines(), (std::vector<std::string>{"Error: E", "Warning: W", "Info: I"}));

    RecordingEventLog debugShown;
    log.setMask(kLogError | kLogWarning | kLogInfo | kLogDebug);
    writeGatewayLog(log, &debugShown, "D", kLogDebug);
    EXPECT_TRUE(debugShown.entries().empty());

    RecordingEventLog errorsOnly;
    log.setMask(kLogError);
    writeGatewayLog(log, &errorsOnly, "W", kLogWarning);
    writeGatewayLog(log, &errorsOnly, "E", kLogError);
    EXPECT_EQ(errorsOnly.entries(), (std::vector<Entry>{{"E", kLogError}}));
}

// Under systemd with no channel that can run (its data port is held by another program): the
// service reaches running, stops itself about 2 s later and ends with exit code 2, which the
// unit counts as a failure and restarts; its event log holds the channel's errors (settings
// from the service store). A missing device alone does not stop it: that channel waits.
TEST(GatewayService, WithoutARunningChannelTheServiceStopsItselfAfterTwoSecondsAsAFailure) {
    const TempDir dir;
    const NotifyReceiver receiver(dir.path() / "notify");
    const std::uint16_t base = freePortRange(1);
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(base + 1));
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    const std::string missing = (dir.path() / "missing-port").string();
    writeTextFile(dir.path() / "registry.ini", "[Parameters]\nTCPPortBase=" + std::to_string(base) +
                                                   "\n[Parameters\\Gateway1]\nCOMPort=" + missing +
                                                   "\n");
    HostEnvironment environment;
    environment.notifySocket = receiver.path().string();
    environment.registryFile = dir.path() / "registry.ini";
    RecordingEventLog events;
    CGatewayService service(environment, events);

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(service.HandleCommandLine({"/usr/local/bin/qvx_gateway"}),
              CGatewayService::kExitNothingToServe);
    const auto ran = std::chrono::steady_clock::now() - started;
    EXPECT_GE(ran, CGatewayService::kIdleServiceStop);
    EXPECT_LT(ran, CGatewayService::kIdleServiceStop + 3s);
    ::close(holder);

    std::vector<std::string> messages;
    while (const std::optional<std::string> message = receiver.receive(0ms)) {
        messages.push_back(*message);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "STATUS=TCP/IP-RS2323 Gateway starting",
                            "STATUS=TCP/IP-RS2323 Gateway starting",
                            "READY=1\nSTATUS=TCP/IP-RS2323 Gateway running",
                            "STOPPING=1\nSTATUS=TCP/IP-RS2323 Gateway stopping",
                            "STATUS=TCP/IP-RS2323 Gateway stopped",
                        }));

    const std::string channel = "Gatway-Server Nr. 1: ";
    const std::string port = std::to_string(base + 1);
    EXPECT_EQ(events.entries(),
              (std::vector<Entry>{
                  {channel + "TCP-Port " + port +
                       " auf IP = 127.0.0.1 kann nicht geöffnet werden: Address already in use",
                   kLogError},
                  {channel + "COMPort <" + missing +
                       "> kann nicht geöffnet werden: No such file or directory",
                   kLogError},
                  {channel + " Initialisierung fehlgeschlagen: IP = 127.0.0.1, Port=" + port +
                       ",COMPort=" + missing,
                   kLogError},
                  {"Gatway-Security:  Initialisierung Security OK: IP = 127.0.0.1", kLogInfo},
                  {channel + "Gateway konnte nicht gestartet werden.", kLogError},
              }));
}
