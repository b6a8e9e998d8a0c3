#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "connection/link_recovery.h"
#include "document/link_health.h"
#include "document/live_history.h"
#include "document/recording_file.h"
#include "link/device_link.h"
#include "link/log_buffer.h"
#include "platform/auto_reset_event.h"
#include "platform/clock.h"

namespace qvx::document {

class CQvx_controllerDoc;

/// A view of the document: told about new device values (hint 256) and about the supervisor
/// mode being known (hint 512).
class DocumentView {
public:
    virtual ~DocumentView() = default;
    virtual void OnUpdate(DocumentView* sender, int hint) = 0;
};

/// The single document: the program's mirror of the connected controller. It owns the
/// device link and the polling thread that keeps the live values current.
///
/// Fields the polling thread writes (outputs, switch points, gripper values, pollOk, newData)
/// are atomics with that thread as their only writer; the user-interface thread writes the
/// others and reads all of them.
class CQvx_controllerDoc {
public:
    static constexpr int kHintNewData = 256;
    static constexpr int kHintSupervisor = 512;
    static constexpr std::size_t kRecordingSamples = 640;
    static constexpr std::size_t kTeachTextLength = 19;  ///< characters a taught text holds

    /// Consecutive polling cycles that must fail before a controller counts as gone. A lost
    /// confirm is repeated within its read; only a read whose every attempt failed fails a
    /// cycle, and it takes this many in a row.
    static constexpr int kFailedCyclesForLoss = 3;
    /// The log mask of a run: errors, warnings and information; the diagnostic window adds
    /// debug lines on request.
    static constexpr int kLogMaskInfo = link::kLogError | link::kLogWarning | link::kLogInfo;

    /// `clock` paces the reconnect attempts.
    explicit CQvx_controllerDoc(const platform::Clock& clock = platform::SteadyClock::instance());
    ~CQvx_controllerDoc();
    CQvx_controllerDoc(const CQvx_controllerDoc&) = delete;
    CQvx_controllerDoc& operator=(const CQvx_controllerDoc&) = delete;

    /// Reads the unit preference from the settings file.
    bool OnNewDocument(const std::filesystem::path& settings);
    /// Writes the unit preference back.
    void OnCloseDocument(const std::filesystem::path& settings);

    /// Tells every registered view but the sender.
    void UpdateAllViews(DocumentView* sender, int hint);
    void addView(DocumentView* view);
    void removeView(DocumentView* view);

    /// Starts the polling thread (once, after a successful start-up).
    void startPolling();
    /// Stops the polling thread and waits for it; a transfer in progress is cut short by
    /// closing the connection, so this never waits out a transfer's retries.
    void stopPolling();
    [[nodiscard]] bool isPolling() const { return m_poller.joinable(); }

    /// What a reconnect needs from the connection just made, and the controller it reached;
    /// set before startPolling.
    void setReconnectTarget(connection::ReconnectTarget target,
                            std::optional<connection::ServiceData> controller);
    /// Ends polling and the connection at the user's request; the panes show offline and no
    /// reconnect follows.
    void disconnectLink();
    /// What the last reconnect found, once; nothing when no link was restored since.
    [[nodiscard]] std::optional<RecoveryReport> takeRecoveryReport();

    [[nodiscard]] LinkHealth& health() { return m_health; }
    [[nodiscard]] const LinkHealth& health() const { return m_health; }
    /// Where the link's log lines wait for the diagnostic window and the log file.
    [[nodiscard]] link::BufferedLogSink& logBuffer() { return m_logBuffer; }

    [[nodiscard]] link::DeviceLink& link() { return m_link; }
    [[nodiscard]] const link::DeviceLink& link() const { return m_link; }

    // --- written by the user-interface thread ---------------------------------------
    std::atomic<bool> supervisorMode{false};  ///< started with the supervisor access code
    std::atomic<bool> readTolerances{false};  ///< tolerances read at start-up
    std::atomic<int> inchUnit{0};             ///< 1: lengths in tenths of an inch, 0: mm
    std::array<bool, 6> curveVisible{true, true, true, true, true, true};  ///< plot toggles
    bool recordingPresent = false;            ///< a recording was read back
    /// Leading samples of the recording that were read back; kRecordingSamples when the
    /// recording is complete. The samples after them are 0.
    std::size_t recordingSamples = 0;
    std::array<float, kRecordingSamples> recGripper{};  ///< gripper per sample, in recGripperUnit
    /// The mode the recording was transferred in: mV, or mm with a calibrated table.
    link::CalibrationMode recGripperUnit = link::CalibrationMode::Millivolt;
    std::array<float, kRecordingSamples> recSupply{};   ///< Ub per sample, V
    std::array<int, kRecordingSamples> recOutputs{};    ///< output word per sample
    /// What is known of the recording: for one opened from a file its header, for one read
    /// from the controller the time of the transfer.
    RecordingHeader recordingHeader;
    bool recordingFromFile = false;  ///< opened from a file, not read from the controller
    std::string recordingName;       ///< the file it was opened from; empty when read
    /// A second recording laid over the first (before/after); no samples when there is none.
    RecordingData comparison;
    std::string comparisonName;      ///< the file the comparison was opened from
    std::array<std::string, 5> teachText;     ///< per range, the taught value as shown
    /// The switching mode the fixed pane last read (true: range mode); nothing before.
    std::optional<bool> rangeMode;
    float underTolerance = 0.0F;              ///< display value
    float overTolerance = 0.0F;               ///< display value
    /// The operating-state plot's points; they survive switching to another view.
    LiveHistory liveHistory;

