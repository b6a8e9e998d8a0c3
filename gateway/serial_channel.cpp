#include "gateway/serial_channel.h"

// termios2 (any baud rate through BOTHER) comes from the kernel headers, which cannot be
// combined with <termios.h>; this file uses the ioctl interface only.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <system_error>
#include <utility>

#include "gateway/gateway_settings.h"
#include "gateway/gateway_texts.h"
#include "platform/system_error.h"

namespace qvx::gateway {

struct CSerialChannel::LineSettings {
    struct termios2 record {};  // as read from the port, with our settings applied
};

namespace {

// Bytes taken from the driver per read call: a pty hands over up to 4095 at once, a UART what
// arrived since the last read, so a burst costs one call instead of one per byte.
constexpr std::size_t kReadChunk = 4096;
// A UART runs only at rates its clock divides into; a deviation beyond this share of the
// asked rate breaks the framing, so such a rate counts as refused.
constexpr std::uint32_t kBaudTolerancePercent = 2;
// The control flags that describe a character frame.
constexpr tcflag_t kFrameFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

// Builds the raw line on top of what the port reported; false for a refused combination.
bool buildRawLine(struct termios2& t, std::uint32_t baudRate, std::uint8_t byteSize,
                  std::uint8_t parity, std::uint8_t stopBits) {
    const std::optional<std::uint32_t> frame = frameControlFlags(byteSize, parity, stopBits);
    if (baudRate == 0 || !frame) {
        return false;  // rate 0 would mean "hang up" to the driver
    }
    // Binary, no parity checking, no break or CR/LF handling, no XON/XOFF in either direction.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR |
                                        IGNCR | ICRNL | IUCLC | IXON | IXANY | IXOFF | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL |
                                        ECHOPRT | ECHOKE | IEXTEN);
    // No CTS/RTS flow control; modem lines ignored for reading; DTR and RTS on while open.
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD | kFrameFlags | CRTSCTS);
    t.c_cflag |= BOTHER | CREAD | CLOCAL | HUPCL | static_cast<tcflag_t>(*frame);
    t.c_ospeed = baudRate;
    t.c_ispeed = baudRate;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return true;
}

// A pseudo-terminal has no physical line: its driver forces 8 data bits without parity
// whatever is asked, and bytes pass unchanged anyway.
bool isPseudoTerminal(int fd) {
    constexpr unsigned kUnix98SlaveMajorFirst = 136;
    constexpr unsigned kUnix98SlaveMajorLast = 143;
    constexpr unsigned kLegacySlaveMajor = 3;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    const unsigned major = ::major(info.st_rdev);
    return (major >= kUnix98SlaveMajorFirst && major <= kUnix98SlaveMajorLast) ||
           major == kLegacySlaveMajor;
}

// The driver changes what it cannot do instead of failing; compare what it kept.
bool driverKept(int fd, const struct termios2& asked, const struct termios2& got) {
    constexpr tcflag_t kCompared = kFrameFlags | CRTSCTS;
    if ((asked.c_cflag & kCompared) != (got.c_cflag & kCompared) && !isPseudoTerminal(fd)) {
        return false;
    }
    const std::uint64_t rate = asked.c_ospeed;
    const std::uint64_t actual = got.c_ospeed;
    const std::uint64_t deviation = rate > actual ? rate - actual : actual - rate;
    return deviation * 100 <= rate * kBaudTolerancePercent;
}

}  // namespace

