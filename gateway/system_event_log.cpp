#include "gateway/system_event_log.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include "link/diagnostic_log.h"

namespace qvx::gateway {

namespace {

int priorityOf(int level) {
    switch (level) {
        case link::kLogError:
            return LOG_ERR;
        case link::kLogWarning:
            return LOG_WARNING;
        default:
            return LOG_INFO;
    }
}

}  // namespace

SyslogEventLog::SyslogEventLog(std::string ident) : m_ident(std::move(ident)) {
    ::openlog(m_ident.c_str(), LOG_PID, LOG_DAEMON);
}

SyslogEventLog::~SyslogEventLog() {
    ::closelog();
}

void SyslogEventLog::write(std::string_view text, int level) {
    const std::string line(text);
    ::syslog(LOG_DAEMON | priorityOf(level), "%s", line.c_str());
}

std::string_view FileEventLog::levelWord(int level) {
    switch (level) {
        case link::kLogError:
            return "error";
        case link::kLogWarning:
            return "warning";
        default:
            return "info";
    }
}

void FileEventLog::write(std::string_view text, int level) {
    std::string line(levelWord(level));
    line += ": ";
    line += text;
    line += '\n';
    const std::lock_guard lock(m_mutex);
    const int descriptor = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        return;  // an event log that cannot be written loses the entry, as the system log would
    }
    (void)!::write(descriptor, line.data(), line.size());
    ::close(descriptor);
}

std::unique_ptr<EventLog> makeEventLog(const std::filesystem::path& file,
                                       std::string_view serviceName) {
    if (!file.empty()) {
        return std::make_unique<FileEventLog>(file);
    }
    return std::make_unique<SyslogEventLog>(std::string(serviceName));
}

}  // namespace qvx::gateway
