#include "views/view_aufnahme.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <string>

#include "document/outputs.h"
#include "document/units.h"
#include "views/ui_state.h"
#include "views/view_texts.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/time_plot.h"

namespace qvx::views {

namespace {

constexpr std::array<const char*, 3> kChannelNames{"Greifer", "Ub", "Schaltausgänge"};
/// The document's visibility entry of each plot channel (entry 3 is Ub, 4 the outputs,
/// 5 the gripper).
constexpr std::array<std::size_t, 3> kVisibilityEntry{5, 3, 4};

QString fromUtf8(const char* text) {
    return QString::fromUtf8(text);
}

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
    lamp->setCaption(fromUtf8(caption));
    lamp->setMinimumSize(210, 46);
    lamp->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return lamp;
}

QString timestamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
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
          m_idleCaption(fromUtf8(idleCaption)) {
        m_view.m_stop = std::stop_source();
        m_view.m_busy = true;
        m_view.updateRecordingState();
        m_view.m_cancel->setEnabled(true);
        showLamp(m_lamp, true, fromUtf8(runningCaption));
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
      m_plot(new widgets::TimePlot),
      m_start(commandLamp(texts::kRecStart, "startRecording")),
      m_reread(commandLamp(texts::kRecReread, "rereadRecording")),
      m_cancel(new QPushButton(fromUtf8(texts::kRecCancel))),
      m_state(new QLabel),
      m_exportCsv(new QPushButton(fromUtf8(texts::kRecExportCsv))),
      m_saveImage(new QPushButton(fromUtf8(texts::kRecSaveImage))),
      m_blinkTimer(new QTimer(this)),
      m_messages(warningBoxes(this)),
      m_saveDialog(desktopSaveDialog()) {
    setObjectName(QStringLiteral("CViewAufnahme"));
    m_plot->setObjectName(QStringLiteral("plot"));
    widgets::setUpGripperPlot(*m_plot, fromUtf8(texts::kRecTitle), fromUtf8(texts::kRecTimeAxis));
    m_plot->xAxis().setMin(0.0);
    m_plot->xAxis().setSpan(static_cast<double>((kSamples - 1) * kSampleIntervalMs));
    for (int channel = 0; channel < widgets::TimePlot::kChannelCount; ++channel) {
        m_plot->channel(channel).setRingBufferSize(static_cast<int>(kSamples));
    }
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
            new QLabel(QString::fromUtf8(kChannelNames[static_cast<std::size_t>(channel)])));
        toggles->addSpacing(12);
    }
    toggles->addStretch();

    auto* plotColumn = new QVBoxLayout;
    plotColumn->addWidget(m_plot, 1);
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
    std::string csv = unit == link::CalibrationMode::Millivolt
                          ? "time_ms,gripper_mV,ub_V,outputs\n"
                          : "time_ms,gripper_mm,ub_V,outputs\n";
    // Samples that were not read are not part of the recording.
    const std::size_t samples = std::min(document.recordingSamples, kSamples);
    csv.reserve(samples * 32);
    for (std::size_t i = 0; i < samples; ++i) {
        csv += std::to_string(i * kSampleIntervalMs);
        csv += ',';
        csv += document::formatValue("%.2f", static_cast<double>(document.recGripper[i]));
        csv += ',';
        csv += document::formatValue("%.3f", static_cast<double>(document.recSupply[i]));
        csv += ',';
        csv += std::to_string(document.recOutputs[i]);
        csv += '\n';
    }
    return csv;
}

void CViewAufnahme::OnInitialUpdate() {
    m_initialised = false;
    applyVisibility();
    applyAxis();
    if (document().recordingPresent) {
        fillPlot();
    }
    updateRecordingState();
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
    m_plot->endUpdate();
    m_plot->refresh();
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
    if (doc.recordingPresent && doc.recordingSamples < kSamples) {
        m_state->setText(
            fromUtf8(texts::kRecIncompleteMark).arg(doc.recordingSamples).arg(kSamples));
    } else {
        m_state->clear();
    }
}

