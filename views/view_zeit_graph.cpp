#include "views/view_zeit_graph.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "document/outputs.h"
#include "document/units.h"
#include "link/device_memory_map.h"
#include "resources/ui_text.h"
#include "views/gripper_plot_values.h"
#include "views/plot_panel.h"
#include "views/ui_state.h"
#include "views/view_texts.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/round_led.h"
#include "views/widgets/thermometer.h"
#include "views/widgets/time_plot.h"

namespace qvx::views {

namespace {

constexpr int kRingBufferSize = 640;
/// The document's visibility entry of each plot channel (entry 0 is Ub, 1 the outputs,
/// 2 the gripper).
constexpr std::array<std::size_t, 3> kVisibilityEntry{2, 0, 1};

QLineEdit* textField(const char* name) {
    auto* field = new QLineEdit;
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    field->setEnabled(false);
    field->setAlignment(Qt::AlignRight);
    field->setMaximumWidth(120);
    return field;
}

widgets::RoundLed* limitLamp(const char* name) {
    auto* lamp = new widgets::RoundLed;
    lamp->setObjectName(QString::fromLatin1(name));
    lamp->setColors(widgets::LedColors::RedGreen);
    lamp->setFixedSize(22, 22);
    return lamp;
}

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

CViewZeitGraph::CViewZeitGraph(document::CQvx_controllerDoc& document, QWidget* parent)
    : CValidForm(document, parent),
      m_panel(new PlotPanel(PlotPanel::Kind::Live)),
      m_plot(&m_panel->plot()),
      m_temperature(new widgets::Thermometer),
      m_voltage(new widgets::Thermometer),
      m_temperatureOver(limitLamp("temperatureOver")),
      m_temperatureUnder(limitLamp("temperatureUnder")),
      m_voltageOver(limitLamp("voltageOver")),
      m_voltageUnder(limitLamp("voltageUnder")),
      m_temperatureText(textField("temperatureText")),
      m_voltageText(textField("voltageText")),
      m_reset(new QPushButton(uiText(texts::kResetValues))),
      m_clock([] { return std::chrono::steady_clock::now(); }) {
    setObjectName(QStringLiteral("CViewZeitGraph"));
    widgets::setUpGripperPlot(*m_plot, uiText(texts::kOperatingState),
                              uiText(texts::kTimeAxisSeconds));
    m_plot->xAxis().setMin(0.0);
    m_plot->xAxis().setSpan(kVisibleSeconds);
    m_plot->setXTracking(true);
    m_temperature->setObjectName(QStringLiteral("temperature"));
    m_temperature->setPositionMin(-30.0);
    m_temperature->setPositionMax(80.0);
    m_voltage->setObjectName(QStringLiteral("voltage"));
    m_voltage->setPositionMin(0.0);
    m_voltage->setPositionMax(40.0);
    m_reset->setObjectName(QStringLiteral("resetValues"));
    m_reset->setVisible(false);
    connectDeviceCommand(m_reset, &QPushButton::clicked, this, &CViewZeitGraph::resetStoredValues);

    auto* toggles = new QHBoxLayout;
    for (int channel = 0; channel < 3; ++channel) {
        auto* toggle = new widgets::RectangularLed;
        toggle->setObjectName(QStringLiteral("toggleChannel%1").arg(channel));
        toggle->setFixedSize(26, 18);
        connect(toggle, &widgets::RectangularLed::clicked, this, [this, channel] { toggleChannel(channel); });
        m_toggles[static_cast<std::size_t>(channel)] = toggle;
        toggles->addWidget(toggle);
        toggles->addWidget(
            new QLabel(uiText(texts::kPlotChannels[static_cast<std::size_t>(channel)])));
        toggles->addSpacing(12);
    }
    toggles->addStretch();
    toggles->addWidget(m_reset);

    auto thermometerGroup = [](const QString& title, widgets::Thermometer* thermometer, widgets::RoundLed* over,
                               widgets::RoundLed* under, QLineEdit* text) {
        auto* group = new QGroupBox(title);
        auto* grid = new QGridLayout(group);
        thermometer->setMinimumSize(70, 150);
        grid->addWidget(thermometer, 0, 0, 4, 1);
        grid->addWidget(over, 0, 1);
        grid->addWidget(new QLabel(uiText(texts::kLimitOver)), 0, 2);
        grid->addWidget(under, 1, 1);
        grid->addWidget(new QLabel(uiText(texts::kLimitUnder)), 1, 2);
        grid->addWidget(text, 3, 1, 1, 2);
        return group;
    };
    auto* gauges = new QVBoxLayout;
    gauges->addWidget(thermometerGroup(uiText(texts::kTemperatureGroup), m_temperature,
                                       m_temperatureOver, m_temperatureUnder, m_temperatureText));
    gauges->addWidget(thermometerGroup(uiText(texts::kVoltageGroup), m_voltage, m_voltageOver,
                                       m_voltageUnder, m_voltageText));

    auto* plotColumn = new QVBoxLayout;
    plotColumn->addWidget(m_panel, 1);
    plotColumn->addLayout(toggles);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(plotColumn, 1);
    layout->addLayout(gauges);
}

std::uint32_t CViewZeitGraph::temperatureColor(float celsius) {
    if (celsius > 70.0F) {
        return kRed;
    }
    return celsius < -20.0F ? kYellow : kGreen;
}

std::uint32_t CViewZeitGraph::voltageColor(float volts) {
    if (volts > 35.0F) {
        return kRed;
    }
    return volts < 12.0F ? kYellow : kGreen;
}

void CViewZeitGraph::OnInitialUpdate() {
    for (int channel = 0; channel < 3; ++channel) {
        m_plot->channel(channel).setRingBufferSize(kRingBufferSize);
    }
    applyVisibility();
    // The axis is in the display unit from the start, as the fixed pane's caption is, not
    // only from the first polling result on (offline there is none).
    applyAxis();
    refillPlot();
    followSwitchPoints(document(), *m_plot);
    m_reset->setVisible(document().supervisorMode);
    // The polling thread reads the gauges' values after its next successful cycle, so the
    // first update shows current ones.
    document().operatingValuesWanted = true;
    m_initialised = true;
}

void CViewZeitGraph::refillPlot() {
    const document::LiveHistory& history = document().liveHistory;
    // A held picture or a zoomed value range would stay in the unit before the refill.
    m_plot->setPaused(false);
    m_plot->resetZoom();
    m_plot->beginUpdate();
    for (int channel = 0; channel < 3; ++channel) {
        m_plot->channel(channel).clear();
    }
    m_plot->resetXView();
    for (std::size_t i = 0; i < history.size(); ++i) {
        appendToPlot(history[i]);
    }
    m_plot->endUpdate();
    m_plottedUnit = std::pair{document().link().calibration().getMode(), document().inchUnit.load()};
    m_panel->setReadoutUnits({shownGripperUnit(document()), 1000.0});
}

void CViewZeitGraph::appendToPlot(const document::LiveSample& sample) {
    m_plot->channel(widgets::kGripperChannel)
        .addXY(sample.seconds, shownGripper(document(), sample.gripperMv, link::CalibrationMode::Millivolt));
    m_plot->channel(widgets::kSupplyChannel).addXY(sample.seconds, sample.supplyVolts);
    m_plot->channel(widgets::kOutputChannel).addXY(sample.seconds, sample.outputLevel);
}

void CViewZeitGraph::applyAxis() {
    const document::CQvx_controllerDoc& doc = document();
    const link::CalibrationTable& table = doc.link().calibration();
    const document::DisplayRange axis = document::plotAxis(table, doc.inchUnit);
    widgets::TimePlotAxis& yAxis = m_plot->yAxis(widgets::kGripperAxis);
    yAxis.setTitle(fromUtf8(document::valuesCaption(table.getMode(), doc.inchUnit)));
    yAxis.setMin(axis.minimum);
    yAxis.setSpan(axis.maximum);
}

void CViewZeitGraph::applyVisibility() {
    for (std::size_t channel = 0; channel < 3; ++channel) {
        const bool visible = document().curveVisible[kVisibilityEntry[channel]];
        m_plot->channel(static_cast<int>(channel)).setVisible(visible);
        m_toggles[channel]->setBevelStyle(visible ? widgets::BevelStyle::Lowered : widgets::BevelStyle::Raised);
        m_toggles[channel]->setActive(visible);
    }
}

void CViewZeitGraph::toggleChannel(int channel) {
    bool& visible = document().curveVisible[kVisibilityEntry[static_cast<std::size_t>(channel)]];
    visible = !visible;
    applyVisibility();
}

void CViewZeitGraph::resetStoredValues() {
    link::DeviceLink& link = document().link();
    if (!link.lockEngine()) {
        return;
    }
    const std::uint8_t reset = 255;
    (void)link.writeEeprom(link::memory_map::kResetCell, std::span(&reset, 1));
    link.unlockEngine();
}

void CViewZeitGraph::OnUpdate(document::DocumentView* /*sender*/, int hint) {
    if (hint == document::CQvx_controllerDoc::kHintSupervisor) {
        m_reset->setVisible(document().supervisorMode);
        return;
    }
    if (hint != document::CQvx_controllerDoc::kHintNewData || !m_initialised) {
        return;
    }
    document::CQvx_controllerDoc& doc = document();
    m_plot->beginUpdate();
    applyVisibility();
    applyAxis();

    // Read once: the polling thread may change it meanwhile.
    const bool sampled = doc.pollOk;
    if (sampled) {
        // The polling thread read these on this view's request; a failed read shows as 0 °C,
        // an unchanged voltage and no limit lamp.
        const float celsius = doc.temperatureRead ? doc.temperature.load() : 0.0F;
        m_temperatureText->setText(fromUtf8(document::formatCelsius(celsius)));
        m_temperature->setIndicatorColor(temperatureColor(celsius));
        m_temperature->setPosition(celsius);

        float volts = 0.0F;
        if (doc.supplyVoltsRead) {
            volts = doc.supplyVolts;
            m_voltageText->setText(fromUtf8(document::formatVolts(volts)));
            m_voltage->setIndicatorColor(voltageColor(volts));
            m_voltage->setPosition(volts);
        }

        const int flags = doc.limitFlagsRead ? doc.limitFlags.load() : 0;
        m_temperatureOver->setActive((flags & 0x08) != 0);
        m_temperatureUnder->setActive((flags & 0x04) != 0);
        m_voltageOver->setActive((flags & 0x02) != 0);
        m_voltageUnder->setActive((flags & 0x01) != 0);

        std::array<bool, document::kOutputCount> outputs{};
        for (std::size_t k = 0; k < outputs.size(); ++k) {
            outputs[k] = doc.outputActive[k];
        }
        doc.liveHistory.append(doc.gripperMv, volts, document::outputLevel(outputs), m_clock());
        doc.operatingValuesWanted = true;  // fresh values for the next update
    }
    const std::pair unit{doc.link().calibration().getMode(), doc.inchUnit.load()};
    if (m_plottedUnit != unit) {
        refillPlot();  // the history in the new unit, matching the axis
    } else if (sampled) {
        appendToPlot(doc.liveHistory.newest());
    }
    followSwitchPoints(doc, *m_plot);
    m_plot->endUpdate();  // one repaint, none while paused and nothing else changed
    m_panel->updateReadout();
}

}  // namespace qvx::views
