#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "connection/dialogs/dlg_neue_verbindung.h"
#include "link/device_link.h"

using qvx::connection::CDlgNeueVerbindung;
using qvx::link::DeviceLink;

namespace {

template <class T>
T* child(QWidget* root, const char* name) {
    return root->findChild<T*>(QString::fromLatin1(name));
}

/// Closes the next message box and remembers its text.
struct MessageCatcher {
    QString text;
    void arm() {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                arm();
                return;
            }
            text = box->text();
            box->accept();
        });
    }
};

/// Moves the focus from one edit to another, as a user tabbing through the dialog does.
void leave(QLineEdit* edit, QWidget* next) {
    edit->setFocus();
    QApplication::processEvents();
    next->setFocus();
    QApplication::processEvents();
}

}  // namespace

TEST(ConnectionDialog, ShowsTheSettingsAndTheNetworkType) {
    DeviceLink link;
    link.setHost("gateway.example");
    link.setPort(5101);
    CDlgNeueVerbindung dialog(link);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Neue Verbindung"));
    EXPECT_TRUE(child<QRadioButton>(&dialog, "network")->isChecked());
    EXPECT_FALSE(child<QLineEdit>(&dialog, "callNumber")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(&dialog, "host")->text(), QStringLiteral("gateway.example"));
    EXPECT_EQ(child<QLineEdit>(&dialog, "passphrase")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(child<QLineEdit>(&dialog, "passphrase")->text().isEmpty());
    EXPECT_EQ(child<QPushButton>(&dialog, "cancel")->text(), QStringLiteral("Abbrechen"));
}

TEST(ConnectionDialog, FieldsAreTakenOverWhenTheyLoseTheFocusForTheirTypeOnly) {
    DeviceLink link;
    CDlgNeueVerbindung dialog(link);
    dialog.show();
    auto* host = child<QLineEdit>(&dialog, "host");
    auto* port = child<QLineEdit>(&dialog, "port");
    host->setText(QStringLiteral("192.168.100.200"));
    leave(host, port);
    EXPECT_EQ(link.host(), "192.168.100.200");  // 15 characters are fine
    child<QRadioButton>(&dialog, "modem")->click();
    EXPECT_FALSE(link.tcpConnection());
    auto* number = child<QLineEdit>(&dialog, "callNumber");
    EXPECT_TRUE(number->isEnabled());
    number->setText(QStringLiteral("0815"));
    port->setText(QStringLiteral("6000"));
    leave(number, port);
    leave(port, number);
    EXPECT_EQ(link.modem().callNumber, "0815");
    EXPECT_NE(link.port(), 6000);  // the port belongs to the network type
}

TEST(ConnectionDialog, OkChecksTheLimitsAndStaysOpenWithTheFrameworkMessage) {
    DeviceLink link;
    CDlgNeueVerbindung dialog(link);
    dialog.show();
    MessageCatcher catcher;
    child<QLineEdit>(&dialog, "port")->setText(QStringLiteral("70000"));
    catcher.arm();
    child<QPushButton>(&dialog, "ok")->click();
    EXPECT_EQ(catcher.text, QStringLiteral("Geben Sie bitte eine ganze Zahl zwischen 0 und 65535 ein."));
    EXPECT_TRUE(dialog.isVisible());

    child<QLineEdit>(&dialog, "port")->setText(QStringLiteral("5101"));
    child<QLineEdit>(&dialog, "replyWait")->setText(QStringLiteral("viel"));
    catcher.arm();
    child<QPushButton>(&dialog, "ok")->click();
    EXPECT_EQ(catcher.text, QStringLiteral("Geben Sie bitte eine ganze Zahl ein."));

    child<QLineEdit>(&dialog, "replyWait")->setText(QStringLiteral("2000"));
    child<QLineEdit>(&dialog, "host")->setText(QString(200, QLatin1Char('h')));
    catcher.arm();
    child<QPushButton>(&dialog, "ok")->click();
    EXPECT_EQ(catcher.text, QStringLiteral("Geben Sie bitte nicht mehr als 199 Zeichen ein."));

    child<QLineEdit>(&dialog, "host")->setText(QStringLiteral("gateway"));
    child<QPushButton>(&dialog, "ok")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    // Confirming takes over the fields whatever had the focus.
    EXPECT_EQ(link.host(), "gateway");
    EXPECT_EQ(link.replyWait(), 2000);
    EXPECT_EQ(link.port(), 5101);
}

TEST(ConnectionDialog, TheDialingNoticeShowsItsText) {
    qvx::connection::CDlgDialing notice(QString::fromUtf8("Wähle0815 ..."));
    EXPECT_EQ(notice.windowTitle(), QStringLiteral("Dialing"));
    EXPECT_EQ(child<QLabel>(&notice, "dialingText")->text(), QString::fromUtf8("Wähle0815 ..."));
}
