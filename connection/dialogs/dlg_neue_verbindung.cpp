#include "connection/dialogs/dlg_neue_verbindung.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <optional>

#include "connection/connection_texts.h"
#include "link/device_link.h"
#include "resources/ui_text.h"

namespace qvx::connection {

namespace {

QLineEdit* makeEdit(const char* objectName, const QString& text) {
    auto* edit = new QLineEdit(text);
    edit->setObjectName(QString::fromLatin1(objectName));
    return edit;
}

/// Reads a whole decimal number; nothing for anything else.
std::optional<long long> wholeNumber(const QString& text) {
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<long long>(value) : std::nullopt;
}

}  // namespace

CDlgNeueVerbindung::CDlgNeueVerbindung(link::DeviceLink& link, QWidget* parent, bool autoReconnect)
    : QDialog(parent),
      m_link(link),
      m_modem(new QRadioButton(uiText(texts::kModem))),
      m_network(new QRadioButton(uiText(texts::kNetwork))),
      m_callNumber(makeEdit("callNumber", QString::fromStdString(link.modem().callNumber))),
      m_host(makeEdit("host", QString::fromStdString(link.host()))),
      m_port(makeEdit("port", QString::number(link.port()))),
      m_replyWait(makeEdit("replyWait", QString::number(link.replyWait()))),
      m_passphrase(makeEdit("passphrase", QString())),
      m_autoReconnect(new QCheckBox(uiText(texts::kAutoReconnect))) {
    setWindowTitle(uiText(texts::kDialogTitle));
    setObjectName(QStringLiteral("CDlgNeueVerbindung"));
    m_modem->setObjectName(QStringLiteral("modem"));
    m_network->setObjectName(QStringLiteral("network"));
    m_passphrase->setEchoMode(QLineEdit::Password);

    auto* type = new QGroupBox;
    auto* typeLayout = new QHBoxLayout(type);
    typeLayout->addWidget(m_modem);
    typeLayout->addWidget(m_network);

    auto* form = new QFormLayout;
    form->addRow(uiText(texts::kCallNumber), m_callNumber);
    form->addRow(uiText(texts::kIpAddress), m_host);
    form->addRow(uiText(texts::kPortNumber), m_port);
    form->addRow(uiText(texts::kReplyWait), m_replyWait);
    form->addRow(uiText(texts::kPassword), m_passphrase);
    m_autoReconnect->setObjectName(QStringLiteral("autoReconnect"));
    m_autoReconnect->setChecked(autoReconnect);
    form->addRow(m_autoReconnect);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(uiText(texts::kCancel), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("ok"));
    cancel->setObjectName(QStringLiteral("cancel"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgNeueVerbindung::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDlgNeueVerbindung::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(type);
    layout->addLayout(form);
    layout->addWidget(buttons);

    const bool modem = !link.tcpConnection();
    m_modem->setChecked(modem);
    m_network->setChecked(!modem);
    m_callNumber->setEnabled(modem);
    connect(m_modem, &QRadioButton::clicked, this, [this] { setModemType(true); });
    connect(m_network, &QRadioButton::clicked, this, [this] { setModemType(false); });
    for (QLineEdit* edit : {m_callNumber, m_host, m_port, m_replyWait}) {
        edit->installEventFilter(this);
    }
}

QString CDlgNeueVerbindung::passphrase() const { return m_passphrase->text(); }

bool CDlgNeueVerbindung::autoReconnect() const { return m_autoReconnect->isChecked(); }

void CDlgNeueVerbindung::setModemType(bool modem) {
    m_link.setTcpConnection(!modem);
    m_modem->setChecked(modem);
    m_network->setChecked(!modem);
    m_callNumber->setEnabled(modem);
}

bool CDlgNeueVerbindung::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        takeOver(qobject_cast<QLineEdit*>(watched));
    }
    return QDialog::eventFilter(watched, event);
}

void CDlgNeueVerbindung::takeOver(QLineEdit* edit) {
    const bool tcp = m_link.tcpConnection();
    if (edit == m_callNumber && !tcp) {
        m_link.modem().callNumber = edit->text().toStdString();
    } else if (edit == m_host && tcp) {
        m_link.setHost(edit->text().trimmed().toStdString());
    } else if (edit == m_port && tcp) {
        if (const auto port = wholeNumber(edit->text()); port && *port >= 0 && *port <= 65535) {
            m_link.setPort(static_cast<int>(*port));
        }
    } else if (edit == m_replyWait && tcp) {
        if (const auto wait = wholeNumber(edit->text()); wait && *wait >= 0 && *wait <= kMaxReplyWait) {
            m_link.setReplyWait(static_cast<int>(*wait));
        }
    }
}

bool CDlgNeueVerbindung::checkText(QLineEdit* edit, int maxLength) {
    if (edit->text().size() <= maxLength) {
        return true;
    }
    QMessageBox::warning(this, QStringLiteral("qvx_controller"),
                         uiText(texts::kTooLong).arg(maxLength));
    edit->setFocus();
    edit->selectAll();
    return false;
}

bool CDlgNeueVerbindung::checkNumber(QLineEdit* edit, int minimum, int maximum) {
    const auto value = wholeNumber(edit->text());
    if (!value) {
        QMessageBox::warning(this, QStringLiteral("qvx_controller"),
                             uiText(texts::kNotAWholeNumber));
    } else if (*value < minimum || *value > maximum) {
        QMessageBox::warning(this, QStringLiteral("qvx_controller"),
                             uiText(texts::kWholeNumberRange).arg(minimum).arg(maximum));
    } else {
        return true;
    }
    edit->setFocus();
    edit->selectAll();
    return false;
}

void CDlgNeueVerbindung::accept() {
    if (!checkText(m_callNumber, kMaxCallNumber) || !checkText(m_host, kMaxHost) || !checkNumber(m_port, 0, 65535) ||
        !checkNumber(m_replyWait, 0, kMaxReplyWait)) {
        return;
    }
    // Confirming with the Enter key leaves the focus where it was: take over the field being
    // edited as if it had lost the focus.
    for (QLineEdit* edit : {m_callNumber, m_host, m_port, m_replyWait}) {
        takeOver(edit);
    }
    QDialog::accept();
}

CDlgDialing::CDlgDialing(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CDlgDialing"));
    setWindowTitle(uiText(texts::kDialingTitle));
    setModal(false);
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("dialingText"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
}

}  // namespace qvx::connection
