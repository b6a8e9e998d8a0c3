#include "views/view_preferences.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "document/units.h"
#include "link/calibration_table.h"
#include "resources/ui_text.h"
#include "views/device_backup_commands.h"
#include "views/ui_state.h"
#include "views/view_texts.h"

namespace qvx::views {

namespace {

constexpr int kLengthDecimals = 3;   // the controller stores micrometres
constexpr int kVoltageDecimals = 2;  // finer than one step of the sensor (about 1.2 mV)
/// Status byte for switch-point mode: bits 1..6 kept, bit 0 (range mode) cleared, bit 7 set.
constexpr int kKeptStatusBits = 0x7E;
constexpr int kStatusAlwaysSet = 0x80;

/// A whole number of digits only; values beyond 32 bits count as the largest one.
bool parseWhole(const QString& text, std::uint32_t& value) {
    const QString digits = text.trimmed();
    if (digits.isEmpty()) {
        return false;
    }
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
    }
    bool ok = false;
    const qulonglong parsed = digits.toULongLong(&ok);
    constexpr qulonglong kLargest = std::numeric_limits<std::uint32_t>::max();
    value = static_cast<std::uint32_t>(ok ? std::min(parsed, kLargest) : kLargest);
    return true;
}

/// A decimal number with a point or, as German users type it, a comma.
bool parseNumber(const QString& text, float& value) {
    QString number = text.trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double parsed = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(parsed) || std::fabs(parsed) > std::numeric_limits<float>::max()) {
        return false;
    }
    value = static_cast<float>(parsed);
    return true;
}

bool lengthStorable(float mm) {
    std::uint16_t micrometres = 0;
    return link::CalibrationTable::lengthToMicrometres(mm, micrometres);
}

QPushButton* commandButton(const char* text, const char* name) {
    auto* button = new QPushButton(uiText(text));
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QLineEdit* numberField(const char* name, int width) {
    auto* field = new QLineEdit;
    field->setObjectName(QString::fromLatin1(name));
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(width);
    return field;
}

}  // namespace

