#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/diagnostic_log.h"

namespace qvx::gateway {

/// Where service mode copies the gateway's errors, warnings and information (the system log).
class EventLog {
public:
    virtual ~EventLog() = default;
    /// One message, prefix included; `level` is kLogError, kLogWarning or kLogInfo.
    virtual void write(std::string_view text, int level) = 0;
};

/// A sink that drops every line: the faceless console mode has nowhere to show them.
class DiscardSink final : public link::LogSink {
public:
    void writeLine(int /*level*/, std::string_view /*line*/) override {}
    static DiscardSink& instance();
};

/// Where the log lines of the gateway's channels and login listener go.
struct GatewayLogTarget {
    link::LogSink* sink = nullptr;  // console lines; nullptr keeps the standard streams
    EventLog* eventLog = nullptr;   // service mode only; nullptr in console mode
};

/// "Gatway-Server Nr. " + channel number + ": ".
[[nodiscard]] std::string channelLogPrefix(std::int32_t channel);

/// The gateway log behind the `log` of a channel or the login listener: `text` is already
/// prefixed; it goes to the event log (when there is one) if `level` is not Debug and passes
/// the mask of `log`, and is then written by the plain diagnostic log.
void writeGatewayLog(link::DiagnosticLog& log, EventLog* eventLog, std::string_view text,
                     int level);

/// Points `log` at the target's sink, if it names one.
void applyLogTarget(link::DiagnosticLog& log, const GatewayLogTarget& target);

}  // namespace qvx::gateway
