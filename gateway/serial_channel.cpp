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

bool isComName(std::string_view name, unsigned& number) {
    if (name.size() < 4 || (name[0] != 'C' && name[0] != 'c') ||
        (name[1] != 'O' && name[1] != 'o') || (name[2] != 'M' && name[2] != 'm')) {
        return false;
    }
    std::string_view digits = name.substr(3);
    if (digits.ends_with(':')) {
        digits.remove_suffix(1);
    }
    if (digits.empty() || digits.size() > 3 || digits.front() == '0') {
        return false;
    }
    number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

// Builds the raw line on top of what the port reported; false for a refused combination.
bool buildLineSettings(struct termios2& t, std::uint32_t baudRate, std::uint8_t byteSize,
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

std::string devicePathForPort(std::string_view portName) {
    unsigned number = 0;
    if (isComName(portName, number)) {
        return "/dev/ttyS" + std::to_string(number - 1);
    }
    return std::string(portName);
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
    m_log.log(text, link::kLogError);
}

int CSerialChannel::openPort() {
    // Non-blocking, so that neither a missing carrier nor a full output buffer can hold a
    // call that StopReader has to interrupt; poll() does the waiting.
    const std::string path = devicePathForPort(m_portName);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        logFailure(texts::kCannotOpenSuffix, errno);
    }
    return fd;
}

bool CSerialChannel::applyLineSettings(int fd) {
    if (!m_lineSettings) {
        logFailure(texts::kConfigurationFailedSuffix, EINVAL);
        return false;
    }
    const struct termios2& asked = m_lineSettings->record;
    if (::ioctl(fd, TCSETS2, &asked) != 0) {
        logFailure(texts::kConfigurationFailedSuffix, errno);
        return false;
    }
    struct termios2 got {};
    if (::ioctl(fd, TCGETS2, &got) != 0) {
        logFailure(texts::kConfigurationFailedSuffix, errno);
        return false;
    }
    if (!driverKept(fd, asked, got)) {
        logFailure(texts::kConfigurationFailedSuffix, EINVAL);
        return false;
    }
    // Opening raised DTR and RTS already on most drivers; pseudo-terminals have no such lines.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &lines);
    return true;
}

bool CSerialChannel::Configure(std::string portName, std::uint32_t baudRate, std::uint8_t byteSize,
                               std::uint8_t parity, std::uint8_t stopBits) {
    StopReader();
    m_portName = std::move(portName);
    m_lineSettings.reset();
    // The port is opened only for the check and never published to Write.
    const int fd = openPort();
    if (fd < 0) {
        return false;
    }
    auto settings = std::make_unique<LineSettings>();
    bool ok = ::ioctl(fd, TCGETS2, &settings->record) == 0;
    if (!ok) {
        logFailure(texts::kConfigurationFailedSuffix, errno);
    } else if (!buildLineSettings(settings->record, baudRate, byteSize, parity, stopBits)) {
        logFailure(texts::kConfigurationFailedSuffix, EINVAL);
        ok = false;
    } else {
        m_lineSettings = std::move(settings);
        ok = applyLineSettings(fd);
    }
    ::close(fd);
    return ok;
}

bool CSerialChannel::StartReader() {
    StopReader();
    const int fd = openPort();
    if (fd < 0) {
        return false;
    }
    if (!applyLineSettings(fd)) {
        ::close(fd);  // an unconfigured line must not carry the session's bytes
        return false;
    }
    {
        const std::lock_guard lock(m_ioMutex);
        m_fd = fd;
    }
    try {
        m_reader = std::thread(&CSerialChannel::readerLoop, this, fd, m_portName);
    } catch (const std::system_error& error) {
        m_lastError = error.code().value();
        const std::lock_guard lock(m_ioMutex);
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

void CSerialChannel::StopReader() {
    // Set before taking the lock: a Write waiting for room holds it until it sees the event.
    (void)m_stop.set();
    if (m_reader.joinable()) {
        m_reader.join();
    }
    const std::lock_guard lock(m_ioMutex);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    (void)m_stop.tryConsume();
}

void CSerialChannel::Write(std::span<const std::uint8_t> bytes) {
    const std::lock_guard lock(m_ioMutex);
    while (m_fd >= 0 && !bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            m_lastError = errno;
            return;
        }
        std::array<pollfd, 2> fds{pollfd{m_stop.descriptor(), POLLIN, 0}, pollfd{m_fd, POLLOUT, 0}};
        const int ready = ::poll(fds.data(), fds.size(), -1);
        if (ready < 0 && errno != EINTR) {
            m_lastError = errno;
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return;  // StopReader abandons the write
        }
    }
}

bool CSerialChannel::pauseUnlessStopped() {
    pollfd stop{m_stop.descriptor(), POLLIN, 0};
    const auto pause = static_cast<int>(kReadRetryPause.count());
    return ::poll(&stop, 1, pause) <= 0;
}

void CSerialChannel::readerLoop(int fd, const std::string& portName) {
    RepeatedErrorThrottle throttle(kRepeatedFailureLogInterval);
    std::array<std::uint8_t, kReadChunk> buffer{};
    for (;;) {
        std::array<pollfd, 2> fds{pollfd{m_stop.descriptor(), POLLIN, 0}, pollfd{fd, POLLIN, 0}};
        const int ready = ::poll(fds.data(), fds.size(), -1);
        if ((fds[0].revents & POLLIN) != 0) {
            return;
        }
        if (ready < 0 || (fds[1].revents & POLLNVAL) != 0) {
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            // The wait itself failed: recorded, not logged, tried again after the pause.
            m_lastError = ready < 0 ? errno : EBADF;
            if (!pauseUnlessStopped()) {
                return;
            }
            continue;
        }
        if (fds[1].revents == 0) {
            continue;
        }
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got > 0) {
            throttle.reset();
            onReceivedData(
                std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)));
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        // End of file on a terminal means it hung up: a removed device or a closed pty master.
        const int code = got == 0 ? EIO : errno;
        m_lastError = code;
        if (throttle.shouldLog(code, m_clock.now())) {
            std::string text(texts::kComPortPrefix);
            text += portName;
            text += texts::kCannotReadSuffix;
            text += platform::systemErrorText(code);
            m_log.log(text, link::kLogError);
        }
        if (!pauseUnlessStopped()) {
            return;
        }
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