CViewPreferences::CViewPreferences(document::CQvx_controllerDoc& document, QWidget* parent)
    : CValidForm(document, parent),
      m_count(numberField("count", 70)),
      m_index(numberField("index", 70)),
      m_length(numberField("length", 110)),
      m_voltage(numberField("voltage", 110)),
      m_amount(numberField("amount", 90)),
      m_lengthUnit(new QLabel),
      m_shortenTail(new QLabel),
      m_previous(commandButton(texts::kCalPrevious, "previous")),
      m_next(commandButton(texts::kCalNext, "next")),
      m_learn(commandButton(texts::kCalLearn, "learn")),
      m_save(commandButton(texts::kCalSave, "save")),
      m_shorten(commandButton(texts::kCalShortenMm, "shorten")),
      m_messages(warningBoxes(this)),
      m_safetyCopy([this](QString& failure) {
          return takeSafetyCopy(this->document(), {}, failure).has_value();
      }) {
    setObjectName(QStringLiteral("CViewPreferences"));
    m_lengthUnit->setObjectName(QStringLiteral("lengthUnit"));
    m_shortenTail->setObjectName(QStringLiteral("shortenTail"));
    m_amount->setText(QStringLiteral("0"));

    auto* points = new QGroupBox(uiText(texts::kCalPointsGroup));
    auto* grid = new QGridLayout(points);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->addWidget(new QLabel(uiText(texts::kCalCount)), 0, 0);
    grid->addWidget(m_count, 0, 1);
    grid->addWidget(new QLabel(uiText(texts::kCalNumber)), 1, 0);
    grid->addWidget(m_index, 1, 1);
    auto* stepping = new QHBoxLayout;
    stepping->addWidget(m_previous);
    stepping->addWidget(m_next);
    grid->addLayout(stepping, 1, 2, 1, 2);
    grid->addWidget(new QLabel(uiText(texts::kCalLength)), 2, 0);
    grid->addWidget(m_length, 2, 1);
    grid->addWidget(m_lengthUnit, 2, 2);
    grid->addWidget(new QLabel(uiText(texts::kCalVoltage)), 3, 0);
    grid->addWidget(m_voltage, 3, 1);
    grid->addWidget(new QLabel(uiText(texts::kCalUnitMv)), 3, 2);
    grid->addWidget(m_learn, 3, 3);
    grid->setColumnStretch(4, 1);

    auto* derive = new QGroupBox(uiText(texts::kCalDeriveGroup));
    auto* shortenRow = new QHBoxLayout(derive);
    shortenRow->addWidget(m_shorten);
    shortenRow->addWidget(new QLabel(uiText(texts::kCalShortenBy)));
    shortenRow->addWidget(m_amount);
    shortenRow->addWidget(m_shortenTail);
    shortenRow->addStretch();

    auto* saveRow = new QHBoxLayout;
    saveRow->addStretch();
    saveRow->addWidget(m_save);

    auto* right = new QVBoxLayout;
    right->addWidget(derive);
    right->addStretch();
    right->addLayout(saveRow);

    auto* columns = new QHBoxLayout;
    columns->addWidget(points, 1);
    columns->addLayout(right, 1);

    auto* hint = new QLabel(uiText(texts::kCalHint));
    hint->setObjectName(QStringLiteral("hint"));
    hint->setWordWrap(true);
    hint->setFrameShape(QFrame::StyledPanel);
    hint->setMargin(8);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(hint);
    layout->addStretch();

    setTabOrder(m_count, m_index);
    setTabOrder(m_index, m_previous);
    setTabOrder(m_previous, m_next);
    setTabOrder(m_next, m_length);
    setTabOrder(m_length, m_voltage);
    setTabOrder(m_voltage, m_learn);
    setTabOrder(m_learn, m_shorten);
    setTabOrder(m_shorten, m_amount);
    setTabOrder(m_amount, m_save);

    for (QLineEdit* field : {m_count, m_index, m_length, m_voltage, m_amount}) {
        watchField(field);
    }
    connect(m_previous, &QPushButton::clicked, this, &CViewPreferences::previousPoint);
    connect(m_next, &QPushButton::clicked, this, &CViewPreferences::nextPoint);
    connect(m_learn, &QPushButton::clicked, this, &CViewPreferences::learn);
    connect(m_shorten, &QPushButton::clicked, this, &CViewPreferences::shorten);
    connectDeviceCommand(m_save, &QPushButton::clicked, this, &CViewPreferences::save);

    // The keys work whenever this view is shown, wherever the focus is in the window (a button
    // of the fixed pane included); in the view's edit fields they take precedence over paste
    // and undo (see eventFilter).
    const std::array<std::pair<Qt::Key, void (CViewPreferences::*)()>, 3> keys{{
        {Qt::Key_L, &CViewPreferences::learn},
        {Qt::Key_V, &CViewPreferences::nextPoint},
        {Qt::Key_Z, &CViewPreferences::previousPoint},
    }};
    for (const auto& [key, action] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    }
}

link::CalibrationTable& CViewPreferences::table() {
    return document().link().calibration();
}

bool CViewPreferences::tenthInch() {
    return table().getMode() == link::CalibrationMode::Calibrated && document().inchUnit == 1;
}

void CViewPreferences::OnInitialUpdate() {
    m_initialised = false;
    // A table from the controller may name point 0 or one beyond its count; the view edits
    // only points that a save writes.
    const std::uint32_t count = table().getCount();
    if (count >= 1) {
        table().setIndex(std::clamp<std::uint32_t>(table().getIndex(), 1, count));
    }
    m_initialised = true;
    showCount();
    showPoint();
    updateUnitTexts();
    m_length->setFocus();
    m_length->selectAll();
}

void CViewPreferences::OnUpdate(document::DocumentView* /*sender*/, int hint) {
    if (!m_initialised || hint != document::CQvx_controllerDoc::kHintNewData) {
        return;
    }
    updateUnitTexts();
    // An untouched length follows a change of the unit; a typed one is taken in the new unit.
    link::CalibrationPoint point;
    if (m_shown.tenthInch != tenthInch() && m_length->text() == m_shown.length &&
        table().getPointAtIndex(point)) {
        m_shown.tenthInch = tenthInch();
        m_shown.length = lengthText(point.mm);
        m_length->setText(m_shown.length);
    }
    update();
}

void CViewPreferences::updateUnitTexts() {
    const bool inch = tenthInch();
    m_lengthUnit->setText(uiText(inch ? texts::kCalUnitTenthInch : texts::kCalUnitMm));
    m_shorten->setText(uiText(inch ? texts::kCalShortenTenthInch : texts::kCalShortenMm));
    m_shortenTail->setText(
        uiText(inch ? texts::kCalShortenTailTenthInch : texts::kCalShortenTailMm));
}

