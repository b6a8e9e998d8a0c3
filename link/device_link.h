#pragma once

// Lock order of the device link, written once:
//   1. the engine lock (one device operation at a time; recursive for its owner, 1000 ms wait)
//   2. the send lock "Blocking send" (held for one frame handed to the sender, 5000 ms wait)
//      and the mailbox lock "QVX_DataTransferMutex" (held for one copy, InternTimeOut wait).
// The engine lock is always taken first; the send lock and the mailbox lock are never held
// together and never while waiting for the engine lock. The receive thread takes only the
// mailbox lock.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "link/calibration_table.h"
#include "link/data_transfer_mailbox.h"
#include "link/frame_channel.h"
#include "link/message_dispatcher.h"
#include "link/message_table.h"
#include "platform/auto_reset_event.h"
#include "platform/recursive_timed_mutex.h"

namespace qvx::link {

/// The modem settings of the link: texts and waits of the dialling dialogue.
struct ModemSettings {
    std::string initString;     ///< initialisation command, held with CR LF at its end
    std::string dialString;     ///< dial command prefix
    std::string okString = "OK";            ///< reply expected after the initialisation
    std::string connectString = "CONNECT";  ///< reply expected after dialling
    std::string callNumber;     ///< telephone number of the controller's modem
    unsigned initTimeout = 0;   ///< wait after the initialisation command, ms
    unsigned dialTimeout = 0;   ///< longest wait for the reply to the dial command, ms
};

/// The one protocol object of the desktop program: connection, framing and the transfer
/// engine that turns reads and writes of any length into request/confirm exchanges.
class DeviceLink : public FrameChannel {
public:
    static constexpr int kDefaultReplyWaitMs = 5000;
    static constexpr unsigned kDefaultMaxRetry = 5;
    static constexpr unsigned kDefaultMaxBlockLength = 32;
    static constexpr int kEngineLockWaitMs = 1000;
    /// Sizes of the channel's send and receive buffers for the device link.
    static constexpr int kChannelBufferSize = 264;

    DeviceLink();
    ~DeviceLink() override;

    // --- connection -------------------------------------------------------------------
    /// Opens the channel as a client (first call only) and requests one connection attempt.
    [[nodiscard]] virtual bool connect(int port, std::string_view host);
    /// `connect` with the stored port and host.
    [[nodiscard]] bool connectWithStoredSettings();

