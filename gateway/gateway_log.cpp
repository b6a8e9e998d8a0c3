#include "gateway/gateway_log.h"

#include "gateway/gateway_texts.h"

namespace qvx::gateway {

DiscardSink& DiscardSink::instance() {
    static DiscardSink sink;
    return sink;
}

std::string channelLogPrefix(std::int32_t channel) {
    std::string prefix(texts::kChannelPrefix);
    prefix += std::to_string(channel);
    prefix += texts::kChannelPrefixEnd;
    return prefix;
}

void writeGatewayLog(link::DiagnosticLog& log, EventLog* eventLog, std::string_view text,
                     int level) {
    if (eventLog != nullptr && level != link::kLogDebug && log.isEnabled(level) &&
        !link::DiagnosticLog::prefixOf(level).empty()) {
        eventLog->write(text, level);
    }
    log.link::DiagnosticLog::log(text, level);
}

void applyLogTarget(link::DiagnosticLog& log, const GatewayLogTarget& target) {
    if (target.sink != nullptr) {
        log.setSink(*target.sink);
    }
}

}  // namespace qvx::gateway
