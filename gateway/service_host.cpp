#include "gateway/service_host.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <utility>

#include "gateway/gateway_settings.h"
#include "gateway/gateway_texts.h"
#include "gateway/signal_watcher.h"
#include "platform/system_error.h"

namespace qvx::gateway {

namespace {

// The value of an environment variable; nullptr when unset or empty. Read at start-up only,
// before any thread exists, so nothing can change the environment meanwhile.
const char* environmentValue(const char* name) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// The full path of the running program; empty with `error` set when it cannot be had.
std::string programPath(int& error) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            error = errno;
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            error = 0;
            return buffer;
        }
        // Possibly cut: try again with room to spare, so that no shortened path is installed.
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

HostEnvironment HostEnvironment::fromProcess() {
    HostEnvironment environment;
    if (const char* socket = environmentValue(kNotifySocketVariable)) {
        environment.notifySocket = socket;
    }
    if (const char* folder = environmentValue(kUnitDirectoryVariable)) {
        environment.systemd.unitDirectory = folder;
    }
    if (const char* program = environmentValue(kSystemctlVariable)) {
        environment.systemd.systemctl = program;
    }
    environment.registryFile = registryFilePath(environmentValue(kRegistryPathVariable));
    if (const char* file = environmentValue(kEventLogFileVariable)) {
        environment.eventLogFile = file;
    }
    return environment;
}

std::string notifyMessage(ServiceState state, std::string_view displayName) {
    std::string message;
    std::string_view status;
    switch (state) {
        case ServiceState::StartPending:
            status = " starting";
            break;
        case ServiceState::Running:
            message = "READY=1\n";
            status = " running";
            break;
        case ServiceState::StopPending:
            message = "STOPPING=1\n";
            status = " stopping";
            break;
        case ServiceState::Stopped:
            status = " stopped";
            break;
    }
    message += "STATUS=";
    message += displayName;
    message += status;
    return message;
}

std::string formatText(std::string_view format, std::initializer_list<std::string_view> parts) {
    std::string text;
    const auto* part = parts.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' &&
            part != parts.end()) {
            text += *part++;
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

CServiceHost::CServiceHost(std::string serviceName, std::string displayName,
                           HostEnvironment environment, EventLog& eventLog)
    : m_serviceName(std::move(serviceName)),
      m_displayName(std::move(displayName)),
      m_environment(std::move(environment)),
      m_eventLog(eventLog) {}

int CServiceHost::HandleCommandLine(std::vector<std::string> arguments) {
    m_arguments = std::move(arguments);
    const std::span<const std::string> options =
        m_arguments.empty() ? std::span<const std::string>()
                            : std::span<const std::string>(m_arguments).subspan(1);
    m_commandLine = parseCommandLine(options);
    switch (m_commandLine.operation) {
        case HostOperation::Console:
            return RunInConsole(false);
        case HostOperation::FacelessConsole:
            return RunInConsole(true);
        case HostOperation::Install:
            return InstallService();
        case HostOperation::Remove:
            return RemoveService();
        case HostOperation::StartInstalled:
            return StartInstalledService();
        case HostOperation::StopInstalled:
            return StopInstalledService();
        case HostOperation::Help:
            return ShowHelp();
        case HostOperation::CheckConfig:
            return CheckConfiguration(m_commandLine.checkedStore);
        case HostOperation::ServiceDispatcher:
            break;
    }
    return EnterServiceDispatcher();
}

void CServiceHost::printConsole(std::string_view text) const {
    if (m_faceless) {
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void CServiceHost::WriteEventLogEntry(std::string_view text, int level) {
    const int lastError = errno;
    m_eventLog.write(text, level);
    errno = lastError;
}

bool CServiceHost::ReportServiceState(ServiceState state) {
    if (!m_notify) {
        return true;
    }
    const std::lock_guard lock(m_stateMutex);
    const bool stopping = m_state == ServiceState::StopPending || m_state == ServiceState::Stopped;
    if (stopping && (state == ServiceState::StartPending || state == ServiceState::Running)) {
        return true;
    }
    m_state = state;
    if (m_notify->send(notifyMessage(state, m_displayName))) {
        return true;
    }
    WriteEventLogEntry(texts::kEventStatusFailed, link::kLogError);
    return false;
}

int CServiceHost::EnterServiceDispatcher() {
    std::string failure;
    if (!m_environment.notifySocket) {
        failure = texts::kNoServiceManager;
    } else {
        int error = 0;
        std::optional<NotifySocket> socket =
            NotifySocket::connect(*m_environment.notifySocket, error);
        if (socket) {
            m_notify = std::move(socket);
        } else {
            failure = platform::systemErrorText(error);
        }
    }
    if (!m_notify) {
        WriteEventLogEntry(failure, link::kLogError);
        const std::string line =
            m_serviceName + ": " + failure + std::string(texts::kForegroundHint) + "\n";
        std::fputs(line.c_str(), stderr);
        return 0;
    }

    // The service manager asks a service to stop with SIGTERM.
    const SignalWatcher watcher({SIGTERM}, [this](int /*signal*/) {
        {
            const std::lock_guard lock(m_stateMutex);
            m_state = ServiceState::StopPending;
        }
        Stop();
    });
    if (!watcher.isWatching()) {
        WriteEventLogEntry(texts::kNoSignalHandling, link::kLogError);
        return 0;
    }
    if (!ReportServiceState(ServiceState::StartPending)) {
        return 0;  // systemd cannot hear us: running would only end in its start time-out
    }
    Run(m_arguments);
    (void)ReportServiceState(ServiceState::Stopped);
    return m_serviceExitCode;
}

bool CServiceHost::openService(const SystemdControl& control) const {
    const ProgramResult manager = control.connect();
    if (!manager.succeeded()) {
        printConsole(formatText(texts::kOpenManagerFailed, {failureText(manager)}));
        return false;
    }
    int error = 0;
    if (!control.unitFileExists(error)) {
        printConsole(formatText(texts::kOpenServiceFailed, {platform::systemErrorText(error)}));
        return false;
    }
    return true;
}

UnitState CServiceHost::waitForStop(const SystemdControl& control) const {
    return control.waitWhile(UnitState::StopPending, [this] { printConsole(texts::kPendingDot); });
}

int CServiceHost::InstallService() {
    if (!m_commandLine.password.empty()) {
        printConsole(formatText(texts::kPasswordRefused, {m_displayName}));
        return 0;
    }
    int error = 0;
    const std::string path = programPath(error);
    if (path.empty()) {
        printConsole(
            formatText(texts::kUnableToInstall, {m_displayName, platform::systemErrorText(error)}));
        return 0;
    }
    const std::optional<std::string> execWord = unitExecWord(path);
    if (!execWord) {
        printConsole(formatText(texts::kUnableToInstall, {m_displayName, texts::kUnusablePath}));
        return 0;
    }

    const SystemdControl control(m_environment.systemd, m_serviceName);
    const ProgramResult manager = control.connect();
    if (!manager.succeeded()) {
        printConsole(formatText(texts::kOpenManagerFailed, {failureText(manager)}));
        return 0;
    }
    if (!m_commandLine.account.empty() && !isUsableAccount(m_commandLine.account)) {
        printConsole(formatText(texts::kCreateFailed, {texts::kInvalidAccount}));
        return 0;
    }
    // The service's account gets the group of the serial devices; a group this machine does
    // not have would keep the service from starting at all.
    const std::string_view serialGroup =
        !m_commandLine.account.empty() && isExistingGroup(kSerialGroup) ? kSerialGroup : "";
    if (!control.createUnitFile(
            unitFileText(m_displayName, *execWord, m_commandLine.account, serialGroup), error)) {
        printConsole(formatText(texts::kCreateFailed, {platform::systemErrorText(error)}));
        return 0;
    }
    ProgramResult step = control.systemctl({"daemon-reload"});
    if (step.succeeded()) {
        step = control.systemctl({"enable", control.unitName()});
    }
    if (!step.succeeded()) {
        // Nothing half-installed stays behind, so that -i can simply be tried again.
        (void)control.removeUnitFile(error);
        (void)control.systemctl({"daemon-reload"});
        printConsole(formatText(texts::kCreateFailed, {failureText(step)}));
        return 0;
    }
    printConsole(formatText(texts::kInstalled, {m_displayName}));
    WriteEventLogEntry(texts::kEventInstalled, link::kLogInfo);
    return 1;
}

int CServiceHost::RemoveService() {
    const SystemdControl control(m_environment.systemd, m_serviceName);
    if (!openService(control)) {
        return 0;
    }
    // Like a stop request to a service that does not run, nothing is said for a stopped unit.
    if (control.state() != UnitState::Stopped &&
        control.systemctl({"--no-block", "stop", control.unitName()}).succeeded()) {
        printConsole(formatText(texts::kStoppingService, {m_displayName}));
        const UnitState state = waitForStop(control);
        printConsole(formatText(
            state == UnitState::Stopped ? texts::kStopped : texts::kFailedToStop, {m_displayName}));
    }
    const ProgramResult disabled = control.systemctl({"disable", control.unitName()});
    if (!disabled.succeeded()) {
        printConsole(formatText(texts::kDeleteFailed, {failureText(disabled)}));
        return 0;
    }
    int error = 0;
    if (!control.removeUnitFile(error)) {
        printConsole(formatText(texts::kDeleteFailed, {platform::systemErrorText(error)}));
        return 0;
    }
    (void)control.systemctl({"daemon-reload"});
    printConsole(formatText(texts::kRemoved, {m_displayName}));
    return 1;
}

int CServiceHost::StopInstalledService() {
    const SystemdControl control(m_environment.systemd, m_serviceName);
    if (!openService(control)) {
        return 0;
    }
    printConsole(formatText(texts::kStoppingService, {m_displayName}));
    const bool stopped =
        control.systemctl({"--no-block", "stop", control.unitName()}).succeeded() &&
        waitForStop(control) == UnitState::Stopped;
    printConsole(formatText(stopped ? texts::kStopped : texts::kFailedToStop, {m_displayName}));
    return stopped ? 1 : 0;
}

int CServiceHost::StartInstalledService() {
    const SystemdControl control(m_environment.systemd, m_serviceName);
    if (!openService(control)) {
        return 0;
    }
    printConsole(formatText(texts::kStartingUp, {m_displayName}));
    const ProgramResult start = control.systemctl({"--no-block", "start", control.unitName()});
    if (!start.succeeded()) {
        printConsole(formatText(texts::kStartCallFailed, {m_displayName, failureText(start)}));
        return 0;
    }
    const UnitState state =
        control.waitWhile(UnitState::StartPending, [this] { printConsole(texts::kPendingDot); });
    const bool running = state == UnitState::Running;
    printConsole(formatText(running ? texts::kStarted : texts::kFailedToStart, {m_displayName}));
    return running ? 1 : 0;
}

int CServiceHost::RunInConsole(bool faceless) {
    m_consoleMode = true;
    m_faceless = faceless;
    std::string stopping;
    if (!faceless) {
        printConsole(std::string(texts::kDebugging) + m_displayName + ".\n");
        stopping = std::string(texts::kStopping) + m_displayName + ".\n";
    }
    // Ctrl+C and Ctrl+Break end the console session, SIGHUP (end of the session) the faceless
    // one; SIGTERM, as from kill or another supervisor, ends both.
    const auto handler = [this, &stopping](int /*signal*/) {
        printConsole(stopping);
        Stop();
    };
    const SignalWatcher watcher = faceless ? SignalWatcher({SIGTERM, SIGHUP, SIGINT}, handler)
                                           : SignalWatcher({SIGINT, SIGQUIT, SIGTERM}, handler);
    Run(m_arguments);
    return 1;
}

int CServiceHost::ShowHelp() {
    printConsole(texts::kHelp);
    return 0;
}

}  // namespace qvx::gateway
