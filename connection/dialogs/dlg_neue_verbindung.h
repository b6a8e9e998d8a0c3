#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace qvx::link {
class DeviceLink;
}

namespace qvx::connection {

/// The connection dialog "Neue Verbindung": connection type, telephone number, gateway
/// address, data port, reply time-out and the passphrase. Each field is taken over into the
/// link's settings when it loses the focus (the telephone number only for the modem type,
/// address, port and time-out only for TCP/IP); OK checks the limits first and keeps the
/// dialog open with a message while one is exceeded.
class CDlgNeueVerbindung : public QDialog {
    Q_OBJECT

public:
    /// `autoReconnect` is the setting the checkbox starts with.
    explicit CDlgNeueVerbindung(link::DeviceLink& link, QWidget* parent = nullptr, bool autoReconnect = true);

    /// The passphrase typed in; it is never stored anywhere else.
    [[nodiscard]] QString passphrase() const;
    /// Whether a lost link is to be restored by itself, as the checkbox says.
    [[nodiscard]] bool autoReconnect() const;

    static constexpr int kMaxCallNumber = 200;
    /// The address setting holds 199 characters; host names and dotted addresses of every
    /// length must fit.
    static constexpr int kMaxHost = 199;
    static constexpr int kMaxReplyWait = 15000;

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setModemType(bool modem);
    void takeOver(QLineEdit* edit);
    /// Checks one field's limit; shows the framework's message and focuses it when exceeded.
    [[nodiscard]] bool checkText(QLineEdit* edit, int maxLength);
    [[nodiscard]] bool checkNumber(QLineEdit* edit, int minimum, int maximum);

    link::DeviceLink& m_link;
    QRadioButton* m_modem;
    QRadioButton* m_network;
    QLineEdit* m_callNumber;
    QLineEdit* m_host;
    QLineEdit* m_port;
    QLineEdit* m_replyWait;
    QLineEdit* m_passphrase;
    QCheckBox* m_autoReconnect;
};

/// The small notice "Dialing" shown while the modem dials.
class CDlgDialing : public QDialog {
    Q_OBJECT

public:
    explicit CDlgDialing(const QString& text, QWidget* parent = nullptr);
};

}  // namespace qvx::connection
