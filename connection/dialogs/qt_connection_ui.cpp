#include "connection/dialogs/qt_connection_ui.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>

#include "connection/dialogs/dlg_neue_verbindung.h"

namespace qvx::connection {

namespace {
QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

QtConnectionUi::QtConnectionUi() = default;
QtConnectionUi::~QtConnectionUi() = default;

void QtConnectionUi::showMessage(std::string_view text, std::string_view caption) {
    QMessageBox box(QMessageBox::Warning, toQString(caption), toQString(text), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("connectionMessage"));
    box.exec();
}

bool QtConnectionUi::askYesNo(std::string_view text, std::string_view caption) {
    QMessageBox box(QMessageBox::Question, toQString(caption), toQString(text), QMessageBox::Yes | QMessageBox::No);
    box.setObjectName(QStringLiteral("connectionQuestion"));
    return box.exec() == QMessageBox::Yes;
}

void QtConnectionUi::showDialingNotice(std::string_view text) {
    m_dialing = std::make_unique<CDlgDialing>(toQString(text));
    m_dialing->show();
    QCoreApplication::processEvents();
}

void QtConnectionUi::hideDialingNotice() {
    if (m_dialing) {
        m_dialing->hide();
        m_dialing.reset();
    }
}

void QtConnectionUi::pump() { QCoreApplication::processEvents(); }

}  // namespace qvx::connection
