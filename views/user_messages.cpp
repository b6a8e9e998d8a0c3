#include "views/user_messages.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace qvx::views {

MessageSink warningBoxes(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    return [owner](const QString& caption, const QString& text) {
        QMessageBox::warning(owner, caption, text, QMessageBox::Ok);
    };
}

SaveFileDialog desktopSaveDialog() {
    return [](QWidget* parent, const QString& caption, const QString& suggestedName,
              const QString& filter) {
        return QFileDialog::getSaveFileName(parent, caption, suggestedName, filter);
    };
}

OpenFileDialog desktopOpenDialog() {
    return [](QWidget* parent, const QString& caption, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    };
}

}  // namespace qvx::views
