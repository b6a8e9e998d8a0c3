#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "document/recording_transfer.h"
#include "link/calibration_table.h"
#include "views/gripper_plot_values.h"
#include "views/user_messages.h"
#include "views/valid_form.h"

class QIODevice;
class QLabel;
class QPushButton;
class QTimer;

namespace qvx::widgets {
class RectangularLed;
class TimePlot;
}  // namespace qvx::widgets

namespace qvx::views {

class PlotPanel;

/// "Aufnahme": makes the controller record a snapshot of gripper value, supply voltage and
/// outputs, transfers it into the document and plots it over time; a recording the
/// controller already holds can be transferred again. The recording can be exported as CSV
/// or the plot saved as a picture (PNG or SVG), so that technicians can document a problem.
/// An exported recording can be opened again without a controller, and a second one laid
/// over it for comparison (before/after); the plot has cursors, zoom and the switch points
/// as reference lines.
///
/// The device work of a recording runs on a worker thread while the window stays alive, so
/// "Abbrechen" and a close request reach it; a transfer stops at the first read the
/// controller does not answer and after its time limit.
class CViewAufnahme : public CValidForm {
    Q_OBJECT

public:
    /// Samples per channel and the time between two of them, ms.
    static constexpr std::size_t kSamples = document::CQvx_controllerDoc::kRecordingSamples;
    static constexpr int kSampleIntervalMs = 30;

    /// The waits of a recording.
    struct Timing {
        /// Longest wait for the controller to report the recording finished; then the
        /// transfer starts as after a failed poll.
        std::chrono::milliseconds finishLimit{60'000};
        /// Pause between two polls of the finished bit.
        std::chrono::milliseconds pollStep{100};
        /// Longest transfer: no read starts after it (a read under way ends by its retries).
        std::chrono::milliseconds transferLimit{120'000};
        /// Half period of the blinking lamp of the running operation.
        std::chrono::milliseconds blinkInterval{250};
    };

    explicit CViewAufnahme(document::CQvx_controllerDoc& document, QWidget* parent = nullptr);
    ~CViewAufnahme() override;

    void setTiming(const Timing& timing);
    /// Replaces the message boxes (tests answer them without blocking).
    void setMessageSink(MessageSink sink) { m_messages = std::move(sink); }
    /// Replaces the save dialog of the exports.
    void setSaveFileDialog(SaveFileDialog dialog) { m_saveDialog = std::move(dialog); }
    /// Replaces the open dialog of "Aufnahme öffnen...".
    void setOpenFileDialog(OpenFileDialog dialog) { m_openDialog = std::move(dialog); }
    [[nodiscard]] PlotPanel& plotPanel() { return *m_panel; }

    void OnInitialUpdate() override;
    void OnUpdate(document::DocumentView* sender, int hint) override;

    /// "Aufnahme starten": record, wait for the end, transfer and plot. Ignored while the
    /// link is down or a recording or transfer runs.
    void startRecording();
    /// "bestehende Aufnahme neu einlesen": transfer and plot what the controller holds.
    void rereadRecording();
    /// "Abbrechen": ends the running recording wait or transfer before its next read; what
    /// was read so far is kept and marked as incomplete.
    void cancel();
    /// "Als CSV exportieren": asks for a file and writes the recording with a header about it
    /// (controller, unit, program, time), and beside it the plain columns in a file whose name
    /// ends in "_daten.csv"; true when both were written.
    bool exportCsv();
    /// "Als Bild speichern": asks for a file and writes the plot as PNG, or as SVG for a name
    /// ending in ".svg"; true when written.
    bool saveImage();
    /// "Aufnahme öffnen...": asks for an exported recording and shows it in place of the
    /// current one; a file that is no recording is refused with a message and changes
    /// nothing. True when opened.
    bool openRecording();
    /// "Zum Vergleich öffnen...": lays a second recording from a file over the current one.
    bool openComparison();
    /// "Vergleich entfernen".
    void removeComparison();
    /// Largest file "Aufnahme öffnen..." reads, bytes (an exported recording has about 20 KB).
    static constexpr qint64 kMaxRecordingFileBytes = 1 << 20;

    /// True while a recording or transfer runs.
    [[nodiscard]] bool isBusy() const { return m_busy; }

    /// The document's recording as CSV: "time_ms,gripper_<unit>,ub_V,outputs" and one line
    /// per sample read, the gripper value in `unit` (the unit of the transfer).
    [[nodiscard]] static std::string recordingCsv(const document::CQvx_controllerDoc& document,
                                                  link::CalibrationMode unit);

private:
    class Busy;
    /// What a recording operation transferred; nullopt when it did not get as far as the
    /// transfer (the start failed, or it was cancelled while the controller recorded).
    using Transfer = std::optional<document::TransferredRecording>;
    /// A recording operation, run off the user-interface thread.
    using Operation = std::function<Transfer(const std::stop_token&)>;

    /// Runs `operation` with `lamp` showing `runningCaption`, then keeps and plots what it
    /// transferred and tells the user when a transfer failed.
    void run(widgets::RectangularLed& lamp, const char* runningCaption, const char* idleCaption,
             const Operation& operation);
    void report(const document::TransferredRecording& transfer);
    void message(const QString& text);
    void fillPlot();
    void applyVisibility();
    void applyAxis();
    void toggleChannel(int channel);
    void blink();
    /// Export buttons and the mark of an incomplete recording.
    void updateRecordingState();
    /// Reads and checks a recording file the user chooses; nothing when cancelled or refused
    /// (with a message).
    [[nodiscard]] std::optional<std::pair<document::RecordingFile, QString>> chooseRecordingFile(
        const char* caption);
    /// The header of the exported file.
    [[nodiscard]] document::RecordingHeader exportHeader();
    /// The legend name of the document's recording.
    [[nodiscard]] QString recordingLegendName();

    PlotPanel* m_panel;
    widgets::TimePlot* m_plot;
    widgets::RectangularLed* m_start;
    widgets::RectangularLed* m_reread;
    std::array<widgets::RectangularLed*, 3> m_toggles{};  // by channel
    QPushButton* m_cancel;
    QLabel* m_state;  // marks an incomplete recording
    QPushButton* m_exportCsv;
    QPushButton* m_saveImage;
    QPushButton* m_open;
    QPushButton* m_openComparison;
    QPushButton* m_removeComparison;
    QTimer* m_blinkTimer;
    widgets::RectangularLed* m_blinking = nullptr;  // the lamp of the running operation
    Timing m_timing;
    MessageSink m_messages;
    SaveFileDialog m_saveDialog;
    OpenFileDialog m_openDialog;
    std::stop_source m_stop;  // of the running operation
    /// Unit the plot was last filled in (mode and inch preference).
    std::optional<std::pair<link::CalibrationMode, int>> m_plottedUnit;
    bool m_busy = false;
    bool m_initialised = false;
};

}  // namespace qvx::views
