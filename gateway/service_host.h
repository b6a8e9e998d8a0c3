#pragma once

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/command_line.h"
#include "gateway/gateway_log.h"
#include "gateway/systemd_control.h"
#include "gateway/systemd_notify.h"

namespace qvx::gateway {

/// Environment variables the host reads at start-up.
inline constexpr const char* kNotifySocketVariable = "NOTIFY_SOCKET";  // set by systemd
inline constexpr const char* kUnitDirectoryVariable = "QVX_GATEWAY_UNIT_DIR";
inline constexpr const char* kSystemctlVariable = "QVX_GATEWAY_SYSTEMCTL";
inline constexpr const char* kEventLogFileVariable = "QVX_GATEWAY_EVENT_LOG_FILE";

/// What the host takes from its process environment, so that tests can give their own.
struct HostEnvironment {
    /// NOTIFY_SOCKET: systemd started the program as a service and takes its state reports
    /// there; nullopt when the variable is not set.
    std::optional<std::string> notifySocket;
    /// Unit folder (QVX_GATEWAY_UNIT_DIR) and systemctl program (QVX_GATEWAY_SYSTEMCTL).
    SystemdSettings systemd;
    /// Settings store of service mode (QVX_GATEWAY_REGISTRY, default
    /// /etc/qvx_gateway/registry.ini).
    std::filesystem::path registryFile;
    /// QVX_GATEWAY_EVENT_LOG_FILE: a file that takes the event log entries in place of the
    /// system log; empty for the system log.
    std::filesystem::path eventLogFile;

    /// Reads the variables above; unset or empty ones leave the defaults.
    [[nodiscard]] static HostEnvironment fromProcess();
};

/// A state reported to the service manager.
enum class ServiceState {
    StartPending,  // building the channels
    Running,       // serving
    StopPending,   // asked to stop, taking the channels down
    Stopped,       // Run has returned
};

/// The notification a state is reported with: "STATUS=..." lines, with "READY=1" for
/// Running and "STOPPING=1" for StopPending.
[[nodiscard]] std::string notifyMessage(ServiceState state, std::string_view displayName);

/// Fills a console text: each "%s" of `format` in turn takes the next of `parts`.
[[nodiscard]] std::string formatText(std::string_view format,
                                     std::initializer_list<std::string_view> parts);

/// A program that runs as a systemd service or in the foreground (console mode), and
/// installs, removes, starts and stops its own service. It reads the command line, runs the
/// chosen operation and turns signals into Stop. The derived class supplies Run and Stop.
///
/// Service mode (no switch, started by systemd): state reports go to the notification socket,
/// SIGTERM is the service manager's stop request. Console mode: -d announces itself on
/// standard output and stops on SIGINT (Ctrl+C), SIGQUIT (Ctrl+Break) or SIGTERM; -f shows
/// nothing and stops on SIGTERM, SIGHUP (end of the session) or SIGINT. Every stop takes the
/// same way down. Signals are read on a watcher thread; the process keeps its default
/// handling of all others.
class CServiceHost {
public:
    /// `serviceName` names the service, its unit and its settings file, `displayName`
    /// appears in the console texts. `eventLog` must outlive the host.
    CServiceHost(std::string serviceName, std::string displayName, HostEnvironment environment,
                 EventLog& eventLog);
    virtual ~CServiceHost() = default;
    CServiceHost(const CServiceHost&) = delete;
    CServiceHost& operator=(const CServiceHost&) = delete;

    /// The service's work: runs until Stop is called. `arguments` are the program's own, the
    /// program path first.
    virtual void Run(std::span<const std::string> arguments) = 0;
    /// Asks Run to end; called from another thread (signal watcher, service manager).
    virtual void Stop() = 0;
    /// Requests a running service may get; nothing to do for this program.
    virtual void Pause() {}
    virtual void Continue() {}
    virtual void Shutdown() {}

    /// Runs the operation the command line chooses and returns the process exit code: 1 for
    /// success, 0 for failure. `arguments` are the program's own, the program path first.
    [[nodiscard]] int HandleCommandLine(std::vector<std::string> arguments);

