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

#include "gateway/serial_device.h"
#include "link/diagnostic_log.h"
#include "platform/auto_reset_event.h"
#include "platform/clock.h"

namespace qvx::gateway {

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
/// translation, no parity checking. The device is held exclusively while open (see
/// openExclusive). Failures are logged as Error lines "COMPort <name> ...: <system text>"
/// through the owner's diagnostic log (whose log() adds the owner's prefix); lastError()
/// holds the errno of the latest failure.
///
/// While the reader runs it survives the device: when a read or a write fails, or the device
/// hangs up or is removed, it closes the port, logs once that it is gone, opens the same path
/// again every kReopenInterval (so a replugged adapter behind a stable link such as
/// /dev/serial/by-id/... is found again), reapplies the line settings and logs once that it
/// is back. Bytes written meanwhile are dropped.
///
/// Threads: Configure, StartReader, AwaitDevice, StopReader and Shutdown may be called from
/// any thread, one at a time; Write may be called from another thread at any time and is
/// dropped while the port is closed.
class CSerialChannel {
public:
    /// Pause before a failed wait for the line is tried again.
    static constexpr std::chrono::milliseconds kReadRetryPause{50};
    /// Pause between two attempts to open a device that is gone.
    static constexpr std::chrono::milliseconds kReopenInterval{200};
    /// A write for which the line takes no byte for this long is dropped, and so is every
    /// later one until the line takes bytes again: a line nobody drains must not hold the
    /// writer (and with it the session's end) for ever.
    static constexpr std::chrono::milliseconds kWriteStallTimeout{1000};
    /// A failure that keeps repeating is logged again after this long.
    static constexpr std::chrono::minutes kRepeatedFailureLogInterval{1};
    /// A port that fails again within this time of coming back is flapping: its repeated
    /// failures are logged at most once per kRepeatedFailureLogInterval.
    static constexpr std::chrono::seconds kStableAfter{5};

    /// `log` and `clock` must outlive the channel; the clock only paces the failure log.
    explicit CSerialChannel(link::DiagnosticLog& log,
                            const platform::Clock& clock = platform::SteadyClock::instance());
    /// Stops the reader and closes the port.
    virtual ~CSerialChannel();
    CSerialChannel(const CSerialChannel&) = delete;
    CSerialChannel& operator=(const CSerialChannel&) = delete;

    /// Remembers the port name and the line settings, opens the port, builds the line
    /// settings from the codes (see frameControlFlags), applies them and closes the port
    /// again. Refused: baud rate 0, frames that frameControlFlags refuses (checked before the
    /// device is opened), and anything the driver does not take as asked (a rate off by more
    /// than 2 %, a frame it changed; pseudo-terminals take any frame). When only the device
    /// could not be opened, deviceUnavailable() tells so. A running reader is stopped first.
    [[nodiscard]] bool Configure(std::string portName, std::uint32_t baudRate,
                                 std::uint8_t byteSize, std::uint8_t parity, std::uint8_t stopBits);

    /// Closes whatever is open, opens the port, applies the line settings of the last
    /// Configure and starts the reader thread. False (and logged) when the port cannot be
    /// opened or configured, and always after Shutdown.
    [[nodiscard]] bool StartReader();

    /// Closes whatever is open and starts the reader without a port: it opens the device as
    /// soon as it can be opened and configured, and logs then that it is back. For a device
    /// whose absence was already logged.
    void AwaitDevice();

    /// Stops the reader thread (abandoning its pending read, and a Write waiting for room),
    /// waits for it to end and closes the port. Must not be called from onReceivedData.
    void StopReader();

    /// Ends the channel's use for good: a Write waiting for room and the reader's wait end at
    /// once, later writes never wait, and StartReader and AwaitDevice do nothing from now on.
    /// StopReader still has to join the reader.
    void Shutdown();

    /// Writes all bytes and returns when the driver has taken them, when the port fails, when
    /// the line takes nothing for kWriteStallTimeout, or when StopReader abandons the write.
    /// Dropped silently while the port is closed.
    void Write(std::span<const std::uint8_t> bytes);

    /// errno of the latest failure, 0 if none yet.
    [[nodiscard]] int lastError() const { return m_lastError.load(); }
    /// True while the port is open.
    [[nodiscard]] bool isOpen() const;
    /// True when the last Configure or StartReader failed because the device could not be
    /// opened (missing, held by another process, no permission), not because of its settings.
    [[nodiscard]] bool deviceUnavailable() const { return m_deviceUnavailable.load(); }
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
    /// What the line is asked to be, as given to Configure.
    struct LineRequest {
        std::uint32_t baudRate = 0;  // bit/s
        std::uint8_t byteSize = 0;   // data bits
        std::uint8_t parity = 0;     // parity code
        std::uint8_t stopBits = 0;   // stop-bit code
    };
    enum class Report { Log, Quiet };

    [[nodiscard]] int openPort(Report report);  // the descriptor, or -1
    [[nodiscard]] bool configurePort(int fd, Report report);
    [[nodiscard]] bool buildLineSettings(int fd, Report report);
    [[nodiscard]] bool applyLineSettings(int fd, Report report);
    void logFailure(std::string_view suffix, int code);
    void stopReaderLocked();
    void startReaderThread(int fd);
    void publish(int fd);
    void readerLoop(int fd);
    [[nodiscard]] int reopen();
    void reportGone(std::string_view suffix, int code);
    [[nodiscard]] bool waitForRoom();
    void logStall();
    [[nodiscard]] bool pauseUnlessStopped(std::chrono::milliseconds pause);

    link::DiagnosticLog& m_log;
    const platform::Clock& m_clock;
    std::string m_portName;                        // as configured, e.g. "COM1:"
    std::string m_devicePath;                      // the path the name stands for
    LineRequest m_request;                         // from Configure
    std::unique_ptr<LineSettings> m_lineSettings;  // built at the first open, then reapplied
    std::atomic<bool> m_deviceUnavailable{false};

    std::mutex m_controlMutex;        // one of Configure, StartReader, ... at a time
    bool m_shutDown = false;          // guarded by m_controlMutex; set by Shutdown
    platform::AutoResetEvent m_stop;  // set while StopReader runs; wakes the reader and Write
    platform::AutoResetEvent m_writeFailed;  // a Write saw the port fail; wakes the reader
    std::atomic<int> m_writeError{0};        // errno of that failure
    mutable std::mutex m_ioMutex;            // guards m_fd: a Write never sees it closed midway
    int m_fd = -1;                           // port open for the reader, or -1
    bool m_stalled = false;                  // guarded by m_ioMutex: the line takes nothing
    RepeatedErrorThrottle m_stallThrottle{kRepeatedFailureLogInterval};  // guarded likewise
    std::thread m_reader;             // started by StartReader, joined by StopReader
    std::atomic<int> m_lastError{0};  // errno of the latest failure

    // The reader thread's own record of an outage (and the owner's while no reader runs).
    bool m_backPending = false;    // the loss was logged: its return will be
    bool m_refusalLogged = false;  // a device found again refused its settings, logged once
    std::chrono::steady_clock::time_point m_openedAt;  // when the port was last opened
    RepeatedErrorThrottle m_goneThrottle{kRepeatedFailureLogInterval};
};

}  // namespace qvx::gateway
