#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "document/live_history.h"
#include "document/recording_file.h"
#include "link/device_link.h"
#include "platform/auto_reset_event.h"

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

    CQvx_controllerDoc();
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
    float underTolerance = 0.0F;              ///< display value
    float overTolerance = 0.0F;               ///< display value
    /// The operating-state plot's points; they survive switching to another view.
    LiveHistory liveHistory;

    // --- written by the polling thread ----------------------------------------------
    std::atomic<bool> newData{false};  ///< a cycle ended; cleared by the fixed pane
    std::atomic<std::uint64_t> pollCycles{0};  ///< cycles ended since start (for diagnosis)
    std::atomic<bool> pollOk{false};   ///< the last cycle succeeded
    std::array<std::atomic<bool>, 5> outputActive{};  ///< outputs 1..5
    std::array<std::atomic<int>, 5> switchPoints{};   ///< raw words, Aus<-->Auf .. A<-->Zu
    std::atomic<float> gripperDisplay{0.0F};  ///< in the display unit
    std::atomic<float> gripperMv{0.0F};       ///< in mV

private:
    /// The cycle: a stop check before and after each of the three reads; a failed read skips
    /// the later ones and leaves their fields as they were.
    void pollLoop();
    bool pollOutputs();
    bool pollSwitchPoints();
    bool pollGripper();
    /// Waits up to 10 ms for the stop request; true when it came.
    [[nodiscard]] bool stopRequested();

    link::DeviceLink m_link;
    std::vector<DocumentView*> m_views;  // user-interface thread only
    platform::AutoResetEvent m_stop;
    std::atomic<bool> m_stopping{false};
    std::thread m_poller;
};

}  // namespace qvx::document