    // --- transfer engine (callers hold the engine lock) -------------------------------
    [[nodiscard]] bool readEeprom(std::uint32_t address, std::size_t count);
    [[nodiscard]] bool readRam(std::uint32_t address, std::size_t count);
    [[nodiscard]] bool readProgram(std::uint32_t address, std::size_t count);
    [[nodiscard]] bool writeEeprom(std::uint32_t address, std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool writeRam(std::uint32_t address, std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool writeProgram(std::uint32_t address, std::span<const std::uint8_t> bytes);

    /// Bytes of the last read of each area (valid while the caller holds the engine lock).
    [[nodiscard]] const std::vector<std::uint8_t>& eepromBuffer() const { return m_eepromBuffer; }
    [[nodiscard]] const std::vector<std::uint8_t>& ramBuffer() const { return m_ramBuffer; }
    [[nodiscard]] const std::vector<std::uint8_t>& programBuffer() const { return m_programBuffer; }

    /// Takes the engine lock within 1000 ms; the owner may take it again.
    [[nodiscard]] bool lockEngine();
    void unlockEngine();

    /// Waits, for at most `replyWait`, until the mailbox holds the confirm of a request (kind,
    /// address and length match and it was posted after `sentAfter`, the mailbox sequence
    /// noted before the request went out) or the connection is lost; appends the confirm's
    /// data to `buffer`. Other messages and a connected event do not end the wait.
    [[nodiscard]] bool awaitConfirm(LinkEventKind kind, std::uint32_t address, std::size_t count,
                                    std::vector<std::uint8_t>* buffer, std::uint64_t sentAfter);
    /// Waits up to `wait` for a message, a connection or a loss of it.
    [[nodiscard]] LinkEventKind waitForLinkEvent(std::chrono::milliseconds wait);
    /// Builds a frame and hands it to the sender under the send lock.
    [[nodiscard]] bool sendMessage(int code, std::uint16_t address, int length,
                                   std::span<const std::uint8_t> data);

    // --- the thirteen messages --------------------------------------------------------
    [[nodiscard]] bool sendReadEepromDataReq(std::uint16_t address, int length);
    [[nodiscard]] bool sendReadProgramDataReq(std::uint16_t address, int length);
    [[nodiscard]] bool sendReadRamDataReq(std::uint16_t address, int length);
    [[nodiscard]] bool sendWriteEepromDataReq(std::uint16_t address, std::span<const std::uint8_t> data);
    [[nodiscard]] bool sendWriteProgramDataReq(std::uint16_t address, std::span<const std::uint8_t> data);
    [[nodiscard]] bool sendWriteRamDataReq(std::uint16_t address, std::span<const std::uint8_t> data);
    [[nodiscard]] bool sendReadEepromDataCnf(std::uint16_t address, std::span<const std::uint8_t> data);
    [[nodiscard]] bool sendReadProgramDataCnf(std::uint16_t address, std::span<const std::uint8_t> data);
    [[nodiscard]] bool sendReadRamDataCnf(std::uint16_t address, std::span<const std::uint8_t> data);
    [[nodiscard]] bool sendWriteEepromDataCnf(std::uint16_t address, int length);
    [[nodiscard]] bool sendWriteProgramDataCnf(std::uint16_t address, int length);
    [[nodiscard]] bool sendWriteRamDataCnf(std::uint16_t address, int length);
    [[nodiscard]] bool sendStatusInfo(std::uint16_t address, int length, std::span<const std::uint8_t> data);

    // --- device operations (device_operations.cpp) ---------------------------------------
    // Each takes the engine lock within 1000 ms (failing without traffic otherwise), except
    // readToleranceValues, which takes none, and readCalibration, which goes on without it.
    // Outputs are written only on success.

    [[nodiscard]] bool readStatusByte(int& value);
    [[nodiscard]] bool writeStatusByte(int value);
    /// Clears "recording finished" (bit 5) and sets "start recording" (bit 6).
    [[nodiscard]] bool startRecording();
    [[nodiscard]] bool readRecordingFinished(bool& finished);
    /// The five-value record at EEPROM 1-10, raw words.
    [[nodiscard]] bool readInputRecord(std::array<int, 5>& values);
    [[nodiscard]] bool writeInputRecord(const std::array<int, 5>& values);
    /// The five working switch points at EEPROM 11-20, raw words.
    [[nodiscard]] bool readSwitchPoints(std::array<int, 5>& values);
    [[nodiscard]] bool readLimitFlags(int& flags);
    [[nodiscard]] bool readServiceData(int& week, int& year, int& serialNumber);
    /// variant 0: display value (mV or mm by mode); 1: mV; 2: length through the table.
    [[nodiscard]] bool readGripperValue(float& value, int variant);
    [[nodiscard]] bool readSupplyVoltage(float& volts);
    [[nodiscard]] bool readTemperature(float& celsius);
    [[nodiscard]] bool readOutputStatus(int& value);
    /// Both outputs are 0 first; each is set from its cell when that read succeeds.
    [[nodiscard]] bool readToleranceValues(float& under, float& over);
    /// Writes both tolerance cells and the controller's support-point and tolerance tables;
    /// stops at the first failed write.
    [[nodiscard]] bool writeTolerances(float under, float over);
    /// Takes the controller's table over into the calibration table, header and points at
    /// once; leaves the table as it was when the header is refused or a read fails.
    [[nodiscard]] bool readCalibration();
    /// Writes the header and every changed point; refuses (writing nothing) a table without
    /// points or with a length the 16-bit micrometre cell cannot hold.
    [[nodiscard]] bool writeCalibration();
    /// Recording channels: samples first .. first + out.size() - 1 into out[first...].
    [[nodiscard]] bool readRecordingGripper(std::span<float> out, std::size_t first, std::size_t count);
    /// Recording channel 1 in millivolts whatever the display mode, for a transfer that runs
    /// while the user may switch the mode.
    [[nodiscard]] bool readRecordingGripperMv(std::span<float> out, std::size_t first,
                                              std::size_t count);
    [[nodiscard]] bool readRecordingSupply(std::span<float> out, std::size_t first, std::size_t count);
    [[nodiscard]] bool readRecordingOutputs(std::span<int> out, std::size_t first, std::size_t count);

    [[nodiscard]] CalibrationTable& calibration() { return m_calibration; }
    [[nodiscard]] const CalibrationTable& calibration() const { return m_calibration; }

    // --- settings ---------------------------------------------------------------------
    [[nodiscard]] int replyWait() const { return m_replyWaitMs; }
    void setReplyWait(int milliseconds) { m_replyWaitMs = milliseconds; }
    [[nodiscard]] unsigned maxRetry() const { return m_maxRetry; }
    void setMaxRetry(unsigned attempts) { m_maxRetry = attempts; }
    [[nodiscard]] unsigned maxBlockLength() const { return m_maxBlockLength; }
    /// Clamped to 1..255: the segmentation divides by it and the length field is one byte.
    void setMaxBlockLength(unsigned bytes);
    [[nodiscard]] bool tcpConnection() const { return m_tcpConnection; }
    void setTcpConnection(bool tcp) { m_tcpConnection = tcp; }
    [[nodiscard]] std::string host() const;
    /// Kept to 199 characters, as the setting holds.
    void setHost(std::string_view host);
    [[nodiscard]] int port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    [[nodiscard]] int basePort() const { return m_basePort; }
    void setBasePort(int port) { m_basePort = port; }
    /// The mailbox's lock wait (`InternTimeOut`), in ms.
    void setInternTimeout(int milliseconds) { m_mailbox.setLockWait(milliseconds); }
    [[nodiscard]] int internTimeout() const { return m_mailbox.lockWait(); }

    /// Modem settings: set by the user-interface thread while no polling runs, read by the
    /// polling thread when it dials again to restore a lost link.
    [[nodiscard]] ModemSettings& modem() { return m_modem; }
    [[nodiscard]] const ModemSettings& modem() const { return m_modem; }

    [[nodiscard]] DataTransferMailbox& mailbox() { return m_mailbox; }
    /// Records every received message for diagnosis; set before connecting.
    void setTraceHook(TraceHook hook) { m_poster.setTraceHook(std::move(hook)); }

    // --- link health since the current connection came up ---------------------------------
    /// Requests sent again after an attempt that got no matching confirm.
    [[nodiscard]] std::uint64_t retries() const { return m_retries; }
    /// Waits for a confirm that ended with nothing received within the reply wait.
    [[nodiscard]] std::uint64_t timeouts() const { return m_timeouts; }

protected:
    void signalConnected() override;
    void signalDisconnected() override;
    MessageHandlers& messageHandlers() override { return m_poster; }

private:
    enum class Area { Eeprom, Program, Ram };
    [[nodiscard]] bool segmentedRead(Area area, std::uint32_t address, std::size_t count);
    [[nodiscard]] bool segmentedWrite(Area area, std::uint32_t address, std::span<const std::uint8_t> bytes);
    /// One engine-locked read of `count` bytes of one area; the bytes land in its buffer.
    [[nodiscard]] bool lockedRead(Area area, std::uint32_t address, std::size_t count);
    [[nodiscard]] bool lockedWrite(Area area, std::uint32_t address, std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool readRecordingWords(std::uint32_t base, std::size_t first, std::size_t count,
                                          std::size_t outSize, std::vector<std::uint16_t>& words);
    [[nodiscard]] bool transferBlock(Area area, std::uint32_t address, std::span<const std::uint8_t> data,
                                     std::size_t count, unsigned maxRetry, std::vector<std::uint8_t>* buffer);
    [[nodiscard]] std::vector<std::uint8_t>& bufferOf(Area area);
    /// A warning line for an attempt that got no matching confirm.
    void logFailedAttempt(int code, std::uint32_t address, std::size_t count, unsigned attempt,
                          unsigned maxRetry);

    std::atomic<int> m_replyWaitMs{kDefaultReplyWaitMs};
    std::atomic<unsigned> m_maxRetry{kDefaultMaxRetry};
    std::atomic<unsigned> m_maxBlockLength{kDefaultMaxBlockLength};
    std::atomic<bool> m_tcpConnection{true};
    mutable std::mutex m_hostMutex;
    std::string m_host{"localhost"};  // guarded by m_hostMutex
    std::atomic<int> m_port{0};
    std::atomic<std::uint64_t> m_retries{0};
    std::atomic<std::uint64_t> m_timeouts{0};
    std::atomic<int> m_basePort{0};
    ModemSettings m_modem;

    DataTransferMailbox m_mailbox;
    platform::AutoResetEvent m_messageArrived;
    platform::AutoResetEvent m_connectedEvent;
    platform::AutoResetEvent m_disconnectedEvent;
    MailboxPoster m_poster{m_mailbox, m_messageArrived};

    CalibrationTable m_calibration;
    platform::RecursiveTimedMutex m_engineLock;
    // The result buffers belong to the holder of the engine lock.
    std::vector<std::uint8_t> m_eepromBuffer;
    std::vector<std::uint8_t> m_programBuffer;
    std::vector<std::uint8_t> m_ramBuffer;
};

}  // namespace qvx::link