void CViewPreferences::showCount() {
    m_shown.count = QString::number(table().getCount());
    m_count->setText(m_shown.count);
}

QString CViewPreferences::lengthText(float mm) {
    return QString::number(tenthInch() ? document::lengthForDisplay(mm, 1) : mm, 'f', kLengthDecimals);
}

void CViewPreferences::showPoint() {
    m_shown.index = QString::number(table().getIndex());
    m_index->setText(m_shown.index);
    m_shown.tenthInch = tenthInch();
    link::CalibrationPoint point;
    if (table().getPointAtIndex(point)) {
        m_shown.length = lengthText(point.mm);
        m_shown.voltage = QString::number(point.mv, 'f', kVoltageDecimals);
    } else {
        m_shown.length.clear();
        m_shown.voltage.clear();
    }
    m_length->setText(m_shown.length);
    m_voltage->setText(m_shown.voltage);
}

void CViewPreferences::message(const QString& text) {
    if (m_messages) {
        m_messages(uiText(texts::kMessageTitle), text);
    }
}

void CViewPreferences::refuse(QLineEdit* field, const char* text) {
    message(uiText(text));
    field->setFocus();
    field->selectAll();
}

bool CViewPreferences::commitEdits() {
    // The point fields show the selected point: take them over before count and number may
    // select another one.
    return commitPoint() && commitCount() && commitIndex();
}

bool CViewPreferences::commitCount() {
    if (m_count->text() == m_shown.count) {
        return true;
    }
    std::uint32_t count = 0;
    if (!parseWhole(m_count->text(), count)) {
        refuse(m_count, texts::kCalNotAWholeNumber);
        return false;
    }
    if (count < 2) {
        refuse(m_count, texts::kCalCountTooSmall);
        showCount();
        m_count->selectAll();
        return false;
    }
    const std::uint32_t before = table().getCount();
    table().setCount(count);
    // Points that a larger count brings in are saved with it, so that the controller never
    // keeps erased memory where the program shows a point.
    for (std::uint32_t p = before + 1; p <= table().getCount(); ++p) {
        link::CalibrationPoint point;
        if (table().getPoint(p, point)) {
            (void)table().setPoint(p, point.mv, point.mm);
        }
    }
    showCount();
    // A smaller count pulls the selected point down with it.
    showPoint();
    return true;
}

bool CViewPreferences::commitIndex() {
    if (m_index->text() == m_shown.index) {
        return true;
    }
    std::uint32_t index = 0;
    if (!parseWhole(m_index->text(), index)) {
        refuse(m_index, texts::kCalNotAWholeNumber);
        return false;
    }
    index = std::min(index, table().getCount());
    // Point 0 does not exist; the first point is meant.
    index = std::max<std::uint32_t>(index, 1);
    table().setIndex(index);
    showPoint();
    return true;
}

bool CViewPreferences::commitPoint() {
    const bool lengthEdited = m_length->text() != m_shown.length;
    const bool voltageEdited = m_voltage->text() != m_shown.voltage;
    link::CalibrationPoint point;
    if ((!lengthEdited && !voltageEdited) || !table().getPointAtIndex(point)) {
        return true;
    }
    float mv = point.mv;
    float mm = point.mm;
    if (voltageEdited) {
        if (!parseNumber(m_voltage->text(), mv)) {
            refuse(m_voltage, texts::kCalNotANumber);
            return false;
        }
        if (mv < 0.0F || mv > kMaxMv) {
            refuse(m_voltage, texts::kCalVoltageRange);
            return false;
        }
    }
    if (lengthEdited) {
        float entered = 0.0F;
        if (!parseNumber(m_length->text(), entered)) {
            refuse(m_length, texts::kCalNotANumber);
            return false;
        }
        const bool inch = tenthInch();
        mm = inch ? document::lengthFromDisplay(entered, 1) : entered;
        if (!lengthStorable(mm)) {
            refuse(m_length, inch ? texts::kCalLengthRangeTenthInch : texts::kCalLengthRangeMm);
            return false;
        }
    }
    if (mv != point.mv || std::fabs(mm - point.mm) > kLengthTolerance) {
        (void)table().setPointAtIndex(mv, mm);
    }
    showPoint();
    return true;
}

void CViewPreferences::validateField(QWidget* field) {
    if (field == m_count) {
        (void)commitCount();
    } else if (field == m_index) {
        (void)commitIndex();
    } else if (field == m_length || field == m_voltage) {
        (void)commitPoint();
    }
}

