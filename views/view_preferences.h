#pragma once

#include <QString>
#include <functional>

#include "views/user_messages.h"
#include "views/valid_form.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qvx::link {
class CalibrationTable;
}

namespace qvx::views {

/// "Kalibrierung": edits the calibration table point by point, teaches the live voltage into
/// a point, derives the next point by shortening a length, and saves the table with new
/// thresholds into the controller.
///
/// Edits reach the table when a field is left (or before a command that needs them); the
/// controller receives them only with the save button. A field whose text is still what the
/// view showed counts as unchanged, so tabbing through the form never rounds a stored point.
class CViewPreferences : public CValidForm {
    Q_OBJECT

public:
    /// Length added above the longest point and subtracted from it for the first two
    /// thresholds, and added to the shortest point for the last one, mm.
    static constexpr float kThresholdMarginMm = 0.5F;
    /// Lengths closer than this count as equal when a field is left, mm.
    static constexpr float kLengthTolerance = 0.0001F;
    /// Highest sensor voltage a point can hold, mV.
    static constexpr float kMaxMv = 5000.0F;

    /// Saves the controller's state before a save overwrites it; false with the reason when
    /// no copy could be made.
    using SafetyCopy = std::function<bool(QString& failure)>;

    explicit CViewPreferences(document::CQvx_controllerDoc& document, QWidget* parent = nullptr);

    /// Replaces the message boxes (tests answer them without blocking).
    void setMessageSink(MessageSink sink) { m_messages = std::move(sink); }
    /// Replaces the safety copy in the user's data folder.
    void setSafetyCopy(SafetyCopy copy) { m_safetyCopy = std::move(copy); }

    void OnInitialUpdate() override;
    void OnUpdate(document::DocumentView* sender, int hint) override;

    /// "&Zurück" (Ctrl+Z): the preceding point.
    void previousPoint();
    /// "&Vor" (Ctrl+V): the following point.
    void nextPoint();
    /// "&Lern" (Ctrl+L): the live voltage into the mV field; the table follows when a field is
    /// left.
    void learn();
    /// "mm Wert": the point after the current one becomes a copy of it, shortened by the
    /// amount; at the end of the table a point is added.
    void shorten();
    /// "Kalibrierungsdaten im QVX sichern": a safety copy of the controller's state, then the
    /// table, the thresholds derived from its longest and shortest point, and switch-point
    /// mode. Nothing is written without the safety copy; a failed transfer is reported.
    void save();

protected:
    void validateField(QWidget* field) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// What the view last put into the fields from the table.
    struct Shown {
        QString count;
        QString index;
        QString length;
        QString voltage;
        bool tenthInch = false;  // the length field was shown in tenths of an inch
    };

    [[nodiscard]] link::CalibrationTable& table();
    /// Lengths are shown and entered in tenths of an inch only in length mode with the inch
    /// preference; in mV mode they stay millimetres.
    [[nodiscard]] bool tenthInch();
    /// A length in mm as the length field shows it.
    [[nodiscard]] QString lengthText(float mm);
    void showCount();
    void showPoint();
    void updateUnitTexts();

    /// Takes over every field the user changed; false (with a message, the focus on the
    /// refused field) when one is refused.
    [[nodiscard]] bool commitEdits();
    [[nodiscard]] bool commitCount();
    [[nodiscard]] bool commitIndex();
    [[nodiscard]] bool commitPoint();
    /// Writes the table, then the thresholds that belong to it; false when a transfer failed.
    [[nodiscard]] bool writeToController();
    /// Shows `text` and puts the focus back into `field`.
    void refuse(QLineEdit* field, const char* text);
    void message(const QString& text);

    QLineEdit* m_count;
    QLineEdit* m_index;
    QLineEdit* m_length;
    QLineEdit* m_voltage;
    QLineEdit* m_amount;
    QLabel* m_lengthUnit;
    QLabel* m_shortenTail;
    QPushButton* m_previous;
    QPushButton* m_next;
    QPushButton* m_learn;
    QPushButton* m_save;
    QPushButton* m_shorten;
    MessageSink m_messages;
    SafetyCopy m_safetyCopy;
    Shown m_shown;
    bool m_initialised = false;
};

}  // namespace qvx::views
