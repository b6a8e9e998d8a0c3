#include "views/view_service_info.h"

#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "document/document.h"
#include "resources/ui_text.h"
#include "views/view_texts.h"

namespace qvx::views {

namespace {

QLineEdit* displayField(const char* name) {
    auto* field = new QLineEdit;
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    field->setEnabled(false);
    field->setMaximumWidth(260);
    return field;
}

}  // namespace

CViewServiceInfo::CViewServiceInfo(document::CQvx_controllerDoc& document, QWidget* parent)
    : CValidForm(document, parent),
      m_address(displayField("address")),
      m_serialNumber(displayField("serialNumber")),
      m_week(displayField("week")),
      m_year(displayField("year")) {
    setObjectName(QStringLiteral("CViewServiceInfo"));
    auto* contact = new QLabel(uiText(texts::kServiceContact));
    contact->setObjectName(QStringLiteral("contact"));
    contact->setTextInteractionFlags(Qt::TextSelectableByMouse);
    contact->setFrameShape(QFrame::StyledPanel);
    contact->setMargin(12);

    auto* identity = new QGroupBox;
    auto* form = new QFormLayout(identity);
    form->addRow(uiText(texts::kServiceAddress), m_address);
    form->addRow(uiText(texts::kServiceSerial), m_serialNumber);
    form->addRow(uiText(texts::kServiceWeek), m_week);
    form->addRow(uiText(texts::kServiceYear), m_year);

    auto* request = new QLabel(uiText(texts::kServiceRequest));
    request->setObjectName(QStringLiteral("request"));
    request->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(contact);
    layout->addWidget(identity);
    layout->addWidget(request);
    layout->addStretch();
}

void CViewServiceInfo::OnInitialUpdate() {
    m_address->setText(QString::fromStdString(document().link().host()));
    int week = 0;
    int year = 0;
    int serial = 0;
    if (!document().link().readServiceData(week, year, serial)) {
        week = year = serial = 0;
    }
    m_serialNumber->setText(QString::number(serial));
    m_week->setText(QString::number(week));
    m_year->setText(QString::number(year));
}

void CViewServiceInfo::OnUpdate(document::DocumentView* /*sender*/, int hint) {
    if (hint == document::CQvx_controllerDoc::kHintNewData) {
        update();
    }
}

}  // namespace qvx::views
