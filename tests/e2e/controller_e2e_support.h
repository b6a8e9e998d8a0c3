#pragma once

// What the desktop program's end-to-end tests share: a user interface that records the
// messages, the confirmation of the connection dialog, and waiting while the program runs.

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "connection/connection_procedure.h"

namespace qvx::test {

struct RecordingUi : connection::ConnectionUi {
    std::vector<std::string> messages;
    void showMessage(std::string_view text, std::string_view) override {
        messages.emplace_back(text);
    }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    void showDialingNotice(std::string_view) override {}
    void hideDialingNotice() override {}
    void pump() override { QApplication::processEvents(); }
};

/// Presses OK in the connection dialog once it is shown.
inline void confirmConnectionDialog() {
    QTimer::singleShot(10, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->objectName() != QStringLiteral("CDlgNeueVerbindung")) {
            confirmConnectionDialog();
            return;
        }
        modal->findChild<QAbstractButton*>(QStringLiteral("ok"))->click();
    });
}

/// Lets the program's events run until `done` holds or `limit` has passed; true when it held.
inline bool waitWhileRunning(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QEventLoop step;
        QTimer::singleShot(std::chrono::milliseconds(20), &step, &QEventLoop::quit);
        step.exec();
    }
    return true;
}

}  // namespace qvx::test
