#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "gateway/gateway_log.h"

namespace qvx::gateway {

/// The system log as the gateway's event log: syslog with the service name as ident and the
/// daemon facility; errors, warnings and information become LOG_ERR, LOG_WARNING and
/// LOG_INFO (journald keeps them: `journalctl -t qvx_gateway`). One per process, since the
/// ident is process-wide.
class SyslogEventLog final : public EventLog {
public:
    explicit SyslogEventLog(std::string ident);
    ~SyslogEventLog() override;
    SyslogEventLog(const SyslogEventLog&) = delete;
    SyslogEventLog& operator=(const SyslogEventLog&) = delete;

    void write(std::string_view text, int level) override;

private:
    const std::string m_ident;  // syslog keeps the pointer: lives as long as the log is open
};

/// An event log in a plain file, one line "<level>: <text>" per entry, appended. Stands in for
/// the system log where the gateway must not write to it (the tests of the program).
class FileEventLog final : public EventLog {
public:
    explicit FileEventLog(std::filesystem::path file) : m_file(std::move(file)) {}

    void write(std::string_view text, int level) override;

    /// The level word of a line: "error", "warning" or "info".
    [[nodiscard]] static std::string_view levelWord(int level);

private:
    const std::filesystem::path m_file;
    std::mutex m_mutex;  // one line at a time from the channels' threads
};

/// The event log of the program: a FileEventLog when `file` is not empty, else the system
/// log under `serviceName`.
[[nodiscard]] std::unique_ptr<EventLog> makeEventLog(const std::filesystem::path& file,
                                                     std::string_view serviceName);

}  // namespace qvx::gateway
