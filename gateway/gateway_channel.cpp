#include "gateway/gateway_channel.h"

#include "gateway/gateway_texts.h"
#include "platform/system_error.h"

namespace qvx::gateway {

CGatewayChannel::CGatewayChannel(std::int32_t channel, GatewaySettings& stores,
                                 CGatewaySecurity& security, GatewayLogTarget target)
    : m_channel(channel),
      m_target(target),
      m_prefix(channelLogPrefix(channel)),
      m_security(security),
      m_serial(*this) {
    applyLogTarget(*this, m_target);
    m_settings = stores.ReadChannelSettings(channel);
    m_listenAddress = stores.listenAddress();
    setKeepAlive(kStaleSessionKeepAlive);
    m_listenerError = openListener(*this, m_settings.dataPort, m_listenAddress);
    if (m_listenerError != 0) {
        log(listenerFailureText(m_settings.dataPort, m_listenAddress, m_listenerError),
            link::kLogError);
    }
    const bool configured =
        m_serial.Configure(m_settings.comPort, m_settings.baudRate, m_settings.byteSize,
                           m_settings.parity, m_settings.stopBits);
    // A channel without its listener is not initialised, whatever the COM port says.
    if (configured && m_listenerError == 0) {
        log(std::string(texts::kInitialisationOk) + settingsText(), link::kLogInfo);
    } else {
        log(std::string(texts::kInitialisationFailed) + settingsText(), link::kLogError);
    }
    openTrace();
    if (m_settings.idleTimeoutSeconds > 0) {
        m_idle = std::make_unique<IdleWatch>(std::chrono::seconds(m_settings.idleTimeoutSeconds),
                                             [this] { endIdleSession(); });
    }
}

CGatewayChannel::~CGatewayChannel() {
    m_acceptBackoff.cancel();
    // The serial side first: a write that waits for the line would hold the receive thread,
    // and with it the socket channel's close.
    m_serial.Shutdown();
    close();
    m_serial.StopReader();
}

void CGatewayChannel::openTrace() {
    if (m_settings.tracePath.empty()) {
        return;
    }
    int error = 0;
    m_trace = ChannelTrace::open(m_settings.tracePath, error);
    if (!m_trace) {
        std::string text(texts::kTraceFilePrefix);
        text += m_settings.tracePath;
        text += texts::kTraceOpenFailedSuffix;
        text += platform::systemErrorText(error);
        log(text, link::kLogError);
    }
}

std::string CGatewayChannel::settingsText() const {
    std::string text = m_listenAddress;
    text += texts::kPortPart;
    text += std::to_string(m_settings.dataPort);
    text += texts::kComPortPart;
    text += m_settings.comPort;
    return text;
}

void CGatewayChannel::log(std::string_view text, int level) {
    std::string line = m_prefix;
    line += text;
    writeGatewayLog(*this, m_target.eventLog, line, level);
}

bool CGatewayChannel::StartChannel() {
    if (!m_security.isStarted()) {
        (void)m_security.Start();  // without a login listener the channel still serves
    }
    if (m_listenerError != 0) {
        return false;  // every accept would fail at once
    }
    // A device found missing by the check is not tried again here: that would only repeat
    // the open failure just logged.
    const bool opened = !m_serial.deviceUnavailable() && m_serial.StartReader();
    if (!opened) {
        if (!m_serial.deviceUnavailable()) {
            return false;  // the port is there but refuses its line settings
        }
        std::string text(texts::kComPortPrefix);
        text += m_settings.comPort;
        text += texts::kAwaitingDeviceSuffix;
        log(text, link::kLogWarning);
        m_serial.AwaitDevice();
    }
    return requestConnect();
}

void CGatewayChannel::refuse(const std::string& peer) {
    log(std::string(texts::kConnectionTo) + peer + std::string(texts::kRefusedSuffix),
        link::kLogError);
    closeSocket();
}

void CGatewayChannel::signalConnected() {
    m_authorised = false;
    m_sessionUp = true;
    const std::optional<std::uint32_t> remote = remoteAddress();
    const std::string peer = peerAddressText(remote);
    {
        const std::lock_guard lock(m_peerMutex);
        m_peer = peer;
    }
    log(std::string(texts::kConnectedWith) + peer, link::kLogInfo);
    // An address that cannot be read cannot be checked: refused like an unknown one. A port
    // that cannot be opened (its reason is logged by the serial channel) would give a session
    // that silently goes nowhere: refused as well.
    if (!remote || !m_security.IsAuthorized(peer) || !m_serial.StartReader()) {
        refuse(peer);
        return;
    }
    if (m_idle) {
        m_idle->begin();
    }
    m_authorised = true;
}

void CGatewayChannel::signalDisconnected() {
    m_authorised = false;
    if (!m_sessionUp.exchange(false)) {
        // The accept itself failed although the listener stands.
        if (!m_acceptBackoff.pauseAfterFailure(*this, lastError())) {
            return;
        }
        (void)requestConnect();
        return;
    }
    if (m_idle) {
        m_idle->end();
    }
    std::string peer;
    {
        const std::lock_guard lock(m_peerMutex);
        peer = m_peer;
    }
    log(std::string(texts::kDisconnectedFrom) + peer, link::kLogInfo);
    m_serial.StopReader();
    (void)requestConnect();
}

void CGatewayChannel::endIdleSession() {
    std::string text(texts::kIdlePrefix);
    text += std::to_string(m_settings.idleTimeoutSeconds);
    text += texts::kIdleMiddle;
    {
        const std::lock_guard lock(m_peerMutex);
        text += m_peer;
    }
    text += texts::kIdleSuffix;
    log(text, link::kLogWarning);
    closeSocket();
}

void CGatewayChannel::onData(std::span<const std::uint8_t> bytes) {
    if (!m_authorised) {
        return;
    }
    if (m_idle) {
        m_idle->touch();
    }
    if (m_trace) {
        m_trace->record(TraceDirection::ToDevice, bytes);
    }
    m_serial.Write(bytes);
}

void CGatewayChannel::relayFromSerial(std::span<const std::uint8_t> bytes) {
    if (!m_authorised) {
        return;
    }
    if (m_idle) {
        m_idle->touch();
    }
    if (m_trace) {
        m_trace->record(TraceDirection::FromDevice, bytes);
    }
    (void)write(bytes);
}

}  // namespace qvx::gateway
