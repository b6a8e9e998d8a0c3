#include "sim/sim_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/system_error.h"
#include "sim/eeprom_file.h"

namespace qvx::sim {

namespace {

using std::chrono::milliseconds;

/// Longest sleep of the server thread, so live values never go stale for long.
constexpr milliseconds kMaxIdle{20};
/// Output the line cannot take (nobody has the pty open, or a client stopped reading) is cut
/// to this many bytes, the newest kept, as a serial line loses what nobody receives.
constexpr std::size_t kMaxPendingOutput = std::size_t{64} * 1024;
constexpr milliseconds kSaveRetry{1000};

std::string errorText(const std::string& what) {
    return what + ": " + platform::systemErrorText(errno);
}

}  // namespace

SimServer::SimServer(ServerConfig config, const platform::Clock& clock)
    : m_config(std::move(config)),
      m_clock(clock),
      m_inPacer(m_config.baud),
      m_outPacer(m_config.baud) {}

SimServer::~SimServer() {
    stop();
}

std::string SimServer::endpoint() const {
    if (m_config.transport == Transport::Pty) {
        return m_config.ptyPath;
    }
    return "127.0.0.1:" + std::to_string(m_port);
}

bool SimServer::start(std::string& error) {
    if (m_started) {
        error = "already started";
        return false;
    }
    const TimePoint now = m_clock.now();
    auto controller = std::make_unique<Controller>(m_config.controller, now);
    if (!m_config.eepromPath.empty()) {
        std::vector<std::uint8_t> image;
        switch (loadEepromImage(m_config.eepromPath, memory::kEepromSize, image, error)) {
            case LoadResult::Loaded:
                (void)controller->loadEeprom(image);
                break;
            case LoadResult::Missing:
                // Create it now: a typing error in the path shows at start, not at exit.
                if (!saveEepromImage(m_config.eepromPath, controller->eeprom(), error)) {
                    return false;
                }
                break;
            case LoadResult::Failed:
                return false;
        }
    }
    m_savedRevision = controller->eepromRevision();
    auto session =
        std::make_unique<Session>(*controller, m_config.session, m_config.faultSeed, now);
    session->handler().setFaultPlan(m_config.faults);
    session->handler().setTrace(m_config.trace);

    if (m_config.transport == Transport::Pty) {
        if (!m_pty.open(m_config.ptyPath, error)) {
            return false;
        }
    } else {
        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_listenFd < 0) {
            error = errorText("socket");
            return false;
        }
        const int on = 1;
        (void)::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_config.tcpPort);
        socklen_t length = sizeof address;
        if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listenFd, 4) != 0 ||
            ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            error = errorText("cannot listen on 127.0.0.1:" + std::to_string(m_config.tcpPort));
            ::close(m_listenFd);
            m_listenFd = -1;
            return false;
        }
        m_port = ntohs(address.sin_port);
    }
    {
        const std::lock_guard lock(m_mutex);
        m_controller = std::move(controller);
        m_session = std::move(session);
    }
    m_started = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void SimServer::stop() {
    if (!m_started) {
        return;
    }
    m_started = false;
    (void)m_stopEvent.set();
    m_thread.join();
    if (m_clientFd >= 0) {
        ::close(m_clientFd);
        m_clientFd = -1;
        m_clientConnected = false;
    }
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
    }
    saveIfSettled(m_clock.now(), true);
}

void SimServer::setFaultPlan(const FaultPlan& plan) {
    const std::lock_guard lock(m_mutex);
    if (m_session) {
        m_session->handler().setFaultPlan(plan);
    } else {
        m_config.faults = plan;
    }
}

std::vector<std::uint8_t> SimServer::eeprom() const {
    const std::lock_guard lock(m_mutex);
    if (!m_controller) {
        return {};
    }
    const auto image = m_controller->eeprom();
    return {image.begin(), image.end()};
}

void SimServer::withController(const std::function<void(Controller&)>& action) {
    const std::lock_guard lock(m_mutex);
    if (m_controller) {
        action(*m_controller);
    }
}

int SimServer::lineFd() const {
    return m_config.transport == Transport::Pty ? m_pty.masterFd() : m_clientFd;
}

void SimServer::run() {
    // The kernel may let a timed wait run late by the thread's timer slack (50 µs by default),
    // more than half a byte time at 115200 bit/s; the line's bytes are due to the microsecond.
    (void)::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::array<std::uint8_t, 4096> buffer{};
    for (;;) {
        const int line = lineFd();
        const bool outputPending = !m_outBuffer.empty();
        std::array<pollfd, 2> fds{pollfd{m_stopEvent.descriptor(), POLLIN, 0}, pollfd{-1, 0, 0}};
        if (line >= 0) {
            fds[1] = pollfd{line, static_cast<short>(POLLIN | (outputPending ? POLLOUT : 0)), 0};
        } else if (m_listenFd >= 0) {
            fds[1] = pollfd{m_listenFd, POLLIN, 0};
        }
        const timespec timeout = waitTime(m_clock.now());
        const int ready = ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            break;
        }
        TimePoint now = m_clock.now();
        if (line < 0 && (fds[1].revents & POLLIN) != 0) {
            acceptClient();
        } else if (line >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t n = ::read(line, buffer.data(), buffer.size());
            if (n > 0) {
                m_inPacer.push(std::span(buffer.data(), static_cast<std::size_t>(n)), now);
            } else if (m_config.transport == Transport::Tcp &&
                       (n == 0 || (errno != EAGAIN && errno != EINTR))) {
                closeClient(now);
            }
        }
        now = m_clock.now();
        serviceLine(now);
        flushOutput();
        if (m_closeWhenSent && m_outPacer.empty() && m_outBuffer.empty()) {
            closeClient(now);
        }
        saveIfSettled(now, false);
    }
}

