#pragma once

#include <QDialog>

#include "setup/installer_launch.h"

class QPushButton;
class QRadioButton;

/// The language question of qvxsetup: "deutsche Installation" above "english installation" in
/// one group, the default button "OK" and a cancel button, no title, the program icon. The
/// preset follows the string table that matches the user's language.
class CLanguageSetupDlg : public QDialog {
    Q_OBJECT

public:
    explicit CLanguageSetupDlg(QWidget* parent = nullptr);

    /// The language whose radio button is checked.
    [[nodiscard]] qvx::setup::Language language() const;

private:
    QRadioButton* m_german;
    QRadioButton* m_english;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
