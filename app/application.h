#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <string>

class QTimer;

namespace qvx::connection {
class ConnectionUi;
}

namespace qvx::document {
class CQvx_controllerDoc;
}

namespace qvx::app {

class CMainFrame;

/// True when the whole command line (arguments joined by single spaces) is the supervisor
/// access code in any letter case.
[[nodiscard]] bool isSupervisorCommandLine(const QStringList& arguments);
/// "RegServer" / "UnregServer": nothing to register on this platform.
[[nodiscard]] bool isRegistrationCommandLine(const QStringList& arguments);

/// The desktop program's start-up and shutdown around the document and the main frame.
class QvxApplication {
public:
    /// `arguments` without the program name and without the program's own options;
    /// `settings` is the qvx.ini path; `logFile`, when not empty, takes the diagnostic log
    /// too. Made after the QApplication: puts the C library's numbers back to the decimal point.
    QvxApplication(QStringList arguments, std::filesystem::path settings, std::string logFile = {});
    ~QvxApplication();

    /// Creates the document and the frame, shows the frame and broadcasts the supervisor
    /// mode; the connection comes next.
    void start();
    /// The connection procedure with its dialog; starts polling when it ends online. A link
    /// that stands is ended first. The navigation and closing stay inert meanwhile. `ui`
    /// answers the messages (tests pass their own); false when the program stays offline.
    bool connect(connection::ConnectionUi& ui);
    /// Ends the link and polling; the program runs offline.
    void disconnect();
    /// Lets the menu "Verbindung" run connect (with `ui`) and disconnect. `ui` must outlive
    /// the frame.
    void connectMenu(connection::ConnectionUi& ui);
    /// Takes over what a restored link found (the polling thread's report): the tolerances
    /// and a notice when another controller answers now. A timer calls it.
    void takeRecoveryReport();
    /// Stops polling and stores the unit preference; the frame and document remain.
    void shutdown();

    [[nodiscard]] document::CQvx_controllerDoc& document() { return *m_document; }
    [[nodiscard]] CMainFrame& frame() { return *m_frame; }

private:
    QStringList m_arguments;
    std::filesystem::path m_settings;
    std::unique_ptr<document::CQvx_controllerDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<QTimer> m_recoveryTimer;
    std::string m_logFile;
    bool m_shutDown = false;
};

}  // namespace qvx::app
