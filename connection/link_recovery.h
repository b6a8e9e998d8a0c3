#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "link/device_link.h"
#include "platform/clock.h"

namespace qvx::connection {

/// Identity of the connected controller, read from its service data.
struct ServiceData {
    int week = 0;          ///< week of manufacture
    int year = 0;          ///< year of manufacture - 2000
    int serialNumber = 0;  ///< serial number
    friend bool operator==(const ServiceData&, const ServiceData&) = default;
};

/// Reads the service data: the first read of a new connection, which also shows that a
/// controller answers behind the data port. A data port that serves another client takes the
/// connection into its backlog and never answers; this tells that apart from a working link.
[[nodiscard]] std::optional<ServiceData> readControllerIdentity(link::DeviceLink& link);

/// Reads the controller's calibration table; a length-mode table needs two support points, so
/// with fewer the display falls back to millivolts.
void readCalibrationForDisplay(link::DeviceLink& link);

/// When the next reconnect attempt is due: 1 s after the loss, then 2, 4, 8, 16 s after each
/// failed attempt, and every 30 s from then on.
class ReconnectBackoff {
public:
    static constexpr std::chrono::seconds kFirstDelay{1};
    static constexpr std::chrono::seconds kLongestDelay{30};

    explicit ReconnectBackoff(const platform::Clock& clock) : m_clock(clock) {}

    /// The link was lost: the first attempt is due after the first delay.
    void start();
    /// An attempt failed: the next one is due after twice the last delay, at most the longest.
    void attemptFailed();
    [[nodiscard]] bool isDue() const { return m_clock.now() >= m_due; }
    /// Time until the next attempt, zero when it is due.
    [[nodiscard]] std::chrono::milliseconds untilDue() const;
    /// Attempts that failed since the loss.
    [[nodiscard]] unsigned failedAttempts() const { return m_failed; }
    [[nodiscard]] std::chrono::seconds currentDelay() const { return m_delay; }

private:
    const platform::Clock& m_clock;
    std::chrono::seconds m_delay{kFirstDelay};
    std::chrono::steady_clock::time_point m_due{};
    unsigned m_failed = 0;
};

/// What a reconnect attempt needs from the run's first connection.
struct ReconnectTarget {
    std::string passphrase;  ///< the passphrase of this run; kept in memory only
    int loginPort = 0;       ///< the gateway's login port
    int dataPort = 0;        ///< the data port connected to before
};

/// The outcome of one reconnect attempt.
struct ReconnectOutcome {
    std::optional<ServiceData> controller;  ///< set when the link works again
    std::string error;                      ///< what failed, in words, otherwise
};

/// One attempt to restore a lost link with the run's settings, on a worker thread: the login
/// at the gateway, the data connection to the same port, the dialling for the modem type, and
/// a first read that shows a controller answers. It only reads. `cancel` ends it early. A
/// failed attempt leaves the link disconnected.
[[nodiscard]] ReconnectOutcome reconnectLink(link::DeviceLink& link, const ReconnectTarget& target,
                                             const std::atomic<bool>& cancel);

}  // namespace qvx::connection
