#pragma once

#include <memory>

#include "connection/connection_procedure.h"

class QWidget;

namespace qvx::connection {

class CDlgDialing;

/// The connection procedure's user interface in Qt: message boxes without an owner window,
/// the dialling notice, and Qt's event processing as the pump.
class QtConnectionUi final : public ConnectionUi {
public:
    QtConnectionUi();
    ~QtConnectionUi() override;

    void showMessage(std::string_view text, std::string_view caption) override;
    [[nodiscard]] bool askYesNo(std::string_view text, std::string_view caption) override;
    void showDialingNotice(std::string_view text) override;
    void hideDialingNotice() override;
    void pump() override;

private:
    std::unique_ptr<CDlgDialing> m_dialing;
};

}  // namespace qvx::connection
