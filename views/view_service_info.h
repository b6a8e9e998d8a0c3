#pragma once

#include "views/valid_form.h"

class QLineEdit;

namespace qvx::views {

/// "Service": what a caller of the maker's support needs: the contact block, the gateway
/// address and the controller's identity, read once when the view is created.
class CViewServiceInfo : public CValidForm {
    Q_OBJECT

public:
    explicit CViewServiceInfo(document::CQvx_controllerDoc& document, QWidget* parent = nullptr);
    void OnInitialUpdate() override;
    void OnUpdate(document::DocumentView* sender, int hint) override;

private:
    QLineEdit* m_address;
    QLineEdit* m_serialNumber;
    QLineEdit* m_week;
    QLineEdit* m_year;
};

}  // namespace qvx::views
