#include "gateway/gateway_service.h"

#include <utility>

#include "gateway/config_check.h"
#include "gateway/gateway_texts.h"

namespace qvx::gateway {

void StopEvent::set() {
    {
        const std::lock_guard lock(m_mutex);
        m_set = true;
    }
    m_changed.notify_all();
}

void StopEvent::reset() {
    const std::lock_guard lock(m_mutex);
    m_set = false;
}

void StopEvent::wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_set; });
}

bool StopEvent::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_set; });
}

bool StopEvent::isSet() {
    const std::lock_guard lock(m_mutex);
    return m_set;
}

CGatewayService::CGatewayService(HostEnvironment environment, EventLog& eventLog)
    : CServiceHost(std::string(kServiceName), std::string(texts::kDisplayName),
                   std::move(environment), eventLog) {}

CGatewayService::~CGatewayService() {
    m_channels.clear();
    m_security.reset();
}

GatewayLogTarget CGatewayService::logTarget() const {
    GatewayLogTarget target;
    // Without a console (a service, or -f under another supervisor) errors, warnings and
    // information go to the event log instead.
    if (faceless() || serviceMode()) {
        target.sink = &DiscardSink::instance();
        target.eventLog = &eventLog();
    }
    return target;
}

void CGatewayService::Run(std::span<const std::string> arguments) {
    (void)ReportServiceState(ServiceState::StartPending);
    const std::string program = arguments.empty() ? std::string() : arguments.front();
    m_settings.ConfigureStores(settingsFilePath(program, kServiceName), environment().registryFile,
                               !consoleMode());
    const GatewayLogTarget target = logTarget();
    m_security = std::make_unique<CGatewaySecurity>(platform::SteadyClock::instance(), target);
    m_security->ReadSettings(m_settings);

    const std::int32_t count = m_settings.ChannelCount();
    for (std::int32_t n = 1; n <= count && !m_stop.isSet(); ++n) {
        auto channel = std::make_unique<CGatewayChannel>(n, m_settings, *m_security, target);
        if (channel->StartChannel()) {
            channel->log(texts::kGatewayStarted, link::kLogDebug);
            m_channels.push_back(std::move(channel));
        } else {
            channel->log(texts::kGatewayStartFailed, link::kLogError);
        }
    }

    (void)ReportServiceState(ServiceState::Running);
    if (!consoleMode() && m_channels.empty() && !m_stop.waitFor(kIdleServiceStop)) {
        setServiceExitCode(kExitNothingToServe);
        Stop();
    }
    m_stop.wait();

    // Nothing relays once Run has returned: the last channel goes first, the login listener
    // after all of them.
    while (!m_channels.empty()) {
        m_channels.pop_back();
    }
    m_security.reset();
}

void CGatewayService::Stop() {
    (void)ReportServiceState(ServiceState::StopPending);
    m_stop.set();
}

int CGatewayService::CheckConfiguration(ConfigStore store) {
    const std::span<const std::string> arguments = programArguments();
    const std::string program = arguments.empty() ? std::string() : arguments.front();
    GatewaySettings settings;
    settings.ConfigureStores(settingsFilePath(program, kServiceName), environment().registryFile,
                             store == ConfigStore::Service);
    settings.setReadOnly(true);
    const ConfigReport report = checkConfiguration(settings);
    printConsole(report.text);
    return report.usable ? 0 : 1;
}

int CGatewayService::StartInstalledService() {
    const int result = CServiceHost::StartInstalledService();
    if (!consoleMode()) {
        WriteEventLogEntry(result == 1 ? texts::kEventStarted : texts::kEventStartFailed,
                           result == 1 ? link::kLogInfo : link::kLogError);
    }
    return result;
}

int CGatewayService::StopInstalledService() {
    const int result = CServiceHost::StopInstalledService();
    if (!consoleMode()) {
        WriteEventLogEntry(result == 1 ? texts::kEventStopped : texts::kEventStopFailed,
                           result == 1 ? link::kLogInfo : link::kLogError);
    }
    return result;
}

}  // namespace qvx::gateway
