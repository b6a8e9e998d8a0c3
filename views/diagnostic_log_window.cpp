#include "views/diagnostic_log_window.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "link/log_buffer.h"
#include "resources/ui_text.h"
#include "views/view_texts.h"

namespace qvx::views {

DiagnosticLogWindow::DiagnosticLogWindow(document::CQvx_controllerDoc& document, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_document(document),
      m_timer(new QTimer(this)),
      m_lines(new QPlainTextEdit),
      m_debug(new QCheckBox(uiText(texts::kLogDebug))),
      m_droppedLabel(new QLabel) {
    setObjectName(QStringLiteral("diagnosticLog"));
    setWindowTitle(uiText(texts::kLogWindowTitle));
    resize(720, 420);
    m_lines->setObjectName(QStringLiteral("logLines"));
    m_lines->setReadOnly(true);
    m_lines->setMaximumBlockCount(kMaxLines);
    m_lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    m_lines->setFont(mono);
    m_debug->setObjectName(QStringLiteral("logDebug"));
    m_debug->setChecked(m_document.link().isEnabled(link::kLogDebug));
    m_droppedLabel->setObjectName(QStringLiteral("logDropped"));

    auto* clear = new QPushButton(uiText(texts::kLogClear));
    clear->setObjectName(QStringLiteral("logClear"));
    auto* save = new QPushButton(uiText(texts::kLogSave));
    save->setObjectName(QStringLiteral("logSave"));
    connect(m_debug, &QCheckBox::toggled, this, &DiagnosticLogWindow::setDebug);
    connect(clear, &QPushButton::clicked, m_lines, &QPlainTextEdit::clear);
    connect(save, &QPushButton::clicked, this, &DiagnosticLogWindow::saveAs);

    auto* row = new QHBoxLayout;
    row->addWidget(m_debug);
    row->addWidget(m_droppedLabel, 1);
    row->addWidget(clear);
    row->addWidget(save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lines, 1);
    layout->addLayout(row);

    connect(m_timer, &QTimer::timeout, this, &DiagnosticLogWindow::collect);
    m_timer->start(kCollectMs);
}

bool DiagnosticLogWindow::setLogFile(const std::string& path) {
    m_file.open(path, std::ios::app);
    return m_file.is_open();
}

void DiagnosticLogWindow::setDebug(bool on) {
    const int mask = document::CQvx_controllerDoc::kLogMaskInfo | (on ? link::kLogDebug : 0);
    m_document.link().setMask(mask);
}

void DiagnosticLogWindow::append(const std::string& line) {
    m_lines->appendPlainText(QString::fromStdString(line));
    if (m_file.is_open()) {
        m_file << line << '\n';
    }
}

void DiagnosticLogWindow::collect() {
    link::BufferedLogSink::Taken taken = m_document.logBuffer().take();
    for (const link::LogLine& line : taken.lines) {
        append(link::formatLogLine(line));
    }
    if (taken.dropped > 0) {
        m_dropped += taken.dropped;
        const QString note = uiText(texts::kLogDropped).arg(taken.dropped);
        append(note.toStdString());
        m_droppedLabel->setText(uiText(texts::kLogDropped).arg(m_dropped));
    }
    if (m_file.is_open() && (!taken.lines.empty() || taken.dropped > 0)) {
        m_file.flush();
    }
}

QString DiagnosticLogWindow::text() const {
    return m_lines->toPlainText();
}

bool DiagnosticLogWindow::saveTo(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        return false;
    }
    QByteArray bytes = text().toUtf8();
    if (!bytes.isEmpty()) {
        bytes.append('\n');
    }
    return file.write(bytes) == bytes.size() && file.flush();
}

void DiagnosticLogWindow::saveAs() {
    const QString path = QFileDialog::getSaveFileName(this, uiText(texts::kLogWindowTitle),
                                                      QStringLiteral("diagnoseprotokoll.txt"),
                                                      uiText(texts::kLogFileFilter));
    if (path.isEmpty()) {
        return;
    }
    if (!saveTo(path)) {
        QMessageBox::warning(this, uiText(texts::kLogWindowTitle),
                             uiText(texts::kLogSaveFailed).arg(path));
    }
}

}  // namespace qvx::views
