#pragma once

#include <QMainWindow>
#include <memory>

class QAction;
class QMenu;
class QSplitter;

namespace qvx::document {
class CQvx_controllerDoc;
}

namespace qvx::views {
class DiagnosticLogWindow;
class LinkStatusBar;
}  // namespace qvx::views

namespace qvx::app {

/// The main window: the fixed pane on top, one of five lower views below, and the menu.
/// It switches views and nothing else; each view owns its form.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    /// View numbers of SwitchView.
    enum View { kProgramming = 1, kOperatingState = 2, kRecording = 3, kCalibration = 4, kService = 5 };

    explicit CMainFrame(document::CQvx_controllerDoc& document);
    ~CMainFrame() override;

    /// Shows lower view n (1..5); the same view again only re-reads its data.
    void SwitchView(int n);
    /// The number of the lower view shown.
    [[nodiscard]] int currentView() const { return m_current; }
    [[nodiscard]] QWidget* lowerView() const;
    [[nodiscard]] QWidget* fixedPane() const;
    /// Sets the unit menu's check marks from the document's preference.
    void syncUnitMenu();
    /// The window "Diagnoseprotokoll"; it exists, hidden, from the start.
    [[nodiscard]] views::DiagnosticLogWindow& diagnosticLog() { return *m_log; }
    [[nodiscard]] views::LinkStatusBar& linkStatusBar() { return *m_statusBar; }

signals:
    /// "Verbindung herstellen..." was chosen (while the user interface is not busy).
    void connectRequested();
    /// "Verbindung trennen" was chosen (while the user interface is not busy).
    void disconnectRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    /// "Gerätesicherung speichern..." and "Gerätesicherung wiederherstellen...".
    void addBackupActions(QMenu& file);
    void setInchUnit(int inchUnit);
    void showHelp();
    void showAbout();
    void showDiagnosticLog();

    document::CQvx_controllerDoc& m_document;
    QSplitter* m_splitter;
    QAction* m_millimetres = nullptr;
    QAction* m_tenthInches = nullptr;
    views::DiagnosticLogWindow* m_log;
    views::LinkStatusBar* m_statusBar;
    int m_current = 0;
};

}  // namespace qvx::app
