// The desktop program against the real gateway and simulated controller: the test confirms
// the connection dialog the way a user does and watches the fixed pane come alive.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <fstream>

#include "app/application.h"
#include "app/main_frame.h"
#include "connection/connection_procedure.h"
#include "document/document.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/controller_e2e_support.h"
#include "tests/gateway/gateway_test_support.h"
#include "tests/gateway/tcp_test_client.h"
#include "views/ui_state.h"
#include "views/widgets/rectangular_led.h"

using namespace std::chrono_literals;
using qvx::test::ChildProcess;

using qvx::test::confirmConnectionDialog;
using qvx::test::RecordingUi;
using qvx::test::waitWhileRunning;

TEST(DesktopProgram, ConnectsThroughTheGatewayAndShowsLiveValues) {
    qvx::gateway::test::TempDir dir;
    const int base = qvx::gateway::test::freePortRange(1);
    const auto tty = dir.path() / "controller.tty";
    ChildProcess sim({QVX_SIM_PROGRAM, "--pty", tty.string()}, dir.path() / "sim.out", dir.path() / "sim.err");
    ASSERT_TRUE(sim.waitForOutput("ready", 10s));
    std::filesystem::create_symlink(QVX_GATEWAY_PROGRAM, dir.path() / "qvx_gateway");
    std::ofstream(dir.path() / "qvx_gateway.ini")
        << "[Globals]\nBasePortAddress=" << base << "\nPorts=1\n[Port1]\nCOMPort=" << tty.string() << "\n";
    ChildProcess gateway({(dir.path() / "qvx_gateway").string(), "-d"}, dir.path() / "gw.out", dir.path() / "gw.err");
    ASSERT_TRUE(gateway.waitForOutput("Initialisierung OK", 10s));
    const auto settings = dir.path() / "qvx.ini";
    std::ofstream(settings) << "[Globals]\nTCP_IP_ADDRESS=127.0.0.1\nBasePort=" << base << "\nPort=" << base + 1
                            << "\nBaseUnit=MM\n";

    qvx::app::QvxApplication program({}, settings);
    program.start();
    confirmConnectionDialog();
    RecordingUi ui;
    ASSERT_TRUE(program.connect(ui)) << (ui.messages.empty() ? "" : ui.messages.front());
    EXPECT_TRUE(qvx::views::uiEnabled());

    QWidget* pane = program.frame().fixedPane();
    auto* text = pane->findChild<QLineEdit*>(QStringLiteral("connectionText"));
    auto* mv = pane->findChild<QLineEdit*>(QStringLiteral("valueMv"));
    auto* length = pane->findChild<QLineEdit*>(QStringLiteral("valueLength"));
    const QString online = QStringLiteral("Online, Verbunden mit 127.0.0.1, %1").arg(base + 1);
    EXPECT_TRUE(
        waitWhileRunning([&] { return text->text() == online && !mv->text().isEmpty(); }, 10s))
        << text->text().toStdString();
    EXPECT_TRUE(mv->text().endsWith(QStringLiteral(" mV")));
    EXPECT_TRUE(length->text().endsWith(QStringLiteral(" mm")));  // the simulator's table has points
    EXPECT_TRUE(pane->findChild<qvx::widgets::RectangularLed*>(QStringLiteral("connectionLamp"))->isActive());
    // Live: the simulated gripper moves, so the value changes within its cycle.
    const QString first = mv->text();
    EXPECT_TRUE(waitWhileRunning([&] { return mv->text() != first; }, 10s));
    program.shutdown();
    EXPECT_FALSE(program.document().isPolling());
}
