#include "gateway/listener_support.h"

#include <cerrno>

#include "gateway/gateway_texts.h"
#include "link/ipv4_endpoint.h"
#include "link/listener_table.h"
#include "platform/system_error.h"

namespace qvx::gateway {

int acquireListener(std::uint16_t port, const std::string& address, link::Ipv4Endpoint& endpoint,
                    int& error) {
    if (port == 0) {
        error = EINVAL;
        return -1;
    }
    const std::optional<link::Ipv4Endpoint> resolved = link::resolveEndpoint(port, address);
    if (!resolved) {
        error = EADDRNOTAVAIL;
        return -1;
    }
    endpoint = *resolved;
    return link::ListenerTable::instance().acquire(endpoint, error);
}

int openListener(link::SocketChannel& channel, std::uint16_t port, const std::string& address) {
    if (port == 0) {
        return EINVAL;
    }
    if (channel.open(port, address, true, 4, 4)) {
        return 0;
    }
    return channel.lastError() != 0 ? channel.lastError() : EADDRNOTAVAIL;
}

std::string listenerFailureText(std::uint16_t port, std::string_view address, int error) {
    std::string text(texts::kListenerPrefix);
    text += std::to_string(port);
    text += texts::kListenerAddressPart;
    text += address;
    text += texts::kListenerFailedPart;
    if (port == 0) {
        text += texts::kPortZeroReason;
    } else if (error == ENOSPC) {
        text += texts::kNoListenerEntryReason;
    } else {
        text += platform::systemErrorText(error);
    }
    return text;
}

std::string peerAddressText(std::optional<std::uint32_t> address) {
    return address ? link::dottedAddress(*address) : std::string(texts::kUnknownAddress);
}

bool AcceptFailureBackoff::pauseAfterFailure(link::DiagnosticLog& log, int error) {
    if (m_throttle.shouldLog(error, std::chrono::steady_clock::now())) {
        std::string text(texts::kAcceptFailed);
        text += platform::systemErrorText(error);
        log.log(text, link::kLogError);
    }
    if (m_cancelled) {
        return false;
    }
    return !m_cancelEvent.wait(kPause) && !m_cancelled;
}

void AcceptFailureBackoff::cancel() {
    m_cancelled = true;
    (void)m_cancelEvent.set();
}

}  // namespace qvx::gateway
