#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "connection/link_recovery.h"

namespace qvx::document {

/// How the link fares, for the status bar: written by the polling thread (and by the
/// user-interface thread while no polling runs), read by the user-interface thread.
class LinkHealth {
public:
    /// The last error in words; empty while none happened.
    [[nodiscard]] std::string lastError() const {
        const std::lock_guard guard(m_mutex);
        return m_lastError;
    }
    /// When the last error happened.
    [[nodiscard]] std::chrono::system_clock::time_point lastErrorTime() const {
        const std::lock_guard guard(m_mutex);
        return m_lastErrorTime;
    }
    void setLastError(std::string text) {
        const std::lock_guard guard(m_mutex);
        m_lastError = std::move(text);
        m_lastErrorTime = std::chrono::system_clock::now();
    }

    std::atomic<int> dataPort{0};                ///< the data port of the connection, 0 before one
    std::atomic<bool> reconnecting{false};       ///< the link is lost and will be restored
    std::atomic<unsigned> failedAttempts{0};     ///< reconnect attempts that failed since the loss
    std::atomic<std::int64_t> nextAttemptMs{0};  ///< time until the next attempt, ms

private:
    mutable std::mutex m_mutex;
    std::string m_lastError;                                // guarded by m_mutex
    std::chrono::system_clock::time_point m_lastErrorTime;  // guarded by m_mutex
};

/// What a restored link found, for the user-interface thread.
struct RecoveryReport {
    connection::ServiceData controller;  ///< the controller now connected
    /// Another controller than before: the calibration table was read again, and the
    /// tolerances too when `tolerancesRead`.
    bool anotherController = false;
    int previousSerialNumber = 0;
    bool tolerancesRead = false;
    float underTolerance = 0.0F;  ///< display values, when read
    float overTolerance = 0.0F;
};

}  // namespace qvx::document
