#include "gateway/gateway_service.h"

#include <gtest/gtest.h>

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

// Under systemd with a COM port that does not exist: the service reaches running, stops
// itself about 2 s later, and its event log holds the channel's errors (settings from the
// service store).
TEST(GatewayService, WithoutARunningChannelTheServiceStopsItselfAfterTwoSeconds) {
    const TempDir dir;
    const NotifyReceiver receiver(dir.path() / "notify");
    const std::uint16_t base = freePortRange(1);
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
    EXPECT_EQ(service.HandleCommandLine({"/usr/local/bin/qvx_gateway"}), 1);
    const auto ran = std::chrono::steady_clock::now() - started;
    EXPECT_GE(ran, CGatewayService::kIdleServiceStop);
    EXPECT_LT(ran, CGatewayService::kIdleServiceStop + 3s);

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
    const std::string openFailure =
        channel + "COMPort <" + missing + "> kann nicht geöffnet werden: No such file or directory";
    EXPECT_EQ(events.entries(),
              (std::vector<Entry>{
                  {openFailure, kLogError},
                  {channel + " Initialisierung fehlgeschlagen: IP = 127.0.0.1, Port=" +
                       std::to_string(base + 1) + ",COMPort=" + missing,
                   kLogError},
                  {"Gatway-Security:  Initialisierung Security OK: IP = 127.0.0.1", kLogInfo},
                  {openFailure, kLogError},
                  {channel + "Gateway konnte nicht gestartet werden.", kLogError},
              }));
}
