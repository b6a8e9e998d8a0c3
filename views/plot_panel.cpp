#include "views/plot_panel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QVBoxLayout>

#include "resources/ui_text.h"
#include "views/view_texts.h"
#include "views/widgets/plot_export.h"
#include "views/widgets/time_plot.h"

namespace qvx::views {

namespace {

QPushButton* toolButton(const char* caption, const char* name) {
    auto* button = new QPushButton(uiText(caption));
    button->setObjectName(QString::fromLatin1(name));
    button->setFocusPolicy(Qt::NoFocus);  // the space bar belongs to the pause
    return button;
}

}  // namespace

bool saveThroughDialog(QWidget* parent, const SaveFileDialog& dialog, const MessageSink& messages,
                       const QString& caption, const QString& suggestedName, const QString& filter,
                       const QString& suffix,
                       const std::function<bool(const QString& path, QIODevice&)>& write) {
    if (!dialog) {
        return false;
    }
    QString path = dialog(parent, caption, suggestedName, filter);
    if (path.isEmpty()) {
        return false;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1Char('.') + suffix;
    }
    // Written beside the target and renamed over it: a failed export never leaves half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !write(path, file) || !file.commit()) {
        if (messages) {
            messages(uiText(texts::kMessageTitle),
                     uiText(texts::kRecWriteFailed).arg(QDir::toNativeSeparators(path)));
        }
        return false;
    }
    return true;
}

PlotPanel::PlotPanel(Kind kind, QWidget* parent)
    : QWidget(parent),
      m_plot(new widgets::TimePlot),
      m_reset(toolButton(texts::kPlotReset, "resetZoom")),
      m_snap(new QCheckBox(uiText(texts::kPlotSnap))),
      m_clearCursors(toolButton(texts::kPlotClearCursors, "clearCursors")),
      m_copy(toolButton(texts::kPlotCopy, "copyPlot")),
      m_readout(new QLabel),
      m_messages(warningBoxes(this)),
      m_saveDialog(desktopSaveDialog()) {
    setObjectName(QStringLiteral("plotPanel"));
    m_plot->setObjectName(QStringLiteral("plot"));
    m_snap->setObjectName(QStringLiteral("snapToEdges"));
    m_snap->setFocusPolicy(Qt::NoFocus);
    m_readout->setObjectName(QStringLiteral("cursorReadout"));
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long read-out wraps instead of widening the window past the screen.
    m_readout->setWordWrap(true);
    QFont mono = m_readout->font();
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("DejaVu Sans Mono"));
    m_readout->setFont(mono);

    auto* tools = new QHBoxLayout;
    tools->setContentsMargins(0, 0, 0, 0);
    if (kind == Kind::Live) {
        m_pause = toolButton(texts::kPlotPause, "pausePlot");
        m_pause->setCheckable(true);
        tools->addWidget(m_pause);
        connect(m_pause, &QPushButton::toggled, m_plot, &widgets::TimePlot::setPaused);
        // Window-wide, as long as the live plot is shown: the focus may be anywhere.
        auto* space =
            new QShortcut(QKeySequence(Qt::Key_Space), this, nullptr, nullptr, Qt::WindowShortcut);
        connect(space, &QShortcut::activated, this,
                [this] { m_plot->setPaused(!m_plot->isPaused()); });
    }
    tools->addWidget(m_reset);
    tools->addWidget(m_snap);
    tools->addWidget(m_clearCursors);
    tools->addStretch();
    tools->addWidget(m_copy);
    if (kind == Kind::Live) {
        m_save = toolButton(texts::kPlotSaveImage, "savePlotImage");
        tools->addWidget(m_save);
        connect(m_save, &QPushButton::clicked, this,
                [this] { (void)saveImage(QStringLiteral("betriebszustand")); });
    }
    auto* copy = new QShortcut(QKeySequence::Copy, this, nullptr, nullptr, Qt::WindowShortcut);
    connect(copy, &QShortcut::activated, this, &PlotPanel::copyToClipboard);

    connect(m_reset, &QPushButton::clicked, m_plot, &widgets::TimePlot::resetZoom);
    connect(m_snap, &QCheckBox::toggled, m_plot, &widgets::TimePlot::setCursorSnap);
    connect(m_clearCursors, &QPushButton::clicked, m_plot, &widgets::TimePlot::clearCursors);
    connect(m_copy, &QPushButton::clicked, this, &PlotPanel::copyToClipboard);
    connect(m_plot, &widgets::TimePlot::cursorsChanged, this, &PlotPanel::updateReadout);
    connect(m_plot, &widgets::TimePlot::pausedChanged, this, [this] {
        updatePauseCaption();
        updateReadout();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_plot, 1);
    layout->addLayout(tools);
    layout->addWidget(m_readout);
    updateReadout();
}

void PlotPanel::setReadoutUnits(const ReadoutUnits& units) {
    m_units = units;
    updateReadout();
}

void PlotPanel::updateReadout() {
    const QString text = readoutText(*m_plot, m_units);
    if (text != m_readout->text()) {
        m_readout->setText(text);
    }
}

void PlotPanel::updatePauseCaption() {
    if (m_pause == nullptr) {
        return;
    }
    const QSignalBlocker quiet(m_pause);
    m_pause->setChecked(m_plot->isPaused());
    m_pause->setText(uiText(m_plot->isPaused() ? texts::kPlotResume : texts::kPlotPause));
}

void PlotPanel::copyToClipboard() {
    widgets::copyPlotToClipboard(*m_plot);
}

bool PlotPanel::saveImage(const QString& suggestedBaseName) {
    const QString name =
        QStringLiteral("%1_%2.png")
            .arg(suggestedBaseName,
                 QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss")));
    return saveThroughDialog(this, m_saveDialog, m_messages, uiText(texts::kPlotSaveImageCaption),
                             name, uiText(texts::kPlotImageFilter), QStringLiteral("png"),
                             [this](const QString& path, QIODevice& out) {
                                 return widgets::writePlotPicture(
                                     *m_plot, widgets::pictureFormatFor(path), out);
                             });
}

}  // namespace qvx::views
