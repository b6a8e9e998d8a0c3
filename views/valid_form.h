#pragma once

#include <QWidget>

#include "document/document.h"

namespace qvx::views {

/// Base of the lower views: validates an input field as soon as it loses the focus, unless
/// the focus went to the view's Cancel button or left the view. Views that have fields
/// register them with `watchField` and implement `validateField`.
class CValidForm : public QWidget, public document::DocumentView {
    Q_OBJECT

public:
    explicit CValidForm(document::CQvx_controllerDoc& document, QWidget* parent = nullptr);

    /// Runs when the view is created or selected again: reads its data afresh.
    virtual void OnInitialUpdate() {}
    /// Document broadcast: 256 new device values, 512 supervisor mode known.
    void OnUpdate(document::DocumentView* sender, int hint) override {
        (void)sender;
        (void)hint;
    }

protected:
    /// Validates the edit field `field`; a failure shows its message and keeps the value.
    virtual void validateField(QWidget* field) { (void)field; }
    /// Starts watching a field for focus loss.
    void watchField(QWidget* field);
    /// The button whose focus does not trigger validation.
    void setCancelButton(QWidget* button) { m_cancel = button; }

    bool eventFilter(QObject* watched, QEvent* event) override;

    [[nodiscard]] document::CQvx_controllerDoc& document() { return m_document; }

private:
    document::CQvx_controllerDoc& m_document;
    QWidget* m_cancel = nullptr;
    bool m_armed = true;
};

}  // namespace qvx::views
