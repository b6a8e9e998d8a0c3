// qvx_controller: commissioning and diagnosis of the gripper's position-sensor controller.

#include <QApplication>

#include "app/application.h"
#include "app/main_frame.h"
#include "connection/client_settings.h"
#include "connection/dialogs/qt_connection_ui.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qvx_controller"));
    QApplication::setOrganizationName(QStringLiteral("Varnok"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/qvx/icons/qvx.svg")));
    qvx::app::installGermanTranslation();

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (qvx::app::isRegistrationCommandLine(arguments)) {
        return 0;  // nothing to register on this platform
    }

    qvx::app::QvxApplication program(arguments, qvx::connection::clientSettingsPath());
    program.start();
    qvx::connection::QtConnectionUi ui;
    (void)program.connect(ui);
    const int status = QApplication::exec();
    program.shutdown();
    return status;
}