float CViewAufnahme::plottedGripper(float stored) {
    const link::CalibrationTable& table = document().link().calibration();
    const link::CalibrationMode shown = table.getMode();
    const link::CalibrationMode recorded = document().recGripperUnit;
    float value = stored;
    if (recorded == link::CalibrationMode::Millivolt &&
        shown == link::CalibrationMode::Calibrated) {
        (void)table.mvToMm(stored, value);
    } else if (recorded == link::CalibrationMode::Calibrated &&
               shown == link::CalibrationMode::Millivolt) {
        (void)table.mmToMv(stored, value);
    }
    return shown == link::CalibrationMode::Calibrated
               ? document::lengthForDisplay(value, document().inchUnit)
               : value;
}

void CViewAufnahme::fillPlot() {
    const document::CQvx_controllerDoc& doc = document();
    m_plot->beginUpdate();
    for (int channel = 0; channel < widgets::TimePlot::kChannelCount; ++channel) {
        m_plot->channel(channel).clear();
    }
    m_plot->resetXView();
    applyAxis();
    widgets::TimePlotChannel& gripper = m_plot->channel(widgets::kGripperChannel);
    widgets::TimePlotChannel& supply = m_plot->channel(widgets::kSupplyChannel);
    widgets::TimePlotChannel& outputs = m_plot->channel(widgets::kOutputChannel);
    int level = 0;
    // Only what was read: the samples after an interrupted transfer belong to no recording.
    const std::size_t samples = std::min(doc.recordingSamples, kSamples);
    for (std::size_t i = 0; i < samples; ++i) {
        const auto x = static_cast<double>(i * kSampleIntervalMs);
        gripper.addXY(x, plottedGripper(doc.recGripper[i]));
        supply.addXY(x, doc.recSupply[i]);
        level = document::recordedOutputLevel(doc.recOutputs[i], level);
        outputs.addXY(x, level);
    }
    m_plot->endUpdate();
    m_plottedUnit =
        std::pair{document().link().calibration().getMode(), document().inchUnit.load()};
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
        message(fromUtf8(texts::kRecNothingRead));
        return;
    }
    message(fromUtf8(texts::kRecIncomplete).arg(transfer.samples).arg(kSamples));
}

void CViewAufnahme::message(const QString& text) {
    if (m_messages) {
        m_messages(fromUtf8(texts::kMessageTitle), text);
    }
}

bool CViewAufnahme::writeFile(const QString& caption, const QString& suggestedName,
                              const QString& filter, const QString& suffix,
                              const std::function<bool(QIODevice&)>& write) {
    if (!m_saveDialog) {
        return false;
    }
    QString path = m_saveDialog(this, caption, suggestedName, filter);
    if (path.isEmpty()) {
        return false;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1Char('.') + suffix;
    }
    // Written beside the target and renamed over it: a failed export never leaves half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !write(file) || !file.commit()) {
        message(fromUtf8(texts::kRecWriteFailed).arg(QDir::toNativeSeparators(path)));
        return false;
    }
    return true;
}

bool CViewAufnahme::exportCsv() {
    if (m_busy || !document().recordingPresent) {
        return false;
    }
    const std::string csv = recordingCsv(document(), document().recGripperUnit);
    return writeFile(fromUtf8(texts::kRecExportCsvCaption),
                     QStringLiteral("aufnahme_%1.csv").arg(timestamp()),
                     fromUtf8(texts::kRecCsvFilter), QStringLiteral("csv"), [&csv](QIODevice& out) {
                         return out.write(csv.data(), static_cast<qint64>(csv.size())) ==
                                static_cast<qint64>(csv.size());
                     });
}

bool CViewAufnahme::saveImage() {
    if (m_busy || !document().recordingPresent) {
        return false;
    }
    const QPixmap picture = m_plot->grab();
    return writeFile(fromUtf8(texts::kRecSaveImageCaption),
                     QStringLiteral("aufnahme_%1.png").arg(timestamp()),
                     fromUtf8(texts::kRecImageFilter), QStringLiteral("png"),
                     [&picture](QIODevice& out) { return picture.save(&out, "PNG"); });
}

}  // namespace qvx::views
