#pragma once

#include <QElapsedTimer>
#include <QStatusBar>
#include <cstdint>

#include "document/document.h"

class QLabel;
class QTimer;

namespace qvx::views {

/// The main window's status bar: the endpoint of the connection, polling cycles per second,
/// retries, time-outs and checksum errors since connecting, and the last error in words.
/// It reads the document's health once a second; nothing is sent to the controller for it.
class LinkStatusBar : public QStatusBar {
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 1000;

    explicit LinkStatusBar(document::CQvx_controllerDoc& document, QWidget* parent = nullptr);

    /// Reads the health now (the timer calls it).
    void refresh();

private:
    document::CQvx_controllerDoc& m_document;
    QTimer* m_timer;
    QLabel* m_endpoint;
    QLabel* m_rate;
    QLabel* m_counters;
    QLabel* m_error;
    QElapsedTimer m_sinceLast;
    std::uint64_t m_cyclesBefore = 0;
};

}  // namespace qvx::views
