#include "views/view_aufnahme.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>
#include <string>

#include "document/outputs.h"
#include "document/units.h"
#include "resources/ui_text.h"
#include "views/plot_panel.h"
#include "views/ui_state.h"
#include "views/view_texts.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/plot_export.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/time_plot.h"

namespace qvx::views {

namespace {

/// The document's visibility entry of each plot channel (entry 3 is Ub, 4 the outputs,
/// 5 the gripper).
constexpr std::array<std::size_t, 3> kVisibilityEntry{5, 3, 4};

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// Changes a lamp between begin and end update and paints it at once: the user-interface
/// thread is busy with the transfer and paints only when it lets events through.
void showLamp(widgets::RectangularLed& lamp, bool active, const QString& caption) {
    lamp.beginUpdate();
    lamp.setActive(active);
    lamp.setCaption(caption);
    lamp.endUpdate();
    lamp.repaint();
}

widgets::RectangularLed* commandLamp(const char* caption, const char* name) {
    auto* lamp = new widgets::RectangularLed;
    lamp->setObjectName(QString::fromLatin1(name));
    lamp->setCaption(uiText(caption));
    lamp->setMinimumSize(210, 46);
    lamp->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return lamp;
}

QString timestamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

/// Now as ISO 8601 local time with the offset from UTC, for instance
/// "2026-12-09T08:15:30+01:00".
std::string isoLocalNow() {
    const QDateTime now = QDateTime::currentDateTime();
    // Always with the offset, also "+00:00" where Qt would write "Z": the time is local.
    const int offset = now.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    const QString zone = QStringLiteral("%1%2:%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return (now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + zone).toStdString();
}

QPushButton* commandButton(const char* caption, const char* name) {
    auto* button = new QPushButton(uiText(caption));
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

const char* refusalReason(document::RecordingFileError error) {
    switch (error) {
        case document::RecordingFileError::NoColumns: return texts::kRecErrorNoColumns;
        case document::RecordingFileError::BadHeader: return texts::kRecErrorBadHeader;
        case document::RecordingFileError::UnitMismatch: return texts::kRecErrorUnitMismatch;
        case document::RecordingFileError::BadNumber: return texts::kRecErrorBadNumber;
        case document::RecordingFileError::WrongTime: return texts::kRecErrorWrongTime;
        case document::RecordingFileError::WrongFieldCount:
            return texts::kRecErrorWrongFieldCount;
        case document::RecordingFileError::TooManySamples: return texts::kRecErrorTooManySamples;
        case document::RecordingFileError::NoSamples: return texts::kRecErrorNoSamples;
    }
    return texts::kRecErrorNoColumns;
}

/// The plain-column copy's path: "_daten" before the suffix.
QString plainPath(const QString& path) {
    const QFileInfo info(path);
    return info.dir().filePath(info.completeBaseName() + uiText(texts::kRecPlainSuffix) +
                               QLatin1Char('.') + info.suffix());
}

}  // namespace

/// One running recording or transfer: the view refuses further starts, navigation and closing
/// are inert, the operation's lamp shows its running caption and blinks, and "Abbrechen" (or a
/// close request, through the busy scope) asks the operation to stop.
class CViewAufnahme::Busy {
public:
    Busy(CViewAufnahme& view, widgets::RectangularLed& lamp, const char* runningCaption,
         const char* idleCaption)
        : m_ui([&view] { view.cancel(); }),
          m_view(view),
          m_lamp(lamp),
          m_idleCaption(uiText(idleCaption)) {
        m_view.m_stop = std::stop_source();
        m_view.m_busy = true;
        m_view.updateRecordingState();
        m_view.m_cancel->setEnabled(true);
        showLamp(m_lamp, true, uiText(runningCaption));
        m_view.m_blinking = &m_lamp;
        m_view.m_blinkTimer->start();
    }
    ~Busy() {
        m_view.m_blinkTimer->stop();
        m_view.m_blinking = nullptr;
        showLamp(m_lamp, false, m_idleCaption);
        m_view.m_cancel->setEnabled(false);
        m_view.m_busy = false;
        m_view.updateRecordingState();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    UiBusyScope m_ui;  // first in, last out: closing stays inert until the lamp is idle again
    CViewAufnahme& m_view;
    widgets::RectangularLed& m_lamp;
    QString m_idleCaption;
};

CViewAufnahme::CViewAufnahme(document::CQvx_controllerDoc& document, QWidget* parent)
    : CValidForm(document, parent),
      m_panel(new PlotPanel(PlotPanel::Kind::Recording)),
      m_plot(&m_panel->plot()),
      m_start(commandLamp(texts::kRecStart, "startRecording")),
      m_reread(commandLamp(texts::kRecReread, "rereadRecording")),
      m_cancel(new QPushButton(uiText(texts::kRecCancel))),
      m_state(new QLabel),
      m_exportCsv(new QPushButton(uiText(texts::kRecExportCsv))),
      m_saveImage(new QPushButton(uiText(texts::kRecSaveImage))),
      m_open(commandButton(texts::kRecOpen, "openRecording")),
      m_openComparison(commandButton(texts::kRecOpenComparison, "openComparison")),
      m_removeComparison(commandButton(texts::kRecRemoveComparison, "removeComparison")),
      m_blinkTimer(new QTimer(this)),
      m_messages(warningBoxes(this)),
      m_saveDialog(desktopSaveDialog()),
      m_openDialog(desktopOpenDialog()) {
    setObjectName(QStringLiteral("CViewAufnahme"));
    widgets::setUpGripperPlot(*m_plot, uiText(texts::kRecTitle), uiText(texts::kRecTimeAxis));
    m_plot->xAxis().setMin(0.0);
    m_plot->xAxis().setSpan(static_cast<double>((kSamples - 1) * kSampleIntervalMs));
    for (int channel = 0; channel < widgets::TimePlot::kChannelCount; ++channel) {
        m_plot->channel(channel).setRingBufferSize(static_cast<int>(kSamples));
        m_plot->overlay(channel).setRingBufferSize(static_cast<int>(kSamples));
    }
    m_panel->setMessageSink([this](const QString& caption, const QString& text) {
        if (m_messages) {
            m_messages(caption, text);
        }
    });
    m_cancel->setObjectName(QStringLiteral("cancelRecording"));
    m_cancel->setEnabled(false);
    m_state->setObjectName(QStringLiteral("recordingState"));
    m_state->setWordWrap(true);
    m_exportCsv->setObjectName(QStringLiteral("exportCsv"));
    m_saveImage->setObjectName(QStringLiteral("saveImage"));
    m_blinkTimer->setInterval(m_timing.blinkInterval);
    connect(m_blinkTimer, &QTimer::timeout, this, &CViewAufnahme::blink);
    connectDeviceCommand(m_start, &widgets::RectangularLed::clicked, this,
                         &CViewAufnahme::startRecording);
    connectDeviceCommand(m_reread, &widgets::RectangularLed::clicked, this,
                         &CViewAufnahme::rereadRecording);
    // Not a device command: it has to reach the operation while the user interface is busy.
    connect(m_cancel, &QPushButton::clicked, this, &CViewAufnahme::cancel);
    connect(m_exportCsv, &QPushButton::clicked, this, [this] { (void)exportCsv(); });
    connect(m_saveImage, &QPushButton::clicked, this, [this] { (void)saveImage(); });
    connect(m_open, &QPushButton::clicked, this, [this] { (void)openRecording(); });
    connect(m_openComparison, &QPushButton::clicked, this, [this] { (void)openComparison(); });
    connect(m_removeComparison, &QPushButton::clicked, this, &CViewAufnahme::removeComparison);

    auto* toggles = new QHBoxLayout;
    for (int channel = 0; channel < 3; ++channel) {
        auto* toggle = new widgets::RectangularLed;
        toggle->setObjectName(QStringLiteral("toggleChannel%1").arg(channel));
        toggle->setFixedSize(26, 18);
        connect(toggle, &widgets::RectangularLed::clicked, this,
                [this, channel] { toggleChannel(channel); });
        m_toggles[static_cast<std::size_t>(channel)] = toggle;
        toggles->addWidget(toggle);
        toggles->addWidget(
            new QLabel(uiText(texts::kPlotChannels[static_cast<std::size_t>(channel)])));
        toggles->addSpacing(12);
    }
    toggles->addStretch();

    auto* plotColumn = new QVBoxLayout;
    plotColumn->addWidget(m_panel, 1);
    plotColumn->addLayout(toggles);

    auto* commands = new QVBoxLayout;
    commands->addWidget(m_start);
    commands->addSpacing(6);
    commands->addWidget(m_reread);
    commands->addSpacing(6);
    commands->addWidget(m_cancel);
    commands->addSpacing(18);
    commands->addWidget(m_exportCsv);
    commands->addWidget(m_saveImage);
    commands->addSpacing(12);
    commands->addWidget(m_open);
    commands->addWidget(m_openComparison);
    commands->addWidget(m_removeComparison);
    commands->addSpacing(12);
    commands->addWidget(m_state);
    commands->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(plotColumn, 1);
    layout->addLayout(commands);
    updateRecordingState();
}

CViewAufnahme::~CViewAufnahme() = default;

void CViewAufnahme::setTiming(const Timing& timing) {
    m_timing = timing;
    m_blinkTimer->setInterval(m_timing.blinkInterval);
}

std::string CViewAufnahme::recordingCsv(const document::CQvx_controllerDoc& document,
                                        link::CalibrationMode unit) {
    document::RecordingData recording = document::currentRecording(document);
    recording.unit = unit;
    return document::recordingColumnsText(recording);
}

void CViewAufnahme::OnInitialUpdate() {
    m_initialised = false;
    applyVisibility();
    applyAxis();
    if (document().recordingPresent) {
        fillPlot();
    }
    updateRecordingState();
    followSwitchPoints(document(), *m_plot);
    m_initialised = true;
}

void CViewAufnahme::OnUpdate(document::DocumentView* /*sender*/, int hint) {
    if (!m_initialised || hint != document::CQvx_controllerDoc::kHintNewData) {
        return;
    }
    m_plot->beginUpdate();
    applyVisibility();
    applyAxis();
    // The plot follows a change of the display unit at once, so that the curve always
    // matches the axis.
    const std::pair unit{document().link().calibration().getMode(), document().inchUnit.load()};
    if (!m_busy && document().recordingPresent && m_plottedUnit != unit) {
        fillPlot();
    }
    followSwitchPoints(document(), *m_plot);
    m_plot->endUpdate();
}

void CViewAufnahme::applyVisibility() {
    for (std::size_t channel = 0; channel < m_toggles.size(); ++channel) {
        const bool visible = document().curveVisible[kVisibilityEntry[channel]];
        m_plot->channel(static_cast<int>(channel)).setVisible(visible);
        m_toggles[channel]->setBevelStyle(visible ? widgets::BevelStyle::Lowered
                                                  : widgets::BevelStyle::Raised);
        m_toggles[channel]->setActive(visible);
    }
}

void CViewAufnahme::applyAxis() {
    const link::CalibrationTable& table = document().link().calibration();
    const int inch = document().inchUnit;
    const document::DisplayRange axis = document::plotAxis(table, inch);
    widgets::TimePlotAxis& yAxis = m_plot->yAxis(widgets::kGripperAxis);
    yAxis.setTitle(fromUtf8(document::valuesCaption(table.getMode(), inch)));
    yAxis.setMin(axis.minimum);
    yAxis.setSpan(axis.maximum);
}

void CViewAufnahme::toggleChannel(int channel) {
    bool& visible = document().curveVisible[kVisibilityEntry[static_cast<std::size_t>(channel)]];
    visible = !visible;
    applyVisibility();
}

void CViewAufnahme::blink() {
    if (m_blinking != nullptr) {
        showLamp(*m_blinking, !m_blinking->isActive(), m_blinking->caption());
    }
}

void CViewAufnahme::updateRecordingState() {
    const document::CQvx_controllerDoc& doc = document();
    const bool ready = doc.recordingPresent && !m_busy;
    m_exportCsv->setEnabled(ready);
    m_saveImage->setEnabled(ready);
    m_open->setEnabled(!m_busy);
    m_openComparison->setEnabled(ready);
    m_removeComparison->setEnabled(!m_busy && doc.comparison.samples > 0);
    if (doc.recordingPresent && doc.recordingSamples < kSamples) {
        m_state->setText(uiText(texts::kRecIncompleteMark).arg(doc.recordingSamples).arg(kSamples));
    } else {
        m_state->clear();
    }
}

QString CViewAufnahme::recordingLegendName() {
    const document::CQvx_controllerDoc& doc = document();
    if (doc.recordingFromFile) {
        return QFileInfo(QString::fromStdString(doc.recordingName)).fileName();
    }
    if (doc.recordingHeader.recorded.empty()) {
        return uiText(texts::kRecFromDeviceUntimed);
    }
    const QDateTime at =
        QDateTime::fromString(QString::fromStdString(doc.recordingHeader.recorded), Qt::ISODate);
    return uiText(texts::kRecFromDevice).arg(at.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
}

void CViewAufnahme::fillPlot() {
    const document::CQvx_controllerDoc& doc = document();
    m_plot->beginUpdate();
    for (int channel = 0; channel < widgets::TimePlot::kChannelCount; ++channel) {
        m_plot->channel(channel).clear();
        m_plot->overlay(channel).clear();
    }
    m_plot->resetXView();
    m_plot->resetZoom();  // a zoomed value range would stay in the unit before the refill
    applyAxis();
    const auto plot = [this](const std::array<float, kSamples>& gripper,
                             const std::array<float, kSamples>& supply,
                             const std::array<int, kSamples>& outputWords, std::size_t count,
                             link::CalibrationMode unit, bool overlay) {
        const auto series = [this, overlay](int channel) -> widgets::TimePlotChannel& {
            return overlay ? m_plot->overlay(channel) : m_plot->channel(channel);
        };
        int level = 0;
        // Only what was read: the samples after an interrupted transfer belong to no recording.
        for (std::size_t i = 0; i < std::min(count, kSamples); ++i) {
            const auto x = static_cast<double>(i * kSampleIntervalMs);
            series(widgets::kGripperChannel).addXY(x, shownGripper(document(), gripper[i], unit));
            series(widgets::kSupplyChannel).addXY(x, supply[i]);
            level = document::recordedOutputLevel(outputWords[i], level);
            series(widgets::kOutputChannel).addXY(x, level);
        }
    };
    plot(doc.recGripper, doc.recSupply, doc.recOutputs, doc.recordingSamples, doc.recGripperUnit,
         false);
    const document::RecordingData& comparison = doc.comparison;
    plot(comparison.gripper, comparison.supply, comparison.outputs, comparison.samples,
         comparison.unit, true);
    m_plot->setRecordingNames(recordingLegendName(),
                              QFileInfo(QString::fromStdString(doc.comparisonName)).fileName());
    m_plot->endUpdate();
    m_plottedUnit =
        std::pair{document().link().calibration().getMode(), document().inchUnit.load()};
    m_panel->setReadoutUnits({shownGripperUnit(document()), 1.0});
}

void CViewAufnahme::startRecording() {
    // A click during a running operation would nest a second one inside it.
    if (m_busy || !document().link().isConnected()) {
        return;
    }
    link::DeviceLink& link = document().link();
    const Timing timing = m_timing;
    run(*m_start, texts::kRecRunning, texts::kRecStart,
        [&link, timing](const std::stop_token& stop) -> Transfer {
            if (!link.startRecording()) {
                return std::nullopt;
            }
            // A failed poll ends the wait as if the recording were finished; so does a
            // controller that never reports the end within the limit.
            if (document::waitForRecordingEnd(link, timing.finishLimit, timing.pollStep, stop) ==
                document::TransferEnd::Cancelled) {
                return std::nullopt;
            }
            return document::transferRecording(link, timing.transferLimit, stop);
        });
}

void CViewAufnahme::rereadRecording() {
    if (m_busy || !document().link().isConnected()) {
        return;
    }
    link::DeviceLink& link = document().link();
    const std::chrono::milliseconds limit = m_timing.transferLimit;
    run(*m_reread, texts::kRecReading, texts::kRecReread,
        [&link, limit](const std::stop_token& stop) -> Transfer {
            return document::transferRecording(link, limit, stop);
        });
}

void CViewAufnahme::run(widgets::RectangularLed& lamp, const char* runningCaption,
                        const char* idleCaption, const Operation& operation) {
    // The recording keeps the unit shown when the user asked for it, whatever the unit toggle
    // does meanwhile.
    const link::CalibrationMode unit = document().link().calibration().getMode();
    Transfer transfer;
    {
        const Busy busy(*this, lamp, runningCaption, idleCaption);
        const std::stop_token stop = m_stop.get_token();
        runPumping([&transfer, &operation, &stop] { transfer = operation(stop); });
        if (transfer && transfer->samples > 0) {
            document::keepRecording(document(), *transfer, unit);
            document().recordingHeader.recorded = isoLocalNow();
            fillPlot();
        }
    }
    updateRecordingState();
    if (transfer) {
        report(*transfer);
    }
}

void CViewAufnahme::cancel() {
    if (!m_busy) {
        return;
    }
    m_stop.request_stop();
    m_cancel->setEnabled(false);
}

void CViewAufnahme::report(const document::TransferredRecording& transfer) {
    // A stop the user asked for (with "Abbrechen" or by closing the window) needs no message:
    // the mark beside the plot says what is missing.
    if (transfer.end == document::TransferEnd::Complete || m_stop.stop_requested()) {
        return;
    }
    if (transfer.samples == 0) {
        message(uiText(texts::kRecNothingRead));
        return;
    }
    message(uiText(texts::kRecIncomplete).arg(transfer.samples).arg(kSamples));
}

void CViewAufnahme::message(const QString& text) {
    if (m_messages) {
        m_messages(uiText(texts::kMessageTitle), text);
    }
}

document::RecordingHeader CViewAufnahme::exportHeader() {
    document::CQvx_controllerDoc& doc = document();
    document::RecordingHeader header = doc.recordingHeader;
    // A recording read from the controller names the controller connected now; one opened
    // from a file keeps what its file said.
    if (!doc.recordingFromFile && doc.link().isConnected()) {
        int week = 0;
        int year = 0;
        int serial = 0;
        if (doc.link().readServiceData(week, year, serial)) {
            header.serialNumber = std::to_string(serial);
            header.week = std::to_string(week);
            header.year = std::to_string(year);
        }
    }
    if (header.program.empty() || !doc.recordingFromFile) {
        header.program = texts::kProgramVersion;
    }
    return header;
}

bool CViewAufnahme::exportCsv() {
    if (m_busy || !document().recordingPresent) {
        return false;
    }
    const document::RecordingData recording = document::currentRecording(document());
    const std::string annotated = document::recordingFileText(recording, exportHeader());
    const std::string plain = document::recordingColumnsText(recording);
    const auto writeAll = [](QIODevice& out, const std::string& text) {
        return out.write(text.data(), static_cast<qint64>(text.size())) ==
               static_cast<qint64>(text.size());
    };
    return saveThroughDialog(
        this, m_saveDialog, m_messages, uiText(texts::kRecExportCsvCaption),
        QStringLiteral("aufnahme_%1.csv").arg(timestamp()), uiText(texts::kRecCsvFilter),
        QStringLiteral("csv"), [&](const QString& path, QIODevice& out) {
            if (!writeAll(out, annotated)) {
                return false;
            }
            // The plain copy first: the annotated file only appears when both are complete.
            QSaveFile columns(plainPath(path));
            return columns.open(QIODevice::WriteOnly) && writeAll(columns, plain) &&
                   columns.commit();
        });
}

bool CViewAufnahme::saveImage() {
    if (m_busy || !document().recordingPresent) {
        return false;
    }
    return saveThroughDialog(this, m_saveDialog, m_messages, uiText(texts::kRecSaveImageCaption),
                             QStringLiteral("aufnahme_%1.png").arg(timestamp()),
                             uiText(texts::kRecImageFilter), QStringLiteral("png"),
                             [this](const QString& path, QIODevice& out) {
                                 return widgets::writePlotPicture(
                                     *m_plot, widgets::pictureFormatFor(path), out);
                             });
}

std::optional<std::pair<document::RecordingFile, QString>> CViewAufnahme::chooseRecordingFile(
    const char* caption) {
    if (m_busy || !m_openDialog) {
        return std::nullopt;
    }
    const QString path = m_openDialog(this, uiText(caption), uiText(texts::kRecCsvFilter));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        message(uiText(texts::kRecOpenUnreadable).arg(shown));
        return std::nullopt;
    }
    // Read no more than a recording can need, whatever the file's size.
    const QByteArray bytes = file.read(kMaxRecordingFileBytes + 1);
    if (bytes.size() > kMaxRecordingFileBytes) {
        message(uiText(texts::kRecOpenTooLarge).arg(shown).arg(kMaxRecordingFileBytes / 1024));
        return std::nullopt;
    }
    auto parsed = document::parseRecordingFile(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (const auto* refusal = std::get_if<document::RecordingFileRefusal>(&parsed)) {
        message(uiText(texts::kRecOpenRefused)
                    .arg(shown)
                    .arg(refusal->line)
                    .arg(uiText(refusalReason(refusal->error))));
        return std::nullopt;
    }
    return std::pair{std::get<document::RecordingFile>(std::move(parsed)), path};
}

bool CViewAufnahme::openRecording() {
    const auto chosen = chooseRecordingFile(texts::kRecOpenCaption);
    if (!chosen) {
        return false;
    }
    document::keepOpenedRecording(document(), chosen->first, chosen->second.toStdString());
    fillPlot();
    updateRecordingState();
    return true;
}

bool CViewAufnahme::openComparison() {
    if (!document().recordingPresent) {
        return false;
    }
    const auto chosen = chooseRecordingFile(texts::kRecOpenComparisonCaption);
    if (!chosen) {
        return false;
    }
    document().comparison = chosen->first.recording;
    document().comparisonName = chosen->second.toStdString();
    fillPlot();
    updateRecordingState();
    return true;
}

void CViewAufnahme::removeComparison() {
    if (m_busy) {
        return;
    }
    document().comparison = {};
    document().comparisonName.clear();
    fillPlot();
    updateRecordingState();
}

}  // namespace qvx::views
