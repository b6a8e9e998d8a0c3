#include "app/application.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <clocale>

#include "app/app_texts.h"
#include "document/document.h"
#include "app/main_frame.h"
#include "connection/client_settings.h"
#include "connection/connection_procedure.h"
#include "connection/dialogs/dlg_neue_verbindung.h"
#include "views/ui_state.h"

namespace qvx::app {

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

QvxApplication::QvxApplication(QStringList arguments, std::filesystem::path settings)
    : m_arguments(std::move(arguments)), m_settings(std::move(settings)) {
    // QApplication has given the C library the user's locale; the values the program formats
    // with snprintf and the files it writes keep the decimal point for every user.
    std::setlocale(LC_NUMERIC, "C");
}

QvxApplication::~QvxApplication() { shutdown(); }

void QvxApplication::start() {
    m_document = std::make_unique<document::CQvx_controllerDoc>();
    (void)m_document->OnNewDocument(m_settings);
    m_document->supervisorMode = isSupervisorCommandLine(m_arguments);
    m_frame = std::make_unique<CMainFrame>(*m_document);
    m_document->UpdateAllViews(nullptr, document::CQvx_controllerDoc::kHintSupervisor);
    m_frame->showMaximized();
}

bool QvxApplication::connect(connection::ConnectionUi& ui) {
    // The procedure's waits process window messages: keep navigation and closing inert so
    // nothing destroys the link under the login or sends frames into the modem dialogue.
    const views::UiBusyScope busy;
    link::DeviceLink& link = m_document->link();
    connection::ReadConnectionSettings(link, m_settings);
    connection::CDlgNeueVerbindung dialog(link, m_frame.get());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    (void)connection::WriteConnectionSettings(link, m_settings);
    const connection::ConnectionResult result =
        connection::runConnectionProcedure(link, dialog.passphrase().toStdString(), ui);
    if (!result.online) {
        return false;
    }
    m_document->readTolerances = result.readTolerances;
    m_document->underTolerance = result.underTolerance;
    m_document->overTolerance = result.overTolerance;
    m_document->startPolling();
    return true;
}

void QvxApplication::shutdown() {
    if (m_shutDown || !m_document) {
        return;
    }
    m_shutDown = true;
    m_document->stopPolling();
    m_document->OnCloseDocument(m_settings);
}

void installGermanTranslation() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    }
}

}  // namespace qvx::app
