#include "views/view_programmierung.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "document/programming_file.h"
#include "document/units.h"
#include "link/device_memory_map.h"
#include "platform/ini_file.h"
#include "resources/ui_text.h"
#include "views/ui_state.h"
#include "views/view_texts.h"

namespace qvx::views {

namespace {

using link::CalibrationMode;
using link::CalibrationTable;

/// Bit 7 of the status byte: always written as 1.
constexpr int kStatusWriteMark = 0x80;
/// Width of the row captions on the left of the five columns, px.
constexpr int kCaptionWidth = 190;
/// Least width of a column's controls, px.
constexpr int kColumnWidth = 104;

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path toPath(const QString& name) {
    return {QFile::encodeName(name).toStdString()};
}

QString defaultSaveName(QWidget* parent) {
    // The overwrite question is the view's: only it knows the final name with ".qvx".
    return QFileDialog::getSaveFileName(parent, QString(), QString(),
                                        uiText(texts::kProgrammingFilter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString defaultOpenName(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                        uiText(texts::kProgrammingFilter));
}

/// Lengths need at least two support points: with one, every length would map to the same
/// voltage, and with none nothing converts.
bool convertible(const CalibrationTable& table, CalibrationMode mode) {
    return mode == CalibrationMode::Millivolt || table.getCount() >= 2;
}

/// A raw word in the display unit. A failed table conversion leaves the voltage, as the
/// other displays of the program do.
float thresholdForDisplay(const CalibrationTable& table, int inchUnit, int raw) {
    float value = 0.0F;
    (void)table.RawToDisplay(static_cast<std::uint16_t>(raw), value);
    return table.getMode() == CalibrationMode::Calibrated ? document::lengthForDisplay(value, inchUnit)
                                                          : value;
}

/// The controller expects the thresholds to fall from Aus<-->Auf to A<-->Zu (raw words are
/// inverted voltages).
bool inOrder(const std::array<int, 5>& record) {
    for (std::size_t i = 0; i + 1 < record.size(); ++i) {
        if (record[i] < record[i + 1]) {
            return false;
        }
    }
    return true;
}

/// The status byte with the range bit set (range mode) or cleared (switch-point mode) and
/// bit 7 set; the other bits are kept.
int withSwitchingMode(int status, bool rangeMode) {
    status = rangeMode ? status | link::memory_map::kStatusRangeMode
                       : status & ~link::memory_map::kStatusRangeMode;
    return status | kStatusWriteMark;
}

/// Asks which length unit a file's numbers are in, the file's own unit preselected; nullopt
/// when the user cancels.
std::optional<document::ProgrammingUnit> askLengthUnit(QWidget* parent, const QString& fileName,
                                                       document::ProgrammingUnit fileUnit,
                                                       document::ProgrammingUnit shownUnit) {
    using document::ProgrammingUnit;
    const auto unitName = [](ProgrammingUnit unit) {
        return uiText(unit == ProgrammingUnit::TenthInch ? texts::kUnitTenthInch : texts::kUnitMm);
    };
    QMessageBox question(
        QMessageBox::Question, uiText(texts::kProgramName),
        uiText(texts::kRestoreUnitQuestion).arg(fileName, unitName(fileUnit), unitName(shownUnit)),
        QMessageBox::NoButton, parent);
    QPushButton* millimetres =
        question.addButton(unitName(ProgrammingUnit::Millimetre), QMessageBox::AcceptRole);
    QPushButton* tenths =
        question.addButton(unitName(ProgrammingUnit::TenthInch), QMessageBox::AcceptRole);
    question.addButton(QMessageBox::Cancel);
    question.setDefaultButton(fileUnit == ProgrammingUnit::TenthInch ? tenths : millimetres);
    question.setEscapeButton(QMessageBox::Cancel);
    question.exec();
    if (question.clickedButton() == millimetres) {
        return ProgrammingUnit::Millimetre;
    }
    if (question.clickedButton() == tenths) {
        return ProgrammingUnit::TenthInch;
    }
    return std::nullopt;
}

/// The display mode a programming's unit brings with it.
CalibrationMode modeOf(document::ProgrammingUnit unit) {
    return unit == document::ProgrammingUnit::Millivolt ? CalibrationMode::Millivolt
                                                        : CalibrationMode::Calibrated;
}

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

QLabel* caption(const char* text, const char* name) {
    auto* label = new QLabel(uiText(text));
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QPushButton* button(const char* text, const char* name) {
    auto* pushButton = new QPushButton(uiText(text));
    pushButton->setObjectName(QString::fromLatin1(name));
    return pushButton;
}

QLineEdit* numberEdit(const QString& name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setAlignment(Qt::AlignRight);
    edit->setMaxLength(static_cast<int>(document::CQvx_controllerDoc::kTeachTextLength));
    edit->setMinimumWidth(kColumnWidth);
    // Decimal points line up from column to column, as in the fixed pane.
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    edit->setFont(mono);
    return edit;
}

/// A disabled edit that still shows its number in full contrast.
QLineEdit* displayEdit(const QString& name) {
    QLineEdit* display = numberEdit(name);
    display->setReadOnly(true);
    display->setEnabled(false);
    display->setFocusPolicy(Qt::NoFocus);
    QPalette palette = display->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text,
                     palette.color(QPalette::Active, QPalette::Text));
    display->setPalette(palette);
    return display;
}

}  // namespace

CViewProgrammierung::CViewProgrammierung(document::CQvx_controllerDoc& document, QWidget* parent)
    : CValidForm(document, parent),
      m_entryLabel(caption(texts::kEntryMv, "entryLabel")),
      m_underLabel(caption(texts::kUnderToleranceMv, "underToleranceLabel")),
      m_overLabel(caption(texts::kOverToleranceMv, "overToleranceLabel")),
      m_under(numberEdit(QStringLiteral("underTolerance"))),
      m_over(numberEdit(QStringLiteral("overTolerance"))),
      m_dialogs{defaultSaveName, defaultOpenName} {
    setObjectName(QStringLiteral("CViewProgrammierung"));

    // The five transitions as columns, the rows captioned on the left.
    auto* thresholds = new QGroupBox;
    thresholds->setObjectName(QStringLiteral("thresholds"));
    auto* grid = new QGridLayout(thresholds);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->setColumnMinimumWidth(0, kCaptionWidth);
    grid->addWidget(caption(texts::kTeachCurrent, "teachLabel"), 0, 0);
    grid->addWidget(m_entryLabel, 1, 0);
    grid->addWidget(caption(texts::kInputMemory, "inputMemoryLabel"), 2, 0);
    for (std::size_t k = 0; k < 5; ++k) {
        const int column = static_cast<int>(k) + 1;
        m_teach[k] = button(texts::kTransitions[k], "");
        m_teach[k]->setObjectName(QStringLiteral("teach%1").arg(column));
        m_teach[k]->setMinimumWidth(kColumnWidth);
        connect(m_teach[k], &QPushButton::clicked, this, [this, k] { teach(k); });
        grid->addWidget(m_teach[k], 0, column);

        m_entries[k] = numberEdit(QStringLiteral("entry%1").arg(column));
        connect(m_entries[k], &QLineEdit::textEdited, this, [this, k](const QString& text) {
            this->document().teachText[k] = text.toStdString();
        });
        watchField(m_entries[k]);
        grid->addWidget(m_entries[k], 1, column);

        // Display only: what the controller's input memory holds.
        m_inputMemory[k] = displayEdit(QStringLiteral("inputMemory%1").arg(column));
        grid->addWidget(m_inputMemory[k], 2, column);
        grid->setColumnStretch(column, 1);
    }
    auto* writeValues = button(texts::kWriteValues, "writeValues");
    connectDeviceCommand(writeValues, &QPushButton::clicked, this,
                         &CViewProgrammierung::writeEnteredValues);
    grid->addWidget(writeValues, 3, 4, 1, 2);

    // The tolerance band around the current gripper value.
    auto* tolerances = new QGroupBox;
    tolerances->setObjectName(QStringLiteral("tolerances"));
    auto* toleranceGrid = new QGridLayout(tolerances);
    toleranceGrid->setVerticalSpacing(8);
    toleranceGrid->setColumnMinimumWidth(0, kCaptionWidth - 10);
    toleranceGrid->addWidget(m_underLabel, 0, 0);
    toleranceGrid->addWidget(m_under, 0, 1);
    toleranceGrid->addWidget(m_overLabel, 1, 0);
    toleranceGrid->addWidget(m_over, 1, 1);
    auto* programTolerances = button(texts::kProgramTolerances, "programTolerances");
    connectDeviceCommand(programTolerances, &QPushButton::clicked, this,
                         &CViewProgrammierung::programTolerances);
    toleranceGrid->addWidget(programTolerances, 2, 1);
    toleranceGrid->setColumnStretch(2, 1);
    toleranceGrid->setRowStretch(3, 1);
    watchField(m_under);
    watchField(m_over);

    // The switching mode.
    auto* mode = new QGroupBox;
    mode->setObjectName(QStringLiteral("mode"));
    auto* modeColumn = new QVBoxLayout(mode);
    auto* switchPoint = button(texts::kSwitchPointMode, "switchPointMode");
    auto* range = button(texts::kRangeMode, "rangeMode");
    connectDeviceCommand(switchPoint, &QPushButton::clicked, this,
                         [this] { setSwitchingMode(false); });
    connectDeviceCommand(range, &QPushButton::clicked, this, [this] { setSwitchingMode(true); });
    modeColumn->addWidget(caption(texts::kSaveAs, "saveAsLabel"));
    modeColumn->addWidget(switchPoint);
    modeColumn->addWidget(range);
    modeColumn->addStretch();

    // The programming file.
    auto* file = new QGroupBox;
    file->setObjectName(QStringLiteral("file"));
    auto* fileColumn = new QVBoxLayout(file);
    auto* save = button(texts::kSaveProgramming, "saveProgramming");
    auto* restore = button(texts::kRestoreProgramming, "restoreProgramming");
    connectDeviceCommand(save, &QPushButton::clicked, this, &CViewProgrammierung::saveProgramming);
    connectDeviceCommand(restore, &QPushButton::clicked, this,
                         &CViewProgrammierung::restoreProgramming);
    fileColumn->addWidget(save);
    fileColumn->addWidget(restore);
    fileColumn->addStretch();

    auto* lower = new QHBoxLayout;
    lower->addWidget(tolerances, 2);
    lower->addWidget(mode, 1);
    lower->addWidget(file, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(thresholds);
    layout->addLayout(lower);
    layout->addStretch();
}

void CViewProgrammierung::OnInitialUpdate() {
    m_initialised = false;
    document::CQvx_controllerDoc& doc = document();
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        m_entries[k]->setText(fromUtf8(doc.teachText[k]));
    }
    m_under->setText(fromUtf8(document::formatEditValue(doc.underTolerance)));
    m_over->setText(fromUtf8(document::formatEditValue(doc.overTolerance)));
    m_initialised = true;
    // Fill the displays at once instead of after the next polling results.
    refresh();
}

void CViewProgrammierung::OnUpdate(document::DocumentView* /*sender*/, int hint) {
    if (!m_initialised || hint != document::CQvx_controllerDoc::kHintNewData) {
        return;
    }
    refresh();
}

void CViewProgrammierung::refresh() {
    setUnitLabels();
    link::DeviceLink& link = document().link();
    std::array<int, 5> record{};
    const bool read = link.isConnected() && link.readInputRecord(record);
    if (!read) {
        record.fill(0);
    }
    showRecord(record);
    update();
}

void CViewProgrammierung::setUnitLabels() {
    const bool lengthMode =
        document().link().calibration().getMode() == CalibrationMode::Calibrated;
    if (!lengthMode) {
        m_entryLabel->setText(uiText(texts::kEntryMv));
        m_underLabel->setText(uiText(texts::kUnderToleranceMv));
        m_overLabel->setText(uiText(texts::kOverToleranceMv));
        return;
    }
    m_entryLabel->setText(
        uiText(document().inchUnit == 1 ? texts::kEntryTenthInch : texts::kEntryMm));
    // The tolerances are millimetres in length mode whatever the preference: they are used
    // as entered, without the inch factor.
    m_underLabel->setText(uiText(texts::kUnderToleranceMm));
    m_overLabel->setText(uiText(texts::kOverToleranceMm));
}

void CViewProgrammierung::showRecord(const std::array<int, 5>& record) {
    const CalibrationTable& table = document().link().calibration();
    const int inch = document().inchUnit;
    for (std::size_t k = 0; k < record.size(); ++k) {
        m_inputMemory[k]->setText(
            fromUtf8(document::formatFixed(thresholdForDisplay(table, inch, record[k]))));
    }
}

void CViewProgrammierung::validateField(QWidget* field) {
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        if (field == m_entries[k]) {
            document().teachText[k] = m_entries[k]->text().toStdString();
            return;
        }
    }
    if (field == m_under || field == m_over) {
        (void)toleranceOf(qobject_cast<QLineEdit*>(field));
    }
}

void CViewProgrammierung::takeOverEntries() {
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        document().teachText[k] = m_entries[k]->text().toStdString();
    }
}

std::optional<float> CViewProgrammierung::toleranceOf(QLineEdit* edit) {
    const std::optional<float> value = document::parseNumber(edit->text().toStdString());
    if (!value) {
        warn(uiText(texts::kEnterNumber));
        edit->setFocus();
        edit->selectAll();
    }
    return value;
}

void CViewProgrammierung::warn(const QString& text) {
    QMessageBox::warning(this, uiText(texts::kProgramName), text);
}

void CViewProgrammierung::teach(std::size_t column) {
    const std::string shown(platform::truncateUtf8(document::formatFixed(document().gripperDisplay),
                                                   document::CQvx_controllerDoc::kTeachTextLength));
    document().teachText[column] = shown;
    m_entries[column]->setText(fromUtf8(shown));
}

std::optional<CViewProgrammierung::Threshold> CViewProgrammierung::thresholdToRaw(
    const CalibrationTable& table, CalibrationMode mode, int inchUnit, float value) {
    float mv = value;
    if (!convertible(table, mode) ||
        (mode == CalibrationMode::Calibrated &&
         !table.mmToMv(document::lengthFromDisplay(value, inchUnit), mv))) {
        return std::nullopt;
    }
    Threshold threshold;
    threshold.clamped = !(mv >= 0.0F && mv <= CalibrationTable::kFullScaleMv);
    // Extrapolating far beyond the table gives an infinite voltage, which is clamped too.
    if (!CalibrationTable::mvToRaw(std::clamp(mv, 0.0F, CalibrationTable::kFullScaleMv),
                                   threshold.raw)) {
        return std::nullopt;
    }
    return threshold;
}

void CViewProgrammierung::reportClamped(const std::array<int, 5>& record,
                                        const std::array<bool, 5>& clamped) {
    const CalibrationTable& table = document().link().calibration();
    const int inch = document().inchUnit;
    const document::DisplayUnit unit = document::effectiveUnit(table.getMode(), inch);
    QStringList lines;
    for (std::size_t k = 0; k < record.size(); ++k) {
        if (clamped[k]) {
            const float written = thresholdForDisplay(table, inch, record[k]);
            lines << QStringLiteral("%1 : %2").arg(
                uiText(texts::kTransitions[k]),
                fromUtf8(document::formatGripper(written, unit)).trimmed());
        }
    }
    if (!lines.isEmpty()) {
        warn(uiText(texts::kThresholdsClamped).arg(lines.join(QLatin1Char('\n'))));
    }
}

bool CViewProgrammierung::enteredThresholds(Thresholds& entered) {
    document::CQvx_controllerDoc& doc = document();
    const CalibrationTable& table = doc.link().calibration();
    const CalibrationMode mode = table.getMode();
    for (std::size_t k = 0; k < entered.size(); ++k) {
        if (isBlank(doc.teachText[k])) {
            continue;  // the controller keeps this threshold
        }
        const std::optional<float> value = document::parseNumber(doc.teachText[k]);
        if (value && !convertible(table, mode)) {
            warn(uiText(texts::kWriteValuesNeedsCalibration));
            return false;
        }
        if (value) {
            entered[k] = thresholdToRaw(table, mode, doc.inchUnit, *value);
        }
        if (!entered[k]) {
            warn(uiText(texts::kEnterNumber));
            m_entries[k]->setFocus();
            m_entries[k]->selectAll();
            return false;
        }
    }
    return true;
}

void CViewProgrammierung::writeEnteredValues() {
    const UiBusyScope busy;
    takeOverEntries();
    // Every entry is checked and converted before anything goes to the controller.
    Thresholds entered;
    if (!enteredThresholds(entered)) {
        return;
    }
    link::DeviceLink& link = document().link();
    std::array<int, 5> record{};
    if (!link.readInputRecord(record)) {
        // The thresholds not entered would be unknown.
        warn(uiText(texts::kWriteValuesNotRead));
        return;
    }
    std::array<bool, 5> clamped{};
    for (std::size_t k = 0; k < record.size(); ++k) {
        if (entered[k]) {
            record[k] = entered[k]->raw;
            clamped[k] = entered[k]->clamped;
        }
    }
    if (link.writeInputRecord(record)) {
        reportClamped(record, clamped);
    }
}

void CViewProgrammierung::setSwitchingMode(bool rangeMode) {
    const UiBusyScope busy;
    (void)writeSwitchingMode(rangeMode);
}

bool CViewProgrammierung::writeSwitchingMode(bool rangeMode) {
    link::DeviceLink& link = document().link();
    int status = 0;
    return link.readStatusByte(status) &&
           link.writeStatusByte(withSwitchingMode(status, rangeMode));
}

void CViewProgrammierung::programTolerances() {
    const UiBusyScope busy;
    const std::optional<float> under = toleranceOf(m_under);
    if (!under) {
        return;
    }
    const std::optional<float> over = toleranceOf(m_over);
    if (!over) {
        return;
    }

    document::CQvx_controllerDoc& doc = document();
    link::DeviceLink& link = doc.link();
    const CalibrationTable& table = link.calibration();
    const CalibrationMode mode = table.getMode();
    if (!convertible(table, mode)) {
        warn(uiText(texts::kTolerancesNeedsCalibration));
        return;
    }
    std::array<int, 5> record{};
    if (!link.readInputRecord(record)) {
        warn(uiText(texts::kTolerancesRecordNotRead));
        return;
    }
    float gripper = 0.0F;
    if (!link.readGripperValue(gripper, 0)) {
        // A band around an unknown value would be a band around 0.
        warn(uiText(texts::kTolerancesGripperNotRead));
        return;
    }
    // Lengths fall as voltages rise: in length mode the under-tolerance lies on the B<-->A
    // side. The tolerances are in the mode's own unit, so no inch factor applies.
    const bool millivolt = mode == CalibrationMode::Millivolt;
    const std::optional<Threshold> towardsC =
        thresholdToRaw(table, mode, 0, millivolt ? gripper - *under : gripper + *over);
    const std::optional<Threshold> towardsA =
        thresholdToRaw(table, mode, 0, millivolt ? gripper + *over : gripper - *under);
    if (!towardsC || !towardsA) {
        // Only a tolerance far beyond any length of the table leaves no voltage to clamp.
        warn(uiText(texts::kEnterNumber));
        return;
    }
    record[2] = towardsC->raw;
    record[3] = towardsA->raw;
    if (!inOrder(record)) {
        QMessageBox question(QMessageBox::Warning, uiText(texts::kAttention),
                             uiText(texts::kOrderWarning), QMessageBox::Yes | QMessageBox::No,
                             this);
        question.setDefaultButton(QMessageBox::No);
        question.setEscapeButton(QMessageBox::No);
        if (question.exec() != QMessageBox::Yes) {
            return;
        }
    }
    // Read right before it is written back, so that recording bits the controller changed
    // while the question was open are kept.
    int status = 0;
    if (!link.readStatusByte(status)) {
        warn(uiText(texts::kTolerancesStatusNotRead));
        return;
    }
    if (!link.writeInputRecord(record) || !link.writeStatusByte(withSwitchingMode(status, false))) {
        return;
    }
    doc.overTolerance = *over;
    doc.underTolerance = *under;
    (void)link.writeTolerances(*under, *over);
    reportClamped(record, {false, false, towardsC->clamped, towardsA->clamped, false});
}

void CViewProgrammierung::saveProgramming() {
    const UiBusyScope busy;
    document::CQvx_controllerDoc& doc = document();
    link::DeviceLink& link = doc.link();
    if (!link.isConnected()) {
        warn(uiText(texts::kSaveNotRead));
        return;
    }
    const QString chosen = m_dialogs.saveName ? m_dialogs.saveName(this) : QString();
    if (chosen.isEmpty()) {
        return;
    }
    const QString name =
        QString::fromStdString(document::withProgrammingExtension(chosen.toStdString()));
    const QString shownName = QDir::toNativeSeparators(name);
    if (QFileInfo::exists(name)) {
        QMessageBox question(QMessageBox::Warning, uiText(texts::kOverwriteCaption),
                             uiText(texts::kOverwriteQuestion).arg(shownName),
                             QMessageBox::Yes | QMessageBox::No, this);
        question.setDefaultButton(QMessageBox::No);
        question.setEscapeButton(QMessageBox::No);
        if (question.exec() != QMessageBox::Yes) {
            return;
        }
    }

    // The file records what the controller holds now; values derived from a failed read
    // would put wrong thresholds into the next controller it is restored into.
    std::array<int, 5> record{};
    int status = 0;
    if (!link.readInputRecord(record) || !link.readStatusByte(status)) {
        warn(uiText(texts::kSaveNotRead));
        return;
    }
    setUnitLabels();
    showRecord(record);

    document::Programming programming;
    for (std::size_t k = 0; k < programming.thresholds.size(); ++k) {
        programming.thresholds[k] = m_inputMemory[k]->text().toStdString();
    }
    programming.underTolerance = m_under->text().toStdString();
    programming.overTolerance = m_over->text().toStdString();
    programming.rangeMode = (status & link::memory_map::kStatusRangeMode) != 0;
    if (link.calibration().getMode() == CalibrationMode::Millivolt) {
        programming.unit = document::ProgrammingUnit::Millivolt;
    } else {
        programming.unit =
            doc.inchUnit == 1 ? document::ProgrammingUnit::TenthInch : document::ProgrammingUnit::Millimetre;
    }
    std::error_code error;
    if (!platform::writeFileAtomically(toPath(name), document::programmingFileText(programming),
                                       error)) {
        warn(uiText(texts::kSaveFailed).arg(shownName));
    }
}

std::optional<document::Programming> CViewProgrammierung::readProgramming(const QString& name) {
    const QString shownName = QDir::toNativeSeparators(name);
    std::optional<std::string> text;
    std::error_code error;
    if (QFileInfo(name).isFile()) {
        text = platform::loadTextFile(toPath(name), error);
    }
    if (!text) {
        warn(uiText(texts::kRestoreUnreadable).arg(shownName));
        return std::nullopt;
    }
    std::optional<document::Programming> programming = document::parseProgrammingFile(*text);
    if (!programming) {
        warn(uiText(texts::kRestoreNoProgramming).arg(shownName));
    }
    return programming;
}

std::optional<CViewProgrammierung::Thresholds> CViewProgrammierung::fileThresholds(
    const document::Programming& programming, document::ProgrammingUnit unit,
    const QString& shownName) {
    const CalibrationTable& table = document().link().calibration();
    const CalibrationMode mode = modeOf(unit);
    // The numbers are in the unit decided for the file, whatever the program shows.
    const int inch = unit == document::ProgrammingUnit::TenthInch ? 1 : 0;
    Thresholds thresholds;
    for (std::size_t k = 0; k < thresholds.size(); ++k) {
        const std::optional<float> value = document::parseNumber(programming.thresholds[k]);
        if (value) {
            thresholds[k] = thresholdToRaw(table, mode, inch, *value);
        }
        if (!thresholds[k]) {
            warn(uiText(texts::kRestoreBadValue)
                     .arg(shownName, fromUtf8(document::kThresholdKeys[k])));
            return std::nullopt;
        }
    }
    return thresholds;
}

void CViewProgrammierung::restoreProgramming() {
    const UiBusyScope busy;
    const QString name = m_dialogs.openName ? m_dialogs.openName(this) : QString();
    if (name.isEmpty()) {
        return;
    }
    const std::optional<document::Programming> programming = readProgramming(name);
    if (!programming) {
        return;
    }

    // Everything is asked, checked and converted first: a file that cannot be restored whole
    // changes neither the controller nor the display mode.
    const QString shownName = QDir::toNativeSeparators(name);
    document::CQvx_controllerDoc& doc = document();
    document::ProgrammingUnit unit = programming->unit;
    // Either length unit needs the table, so the question would be in vain without it.
    if (!convertible(doc.link().calibration(), modeOf(unit))) {
        warn(uiText(texts::kRestoreNeedsCalibration).arg(shownName));
        return;
    }
    if (document::lengthUnitInDoubt(unit, doc.inchUnit)) {
        const std::optional<document::ProgrammingUnit> answer =
            askLengthUnit(this, shownName, unit, document::shownLengthUnit(doc.inchUnit));
        if (!answer) {
            return;
        }
        unit = *answer;
    }
    const std::optional<Thresholds> thresholds = fileThresholds(*programming, unit, shownName);
    if (!thresholds) {
        return;
    }
    link::DeviceLink& link = doc.link();
    int status = 0;
    if (!link.readStatusByte(status)) {
        warn(uiText(texts::kRestoreStatusNotRead).arg(shownName));
        return;
    }
    std::array<int, 5> record{};
    std::array<bool, 5> clamped{};
    for (std::size_t k = 0; k < record.size(); ++k) {
        record[k] = (*thresholds)[k]->raw;
        clamped[k] = (*thresholds)[k]->clamped;
    }
    if (!link.writeInputRecord(record)) {
        return;
    }
    link.calibration().setMode(modeOf(unit));
    if (unit == document::ProgrammingUnit::TenthInch) {
        doc.inchUnit = 1;
        emit inchUnitChanged();
    }
    // The tolerances reach the controller only with the next tolerance programming.
    m_under->setText(fromUtf8(programming->underTolerance));
    m_over->setText(fromUtf8(programming->overTolerance));
    (void)link.writeStatusByte(withSwitchingMode(status, programming->rangeMode));
    refresh();
    reportClamped(record, clamped);
}

}  // namespace qvx::views
