#include "views/device_backup_commands.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <system_error>

#include "document/backup_diff.h"
#include "document/device_backup.h"
#include "document/device_backup_transfer.h"
#include "document/document.h"
#include "document/safety_copy.h"
#include "platform/ini_file.h"
#include "resources/ui_text.h"
#include "views/backup_table_dialog.h"
#include "views/ui_state.h"
#include "views/view_texts.h"

namespace qvx::views {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

std::filesystem::path toPath(const QString& name) {
    return {QFile::encodeName(name).toStdString()};
}

QString shown(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(QFile::decodeName(path.c_str()));
}

QString defaultSaveName(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, uiText(texts::kBackupSaveCaption), QString(),
                                        uiText(texts::kProgrammingFilter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString defaultOpenName(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, uiText(texts::kBackupRestoreCaption), QString(),
                                        uiText(texts::kProgrammingFilter));
}

std::filesystem::path folderOr(const std::filesystem::path& folder) {
    return folder.empty() ? document::safetyCopyFolder() : folder;
}

document::ValueFormat formatOf(document::CQvx_controllerDoc& doc) {
    return {&doc.link().calibration(), doc.inchUnit};
}

QString partNames(const document::RestoreWriteResult& result,
                  document::RestorePart::Outcome outcome) {
    QStringList names;
    for (const document::RestorePart& part : result.parts) {
        if (part.outcome == outcome) {
            names << fromUtf8(part.name);
        }
    }
    return names.join(QStringLiteral(", "));
}

QString outcomeText(document::RestorePart::Outcome outcome) {
    using Outcome = document::RestorePart::Outcome;
    switch (outcome) {
        case Outcome::Written:
            return uiText(texts::kBackupPartWritten);
        case Outcome::Failed:
            return uiText(texts::kBackupPartFailed);
        case Outcome::NotWritten:
            break;
    }
    return uiText(texts::kBackupPartNotWritten);
}

/// What a restore did, for its report.
struct RestoreRun {
    document::RestoreWriteResult written;
    bool readBack = false;  // everything could be read back
    std::string failedPart;
    document::DeviceSettings state;  // what was read back
};

}  // namespace

std::optional<std::filesystem::path> takeSafetyCopy(document::CQvx_controllerDoc& document,
                                                    const std::filesystem::path& folder,
                                                    QString& failure) {
    document::DeviceBackup backup;
    std::string failedPart;
    if (!document::readDeviceBackup(document.link(), texts::kProgramVersion, document.inchUnit,
                                    backup, failedPart)) {
        failure = fromUtf8(failedPart);
        return std::nullopt;
    }
    std::string error;
    const auto path = document::saveSafetyCopy(backup, folderOr(folder), error);
    if (!path) {
        failure = fromUtf8(error);
    }
    return path;
}

DeviceBackupCommands::DeviceBackupCommands(document::CQvx_controllerDoc& document, QWidget* parent)
    : QObject(parent),
      m_document(document),
      m_parent(parent),
      m_saveName(defaultSaveName),
      m_openName(defaultOpenName) {}

void DeviceBackupCommands::setFileDialogs(FileNameQuestion saveName, FileNameQuestion openName) {
    m_saveName = std::move(saveName);
    m_openName = std::move(openName);
}

void DeviceBackupCommands::warn(const QString& text) {
    QMessageBox::warning(m_parent, uiText(texts::kProgramName), text);
}

void DeviceBackupCommands::inform(const QString& text) {
    QMessageBox::information(m_parent, uiText(texts::kProgramName), text);
}

bool DeviceBackupCommands::ask(const QString& caption, const QString& text) {
    QMessageBox question(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No,
                         m_parent);
    question.setDefaultButton(QMessageBox::No);
    question.setEscapeButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

bool DeviceBackupCommands::readController(document::DeviceBackup& backup, std::string& failedPart) {
    bool read = false;
    const int inchUnit = m_document.inchUnit;
    link::DeviceLink& link = m_document.link();
    runPumping([&] {
        read =
            document::readDeviceBackup(link, texts::kProgramVersion, inchUnit, backup, failedPart);
    });
    return read;
}

void DeviceBackupCommands::save() {
    if (!uiEnabled()) {
        return;
    }
    const UiBusyScope busy;
    if (!m_document.link().isConnected()) {
        warn(uiText(texts::kBackupNotConnected));
        return;
    }
    const QString chosen = m_saveName ? m_saveName(m_parent) : QString();
    if (chosen.isEmpty()) {
        return;
    }
    const QString name =
        QString::fromStdString(document::withProgrammingExtension(chosen.toStdString()));
    const QString shownName = QDir::toNativeSeparators(name);
    if (QFileInfo::exists(name) &&
        !ask(uiText(texts::kOverwriteCaption), uiText(texts::kOverwriteQuestion).arg(shownName))) {
        return;
    }
    document::DeviceBackup backup;
    std::string failedPart;
    if (!readController(backup, failedPart)) {
        warn(uiText(texts::kBackupNotRead).arg(fromUtf8(failedPart)));
        return;
    }
    std::error_code error;
    if (!platform::writeFileAtomically(toPath(name), document::deviceBackupText(backup), error)) {
        warn(uiText(texts::kSaveFailed).arg(shownName));
        return;
    }
    inform(uiText(texts::kBackupSaved).arg(backup.identity.serialNumber).arg(shownName));
}

std::optional<document::DeviceBackup> DeviceBackupCommands::readFile(const QString& name) {
    const QString shownName = QDir::toNativeSeparators(name);
    std::error_code error;
    std::optional<std::string> text;
    if (QFileInfo(name).isFile()) {
        text = platform::loadTextFile(toPath(name), error);
    }
    if (!text) {
        warn(uiText(texts::kRestoreUnreadable).arg(shownName));
        return std::nullopt;
    }
    document::BackupReadResult read = document::parseDeviceBackup(*text);
    if (!read.backup) {
        warn(uiText(texts::kBackupNoBackup).arg(shownName));
        return std::nullopt;
    }
    if (!read.checksumMatches &&
        !ask(uiText(texts::kAttention), uiText(texts::kBackupChecksumQuestion).arg(shownName))) {
        return std::nullopt;
    }
    return std::move(read.backup);
}

void DeviceBackupCommands::restore() {
    if (!uiEnabled()) {
        return;
    }
    const UiBusyScope busy;
    if (!m_document.link().isConnected()) {
        warn(uiText(texts::kBackupNotConnected));
        return;
    }
    const QString name = m_openName ? m_openName(m_parent) : QString();
    if (name.isEmpty()) {
        return;
    }
    const QString shownName = QDir::toNativeSeparators(name);
    const std::optional<document::DeviceBackup> file = readFile(name);
    if (!file) {
        return;
    }
    document::DeviceBackup current;
    std::string failedPart;
    if (!readController(current, failedPart)) {
        warn(uiText(texts::kBackupControllerNotRead).arg(fromUtf8(failedPart)));
        return;
    }
    const document::ValueFormat format = formatOf(m_document);
    const auto differences = document::compareSettings(current.settings, file->settings, format);
    const QString otherSerial = current.identity.serialNumber == file->identity.serialNumber
                                    ? QString()
                                    : uiText(texts::kBackupOtherSerial)
                                          .arg(current.identity.serialNumber)
                                          .arg(file->identity.serialNumber);
    if (differences.empty()) {
        inform(uiText(texts::kBackupNothingToRestore).arg(shownName));
        return;
    }
    std::vector<QStringList> rows;
    for (const document::BackupDifference& d : differences) {
        rows.push_back({fromUtf8(document::itemName(d.item)), fromUtf8(d.left), fromUtf8(d.right)});
    }
    BackupTableDialog question(
        BackupTableDialog::Kind::Question, uiText(texts::kBackupRestoreCaption),
        uiText(texts::kBackupDifferences).arg(differences.size()), otherSerial,
        {uiText(texts::kBackupItem), uiText(texts::kBackupInController),
         uiText(texts::kBackupInFile)},
        rows, m_parent);
    if (question.exec() != QDialog::Accepted) {
        return;
    }

    // The state just read is what the restore overwrites: it goes to the safety copy first.
    std::string error;
    const auto copy = document::saveSafetyCopy(current, folderOr(m_safetyFolder), error);
    if (!copy) {
        warn(uiText(texts::kBackupSafetyCopyFailed).arg(fromUtf8(error)));
        return;
    }
    RestoreRun run;
    link::DeviceLink& link = m_document.link();
    runPumping([&] {
        run.written = document::writeDeviceSettings(link, file->settings, differences);
        // After a failed transfer the controller may not answer at all: no read-back then.
        if (run.written.complete()) {
            run.readBack = document::readDeviceSettings(link, run.state, run.failedPart);
        }
    });

    // The program's own copies of what changed follow the controller.
    if (std::any_of(run.written.parts.begin(), run.written.parts.end(), [](const auto& part) {
            return part.outcome != document::RestorePart::Outcome::NotWritten;
        })) {
        (void)link.readCalibration();
        link::CalibrationTable& table = link.calibration();
        if (table.getCount() < 2) {
            table.setMode(link::CalibrationMode::Millivolt);
        }
        float value = 0.0F;
        if (table.RawToDisplay(file->settings.underTolerance, value)) {
            m_document.underTolerance = value;
        }
        if (table.RawToDisplay(file->settings.overTolerance, value)) {
            m_document.overTolerance = value;
        }
        emit controllerChanged();
    }

    const QString copyName = shown(*copy);
    QString text;
    std::vector<QStringList> report;
    QStringList headers{uiText(texts::kBackupItem), uiText(texts::kBackupResult)};
    if (!run.written.complete()) {
        for (const document::RestorePart& part : run.written.parts) {
            report.push_back({fromUtf8(part.name), outcomeText(part.outcome)});
        }
        text = uiText(texts::kBackupTransferFailed)
                   .arg(shownName, copyName,
                        partNames(run.written, document::RestorePart::Outcome::Failed));
    } else if (!run.readBack) {
        for (const document::RestorePart& part : run.written.parts) {
            report.push_back({fromUtf8(part.name), outcomeText(part.outcome)});
        }
        text =
            uiText(texts::kBackupReadBackFailed).arg(shownName, copyName, fromUtf8(run.failedPart));
    } else {
        const auto checks =
            document::checkReadBack(differences, file->settings, run.state, formatOf(m_document));
        headers = QStringList{uiText(texts::kBackupItem), uiText(texts::kBackupInFile),
                              uiText(texts::kBackupInController), uiText(texts::kBackupResult)};
        for (const document::ItemCheck& check : checks) {
            report.push_back(
                {fromUtf8(document::itemName(check.item)), fromUtf8(check.wanted),
                 fromUtf8(check.found),
                 uiText(check.matches ? texts::kBackupMatches : texts::kBackupDiffers)});
        }
        text =
            uiText(document::allMatch(checks) ? texts::kBackupRestored : texts::kBackupNotPersisted)
                .arg(shownName, copyName);
    }
    BackupTableDialog result(BackupTableDialog::Kind::Report, uiText(texts::kBackupRestoreCaption),
                             text, otherSerial, headers, report, m_parent);
    result.exec();
}

}  // namespace qvx::views
