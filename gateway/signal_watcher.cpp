#include "gateway/signal_watcher.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <utility>

namespace qvx::gateway {

SignalWatcher::SignalWatcher(std::initializer_list<int> signals, std::function<void(int)> handler)
    : m_handler(std::move(handler)) {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : signals) {
        sigaddset(&set, signal);
    }
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        return;
    }
    m_signalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
    m_quitFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_signalFd < 0 || m_quitFd < 0) {
        return;
    }
    m_thread = std::thread([this] { watch(); });
}

SignalWatcher::~SignalWatcher() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        (void)!::write(m_quitFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_signalFd >= 0) {
        ::close(m_signalFd);
    }
    if (m_quitFd >= 0) {
        ::close(m_quitFd);
    }
}

void SignalWatcher::watch() {
    std::array<pollfd, 2> fds{pollfd{m_signalFd, POLLIN, 0}, pollfd{m_quitFd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds.data(), fds.size(), -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        signalfd_siginfo info{};
        if (::read(m_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            m_handler(static_cast<int>(info.ssi_signo));
        }
    }
}

}  // namespace qvx::gateway
