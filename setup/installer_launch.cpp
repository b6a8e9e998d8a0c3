#include "setup/installer_launch.h"

#include <QDialog>
#include <QDir>
#include <QProcess>

#include "setup/launcher_texts.h"

namespace qvx::setup {

Language presetLanguage(const QString& languageMarker) {
    return languageMarker.toUpper() == QLatin1String("GER") ? Language::German : Language::English;
}

QString installerFolder(const QString& programDir, const QString& languageFolder) {
    return QDir(programDir).filePath(languageFolder);
}

bool startInstallerDetached(const QString& program, const QString& workingDirectory) {
    return QProcess::startDetached(program, {}, workingDirectory);
}

bool finishLauncher(int dialogResult, Language language, const QString& programDir,
                    const InstallerStarter& start) {
    if (dialogResult != QDialog::Accepted) {
        return false;
    }
    const QString folder = installerFolder(
        programDir, language == Language::German ? germanFolderName() : englishFolderName());
    return start(QDir(folder).filePath(QString::fromLatin1(kInstallerName)), folder);
}

}  // namespace qvx::setup
