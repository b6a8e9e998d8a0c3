#include "gateway/service_host.h"

#include <csignal>
#include <utility>

#include "gateway/gateway_texts.h"
#include "gateway/signal_watcher.h"

namespace qvx::gateway {

namespace {

std::string_view switchOf(HostOperation operation) {
    switch (operation) {
        case HostOperation::Install:
            return "-i";
        case HostOperation::Remove:
            return "-u";
        case HostOperation::StartInstalled:
            return "-s";
        case HostOperation::StopInstalled:
            return "-e";
        default:
            return "";
    }
}

}  // namespace

CServiceHost::CServiceHost(std::string serviceName, std::string displayName)
    : m_serviceName(std::move(serviceName)), m_displayName(std::move(displayName)) {}

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
        case HostOperation::ServiceDispatcher: {
            std::string text = m_serviceName;
            text +=
                ": Start als Dienst wird nicht unterstützt; -d oder -f startet im Vordergrund.\n";
            std::fputs(text.c_str(), stderr);
            return 0;
        }
        default: {
            std::string text = m_serviceName;
            text += ": Schalter ";
            text += switchOf(m_commandLine.operation);
            text += " wird nicht unterstützt; -d oder -f startet im Vordergrund.\n";
            std::fputs(text.c_str(), stderr);
            return 0;
        }
    }
}

void CServiceHost::printConsole(std::string_view text) const {
    if (m_faceless) {
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int CServiceHost::RunInConsole(bool faceless) {
    m_consoleMode = true;
    m_faceless = faceless;
    std::string stopping;
    if (!faceless) {
        printConsole(std::string(texts::kDebugging) + m_displayName + ".\n");
        stopping = std::string(texts::kStopping) + m_displayName + ".\n";
    }
    // Ctrl+C and Ctrl+Break end the console session; SIGTERM and SIGHUP end the faceless one.
    const auto handler = [this, &stopping](int /*signal*/) {
        printConsole(stopping);
        Stop();
    };
    const SignalWatcher watcher = faceless ? SignalWatcher({SIGTERM, SIGHUP}, handler)
                                           : SignalWatcher({SIGINT, SIGQUIT}, handler);
    Run(m_arguments);
    return 1;
}

}  // namespace qvx::gateway