bool CViewPreferences::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        const int code = key->key();
        if (modifiers == Qt::ControlModifier &&
            (code == Qt::Key_L || code == Qt::Key_V || code == Qt::Key_Z)) {
            // Not overridden: the view's shortcut fires instead of the edit's paste or undo.
            event->ignore();
            return true;
        }
    }
    return CValidForm::eventFilter(watched, event);
}

void CViewPreferences::previousPoint() {
    if (!commitEdits()) {
        return;
    }
    table().prev();
    showPoint();
    m_length->setFocus();
    m_length->selectAll();
}

void CViewPreferences::nextPoint() {
    if (!commitEdits()) {
        return;
    }
    table().next();
    showPoint();
    m_length->setFocus();
    m_length->selectAll();
}

void CViewPreferences::learn() {
    m_voltage->setText(QString::number(document().gripperMv.load(), 'f', kVoltageDecimals));
    m_length->setFocus();
    m_length->selectAll();
}

void CViewPreferences::shorten() {
    if (table().getIndex() >= link::CalibrationTable::kMaxPoints) {
        message(uiText(texts::kCalTableFull)
                    .replace(QStringLiteral("%d"),
                             QString::number(link::CalibrationTable::kMaxPoints)));
        return;
    }
    if (!commitEdits()) {
        return;
    }
    link::CalibrationPoint point;
    const std::uint32_t index = table().getIndex();
    const std::uint32_t count = table().getCount();
    if (index > count || !table().getPointAtIndex(point)) {
        return;
    }
    float amount = 0.0F;
    if (!parseNumber(m_amount->text(), amount)) {
        refuse(m_amount, texts::kCalNotANumber);
        return;
    }
    const bool inch = tenthInch();
    const float mm = point.mm - (inch ? document::lengthFromDisplay(amount, 1) : amount);
    if (!lengthStorable(mm)) {
        refuse(m_amount, inch ? texts::kCalShortenRangeTenthInch : texts::kCalShortenRangeMm);
        return;
    }
    if (index == count) {
        table().setCount(count + 1);
        showCount();
    }
    table().next();
    (void)table().setPointAtIndex(point.mv, mm);
    showPoint();
}

void CViewPreferences::save() {
    if (!commitEdits()) {
        return;
    }
    // An erased controller leaves the table without points; a header claiming none would come
    // back as one bogus point at the next start, so the link refuses it.
    if (table().getCount() == 0) {
        message(uiText(texts::kCalSaveNoPoints));
        return;
    }
    QString failure;
    if (m_safetyCopy && !m_safetyCopy(failure)) {
        message(uiText(texts::kCalSafetyCopyFailed).arg(failure));
        return;
    }
    if (!writeToController()) {
        message(uiText(texts::kCalSaveFailed));
    }
}

bool CViewPreferences::writeToController() {
    link::DeviceLink& link = document().link();
    // Thresholds belong to the table just saved: without it the controller keeps its own.
    if (!link.writeCalibration()) {
        return false;
    }
    // The thresholds are lengths converted as in length mode, whatever mode the program shows:
    // through the table's conversions, so that the polling thread never sees a mode change.
    const link::CalibrationTable& points = table();
    const auto rawOfLength = [&points](float mm, int& raw) {
        float mv = 0.0F;
        std::uint16_t word = 0;
        if (!points.mmToMv(mm, mv) || !link::CalibrationTable::mvToRaw(mv, word)) {
            return false;
        }
        raw = word;
        return true;
    };
    int offOpen = 0;
    int openC = 0;
    int aClosed = 0;
    if (!rawOfLength(points.maxMm() + kThresholdMarginMm, offOpen) ||
        !rawOfLength(points.maxMm() - kThresholdMarginMm, openC) ||
        !rawOfLength(points.minMm() + kThresholdMarginMm, aClosed)) {
        return false;
    }
    // The record's middle thresholds stay as the controller holds them: never write values
    // that were not read.
    std::array<int, 5> record{};
    if (!link.readInputRecord(record)) {
        return false;
    }
    record[0] = offOpen;
    record[1] = openC;
    record[4] = aClosed;
    if (!link.writeInputRecord(record)) {
        return false;
    }
    int status = 0;
    return link.readStatusByte(status) &&
           link.writeStatusByte((status & kKeptStatusBits) | kStatusAlwaysSet);
}

}  // namespace qvx::views
