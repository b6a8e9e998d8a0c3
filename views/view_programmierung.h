#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "document/programming_file.h"
#include "views/valid_form.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qvx::views {

/// "Programmieren": the controller's five thresholds (taught from the gripper or typed in the
/// display unit), the switching mode, the tolerance band around the current gripper value,
/// and saving and restoring the whole programming to a .qvx file.
///
/// Every command starts from what it reads from the controller and writes nothing when a
/// read fails or an entry is not a number, so the controller never receives values that were
/// not meant; the user is told what was not done and why. Thresholds outside the sensor's
/// range are written as its nearer end, and the user is told the values written.
class CViewProgrammierung : public CValidForm {
    Q_OBJECT

public:
    /// Asks the user for a file name; an empty name means the dialog was cancelled.
    using FileNameQuestion = std::function<QString(QWidget* parent)>;
    /// The two file dialogs. The defaults are the standard dialogs with the .qvx filter; the
    /// open dialog accepts existing files only.
    struct FileDialogs {
        FileNameQuestion saveName;  ///< "Programmierung sichern"
        FileNameQuestion openName;  ///< "Programmierung wieder einlesen"
    };

    explicit CViewProgrammierung(document::CQvx_controllerDoc& document, QWidget* parent = nullptr);

    /// Replaces the file dialogs (tests answer them without a window).
    void setFileDialogs(FileDialogs dialogs) { m_dialogs = std::move(dialogs); }

    /// Loads the entries from the document's taught texts and the tolerances from the
    /// document, then shows the controller's input memory.
    void OnInitialUpdate() override;
    /// Hint 256: unit labels and the input-memory displays follow the controller.
    void OnUpdate(document::DocumentView* sender, int hint) override;

signals:
    /// A restored programming changed the document's `inchUnit`; whoever shows the unit
    /// preference (the frame's unit menu) follows it.
    void inchUnitChanged();

protected:
    void validateField(QWidget* field) override;

private:
    /// A threshold on its way to the controller.
    struct Threshold {
        std::uint16_t raw = 0;  ///< raw position word
        bool clamped = false;   ///< the voltage lay outside 0..5000 mV and was cut to the range
    };
    using Thresholds = std::array<std::optional<Threshold>, 5>;

    /// The raw word of a threshold given in the display unit of `mode` and `inchUnit`.
    /// Voltages outside the sensor's range are written as its nearer end; nullopt when the
    /// value does not convert at all (too few support points, or a length far beyond what a
    /// float holds).
    [[nodiscard]] static std::optional<Threshold> thresholdToRaw(
        const link::CalibrationTable& table, link::CalibrationMode mode, int inchUnit, float value);

    void teach(std::size_t column);
    void writeEnteredValues();
    void setSwitchingMode(bool rangeMode);
    void programTolerances();
    void saveProgramming();
    void restoreProgramming();

    /// Unit labels and, from a fresh read of the input record, the displays (raw 0 when the
    /// record cannot be read).
    void refresh();
    void setUnitLabels();
    void showRecord(const std::array<int, 5>& record);
    /// The entries' texts become the document's taught texts.
    void takeOverEntries();
    /// The tolerance edit's number; shows the number message and focuses the edit otherwise.
    [[nodiscard]] std::optional<float> toleranceOf(QLineEdit* edit);
    /// The entries that are not blank, converted; false (with a message) when one is refused.
    [[nodiscard]] bool enteredThresholds(Thresholds& entered);
    /// The file's programming, or nullopt after telling the user why there is none.
    [[nodiscard]] std::optional<document::Programming> readProgramming(const QString& name);
    /// The five thresholds of a file in `unit` (whose mode the table can convert); nullopt
    /// after telling the user which is refused.
    [[nodiscard]] std::optional<Thresholds> fileThresholds(const document::Programming& programming,
                                                           document::ProgrammingUnit unit,
                                                           const QString& shownName);
    /// Tells the user which thresholds of the record just written were cut to the sensor range,
    /// and the values they were written with.
    void reportClamped(const std::array<int, 5>& record, const std::array<bool, 5>& clamped);
    /// Status byte: read, set or clear the range bit, set bit 7, write. Nothing is written
    /// when the read fails, so the other bits are never cleared by mistake.
    [[nodiscard]] bool writeSwitchingMode(bool rangeMode);
    void warn(const QString& text);

    std::array<QPushButton*, 5> m_teach{};
    std::array<QLineEdit*, 5> m_entries{};
    std::array<QLineEdit*, 5> m_inputMemory{};
    QLabel* m_entryLabel;
    QLabel* m_underLabel;
    QLabel* m_overLabel;
    QLineEdit* m_under;
    QLineEdit* m_over;
    FileDialogs m_dialogs;
    bool m_initialised = false;  // updates are ignored before the initial update
};

}  // namespace qvx::views
