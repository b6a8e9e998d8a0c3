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
    return QFileDialog::getSaveFileName(parent, QString::fromUtf8(texts::kBackupSaveCaption),
                                        QString(), QString::fromUtf8(texts::kProgrammingFilter),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

QString defaultOpenName(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString::fromUtf8(texts::kBackupRestoreCaption),
                                        QString(), QString::fromUtf8(texts::kProgrammingFilter));
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
            return QString::fromUtf8(texts::kBackupPartWritten);
        case Outcome::Failed:
            return QString::fromUtf8(texts::kBackupPartFailed);
        case Outcome::NotWritten:
            break;
    }
    return QString::fromUtf8(texts::kBackupPartNotWritten);
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
    QMessageBox::warning(m_parent, QString::fromUtf8(texts::kProgramName), text);
}

void DeviceBackupCommands::inform(const QString& text) {
    QMessageBox::information(m_parent, QString::fromUtf8(texts::kProgramName), text);
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
        warn(QString::fromUtf8(texts::kBackupNotConnected));
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
        !ask(QString::fromUtf8(texts::kOverwriteCaption),
             QString::fromUtf8(texts::kOverwriteQuestion).arg(shownName))) {
        return;
    }
    document::DeviceBackup backup;
    std::string failedPart;
    if (!readController(backup, failedPart)) {
        warn(QString::fromUtf8(texts::kBackupNotRead).arg(fromUtf8(failedPart)));
        return;
    }
    std::error_code error;
    if (!platform::writeFileAtomically(toPath(name), document::deviceBackupText(backup), error)) {
        warn(QString::fromUtf8(texts::kSaveFailed).arg(shownName));
        return;
    }
    inform(QString::fromUtf8(texts::kBackupSaved).arg(backup.identity.serialNumber).arg(shownName));
}

std::optional<document::DeviceBackup> DeviceBackupCommands::readFile(const QString& name) {
    const QString shownName = QDir::toNativeSeparators(name);
    std::error_code error;
    std::optional<std::string> text;
    if (QFileInfo(name).isFile()) {
        text = platform::loadTextFile(toPath(name), error);
    }
    if (!text) {
        warn(QString::fromUtf8(texts::kRestoreUnreadable).arg(shownName));
        return std::nullopt;
    }
    document::BackupReadResult read = document::parseDeviceBackup(*text);
    if (!read.backup) {
        warn(QString::fromUtf8(texts::kBackupNoBackup).arg(shownName));
        return std::nullopt;
    }
    if (!read.checksumMatches &&
        !ask(QString::fromUtf8(texts::kAttention),
             QString::fromUtf8(texts::kBackupChecksumQuestion).arg(shownName))) {
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
        warn(QString::fromUtf8(texts::kBackupNotConnected));
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
        warn(QString::fromUtf8(texts::kBackupControllerNotRead).arg(fromUtf8(failedPart)));
        return;
    }
    const document::ValueFormat format = formatOf(m_document);
    const auto differences = document::compareSettings(current.settings, file->settings, format);
    const QString otherSerial = current.identity.serialNumber == file->identity.serialNumber
                                    ? QString()
                                    : QString::fromUtf8(texts::kBackupOtherSerial)
                                          .arg(current.identity.serialNumber)
                                          .arg(file->identity.serialNumber);
    if (differences.empty()) {
        inform(QString::fromUtf8(texts::kBackupNothingToRestore).arg(shownName));
        return;
    }
    std::vector<QStringList> rows;
    for (const document::BackupDifference& d : differences) {
        rows.push_back({fromUtf8(document::itemName(d.item)), fromUtf8(d.left), fromUtf8(d.right)});
    }
    BackupTableDialog question(
        BackupTableDialog::Kind::Question, QString::fromUtf8(texts::kBackupRestoreCaption),
        QString::fromUtf8(texts::kBackupDifferences).arg(differences.size()), otherSerial,
        {QString::fromUtf8(texts::kBackupItem), QString::fromUtf8(texts::kBackupInController),
         QString::fromUtf8(texts::kBackupInFile)},
        rows, m_parent);
    if (question.exec() != QDialog::Accepted) {
        return;
    }

    // The state just read is what the restore overwrites: it goes to the safety copy first.
    std::string error;
    const auto copy = document::saveSafetyCopy(current, folderOr(m_safetyFolder), error);
    if (!copy) {
        warn(QString::fromUtf8(texts::kBackupSafetyCopyFailed).arg(fromUtf8(error)));
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
    QStringList headers{QString::fromUtf8(texts::kBackupItem),
                        QString::fromUtf8(texts::kBackupResult)};
    if (!run.written.complete()) {
        for (const document::RestorePart& part : run.written.parts) {
            report.push_back({fromUtf8(part.name), outcomeText(part.outcome)});
        }
        text = QString::fromUtf8(texts::kBackupTransferFailed)
                   .arg(shownName, copyName,
                        partNames(run.written, document::RestorePart::Outcome::Failed));
    } else if (!run.readBack) {
        for (const document::RestorePart& part : run.written.parts) {
            report.push_back({fromUtf8(part.name), outcomeText(part.outcome)});
        }
        text = QString::fromUtf8(texts::kBackupReadBackFailed)
                   .arg(shownName, copyName, fromUtf8(run.failedPart));
    } else {
        const auto checks =
            document::checkReadBack(differences, file->settings, run.state, formatOf(m_document));
        headers = QStringList{
            QString::fromUtf8(texts::kBackupItem), QString::fromUtf8(texts::kBackupInFile),
            QString::fromUtf8(texts::kBackupInController), QString::fromUtf8(texts::kBackupResult)};
        for (const document::ItemCheck& check : checks) {
            report.push_back(
                {fromUtf8(document::itemName(check.item)), fromUtf8(check.wanted),
                 fromUtf8(check.found),
                 QString::fromUtf8(check.matches ? texts::kBackupMatches : texts::kBackupDiffers)});
        }
        text = QString::fromUtf8(document::allMatch(checks) ? texts::kBackupRestored
                                                            : texts::kBackupNotPersisted)
                   .arg(shownName, copyName);
    }
    BackupTableDialog result(BackupTableDialog::Kind::Report,
                             QString::fromUtf8(texts::kBackupRestoreCaption), text, otherSerial,
                             headers, report, m_parent);
    result.exec();
}

}  // namespace qvx::views
