#include "views/link_status_bar.h"

#include <QDateTime>
#include <QLabel>
#include <QTimer>

#include "resources/ui_text.h"
#include "views/view_texts.h"

namespace qvx::views {

namespace {

QLabel* statusField(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

LinkStatusBar::LinkStatusBar(document::CQvx_controllerDoc& document, QWidget* parent)
    : QStatusBar(parent),
      m_document(document),
      m_timer(new QTimer(this)),
      m_endpoint(statusField("linkEndpoint")),
      m_rate(statusField("linkRate")),
      m_counters(statusField("linkCounters")),
      m_error(statusField("linkError")) {
    setObjectName(QStringLiteral("linkStatusBar"));
    setSizeGripEnabled(false);
    addWidget(m_endpoint);
    addWidget(m_rate);
    addWidget(m_counters);
    // A long error is cut, not allowed to widen the window; its tooltip holds all of it.
    m_error->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(m_error, 1);
    connect(m_timer, &QTimer::timeout, this, &LinkStatusBar::refresh);
    m_timer->start(kRefreshMs);
    m_sinceLast.start();
    refresh();
}

void LinkStatusBar::refresh() {
    const link::DeviceLink& link = m_document.link();
    const document::LinkHealth& health = m_document.health();
    const int dataPort = health.dataPort;
    m_endpoint->setText(
        dataPort == 0
            ? uiText(texts::kLinkNotConnected)
            : uiText(texts::kLinkEndpoint).arg(QString::fromStdString(link.host())).arg(dataPort));

    const std::uint64_t cycles = m_document.pollCycles;
    const qint64 elapsedMs = m_sinceLast.restart();
    const double rate = elapsedMs > 0 ? static_cast<double>(cycles - m_cyclesBefore) * 1000.0 /
                                            static_cast<double>(elapsedMs)
                                      : 0.0;
    m_cyclesBefore = cycles;
    const bool online = link.isConnected() && m_document.pollOk;
    m_rate->setText(uiText(texts::kLinkRate).arg(online ? rate : 0.0, 0, 'f', 1));
    m_counters->setText(uiText(texts::kLinkCounters)
                            .arg(link.retries())
                            .arg(link.timeouts())
                            .arg(link.checksumErrors()));

    const std::string error = health.lastError();
    // An error stays shown after the link recovered; its time tells how old it is.
    const QString time =
        QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(health.lastErrorTime()))
            .toString(QStringLiteral("HH:mm:ss"));
    QString text = error.empty()
                       ? uiText(texts::kLinkNoError)
                       : uiText(texts::kLinkLastError).arg(time, QString::fromStdString(error));
    if (health.reconnecting && !link.isConnected()) {
        const auto seconds = (health.nextAttemptMs.load() + 999) / 1000;
        text += QStringLiteral("; ") +
                uiText(texts::kLinkNextAttempt).arg(seconds).arg(health.failedAttempts.load());
    }
    m_error->setText(text);
    m_error->setToolTip(text);
}

}  // namespace qvx::views