std::optional<std::uint32_t> frameControlFlags(std::uint8_t byteSize, std::uint8_t parity,
                                               std::uint8_t stopBits) {
    tcflag_t flags = 0;
    switch (byteSize) {
        case 5:
            flags = CS5;
            break;
        case 6:
            flags = CS6;
            break;
        case 7:
            flags = CS7;
            break;
        case 8:
            flags = CS8;
            break;
        default:
            return std::nullopt;
    }
    switch (parity) {
        case kNoParity:
            break;
        case kOddParity:
            flags |= PARENB | PARODD;
            break;
        case kEvenParity:
            flags |= PARENB;
            break;
        case kMarkParity:
            flags |= PARENB | CMSPAR | PARODD;
            break;
        case kSpaceParity:
            flags |= PARENB | CMSPAR;
            break;
        default:
            return std::nullopt;
    }
    // The UART sends one and a half stop bits for CSTOPB with 5 data bits, two otherwise.
    switch (stopBits) {
        case kOneStopBit:
            break;
        case kOne5StopBits:
            if (byteSize != 5) {
                return std::nullopt;
            }
            flags |= CSTOPB;
            break;
        case kTwoStopBits:
            if (byteSize == 5) {
                return std::nullopt;
            }
            flags |= CSTOPB;
            break;
        default:
            return std::nullopt;
    }
    return flags;
}

bool RepeatedErrorThrottle::shouldLog(int code, std::chrono::steady_clock::time_point now) {
    if (!m_failing || code != m_code || now - m_lastLogged >= m_interval) {
        m_failing = true;
        m_code = code;
        m_lastLogged = now;
        return true;
    }
    return false;
}

CSerialChannel::CSerialChannel(link::DiagnosticLog& log, const platform::Clock& clock)
    : m_log(log), m_clock(clock) {}

CSerialChannel::~CSerialChannel() {
    StopReader();
}

bool CSerialChannel::isOpen() const {
    const std::lock_guard lock(m_ioMutex);
    return m_fd >= 0;
}

void CSerialChannel::logFailure(std::string_view suffix, int code) {
    m_lastError = code;
    std::string text(texts::kComPortPrefix);
    text += m_portName;
    text += suffix;
    text += platform::systemErrorText(code);
    if (code == EBUSY) {
        text += portHolderText(m_devicePath);
    }
    m_log.log(text, link::kLogError);
}

int CSerialChannel::openPort(Report report) {
    int error = 0;
    const int fd = openExclusive(m_devicePath, error);
    m_deviceUnavailable = fd < 0;
    if (fd < 0) {
        m_lastError = error;
        if (report == Report::Log) {
            logFailure(texts::kCannotOpenSuffix, error);
        }
    }
    return fd;
}

bool CSerialChannel::buildLineSettings(int fd, Report report) {
    if (m_lineSettings) {
        return true;
    }
    auto settings = std::make_unique<LineSettings>();
    int error = 0;
    if (::ioctl(fd, TCGETS2, &settings->record) != 0) {
        error = errno;
    } else if (!buildRawLine(settings->record, m_request.baudRate, m_request.byteSize,
                             m_request.parity, m_request.stopBits)) {
        error = EINVAL;
    }
    if (error != 0) {
        if (report == Report::Log) {
            logFailure(texts::kConfigurationFailedSuffix, error);
        }
        return false;
    }
    m_lineSettings = std::move(settings);
    return true;
}

bool CSerialChannel::applyLineSettings(int fd, Report report) {
    const struct termios2& asked = m_lineSettings->record;
    struct termios2 got {};
    int error = 0;
    if (::ioctl(fd, TCSETS2, &asked) != 0 || ::ioctl(fd, TCGETS2, &got) != 0) {
        error = errno;
    } else if (!driverKept(fd, asked, got)) {
        error = EINVAL;
    }
    if (error != 0) {
        if (report == Report::Log) {
            logFailure(texts::kConfigurationFailedSuffix, error);
        }
        return false;
    }
    // Opening raised DTR and RTS already on most drivers; pseudo-terminals have no such lines.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &lines);
    return true;
}

bool CSerialChannel::configurePort(int fd, Report report) {
    return buildLineSettings(fd, report) && applyLineSettings(fd, report);
}

