#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "gateway/gateway_channel.h"
#include "gateway/gateway_log.h"
#include "gateway/gateway_security.h"
#include "gateway/gateway_settings.h"
#include "gateway/service_host.h"

namespace qvx::gateway {

/// A manual-reset event: once set, every wait returns until it is reset.
class StopEvent {
public:
    void set();
    void reset();
    /// Waits until the event is set.
    void wait();
    /// Waits up to `timeout`; true if the event is set.
    [[nodiscard]] bool waitFor(std::chrono::milliseconds timeout);
    [[nodiscard]] bool isSet();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set = false;  // guarded by m_mutex
};

/// The gateway program: builds the login listener and the channels from the settings, runs
/// them until Stop, and takes them down again before Run returns.
class CGatewayService final : public CServiceHost {
public:
    /// In service mode a gateway without any running channel stops itself after this long.
    static constexpr std::chrono::milliseconds kIdleServiceStop{2000};
    /// Exit code of a service that stopped itself that way: a failure to systemd (unlike 0
    /// and 1), which then starts it again.
    static constexpr int kExitNothingToServe = 2;

    /// `eventLog` must outlive the service.
    CGatewayService(HostEnvironment environment, EventLog& eventLog);
    ~CGatewayService() override;
    CGatewayService(const CGatewayService&) = delete;
    CGatewayService& operator=(const CGatewayService&) = delete;

    /// Reads the settings (file beside arguments[0] in console mode, the service store in
    /// service mode), starts channels 1 to ChannelCount in order, dropping those that cannot
    /// start, reports running, waits for Stop, then stops and destroys every channel and the
    /// login listener. In service mode a gateway without any running channel stops itself
    /// after kIdleServiceStop and ends with kExitNothingToServe.
    void Run(std::span<const std::string> arguments) override;
    /// Reports stop pending and sets the stop event; Run ends promptly.
    void Stop() override;
    /// Starts the installed service and records the outcome in the event log.
    [[nodiscard]] int StartInstalledService() override;
    /// Stops the installed service and records the outcome in the event log.
    [[nodiscard]] int StopInstalledService() override;
    /// Prints what the settings say (see checkConfiguration); opens no port and no device and
    /// writes nothing, not even to the service store.
    [[nodiscard]] int CheckConfiguration(ConfigStore store) override;

private:
    [[nodiscard]] GatewayLogTarget logTarget() const;

    StopEvent m_stop;
    GatewaySettings m_settings;                                // service thread only
    std::unique_ptr<CGatewaySecurity> m_security;              // lives while Run runs
    std::vector<std::unique_ptr<CGatewayChannel>> m_channels;  // running channels, in order
};

}  // namespace qvx::gateway
