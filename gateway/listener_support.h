#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "gateway/serial_channel.h"
#include "link/diagnostic_log.h"
#include "link/ipv4_endpoint.h"
#include "link/socket_channel.h"
#include "platform/auto_reset_event.h"

// What the login listener and the data channels share about their listening side.
namespace qvx::gateway {

/// Keep-alive timing of every accepted connection: a client that vanished without closing is
/// given up after about a minute (30 s quiet, then 3 probes 10 s apart), and so is one whose
/// unacknowledged data, or data it does not make room for, waits 60 s.
inline constexpr link::KeepAlive kStaleSessionKeepAlive{30, 10, 3, 60000};

/// Takes the listening socket for (port, address) from the process-wide listener table, with
/// the errors of openListener. Returns the socket, or -1 with `error` set; `endpoint` is what
/// the caller hands back to the table when it is done.
[[nodiscard]] int acquireListener(std::uint16_t port, const std::string& address,
                                  link::Ipv4Endpoint& endpoint, int& error);

/// Opens `channel` in server mode on (port, address). Returns 0, or why no listener could be
/// had: EINVAL for port 0 (binding it would pick a random port nobody knows), ENOSPC when the
/// listener table is full, else the bind, listen or resolution error.
[[nodiscard]] int openListener(link::SocketChannel& channel, std::uint16_t port,
                               const std::string& address);

/// "TCP-Port <port> auf IP = <address> kann nicht geöffnet werden: <reason>", the reason
/// spelt out for port 0 and a full listener table, else the system text of `error`.
[[nodiscard]] std::string listenerFailureText(std::uint16_t port, std::string_view address,
                                              int error);

/// The dotted peer address, or the stand-in for an address that could not be read.
[[nodiscard]] std::string peerAddressText(std::optional<std::uint32_t> address);

/// What a listener does when an accept fails although the listening socket stands (out of
/// descriptors, for instance): log an Error, throttled while the same failure repeats, and
/// pause before the next accept instead of trying again at once.
class AcceptFailureBackoff {
public:
    static constexpr std::chrono::milliseconds kPause{250};
    static constexpr std::chrono::minutes kRepeatedLogInterval{1};

    /// Logs and pauses, on the connector thread. False when cancel() ended the pause: the
    /// channel is closing and must not ask for another accept.
    [[nodiscard]] bool pauseAfterFailure(link::DiagnosticLog& log, int error);
    /// Ends a pause at once and every later one; called before the channel closes.
    void cancel();

private:
    RepeatedErrorThrottle m_throttle{kRepeatedLogInterval};  // connector thread only
    platform::AutoResetEvent m_cancelEvent;
    std::atomic<bool> m_cancelled{false};
};

}  // namespace qvx::gateway
