#include "gateway/gateway_channel.h"

#include "gateway/gateway_texts.h"

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
}

CGatewayChannel::~CGatewayChannel() {
    m_acceptBackoff.cancel();
    close();
    m_serial.StopReader();
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
    if (!m_serial.StartReader()) {
        return false;
    }
    return requestConnect();
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
    // An address that cannot be read cannot be checked: refused like an unknown one.
    if (!remote || !m_security.IsAuthorized(peer)) {
        log(std::string(texts::kConnectionTo) + peer + std::string(texts::kRefusedSuffix),
            link::kLogError);
        closeSocket();
        return;
    }
    // A fresh port for every session; a failure is logged by the serial channel and the
    // session stays up, its bytes dropped.
    (void)m_serial.StartReader();
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
    std::string peer;
    {
        const std::lock_guard lock(m_peerMutex);
        peer = m_peer;
    }
    log(std::string(texts::kDisconnectedFrom) + peer, link::kLogInfo);
    m_serial.StopReader();
    (void)requestConnect();
}

void CGatewayChannel::onData(std::span<const std::uint8_t> bytes) {
    if (m_authorised) {
        m_serial.Write(bytes);
    }
}

void CGatewayChannel::relayFromSerial(std::span<const std::uint8_t> bytes) {
    if (m_authorised) {
        (void)write(bytes);
    }
}

}  // namespace qvx::gateway
