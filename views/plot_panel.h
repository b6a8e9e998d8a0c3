#pragma once

#include <QWidget>

#include "views/cursor_readout.h"
#include "views/user_messages.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace qvx::widgets {
class TimePlot;
}

namespace qvx::views {

/// A gripper plot with its tools: pause (live plots; also the space bar), back to the full
/// range, cursor snapping onto output edges, removal of the cursors, copy (also Ctrl+C) and
/// saving as PNG or SVG, and the cursor read-out below it.
class PlotPanel : public QWidget {
    Q_OBJECT

public:
    enum class Kind { Live, Recording };

    explicit PlotPanel(Kind kind, QWidget* parent = nullptr);

    [[nodiscard]] widgets::TimePlot& plot() { return *m_plot; }
    /// Units of the read-out; it is written again.
    void setReadoutUnits(const ReadoutUnits& units);
    /// Writes the read-out again from the plot (after new points or a refill).
    void updateReadout();

    void setMessageSink(MessageSink sink) { m_messages = std::move(sink); }
    void setSaveFileDialog(SaveFileDialog dialog) { m_saveDialog = std::move(dialog); }
    /// The plot to the clipboard as an image.
    void copyToClipboard();
    /// Asks for a file and writes the plot as PNG or SVG (by the name's suffix, PNG when it
    /// has none); true when written.
    bool saveImage(const QString& suggestedBaseName);

private:
    void updatePauseCaption();

    widgets::TimePlot* m_plot;
    QPushButton* m_pause = nullptr;
    QPushButton* m_reset;
    QCheckBox* m_snap;
    QPushButton* m_clearCursors;
    QPushButton* m_copy;
    QPushButton* m_save = nullptr;
    QLabel* m_readout;
    ReadoutUnits m_units;
    MessageSink m_messages;
    SaveFileDialog m_saveDialog;
};

/// Writes `write` into the file the user names in `dialog` (a missing suffix becomes
/// `suffix`), never leaving half a file: false when cancelled or failed, with a message
/// through `messages` for a failure.
[[nodiscard]] bool saveThroughDialog(
    QWidget* parent, const SaveFileDialog& dialog, const MessageSink& messages,
    const QString& caption, const QString& suggestedName, const QString& filter,
    const QString& suffix, const std::function<bool(const QString& path, QIODevice&)>& write);

}  // namespace qvx::views