    /// Service mode: reports the states around Run to systemd and stops on SIGTERM. Without
    /// a notification socket (not started by systemd) the hand-over fails: the reason goes to
    /// the event log and to standard error. 1 when Run ran, else 0. Must be called before any
    /// other thread of the process exists (see SignalWatcher).
    [[nodiscard]] virtual int EnterServiceDispatcher();
    /// -i: writes and enables the unit.
    [[nodiscard]] virtual int InstallService();
    /// -u: stops the service if it runs, disables it and removes the unit.
    [[nodiscard]] virtual int RemoveService();
    /// -e: stops the installed service and waits until it has stopped.
    [[nodiscard]] virtual int StopInstalledService();
    /// -s: starts the installed service and waits until it runs.
    [[nodiscard]] virtual int StartInstalledService();
    /// -d, -f: runs Run in the foreground until a console signal stops it; returns 1. Must be
    /// called before any other thread of the process exists (see SignalWatcher).
    [[nodiscard]] virtual int RunInConsole(bool faceless);
    /// -h, --help: prints every switch with a line each; returns 0.
    [[nodiscard]] virtual int ShowHelp();
    /// --check-config: reads the settings of `store`, prints what they say and opens nothing;
    /// returns 0 when they are usable, 1 when not.
    [[nodiscard]] virtual int CheckConfiguration(ConfigStore store) = 0;

    /// Reports a state to systemd in service mode (nothing to do otherwise: true). Once stop
    /// is pending, a late Running or StartPending report is dropped, so systemd never sees
    /// READY=1 after STOPPING=1. A report that fails is written to the event log as an error.
    [[nodiscard]] bool ReportServiceState(ServiceState state);
    /// One event log entry; `level` is kLogError, kLogWarning or kLogInfo. Keeps errno.
    void WriteEventLogEntry(std::string_view text, int level);

    [[nodiscard]] const std::string& serviceName() const { return m_serviceName; }
    [[nodiscard]] const std::string& displayName() const { return m_displayName; }
    /// True in console mode (-d or -f): settings from the file, no service manager.
    [[nodiscard]] bool consoleMode() const { return m_consoleMode; }
    /// True in the faceless console mode (-f): no console output at all.
    [[nodiscard]] bool faceless() const { return m_faceless; }
    /// True while running as a service under systemd.
    [[nodiscard]] bool serviceMode() const { return m_notify.has_value(); }
    /// The parsed command line.
    [[nodiscard]] const CommandLine& commandLine() const { return m_commandLine; }
    /// The program's own arguments as HandleCommandLine got them, the program path first.
    [[nodiscard]] std::span<const std::string> programArguments() const { return m_arguments; }
    [[nodiscard]] const HostEnvironment& environment() const { return m_environment; }
    [[nodiscard]] EventLog& eventLog() const { return m_eventLog; }

protected:
    /// Writes console text (standard output, flushed); nothing in the faceless mode.
    void printConsole(std::string_view text) const;
    /// The exit code of service mode after Run (1 unless set otherwise): Run sets another one
    /// when it stopped because it had nothing to serve, so that systemd counts it as a failure.
    void setServiceExitCode(int code) { m_serviceExitCode = code; }

private:
    /// After a stop request: prints a dot per poll while the unit stops; the state found at
    /// the end.
    [[nodiscard]] UnitState waitForStop(const SystemdControl& control) const;
    /// Connects to systemd and checks that the unit is installed, printing the failure text
    /// when not.
    [[nodiscard]] bool openService(const SystemdControl& control) const;

    const std::string m_serviceName;
    const std::string m_displayName;
    const HostEnvironment m_environment;
    EventLog& m_eventLog;
    std::vector<std::string> m_arguments;  // the program's own, for Run
    CommandLine m_commandLine;
    bool m_consoleMode = false;
    bool m_faceless = false;
    int m_serviceExitCode = 1;  // returned by EnterServiceDispatcher after Run

    std::optional<NotifySocket> m_notify;  // service mode only; set before any thread starts
    std::mutex m_stateMutex;               // one report at a time, in the recorded order
    ServiceState m_state = ServiceState::StartPending;  // guarded by m_stateMutex
};

}  // namespace qvx::gateway
