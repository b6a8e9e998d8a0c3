#pragma once

#include <QWidget>
#include <cstdint>
#include <fstream>
#include <string>

#include "document/document.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTimer;

namespace qvx::views {

/// The window "Diagnoseprotokoll": the link's log lines as they come (Info and above; Debug
/// adds every frame in hexadecimal), cleared and saved on request. It collects the lines from
/// the document's log buffer on a timer whether shown or not, and appends them to the log file
/// when one is set, so the file holds the same lines.
class DiagnosticLogWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kCollectMs = 200;
    /// Lines the window keeps; older ones scroll out.
    static constexpr int kMaxLines = 20000;

    explicit DiagnosticLogWindow(document::CQvx_controllerDoc& document, QWidget* parent = nullptr);

    /// Appends every line from now on to `path` too; false when it cannot be opened.
    [[nodiscard]] bool setLogFile(const std::string& path);
    /// Takes the buffered lines over (the timer calls it).
    void collect();
    /// Writes the lines shown to a text file; false when that failed.
    [[nodiscard]] bool saveTo(const QString& path) const;
    /// The lines shown, one per line.
    [[nodiscard]] QString text() const;

private:
    void setDebug(bool on);
    void saveAs();
    void append(const std::string& line);

    document::CQvx_controllerDoc& m_document;
    QTimer* m_timer;
    QPlainTextEdit* m_lines;
    QCheckBox* m_debug;
    QLabel* m_droppedLabel;
    std::uint64_t m_dropped = 0;
    std::ofstream m_file;
};

}  // namespace qvx::views
