// qvx_controller: commissioning and diagnosis of the gripper's position-sensor controller.

#include <QApplication>
#include <QLocale>
#include <iostream>

#include "app/application.h"
#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/ui_language.h"
#include "connection/client_settings.h"
#include "connection/dialogs/qt_connection_ui.h"

int main(int argc, char** argv) {
    // Read before the QApplication, so --help and --version work without a display.
    const qvx::app::CommandLine line = qvx::app::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::cerr << "qvx_controller: " << line.error << "\n(qvx_controller --help lists the options)\n";
        return 2;
    }
    if (line.help || line.version) {
        std::cout << (line.help ? qvx::app::usageText() : qvx::app::versionText());
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qvx_controller"));
    QApplication::setOrganizationName(QStringLiteral("Varnok"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/qvx/icons/qvx.svg")));
    qvx::app::installLanguage(
        line.language ? *line.language : qvx::app::languageFromUiLanguages(QLocale::system().uiLanguages()));

    // Qt has taken its own options (-platform and the like) out of its list by now.
    QStringList arguments;
    QStringList all = QApplication::arguments();
    all.removeFirst();
    std::vector<std::string> words;
    for (const QString& argument : all) {
        words.push_back(argument.toStdString());
    }
    for (const std::string& argument : qvx::app::parseCommandLine(words).rest) {
        arguments.push_back(QString::fromStdString(argument));
    }
    if (qvx::app::isRegistrationCommandLine(arguments)) {
        return 0;  // nothing to register on this platform
    }

    qvx::app::QvxApplication program(arguments, qvx::connection::clientSettingsPath(), line.logFile);
    program.start();
    qvx::connection::QtConnectionUi ui;
    program.connectMenu(ui);
    (void)program.connect(ui);
    const int status = QApplication::exec();
    program.shutdown();
    return status;
}
