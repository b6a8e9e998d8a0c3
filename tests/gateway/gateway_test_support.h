#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "gateway/gateway_log.h"
#include "link/diagnostic_log.h"
#include "platform/clock.h"

namespace qvx::gateway::test {

/// A folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qvx_gw_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

/// A diagnostic log that keeps every line given to it (before any masking), for any thread.
class RecordingLog final : public link::DiagnosticLog {
public:
    struct Line {
        std::string text;
        int level;
        bool operator==(const Line&) const = default;
    };

    void log(std::string_view text, int level) override {
        {
            const std::lock_guard lock(m_mutex);
            m_lines.push_back({std::string(text), level});
        }
        m_changed.notify_all();
    }

    [[nodiscard]] std::vector<Line> lines() const {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }

    /// Waits until at least `count` lines are there; false at the deadline.
    [[nodiscard]] bool waitForLines(std::size_t count, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_lines.size() >= count; });
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Line> m_lines;
};

/// A log sink that keeps every finished line (prefix included), for any thread.
class RecordingSink final : public link::LogSink {
public:
    using Hook = std::function<void(const std::string& line)>;

    void writeLine(int /*level*/, std::string_view line) override {
        Hook hook;
        {
            const std::lock_guard lock(m_mutex);
            m_lines.emplace_back(line);
            hook = m_hook;
        }
        m_changed.notify_all();
        if (hook) {
            hook(std::string(line));
        }
    }

    /// Runs `hook` on the logging thread after every line, to act at a chosen moment.
    void setHook(Hook hook) {
        const std::lock_guard lock(m_mutex);
        m_hook = std::move(hook);
    }

    [[nodiscard]] std::vector<std::string> lines() const {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }

    /// Waits until `line` has been written; false at the deadline.
    [[nodiscard]] bool waitForLine(const std::string& line,
                                   std::chrono::milliseconds timeout) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            return std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end();
        });
    }

    /// Waits until at least `count` lines are there; false at the deadline.
    [[nodiscard]] bool waitForLines(std::size_t count, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_lines.size() >= count; });
    }

    void clear() {
        const std::lock_guard lock(m_mutex);
        m_lines.clear();
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    Hook m_hook;
};

/// An event log that keeps every entry, for any thread.
class RecordingEventLog final : public EventLog {
public:
    struct Entry {
        std::string text;
        int level;
        bool operator==(const Entry&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const Entry& entry) {
            return out << "{" << entry.level << ", " << entry.text << "}";
        }
    };

    void write(std::string_view text, int level) override {
        const std::lock_guard lock(m_mutex);
        m_entries.push_back({std::string(text), level});
    }

    [[nodiscard]] std::vector<Entry> entries() const {
        const std::lock_guard lock(m_mutex);
        return m_entries;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

/// Checks `condition` every millisecond until it holds; false at the deadline.
inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

/// Writes `text` to `path`, replacing it.
inline void writeTextFile(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

/// The whole content of `path`; empty when it cannot be read.
inline std::string readTextFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// A clock that stands still until the test moves it, and counts how often it was asked.
class FakeClock final : public platform::Clock {
public:
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override {
        const std::chrono::steady_clock::time_point time = kStart + m_offset.load();
        {
            const std::lock_guard lock(m_mutex);
            ++m_calls;
        }
        m_asked.notify_all();
        return time;
    }

    void advance(std::chrono::steady_clock::duration step) { m_offset = m_offset.load() + step; }

    [[nodiscard]] int calls() const {
        const std::lock_guard lock(m_mutex);
        return m_calls;
    }

    /// Waits until the clock has been asked at least `count` times in all.
    [[nodiscard]] bool waitForCalls(int count, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(m_mutex);
        return m_asked.wait_for(lock, timeout, [&] { return m_calls >= count; });
    }

private:
    static constexpr std::chrono::steady_clock::time_point kStart{std::chrono::hours(1000)};
    std::atomic<std::chrono::steady_clock::duration> m_offset{};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_asked;
    mutable int m_calls = 0;
};

}  // namespace qvx::gateway::test
