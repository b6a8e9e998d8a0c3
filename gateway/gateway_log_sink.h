#pragma once

#include <string_view>

namespace qvx::gateway {

/// Where the gateway's parts write their diagnostic lines. The owner of a part (a gateway
/// channel) implements it by adding its prefix and handing the line to its diagnostic log.
class GatewayLogSink {
public:
    /// Level bits, as the diagnostic log numbers them.
    static constexpr int kError = 1;
    static constexpr int kWarning = 2;
    static constexpr int kInfo = 4;
    static constexpr int kDebug = 8;

    virtual ~GatewayLogSink() = default;

    /// Writes one line (UTF-8, no line break) at one of the levels above.
    virtual void log(std::string_view text, int level) = 0;
};

}  // namespace qvx::gateway