void SimServer::acceptClient() {
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        return;
    }
    const int on = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_clientFd = fd;
    m_clientConnected = true;
}

void SimServer::closeClient(TimePoint now) {
    m_closeWhenSent = false;
    m_inPacer.clear();
    m_outPacer.clear();
    m_outBuffer.clear();
    {
        const std::lock_guard lock(m_mutex);
        m_session->reset(now);
    }
    if (m_config.transport == Transport::Tcp && m_clientFd >= 0) {
        ::close(m_clientFd);
        m_clientFd = -1;
        m_clientConnected = false;
    }
}

void SimServer::serviceLine(TimePoint now) {
    std::vector<Emission> emissions;
    {
        const std::lock_guard lock(m_mutex);
        // The session sees the bytes when they ended on the line, not when this thread woke:
        // its replies are then due on the line's own schedule, and wake-up delays do not add
        // up from one exchange to the next.
        const LinePacer::Delivery received = m_inPacer.popDue(now);
        if (!received.bytes.empty()) {
            m_session->receive(received.bytes, received.lastEnd);
        }
        emissions = m_session->takeDue(now);
        m_controller->update(now);
    }
    if (lineFd() < 0) {
        return;  // no client: what was due goes nowhere
    }
    for (const Emission& emission : emissions) {
        m_outPacer.push(emission.bytes, emission.due);
        if (emission.closeAfter) {
            m_closeWhenSent = true;
            break;  // nothing follows a cut confirm on this connection
        }
    }
    const std::vector<std::uint8_t> sent = m_outPacer.popDue(now).bytes;
    m_outBuffer.insert(m_outBuffer.end(), sent.begin(), sent.end());
    if (m_outBuffer.size() > kMaxPendingOutput) {
        m_outBuffer.erase(m_outBuffer.begin(),
                          m_outBuffer.begin() +
                              static_cast<std::ptrdiff_t>(m_outBuffer.size() - kMaxPendingOutput));
    }
}

void SimServer::flushOutput() {
    const int fd = lineFd();
    while (fd >= 0 && !m_outBuffer.empty()) {
        const ssize_t n = m_config.transport == Transport::Tcp
                              ? ::send(fd, m_outBuffer.data(), m_outBuffer.size(), MSG_NOSIGNAL)
                              : ::write(fd, m_outBuffer.data(), m_outBuffer.size());
        if (n > 0) {
            m_outBuffer.erase(m_outBuffer.begin(), m_outBuffer.begin() + n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;  // full (EAGAIN) or broken; the next read reports a broken connection
        }
    }
}

timespec SimServer::waitTime(TimePoint now) const {
    TimePoint wake = now + kMaxIdle;
    const auto consider = [&](std::optional<TimePoint> t) {
        if (t) {
            wake = std::min(wake, *t);
        }
    };
    {
        const std::lock_guard lock(m_mutex);
        consider(m_session->nextDue());
        consider(m_controller->nextSampleDue());
    }
    consider(m_inPacer.nextDue());
    consider(m_outPacer.nextDue());
    // To the nanosecond: a wait rounded to whole milliseconds would hold back the last byte
    // of every confirm by up to a millisecond, more than a byte time at the higher speeds.
    const auto wait = std::max(std::chrono::nanoseconds(0), wake - now);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>((wait - seconds).count())};
}

void SimServer::saveIfSettled(TimePoint now, bool force) {
    if (m_config.eepromPath.empty()) {
        return;
    }
    std::vector<std::uint8_t> image;
    std::uint64_t revision = 0;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_controller) {
            return;
        }
        revision = m_controller->eepromRevision();
        const bool settled = now - m_controller->lastEepromChange() >= m_config.settle;
        if (revision == m_savedRevision || (!force && (!settled || now < m_nextSaveAttempt))) {
            return;
        }
        const auto bytes = m_controller->eeprom();
        image.assign(bytes.begin(), bytes.end());
    }
    std::string error;
    if (saveEepromImage(m_config.eepromPath, image, error)) {
        m_savedRevision = revision;
    } else {
        m_nextSaveAttempt = now + kSaveRetry;
        if (m_config.errorLog) {
            m_config.errorLog(error);
        }
    }
}

}  // namespace qvx::sim
