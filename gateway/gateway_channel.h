#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "gateway/channel_trace.h"
#include "gateway/gateway_log.h"
#include "gateway/gateway_security.h"
#include "gateway/gateway_settings.h"
#include "gateway/idle_watch.h"
#include "gateway/listener_support.h"
#include "gateway/serial_channel.h"
#include "link/socket_channel.h"

namespace qvx::gateway {

/// One gateway channel: a data port (TCP listener) joined to a COM port.
///
/// It serves one client at a time; further clients wait in the listen backlog. A client whose
/// address the security object does not authorise is closed at once without any byte, and so
/// is one for whom the COM port cannot be opened (missing, or held by another process). For
/// an authorised client the COM port is opened afresh and every byte is relayed unchanged both
/// ways until the connection ends; then the port is closed and the next client accepted.
/// Nothing from the COM port reaches a client before it is authorised. The COM port survives
/// its device being unplugged and plugged in again during a session (see CSerialChannel);
/// the client stays connected meanwhile. A COM port missing at start does not keep the
/// channel from listening: the port is opened when the device appears.
///
/// Sessions end by themselves when the client vanished (keep-alive, kStaleSessionKeepAlive)
/// and, with IdleTimeout set, when nothing moved either way for that long.
///
/// Threads: construction and StartChannel on the service thread; the session runs on the
/// socket channel's connector, receive and send threads and the serial reader thread, all
/// owned by this object and joined when it is destroyed. Destruction ends within moments
/// whatever the line or the client does: the serial side is stopped first.
class CGatewayChannel final : public link::SocketChannel {
public:
    /// Builds channel `channel` (from 1): reads its settings from `stores`, opens its data
    /// listener on the process-wide listen address and checks the serial settings, and logs
    /// the result. `security` and the target's sink and event log must outlive the channel.
    CGatewayChannel(std::int32_t channel, GatewaySettings& stores, CGatewaySecurity& security,
                    GatewayLogTarget target = {});
    ~CGatewayChannel() override;
    CGatewayChannel(const CGatewayChannel&) = delete;
    CGatewayChannel& operator=(const CGatewayChannel&) = delete;

    /// Starts the security object if nobody has yet, opens the COM port and accepts the first
    /// client. A COM port that cannot be opened now is waited for (logged as a Warning). False
    /// when the data listener could not be had or the port refuses its line settings; the
    /// channel is then of no use and is dropped.
    [[nodiscard]] bool StartChannel();

    [[nodiscard]] std::int32_t channelNumber() const { return m_channel; }
    [[nodiscard]] const ChannelSettings& channelSettings() const { return m_settings; }
    /// The listen address the data listener was opened on.
    [[nodiscard]] const std::string& listenAddress() const { return m_listenAddress; }
    /// True while an authorised client is being served.
    [[nodiscard]] bool isRelaying() const { return m_authorised; }

    /// Adds "Gatway-Server Nr. n: " and writes to the gateway log.
    void log(std::string_view text, int level) override;

protected:
    void onData(std::span<const std::uint8_t> bytes) override;
    void signalConnected() override;
    void signalDisconnected() override;

private:
    /// The COM port, handing what it reads to the channel.
    class SerialPort final : public CSerialChannel {
    public:
        explicit SerialPort(CGatewayChannel& owner) : CSerialChannel(owner), m_owner(owner) {}
        ~SerialPort() override { StopReader(); }
        SerialPort(const SerialPort&) = delete;
        SerialPort& operator=(const SerialPort&) = delete;

    protected:
        void onReceivedData(std::span<const std::uint8_t> bytes) override {
            m_owner.relayFromSerial(bytes);
        }

    private:
        CGatewayChannel& m_owner;
    };

    void relayFromSerial(std::span<const std::uint8_t> bytes);
    void refuse(const std::string& peer);
    void endIdleSession();
    void openTrace();
    [[nodiscard]] std::string settingsText() const;

    const std::int32_t m_channel;  // channel number, from 1
    const GatewayLogTarget m_target;
    const std::string m_prefix;  // "Gatway-Server Nr. n: "
    CGatewaySecurity& m_security;
    ChannelSettings m_settings;   // read once while the channel is built
    std::string m_listenAddress;  // process-wide listen address
    int m_listenerError = 0;      // why the data listener could not be had, 0 if it stands
    AcceptFailureBackoff m_acceptBackoff;
    std::unique_ptr<ChannelTrace> m_trace;  // set while the Trace file is open
    std::unique_ptr<IdleWatch> m_idle;      // set when IdleTimeout is on

    std::atomic<bool> m_authorised{false};  // relay open: the current client is authorised
    std::atomic<bool> m_sessionUp{false};   // a client was accepted and has not left yet
    mutable std::mutex m_peerMutex;
    std::string m_peer;  // guarded by m_peerMutex; address of the current or last client

    SerialPort m_serial;  // last member: its reader stops before the fields above go
};

}  // namespace qvx::gateway
