#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qvx::test {

/// A program started by a test, with standard output and error going to files. It is always
/// ended: the destructor sends SIGTERM, then SIGKILL after a deadline, and reaps it.
class ChildProcess {
public:
    static constexpr std::chrono::seconds kEndDeadline{5};

    ChildProcess(const std::vector<std::string>& arguments, const std::filesystem::path& outFile,
                 const std::filesystem::path& errFile)
        : m_outFile(outFile), m_errFile(errFile) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        const int result = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (result != 0) {
            throw std::runtime_error("cannot start " + arguments.front());
        }
    }

    ~ChildProcess() {
        if (m_exitStatus) {
            return;
        }
        (void)::kill(m_pid, SIGTERM);
        if (!waitForExit(kEndDeadline)) {
            (void)::kill(m_pid, SIGKILL);
            (void)waitForExit(kEndDeadline);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] pid_t pid() const { return m_pid; }
    bool signal(int number) const { return ::kill(m_pid, number) == 0; }

    /// Waits until the program has ended and is reaped; false at the deadline.
    [[nodiscard]] bool waitForExit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!m_exitStatus) {
            int status = 0;
            const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_exitStatus = status;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    /// The exit code after a normal exit; nullopt while running or after a signal.
    [[nodiscard]] std::optional<int> exitCode() const {
        if (!m_exitStatus || !WIFEXITED(*m_exitStatus)) {
            return std::nullopt;
        }
        return WEXITSTATUS(*m_exitStatus);
    }
    [[nodiscard]] bool running() {
        int status = 0;
        if (!m_exitStatus && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_exitStatus = status;
        }
        return !m_exitStatus;
    }

    [[nodiscard]] std::string out() const { return readFile(m_outFile); }
    [[nodiscard]] std::string err() const { return readFile(m_errFile); }

    /// Waits until standard output (or error) holds `text`; false at the deadline.
    [[nodiscard]] bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout,
                                     bool inErr = false) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while ((inErr ? err() : out()).find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    /// User plus system CPU time the program has used so far, in seconds.
    [[nodiscard]] double cpuSeconds() const {
        const std::string text = readFile("/proc/" + std::to_string(m_pid) + "/stat");
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos) {
            return -1;
        }
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        unsigned long long utime = 0;
        unsigned long long stime = 0;
        // Fields 3 to 13 come before utime (14) and stime (15).
        for (int i = 3; i <= 13; ++i) {
            fields >> field;
        }
        fields >> utime >> stime;
        return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

    /// The whole content of a file; empty when it cannot be read.
    static std::string readFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:

    pid_t m_pid = -1;
    std::filesystem::path m_outFile;
    std::filesystem::path m_errFile;
    std::optional<int> m_exitStatus;
};

}  // namespace qvx::test
