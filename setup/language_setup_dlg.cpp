#include "setup/language_setup_dlg.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "resources/qvx_resources.h"
#include "setup/launcher_texts.h"

CLanguageSetupDlg::CLanguageSetupDlg(QWidget* parent)
    : QDialog(parent),
      m_german(new QRadioButton(tr("deutsche Installation"), this)),
      m_english(new QRadioButton(tr("english installation"), this)),
      m_ok(new QPushButton(tr("OK"), this)),
      m_cancel(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("languageSetupDialog"));
    // The dialog has no title. Qt names a window without a title after the program, so the
    // title is a blank, which shows as nothing.
    setWindowTitle(QStringLiteral(" "));
    setWindowIcon(qvx::resources::applicationIcon());
    m_german->setObjectName(QStringLiteral("germanRadio"));
    m_english->setObjectName(QStringLiteral("englishRadio"));
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));

    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(m_german);
    group->addButton(m_english);
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* choices = new QVBoxLayout;
    choices->addWidget(m_german);
    choices->addWidget(m_english);
    choices->addStretch();
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(choices, 1);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const bool german =
        qvx::setup::presetLanguage(qvx::setup::languageMarker()) == qvx::setup::Language::German;
    (german ? m_german : m_english)->setChecked(true);
}

qvx::setup::Language CLanguageSetupDlg::language() const {
    return m_german->isChecked() ? qvx::setup::Language::German : qvx::setup::Language::English;
}