    /// A lost link is restored by the polling thread (`AutoReconnect` in qvx.ini).
    std::atomic<bool> autoReconnect{true};

    // --- asked for by the user-interface thread, answered by the polling thread -----
    // Values the polling thread reads only on request, right after a cycle, so that no view
    // waits on the line for them. A view sets a request; the polling thread takes it back when
    // it starts the read and publishes the answer below.
    /// The status byte, for the operating mode: answered after any cycle, successful or not;
    /// while the polling thread waits for a lost link, at once as a failed read.
    std::atomic<bool> statusByteWanted{false};
    /// Temperature, supply voltage and limit flags: answered after a successful cycle only.
    std::atomic<bool> operatingValuesWanted{false};

    // --- written by the polling thread ----------------------------------------------
    std::atomic<bool> newData{false};  ///< a cycle ended; cleared by the fixed pane
    std::atomic<std::uint64_t> pollCycles{0};  ///< cycles ended since start (for diagnosis)
    std::atomic<bool> pollOk{false};   ///< the last cycle succeeded
    std::array<std::atomic<bool>, 5> outputActive{};  ///< outputs 1..5
    std::array<std::atomic<int>, 5> switchPoints{};   ///< raw words, Aus<-->Auf .. A<-->Zu
    std::atomic<float> gripperDisplay{0.0F};  ///< in the display unit
    std::atomic<float> gripperMv{0.0F};       ///< in mV
    // Whether each value above came from the last cycle; a value whose read failed or was
    // skipped, or that was read before the link was lost, is stale.
    std::atomic<bool> outputsCurrent{false};
    std::atomic<bool> switchPointsCurrent{false};
    std::atomic<bool> gripperCurrent{false};
    // The answers to the requests above. Each value is stored before its flag, which says
    // whether its last read succeeded (a failed read leaves the value as it was), and the
    // answer count goes up last; a reader takes the flag before the value.
    std::atomic<int> statusByte{0};
    std::atomic<bool> statusByteRead{false};
    std::atomic<std::uint64_t> statusByteAnswers{0};
    std::atomic<float> temperature{0.0F};   ///< in °C
    std::atomic<bool> temperatureRead{false};
    std::atomic<float> supplyVolts{0.0F};   ///< in V
    std::atomic<bool> supplyVoltsRead{false};
    std::atomic<int> limitFlags{0};         ///< bits 0-3
    std::atomic<bool> limitFlagsRead{false};
    std::atomic<std::uint64_t> operatingValueAnswers{0};

private:
    /// The cycle: a stop check before and after each of the three reads; a failed read skips
    /// the later ones and leaves their fields as they were.
    void pollLoop();
    bool pollOutputs();
    bool pollSwitchPoints();
    bool pollGripper();
    /// Waits up to 10 ms for the stop request; true when it came.
    [[nodiscard]] bool stopRequested();
    /// One cycle's reads; false when one failed.
    [[nodiscard]] bool pollCycle();
    void markAllStale();
    /// Reads what was asked for; the operating-state values only after a successful cycle.
    void answerRequests(bool cycleOk);
    /// Publishes the status byte, or its failed read (nothing).
    void publishStatusByte(std::optional<int> status);
    /// The loss of a link that was online: offline at once, stale values, the first attempt.
    void linkLost(connection::ReconnectBackoff& backoff, bool controllerSilent);
    /// One reconnect attempt with the engine lock held, so no other thread's frame goes into
    /// the login or the modem dialogue.
    [[nodiscard]] bool tryReconnect();
    void logLine(const std::string& text, int level) { m_link.log(text, level); }

    const platform::Clock& m_clock;
    link::BufferedLogSink m_logBuffer;  // outlives the link, which writes into it
    LinkHealth m_health;
    link::DeviceLink m_link;
    std::vector<DocumentView*> m_views;  // user-interface thread only
    platform::AutoResetEvent m_stop;
    std::atomic<bool> m_stopping{false};
    // Set by the user-interface thread while no polling runs; the polling thread's own after.
    connection::ReconnectTarget m_target;
    std::optional<connection::ServiceData> m_controller;
    std::mutex m_reportMutex;
    std::optional<RecoveryReport> m_report;  // guarded by m_reportMutex
    std::thread m_poller;
};

}  // namespace qvx::document