bool CSerialChannel::Configure(std::string portName, std::uint32_t baudRate, std::uint8_t byteSize,
                               std::uint8_t parity, std::uint8_t stopBits) {
    const std::lock_guard control(m_controlMutex);
    stopReaderLocked();
    m_portName = std::move(portName);
    m_devicePath = devicePathForPort(m_portName);
    m_request = LineRequest{baudRate, byteSize, parity, stopBits};
    m_lineSettings.reset();
    m_deviceUnavailable = false;
    // A frame no UART can send is refused whether the device is there or not.
    if (baudRate == 0 || !frameControlFlags(byteSize, parity, stopBits)) {
        logFailure(texts::kConfigurationFailedSuffix, EINVAL);
        return false;
    }
    // The port is opened only for the check and never published to Write.
    const int fd = openPort(Report::Log);
    if (fd < 0) {
        return false;
    }
    const bool ok = configurePort(fd, Report::Log);
    closeExclusive(fd);
    return ok;
}

bool CSerialChannel::StartReader() {
    const std::lock_guard control(m_controlMutex);
    stopReaderLocked();
    if (m_shutDown) {
        return false;
    }
    const int fd = openPort(Report::Log);
    if (fd < 0) {
        return false;
    }
    if (!configurePort(fd, Report::Log)) {
        closeExclusive(fd);  // an unconfigured line must not carry the session's bytes
        return false;
    }
    m_backPending = false;
    m_goneThrottle.reset();
    m_openedAt = m_clock.now();
    publish(fd);
    startReaderThread(fd);
    return true;
}

void CSerialChannel::AwaitDevice() {
    const std::lock_guard control(m_controlMutex);
    stopReaderLocked();
    if (m_shutDown) {
        return;
    }
    m_backPending = true;
    m_refusalLogged = false;
    m_goneThrottle.reset();
    startReaderThread(-1);
}

void CSerialChannel::startReaderThread(int fd) {
    try {
        m_reader = std::thread(&CSerialChannel::readerLoop, this, fd);
    } catch (const std::system_error& error) {
        m_lastError = error.code().value();
        publish(-1);
        if (fd >= 0) {
            closeExclusive(fd);
        }
    }
}

void CSerialChannel::publish(int fd) {
    const std::lock_guard lock(m_ioMutex);
    m_fd = fd;
    m_stalled = false;
}

void CSerialChannel::StopReader() {
    const std::lock_guard control(m_controlMutex);
    stopReaderLocked();
}

void CSerialChannel::stopReaderLocked() {
    // Set before taking the lock: a Write waiting for room holds it until it sees the event.
    (void)m_stop.set();
    if (m_reader.joinable()) {
        m_reader.join();
    }
    {
        const std::lock_guard lock(m_ioMutex);
        if (m_fd >= 0) {
            closeExclusive(m_fd);
            m_fd = -1;
        }
    }
    (void)m_writeFailed.tryConsume();
    if (!m_shutDown) {
        (void)m_stop.tryConsume();
    }
}

void CSerialChannel::Shutdown() {
    const std::lock_guard control(m_controlMutex);
    m_shutDown = true;
    (void)m_stop.set();  // stays set: nothing waits on this channel any more
}

void CSerialChannel::Write(std::span<const std::uint8_t> bytes) {
    const std::lock_guard lock(m_ioMutex);
    while (m_fd >= 0 && !bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(written));
            m_stalled = false;
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            // The reader closes the port and looks for the device again.
            m_lastError = errno;
            m_writeError = errno;
            (void)m_writeFailed.set();
            return;
        }
        if (m_stalled || !waitForRoom()) {
            return;  // the rest is dropped
        }
    }
}

bool CSerialChannel::waitForRoom() {
    std::array<pollfd, 2> fds{pollfd{m_stop.descriptor(), POLLIN, 0}, pollfd{m_fd, POLLOUT, 0}};
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(kWriteStallTimeout.count()));
    if (ready < 0) {
        if (errno == EINTR) {
            return true;
        }
        m_lastError = errno;
        return false;
    }
    if ((fds[0].revents & POLLIN) != 0) {
        return false;  // StopReader abandons the write
    }
    if (ready == 0) {
        m_stalled = true;
        logStall();
        return false;
    }
    return true;
}

