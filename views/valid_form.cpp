#include "views/valid_form.h"

#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QPointer>

namespace qvx::views {

CValidForm::CValidForm(document::CQvx_controllerDoc& document, QWidget* parent) : QWidget(parent), m_document(document) {}

void CValidForm::watchField(QWidget* field) { field->installEventFilter(this); }

bool CValidForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && m_armed) {
        auto* field = qobject_cast<QWidget*>(watched);
        // The new focus owner is known only once the focus change is complete: validate from
        // the event queue, as a posted message would.
        QPointer<QWidget> pending(field);
        QMetaObject::invokeMethod(
            this,
            [this, pending] {
                QWidget* now = QApplication::focusWidget();
                if (!pending || now == nullptr || now == m_cancel || !isAncestorOf(now) || now == pending) {
                    return;
                }
                m_armed = false;
                validateField(pending);
                m_armed = true;
            },
            Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qvx::views
