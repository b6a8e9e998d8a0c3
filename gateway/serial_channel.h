#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "link/diagnostic_log.h"
#include "platform/auto_reset_event.h"
#include "platform/clock.h"

namespace qvx::gateway {

/// The device path of a port name: "COMn:" (also "COMn", any case, n from 1) is the n-th
/// standard serial port "/dev/ttyS<n-1>"; any other name is a path used as given (a pty
/// slave such as "/dev/pts/3" works).
[[nodiscard]] std::string devicePathForPort(std::string_view portName);

/// The terminal control flags (CSIZE, PARENB, PARODD, CMSPAR, CSTOPB bits of c_cflag) of a
/// character frame, from the codes of the settings (parity 0 none, 1 odd, 2 even, 3 mark,
/// 4 space; stop bits 0 one, 1 one and a half, 2 two). nullopt for what a UART cannot send:
/// byte sizes outside 5..8, unknown codes, one and a half stop bits with other than 5 data
/// bits, two stop bits with 5 data bits (the UART would send one and a half).
[[nodiscard]] std::optional<std::uint32_t> frameControlFlags(std::uint8_t byteSize,
                                                             std::uint8_t parity,
                                                             std::uint8_t stopBits);

/// Decides which of a run of identical read failures get logged: the first one, then at most
/// one per interval while the same error code repeats. A success or another code starts anew.
class RepeatedErrorThrottle {
public:
    explicit RepeatedErrorThrottle(std::chrono::steady_clock::duration interval)
        : m_interval(interval) {}

    /// True when a failure with `code` at time `now` is to be logged.
    [[nodiscard]] bool shouldLog(int code, std::chrono::steady_clock::time_point now);
    /// The failure has ended.
    void reset() { m_failing = false; }

private:
    std::chrono::steady_clock::duration m_interval;  // least time between two logged lines
    bool m_failing = false;                          // a run of failures is going on
    int m_code = 0;                                  // errno of that run
    std::chrono::steady_clock::time_point m_lastLogged;
};

/// One serial port of the gateway: checks and applies its line settings, reads it on a thread
/// of its own and hands the received bytes to onReceivedData, and writes to it.
///
/// The line is raw and 8-bit transparent: no flow control (0x11 and 0x13 pass), no character
/// translation, no parity checking. Failures are logged as Error lines "COMPort <name> ...:
/// <system text>" through the owner's diagnostic log (whose log() adds the owner's prefix);
/// lastError() holds the errno of the latest failure.
///
/// Threads: Configure, StartReader and StopReader belong to the owner and are not called
/// concurrently with each other; Write may be called from another thread at any time and
/// is dropped while the port is closed.
class CSerialChannel {
public:
    /// Pause before a failed read is tried again.
    static constexpr std::chrono::milliseconds kReadRetryPause{50};
    /// A read failure that keeps repeating is logged again after this long.
    static constexpr std::chrono::minutes kRepeatedFailureLogInterval{1};

    /// `log` and `clock` must outlive the channel; the clock only paces the failure log.
    explicit CSerialChannel(link::DiagnosticLog& log,
                            const platform::Clock& clock = platform::SteadyClock::instance());
    /// Stops the reader and closes the port.
    virtual ~CSerialChannel();
    CSerialChannel(const CSerialChannel&) = delete;
    CSerialChannel& operator=(const CSerialChannel&) = delete;

    /// Remembers the port name, opens the port, builds the line settings from the codes
    /// (see frameControlFlags), applies them and closes the port again. Refused: baud rate 0,
    /// frames that frameControlFlags refuses, and anything the driver does not take as asked
    /// (a rate off by more than 2 %, a frame it changed; pseudo-terminals take any frame).
    /// A running reader is stopped first, since the port is closed at the end.
    [[nodiscard]] bool Configure(std::string portName, std::uint32_t baudRate,
                                 std::uint8_t byteSize, std::uint8_t parity, std::uint8_t stopBits);

    /// Closes whatever is open, opens the port, applies the line settings of the last
    /// Configure and starts the reader thread.
    [[nodiscard]] bool StartReader();

    /// Stops the reader thread (abandoning its pending read, and a Write waiting for room),
    /// waits for it to end and closes the port. Must not be called from onReceivedData.
    void StopReader();

    /// Writes all bytes and returns when the driver has taken them, when the port fails, or
    /// when StopReader abandons the write. Dropped silently while the port is closed.
    void Write(std::span<const std::uint8_t> bytes);

    /// errno of the latest failure, 0 if none yet.
    [[nodiscard]] int lastError() const { return m_lastError.load(); }
    /// True while the port is open.
    [[nodiscard]] bool isOpen() const;
    /// The port name given to Configure.
    [[nodiscard]] const std::string& portName() const { return m_portName; }

protected:
    /// Received-data handler: called on the reader thread with the bytes of one read (at least
    /// one, in arrival order). Without an override every byte is shown on standard output as a
    /// line of its own. A derived class that overrides it must call StopReader() in its own
    /// destructor, so that no call reaches a destroyed object.
    virtual void onReceivedData(std::span<const std::uint8_t> bytes);

private:
    struct LineSettings;

    [[nodiscard]] int openPort();  // the descriptor, or -1 after logging the failure
    [[nodiscard]] bool applyLineSettings(int fd);
    void logFailure(std::string_view suffix, int code);
    void readerLoop(int fd, const std::string& portName);  // the thread holds its own copy
    [[nodiscard]] bool pauseUnlessStopped();

    link::DiagnosticLog& m_log;
    const platform::Clock& m_clock;
    std::string m_portName;                        // as configured, e.g. "COM1:"
    std::unique_ptr<LineSettings> m_lineSettings;  // built by Configure, reapplied by StartReader
    platform::AutoResetEvent m_stop;  // set while StopReader runs; wakes the reader and Write
    mutable std::mutex m_ioMutex;     // guards m_fd: a Write never sees it closed midway
    int m_fd = -1;                    // port opened by StartReader, or -1
    std::thread m_reader;             // started by StartReader, joined by StopReader
    std::atomic<int> m_lastError{0};  // errno of the latest failure
};

}  // namespace qvx::gateway