void CSerialChannel::logStall() {
    m_lastError = ETIMEDOUT;
    if (!m_stallThrottle.shouldLog(ETIMEDOUT, m_clock.now())) {
        return;
    }
    std::string text(texts::kComPortPrefix);
    text += m_portName;
    text += texts::kWriteStalledSuffix;
    m_log.log(text, link::kLogWarning);
}

bool CSerialChannel::pauseUnlessStopped(std::chrono::milliseconds pause) {
    pollfd stop{m_stop.descriptor(), POLLIN, 0};
    return ::poll(&stop, 1, static_cast<int>(pause.count())) <= 0;
}

void CSerialChannel::reportGone(std::string_view suffix, int code) {
    m_lastError = code;
    const std::chrono::steady_clock::time_point now = m_clock.now();
    if (now - m_openedAt >= kStableAfter) {
        m_goneThrottle.reset();  // the port had been working: this is a loss of its own
    }
    if (m_goneThrottle.shouldLog(code, now)) {
        logFailure(suffix, code);
        m_backPending = true;
    }
}

int CSerialChannel::reopen() {
    const int fd = openPort(Report::Quiet);
    if (fd < 0) {
        return -1;
    }
    // The device is there again; one that refuses the settings is reported once.
    if (!configurePort(fd, m_refusalLogged ? Report::Quiet : Report::Log)) {
        m_refusalLogged = true;
        closeExclusive(fd);
        return -1;
    }
    publish(fd);
    m_refusalLogged = false;
    m_openedAt = m_clock.now();
    if (std::exchange(m_backPending, false)) {
        std::string text(texts::kComPortPrefix);
        text += m_portName;
        text += texts::kPortBackSuffix;
        m_log.log(text, link::kLogInfo);
    }
    return fd;
}

void CSerialChannel::readerLoop(int fd) {
    std::array<std::uint8_t, kReadChunk> buffer{};
    for (;;) {
        if (fd < 0) {
            fd = reopen();
            if (fd < 0 && !pauseUnlessStopped(kReopenInterval)) {
                return;
            }
            continue;
        }
        std::array<pollfd, 3> fds{pollfd{m_stop.descriptor(), POLLIN, 0}, pollfd{fd, POLLIN, 0},
                                  pollfd{m_writeFailed.descriptor(), POLLIN, 0}};
        const int ready = ::poll(fds.data(), fds.size(), -1);
        if ((fds[0].revents & POLLIN) != 0) {
            return;
        }
        if (ready < 0) {
            // The wait itself failed: recorded, not logged, tried again after the pause.
            m_lastError = errno;
            if (errno != EINTR && !pauseUnlessStopped(kReadRetryPause)) {
                return;
            }
            continue;
        }
        int failure = 0;
        std::string_view suffix = texts::kCannotReadSuffix;
        if ((fds[2].revents & POLLIN) != 0 && m_writeFailed.tryConsume()) {
            failure = m_writeError;
            suffix = texts::kCannotWriteSuffix;
        } else if (fds[1].revents != 0) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got > 0) {
                onReceivedData(
                    std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)));
                continue;
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            // End of file on a terminal means it hung up: a removed device or a closed pty
            // master.
            failure = got == 0 ? EIO : errno;
        } else {
            continue;
        }
        reportGone(suffix, failure);
        publish(-1);
        // No Write can fail on this port any more; a failure it reported is handled here.
        (void)m_writeFailed.tryConsume();
        closeExclusive(fd);
        fd = -1;
    }
}

void CSerialChannel::onReceivedData(std::span<const std::uint8_t> bytes) {
    // One console line per byte, as when the reader delivered single bytes.
    std::string lines;
    std::array<char, 8> hex{};
    for (const std::uint8_t byte : bytes) {
        lines += texts::kReceivedFromSerial;
        lines += static_cast<char>(byte);
        std::snprintf(hex.data(), hex.size(), "(0x%x)", static_cast<unsigned>(byte));
        lines += hex.data();
        lines += '\n';
    }
    std::cout << lines << std::flush;
}

}  // namespace qvx::gateway
