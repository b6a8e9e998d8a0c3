#include "link/diagnostic_log.h"

#include <cstdio>
#include <string>

#include "platform/system_error.h"

namespace qvx::link {

void StandardStreamSink::writeLine(int level, std::string_view line) {
    std::FILE* stream = level == kLogError ? stderr : stdout;
    std::string text(line);
    text.push_back('\n');
    // One write per line keeps lines from different threads whole; errors only set the
    // stream's own error state.
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

StandardStreamSink& StandardStreamSink::instance() {
    static StandardStreamSink sink;
    return sink;
}

DiscardingSink& DiscardingSink::instance() {
    static DiscardingSink sink;
    return sink;
}

std::string_view DiagnosticLog::prefixOf(int level) {
    switch (level) {
        case kLogError: return "Error: ";
        case kLogWarning: return "Warning: ";
        case kLogInfo: return "Info: ";
        case kLogDebug: return "Debug: ";
        default: return {};
    }
}

void DiagnosticLog::log(std::string_view text, int level) {
    if (!isEnabled(level)) {
        return;
    }
    const std::string_view prefix = prefixOf(level);
    if (prefix.empty()) {
        return;
    }
    std::string line;
    line.reserve(prefix.size() + text.size());
    line.append(prefix).append(text);
    m_sink.load()->writeLine(level, line);
}

void DiagnosticLog::logStream(std::ostringstream& stream, int level) {
    std::string text = stream.str();
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    stream.str(std::string());
    stream.clear();
    log(text, level);
}

std::string DiagnosticLog::systemErrorText(int code) { return platform::systemErrorText(code); }

}  // namespace qvx::link
