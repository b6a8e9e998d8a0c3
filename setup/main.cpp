// qvxsetup: sits in the root folder of the installation medium, asks for the installation
// language and starts setup.exe from the "deutsch" or "english" folder beside it.
#include <QApplication>

#include "resources/qvx_resources.h"
#include "setup/installer_launch.h"
#include "setup/language_setup_dlg.h"
#include "setup/launcher_texts.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("qvxsetup"));
    QApplication::setWindowIcon(qvx::resources::applicationIcon());
    const auto translation = qvx::setup::installLauncherTranslation(qvx::setup::userLanguage());

    CLanguageSetupDlg dialog;
    const int result = dialog.exec();
    // The installer reports its own problems; when it is missing or cannot start, the
    // launcher ends just as quietly as after a successful start.
    (void)qvx::setup::finishLauncher(result, dialog.language(),
                                     QCoreApplication::applicationDirPath(),
                                     qvx::setup::startInstallerDetached);
    return 0;
}
