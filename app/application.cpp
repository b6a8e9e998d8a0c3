#include "app/application.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>
#include <clocale>
#include <cstdio>

#include "app/app_texts.h"
#include "app/main_frame.h"
#include "connection/client_settings.h"
#include "connection/connection_procedure.h"
#include "connection/connection_texts.h"
#include "connection/dialogs/dlg_neue_verbindung.h"
#include "document/document.h"
#include "platform/user_text.h"
#include "resources/ui_text.h"
#include "views/diagnostic_log_window.h"
#include "views/ui_state.h"

namespace qvx::app {

namespace {

constexpr int kRecoveryCheckMs = 250;

/// Passes the procedure's messages on and keeps the last one as the link's last error.
class ReportingUi final : public connection::ConnectionUi {
public:
    ReportingUi(connection::ConnectionUi& ui, document::LinkHealth& health) : m_ui(ui), m_health(health) {}
    void showMessage(std::string_view text, std::string_view caption) override {
        m_health.setLastError(std::string(text));
        m_ui.showMessage(text, caption);
    }
    bool askYesNo(std::string_view text, std::string_view caption) override { return m_ui.askYesNo(text, caption); }
    void showDialingNotice(std::string_view text) override { m_ui.showDialingNotice(text); }
    void hideDialingNotice() override { m_ui.hideDialingNotice(); }
    void pump() override { m_ui.pump(); }

private:
    connection::ConnectionUi& m_ui;
    document::LinkHealth& m_health;
};

}  // namespace

bool isSupervisorCommandLine(const QStringList& arguments) {
    return arguments.join(QLatin1Char(' ')).compare(QLatin1String(texts::kSupervisorCode), Qt::CaseInsensitive) == 0;
}

bool isRegistrationCommandLine(const QStringList& arguments) {
    if (arguments.size() != 1) {
        return false;
    }
    QString word = arguments.front();
    while (word.startsWith(QLatin1Char('-')) || word.startsWith(QLatin1Char('/'))) {
        word.remove(0, 1);
    }
    return word.compare(QLatin1String("RegServer"), Qt::CaseInsensitive) == 0 ||
           word.compare(QLatin1String("UnregServer"), Qt::CaseInsensitive) == 0;
}

QvxApplication::QvxApplication(QStringList arguments, std::filesystem::path settings, std::string logFile)
    : m_arguments(std::move(arguments)), m_settings(std::move(settings)), m_logFile(std::move(logFile)) {
    // QApplication has given the C library the user's locale; the values the program formats
    // with snprintf and the files it writes keep the decimal point for every user.
    std::setlocale(LC_NUMERIC, "C");
}

QvxApplication::~QvxApplication() { shutdown(); }

void QvxApplication::start() {
    m_document = std::make_unique<document::CQvx_controllerDoc>();
    (void)m_document->OnNewDocument(m_settings);
    // The display mode comes from the settings: read them before the panes show their unit
    // captions, so an offline start shows the stored unit too.
    connection::ReadConnectionSettings(m_document->link(), m_settings);
    m_document->link().setMask(document::CQvx_controllerDoc::kLogMaskInfo);
    m_document->supervisorMode = isSupervisorCommandLine(m_arguments);
    m_frame = std::make_unique<CMainFrame>(*m_document);
    if (!m_logFile.empty() && !m_frame->diagnosticLog().setLogFile(m_logFile)) {
        std::fprintf(stderr, "qvx_controller: cannot write the log file %s\n", m_logFile.c_str());
    }
    m_recoveryTimer = std::make_unique<QTimer>();
    QObject::connect(m_recoveryTimer.get(), &QTimer::timeout, m_frame.get(), [this] { takeRecoveryReport(); });
    m_recoveryTimer->start(kRecoveryCheckMs);
    m_document->UpdateAllViews(nullptr, document::CQvx_controllerDoc::kHintSupervisor);
    m_frame->showMaximized();
}

bool QvxApplication::connect(connection::ConnectionUi& ui) {
    // The procedure's waits process window messages: keep navigation and closing inert so
    // nothing destroys the link under the login or sends frames into the modem dialogue.
    const views::UiBusyScope busy;
    m_document->disconnectLink();  // the procedure starts from a link that stands no more
    link::DeviceLink& link = m_document->link();
    // The settings are read again for the dialog; the display mode the user chose stays.
    const link::CalibrationMode mode = link.calibration().getMode();
    connection::ReadConnectionSettings(link, m_settings);
    link.calibration().setMode(mode);
    const connection::IniSettingsStore store(m_settings);
    const bool autoReconnect = connection::readAutoReconnect(store);
    connection::CDlgNeueVerbindung dialog(link, m_frame.get(), autoReconnect);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    (void)connection::WriteConnectionSettings(link, m_settings);
    if (dialog.autoReconnect() != autoReconnect) {
        (void)connection::writeAutoReconnect(store, dialog.autoReconnect());
    }
    m_document->autoReconnect = dialog.autoReconnect();
    m_document->health().setLastError({});
    const std::string passphrase = dialog.passphrase().toStdString();
    ReportingUi reporting(ui, m_document->health());
    const connection::ConnectionResult result = connection::runConnectionProcedure(link, passphrase, reporting);
    if (!result.online) {
        return false;
    }
    m_document->readTolerances = result.readTolerances;
    m_document->underTolerance = result.underTolerance;
    m_document->overTolerance = result.overTolerance;
    m_document->setReconnectTarget({passphrase, link.basePort(), link.port()}, result.controller);
    link.log(platform::userText(connection::texts::kConnected) + link.host() + ", " +
                 std::to_string(link.port()),
             link::kLogInfo);
    m_document->startPolling();
    return true;
}

void QvxApplication::disconnect() { m_document->disconnectLink(); }

void QvxApplication::connectMenu(connection::ConnectionUi& ui) {
    QObject::connect(m_frame.get(), &CMainFrame::connectRequested, m_frame.get(), [this, &ui] { (void)connect(ui); });
    QObject::connect(m_frame.get(), &CMainFrame::disconnectRequested, m_frame.get(), [this] { disconnect(); });
}

void QvxApplication::takeRecoveryReport() {
    const std::optional<document::RecoveryReport> report = m_document->takeRecoveryReport();
    if (!report || !report->anotherController) {
        return;
    }
    m_document->readTolerances = report->tolerancesRead;
    m_document->underTolerance = report->underTolerance;
    m_document->overTolerance = report->overTolerance;
    // The lower view reads its data again, except the live plot, whose history stays, and
    // not under another operation's wait.
    if (views::uiEnabled() && m_frame->currentView() != CMainFrame::kOperatingState) {
        m_frame->SwitchView(m_frame->currentView());
    }
    const QString text = uiText(report->tolerancesRead ? texts::kAnotherController
                                                       : texts::kAnotherControllerNoTolerances)
                             .arg(report->controller.serialNumber)
                             .arg(report->previousSerialNumber);
    // Not modal: the program goes on polling while the notice is shown.
    auto* box = new QMessageBox(QMessageBox::Information, uiText(texts::kLinkRestored), text,
                                QMessageBox::Ok, m_frame.get());
    box->setObjectName(QStringLiteral("anotherController"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void QvxApplication::shutdown() {
    if (m_shutDown || !m_document) {
        return;
    }
    m_shutDown = true;
    if (m_recoveryTimer) {
        m_recoveryTimer->stop();
    }
    m_document->stopPolling();
    m_document->OnCloseDocument(m_settings);
}

}  // namespace qvx::app
