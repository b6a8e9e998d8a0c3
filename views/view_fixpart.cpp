#include "views/view_fixpart.h"

#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "connection/connection_procedure.h"
#include "connection/connection_texts.h"
#include "document/units.h"
#include "link/device_memory_map.h"
#include "resources/qvx_resources.h"
#include "resources/ui_text.h"
#include "views/ui_state.h"
#include "views/view_texts.h"
#include "views/widgets/angular_gauge.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/round_led.h"

namespace qvx::views {

namespace {

/// Navigation buttons by selection index, and the view number each one shows.
struct Navigation {
    const char* caption;
    const char* objectName;
    int view;
};
constexpr std::array<Navigation, 5> kNavigation{{
    {texts::kRecording, "navRecording", 3},
    {texts::kOperatingState, "navOperatingState", 2},
    {texts::kCalibration, "navCalibration", 4},
    {texts::kProgramming, "navProgramming", 1},
    {texts::kService, "navService", 5},
}};
/// Left-to-right order of the navigation buttons, as selection indices.
constexpr std::array<int, 5> kButtonOrder{3, 1, 0, 2, 4};

QLineEdit* displayField(const QString& name, int minimumWidth = 0) {
    auto* field = new QLineEdit;
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setAlignment(Qt::AlignRight);
    if (minimumWidth > 0) {
        field->setMinimumWidth(minimumWidth);
    }
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    field->setFont(mono);
    return field;
}

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

CViewFixpart::CViewFixpart(document::CQvx_controllerDoc& document, SwitchView switchView,
                           LowerView lowerView, QWidget* parent)
    : QWidget(parent),
      m_document(document),
      m_switchView(std::move(switchView)),
      m_lowerView(std::move(lowerView)),
      m_timer(new QTimer(this)),
      m_unitToggle(new QPushButton(QStringLiteral("-> mm"))),
      m_connectionLamp(new widgets::RectangularLed),
      m_connectionText(displayField(QStringLiteral("connectionText"))),
      m_gauge(new widgets::AngularGauge),
      m_gaugeFade(new QGraphicsOpacityEffect(this)),
      m_valueMv(displayField(QStringLiteral("valueMv"), 130)),
      m_valueLength(displayField(QStringLiteral("valueLength"), 130)),
      m_valuesCaption(
          new QLabel(fromUtf8(document::valuesCaption(link::CalibrationMode::Millivolt, 0)))),
      // Empty until the mode was read: offline the pane claims no mode.
      m_mode(new QLabel) {
    setObjectName(QStringLiteral("CViewFixpart"));
    m_unitToggle->setObjectName(QStringLiteral("unitToggle"));
    m_connectionLamp->setObjectName(QStringLiteral("connectionLamp"));
    m_connectionLamp->setCaption(uiText(texts::kOfflineLamp));
    m_connectionLamp->setFocusPolicy(Qt::NoFocus);
    m_connectionLamp->setMinimumSize(120, 32);
    m_gauge->setObjectName(QStringLiteral("gauge"));
    m_gaugeFade->setOpacity(0.35);
    m_gaugeFade->setEnabled(false);
    m_gauge->setGraphicsEffect(m_gaugeFade);
    m_gauge->setMinimumSize(190, 150);
    m_valuesCaption->setObjectName(QStringLiteral("valuesCaption"));
    m_mode->setObjectName(QStringLiteral("mode"));
    QFont emphasis = m_valuesCaption->font();
    emphasis.setBold(true);
    emphasis.setPointSizeF(emphasis.pointSizeF() * 1.1);
    m_valuesCaption->setFont(emphasis);
    m_mode->setFont(emphasis);
    m_mode->setMinimumHeight(m_mode->fontMetrics().height());  // the layout does not jump

    // Navigation row with the unit toggle and the maker's logo.
    auto* navigationRow = new QHBoxLayout;
    for (const int selection : kButtonOrder) {
        const Navigation& nav = kNavigation[static_cast<std::size_t>(selection)];
        auto* button = new QPushButton(uiText(nav.caption));
        button->setObjectName(QString::fromLatin1(nav.objectName));
        button->setCheckable(true);
        button->setMinimumWidth(110);
        connect(button, &QPushButton::clicked, this, [this, selection] { navigate(selection); });
        m_navigation[static_cast<std::size_t>(selection)] = button;
        navigationRow->addWidget(button);
    }
    navigationRow->addSpacing(16);
    navigationRow->addWidget(m_unitToggle);
    connect(m_unitToggle, &QPushButton::clicked, this, [this] { toggleUnit(); });
    navigationRow->addStretch();
    auto* logo = new QLabel;
    logo->setObjectName(QStringLiteral("logo"));
    const QSize logoSize(160, 40);
    logo->setPixmap(resources::makerLogo(logoSize, devicePixelRatioF()));
    logo->setFixedSize(logoSize);
    navigationRow->addWidget(logo);

    // Connection state.
    auto* connectionBox = new QVBoxLayout;
    connectionBox->addWidget(m_connectionLamp);
    connectionBox->addWidget(m_connectionText);
    m_connectionText->setAlignment(Qt::AlignLeft);
    m_connectionText->setMinimumWidth(280);
    m_connectionText->setFont(font());
    connectionBox->addSpacing(8);
    connectionBox->addWidget(m_valuesCaption);
    auto* values = new QGridLayout;
    values->addWidget(m_valueMv, 0, 0);
    values->addWidget(m_valueLength, 1, 0);
    connectionBox->addLayout(values);
    connectionBox->addWidget(m_mode);
    connectionBox->addStretch();

    // Working memory: the five ranges with their switch points and outputs.
    auto* memory = new QGroupBox(uiText(texts::kWorkingMemory));
    memory->setObjectName(QStringLiteral("workingMemory"));
    auto* grid = new QGridLayout(memory);
    for (std::size_t k = 0; k < 5; ++k) {
        const int column = static_cast<int>(k);
        auto* position = new QLabel(uiText(texts::kPositions[k]));
        position->setAlignment(Qt::AlignCenter);
        grid->addWidget(position, 0, column);
        m_outputs[k] = new widgets::RoundLed;
        m_outputs[k]->setObjectName(QStringLiteral("output%1").arg(k + 1));
        m_outputs[k]->setColors(widgets::LedColors::GreenOff);
        m_outputs[k]->setFixedSize(28, 28);
        grid->addWidget(m_outputs[k], 1, column, Qt::AlignCenter);
        auto* range = new QLabel(uiText(texts::kTransitions[k]));
        range->setAlignment(Qt::AlignCenter);
        grid->addWidget(range, 2, column);
        m_switchPoints[k] = displayField(QStringLiteral("switchPoint%1").arg(k + 1), 90);
        grid->addWidget(m_switchPoints[k], 3, column);
    }

    auto* body = new QHBoxLayout;
    body->addLayout(connectionBox);
    body->addWidget(m_gauge, 1);
    body->addWidget(memory, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(navigationRow);
    layout->addLayout(body, 1);

    connect(m_timer, &QTimer::timeout, this, &CViewFixpart::onTimer);
    m_document.addView(this);
}

CViewFixpart::~CViewFixpart() { m_document.removeView(this); }

void CViewFixpart::OnInitialUpdate() {
    updatePressedLooks();
    updateUnitCaptions();
    updateGaugeScale();
    m_timer->start(kTimerMs);
    m_initialised = true;
}

void CViewFixpart::onTimer() {
    if (!m_document.newData.exchange(false)) {
        return;
    }
    const int tick = m_newDataTicks++;
    document::DocumentView* sender = tick % kLowerViewCadence == 0 ? nullptr : (m_lowerView ? m_lowerView() : nullptr);
    if (tick % kLowerViewCadence != 0 && sender == nullptr) {
        OnUpdate(nullptr, document::CQvx_controllerDoc::kHintNewData);  // no lower view to skip
        return;
    }
    m_document.UpdateAllViews(sender, document::CQvx_controllerDoc::kHintNewData);
}

void CViewFixpart::navigate(int selection) {
    if (!uiEnabled()) {
        updatePressedLooks();  // a click toggles the check state: put it back
        return;
    }
    m_requestedSelection = selection;
    updatePressedLooks();
    if (m_switchView) {
        m_switchView(kNavigation[static_cast<std::size_t>(selection)].view);
    }
}

void CViewFixpart::updatePressedLooks() {
    m_shownSelection = m_requestedSelection;
    for (std::size_t i = 0; i < m_navigation.size(); ++i) {
        m_navigation[i]->setChecked(static_cast<int>(i) == m_shownSelection);
    }
}

void CViewFixpart::toggleUnit() {
    (void)document::toggleUnit(m_document.link().calibration());
    updateUnitCaptions();
}

void CViewFixpart::updateUnitCaptions() {
    const link::CalibrationTable& table = m_document.link().calibration();
    m_unitToggle->setText(fromUtf8(document::toggleCaption(table.getMode(), m_document.inchUnit)));
    m_valuesCaption->setText(fromUtf8(document::valuesCaption(table.getMode(), m_document.inchUnit)));
}

void CViewFixpart::updateGaugeScale() {
    const link::CalibrationTable& table = m_document.link().calibration();
    const bool lengthMode = table.getMode() == link::CalibrationMode::Calibrated;
    const document::DisplayRange range = document::gaugeRange(table, m_document.inchUnit);
    m_gauge->setPositionMin(range.minimum);
    m_gauge->setPositionMax(range.maximum);
    // Lengths shrink as the gripper closes, voltages grow.
    m_gauge->setMinLabel(uiText(lengthMode ? texts::kClosedPosition : texts::kOpenPosition));
    m_gauge->setMaxLabel(uiText(lengthMode ? texts::kOpenPosition : texts::kClosedPosition));
}

void CViewFixpart::showMode() {
    const std::uint64_t answers = m_document.statusByteAnswers;
    if (answers == m_statusAnswers) {
        return;  // no new answer: the mode shown stays
    }
    m_statusAnswers = answers;
    if (!m_document.statusByteRead) {
        m_mode->clear();  // a mode that was not read is not shown
        return;
    }
    const int status = m_document.statusByte;
    const bool rangeMode = (status & link::memory_map::kStatusRangeMode) != 0;
    m_document.rangeMode = rangeMode;  // the plots' tolerance bands follow it
    m_mode->setText(uiText(rangeMode ? texts::kModeRange : texts::kModeSwitchPoint));
}

void CViewFixpart::showCurrency() {
    // A value from before a failed read is greyed, so it never passes for a current one.
    const bool switchPoints = m_document.switchPointsCurrent;
    for (QLineEdit* field : m_switchPoints) {
        field->setEnabled(switchPoints);
    }
    const bool outputs = m_document.outputsCurrent;
    for (widgets::RoundLed* output : m_outputs) {
        output->setEnabled(outputs);
    }
    const bool gripper = m_document.gripperCurrent;
    m_valueMv->setEnabled(gripper);
    m_valueLength->setEnabled(gripper);
    m_gaugeFade->setEnabled(!gripper);
}

void CViewFixpart::OnUpdate(document::DocumentView* /*sender*/, int hint) {
    if (!m_initialised || hint != document::CQvx_controllerDoc::kHintNewData) {
        return;
    }
    const link::CalibrationTable& table = m_document.link().calibration();
    const int inch = m_document.inchUnit;
    const bool lengthMode = table.getMode() == link::CalibrationMode::Calibrated;
    const bool pollOk = m_document.pollOk;

    updatePressedLooks();
    // Set again, the same text would move the cursor and cost a repaint on every update.
    const QString status = fromUtf8(connection::connectionStatusText(m_document.link(), pollOk));
    if (m_connectionText->text() != status) {
        m_connectionText->setText(status);
        m_connectionText->setCursorPosition(0);  // show the start of a long text, not its end
    }

    showCurrency();
    for (std::size_t k = 0; k < m_switchPoints.size(); ++k) {
        float value = 0.0F;
        (void)table.RawToDisplay(static_cast<std::uint16_t>(m_document.switchPoints[k].load()), value);
        if (lengthMode) {
            value = document::lengthForDisplay(value, inch);
        }
        m_switchPoints[k]->setText(fromUtf8(document::formatPlain(value)));
    }

    m_connectionLamp->beginUpdate();
    m_connectionLamp->setActive(pollOk);
    m_connectionLamp->setCaption(pollOk ? uiText(texts::kOnline)
                                        : uiText(connection::texts::kOffline));
    m_connectionLamp->endUpdate();

    for (std::size_t k = 0; k < m_outputs.size(); ++k) {
        m_outputs[k]->setActive(m_document.outputActive[k]);
    }

    updateGaugeScale();
    m_gauge->setPosition(m_document.gripperDisplay);  // repaints only a changed pointer

    const float mv = m_document.gripperMv;
    m_valueMv->setText(fromUtf8(document::formatGripper(mv, document::DisplayUnit::Millivolt)));
    float millimetres = 0.0F;
    if (table.getCount() >= 1 && table.mvToMm(mv, millimetres)) {
        m_valueLength->setText(fromUtf8(document::formatGripper(document::lengthForDisplay(millimetres, inch),
                                                           inch == 1 ? document::DisplayUnit::TenthInch
                                                                     : document::DisplayUnit::Millimetre)));
    } else {
        m_valueLength->clear();
    }

    updateUnitCaptions();

    if (m_updates++ % kModeReadCadence == 0) {
        m_document.statusByteWanted = true;  // the polling thread reads it after its cycle
    }
    showMode();
}

}  // namespace qvx::views
