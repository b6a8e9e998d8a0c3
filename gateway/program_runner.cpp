#include "gateway/program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

#include "platform/system_error.h"

extern char** environ;

namespace qvx::gateway {

namespace {

/// Both ends of a pipe, closed when it goes.
struct Pipe {
    std::array<int, 2> ends{-1, -1};
    Pipe() {
        if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
            ends = {-1, -1};
        }
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    [[nodiscard]] bool valid() const { return ends[0] >= 0; }
    void closeEnd(std::size_t which) {
        if (ends[which] >= 0) {
            ::close(ends[which]);
            ends[which] = -1;
        }
    }
};

// Reads both pipes until the program has closed them, so that neither can fill up and stall it.
void collect(Pipe& out, Pipe& err, ProgramResult& result) {
    std::array<pollfd, 2> fds{pollfd{out.ends[0], POLLIN, 0}, pollfd{err.ends[0], POLLIN, 0}};
    std::array<std::string*, 2> targets{&result.out, &result.err};
    std::array<char, 4096> buffer{};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            const ssize_t got = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (got > 0) {
                targets[i]->append(buffer.data(), static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                fds[i].fd = -1;  // the pipe itself is closed with its owner
            }
        }
    }
}

}  // namespace

ProgramResult runProgram(const std::vector<std::string>& arguments) {
    ProgramResult result;
    if (arguments.empty()) {
        result.startError = EINVAL;
        return result;
    }
    Pipe out;
    Pipe err;
    if (!out.valid() || !err.valid()) {
        result.startError = errno;
        return result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.ends[1], STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.startError = spawned;
        return result;
    }

    out.closeEnd(1);
    err.closeEnd(1);
    collect(out, err, result);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return result;
        }
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

std::string failureText(const ProgramResult& result) {
    if (result.startError != 0) {
        return platform::systemErrorText(result.startError);
    }
    std::string text;
    bool pendingSpace = false;
    for (const char c : result.err) {
        if (c == '\n' || c == '\r' || c == ' ' || c == '\t') {
            pendingSpace = !text.empty();
            continue;
        }
        if (pendingSpace) {
            text += ' ';
            pendingSpace = false;
        }
        text += c;
    }
    if (!text.empty()) {
        return text;
    }
    if (result.exitCode < 0) {
        return "ended by a signal";
    }
    return "exit code " + std::to_string(result.exitCode);
}

}  // namespace qvx::gateway
