// The desktop program keeps working when the link breaks: the real gateway is killed and
// started again on the same ports, or the controller behind it is replaced, and the program
// comes back online by itself, without any input.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <fstream>
#include <optional>
#include <thread>

#include "app/application.h"
#include "app/main_frame.h"
#include "connection/connection_texts.h"
#include "document/document.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/controller_e2e_support.h"
#include "tests/gateway/gateway_test_support.h"
#include "tests/gateway/tcp_test_client.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/virtual_display.h"
#include "views/widgets/rectangular_led.h"

using namespace std::chrono_literals;
using qvx::test::ChildProcess;
using qvx::test::waitWhileRunning;

namespace {

constexpr std::size_t kServiceSerialCell = 24;  // EEPROM cell of the serial number

/// The simulated controller on a pty, the gateway relaying a data port to it, and the
/// program's qvx.ini pointing at the gateway; each program can be ended and started again.
class Chain {
public:
    Chain() {
        std::filesystem::create_symlink(QVX_GATEWAY_PROGRAM, m_dir.path() / "qvx_gateway");
        std::ofstream(m_dir.path() / "qvx_gateway.ini")
            << "[Globals]\nBasePortAddress=" << m_base
            << "\nPorts=1\n[Port1]\nCOMPort=" << tty().string() << "\n";
        std::ofstream(settings()) << "[Globals]\nTCP_IP_ADDRESS=127.0.0.1\nBasePort=" << m_base
                                  << "\nPort=" << dataPort() << "\nBaseUnit=MM\n";
    }

    [[nodiscard]] bool startSim(const std::filesystem::path& eeprom) {
        // -v: the simulator writes a line per request, so the test sees polling arrive.
        m_sim.emplace(std::vector<std::string>{QVX_SIM_PROGRAM, "--pty", tty().string(), "-v",
                                               "--eeprom", eeprom.string()},
                      m_dir.path() / "sim.out", m_dir.path() / "sim.err");
        return m_sim->waitForOutput("ready", 10s);
    }
    [[nodiscard]] bool stopSim() { return m_sim->signal(SIGTERM) && m_sim->waitForExit(10s); }
    [[nodiscard]] bool startGateway() {
        m_gateway.emplace(std::vector<std::string>{(m_dir.path() / "qvx_gateway").string(), "-d"},
                          m_dir.path() / "gw.out", m_dir.path() / "gw.err");
        return m_gateway->waitForOutput("Initialisierung OK", 10s);
    }
    /// Ends the gateway the hard way, as a crash or a pulled plug does.
    [[nodiscard]] bool killGateway() {
        return m_gateway->signal(SIGKILL) && m_gateway->waitForExit(5s);
    }

    /// Requests the simulator has seen since it started.
    [[nodiscard]] std::size_t requestsSeen() const {
        const std::string err = m_sim->err();
        std::size_t count = 0;
        for (std::size_t at = err.find("qvx_sim: "); at != std::string::npos;
             at = err.find("qvx_sim: ", at + 1)) {
            ++count;
        }
        return count;
    }

    [[nodiscard]] std::filesystem::path path(const char* name) const { return m_dir.path() / name; }
    [[nodiscard]] std::filesystem::path settings() const { return m_dir.path() / "qvx.ini"; }
    [[nodiscard]] QString folder() const { return QString::fromStdString(m_dir.path().string()); }
    [[nodiscard]] int dataPort() const { return m_base + 1; }

private:
    [[nodiscard]] std::filesystem::path tty() const { return m_dir.path() / "controller.tty"; }

    qvx::gateway::test::TempDir m_dir;
    int m_base = qvx::gateway::test::freePortRange(1);
    std::optional<ChildProcess> m_sim;
    std::optional<ChildProcess> m_gateway;
};

/// The program started and connected as a user does: dialog confirmed with OK.
struct ConnectedProgram {
    explicit ConnectedProgram(const Chain& chain) : program({}, chain.settings()) {
        program.start();
        qvx::test::confirmConnectionDialog();
        connected = program.connect(ui);
        text = program.frame().fixedPane()->findChild<QLineEdit*>(QStringLiteral("connectionText"));
        lamp = program.frame().fixedPane()->findChild<qvx::widgets::RectangularLed*>(
            QStringLiteral("connectionLamp"));
        online = QStringLiteral("Online, Verbunden mit 127.0.0.1, %1").arg(chain.dataPort());
    }
    ~ConnectedProgram() { program.shutdown(); }
    [[nodiscard]] bool isOnline() const { return text->text() == online && lamp->isActive(); }
    [[nodiscard]] bool isOffline() const {
        return text->text() == QStringLiteral("Offline.") && !lamp->isActive();
    }
    [[nodiscard]] QString statusBarText(const char* name) {
        return program.frame().findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

    qvx::test::RecordingUi ui;
    qvx::app::QvxApplication program;
    bool connected = false;
    QLineEdit* text = nullptr;
    qvx::widgets::RectangularLed* lamp = nullptr;
    QString online;
};

QMessageBox* shownNotice(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(name) && widget->isVisible()) {
            return qobject_cast<QMessageBox*>(widget);
        }
    }
    return nullptr;
}

}  // namespace

TEST(DesktopProgramReconnect, ComesBackByItselfWhenTheGatewayReturnsOnTheSamePorts) {
    Chain chain;
    ASSERT_TRUE(chain.startSim(chain.path("controller.eeprom")));
    ASSERT_TRUE(chain.startGateway());
    ConnectedProgram p(chain);
    ASSERT_TRUE(p.connected) << (p.ui.messages.empty() ? "" : p.ui.messages.front());
    ASSERT_TRUE(waitWhileRunning([&] { return p.isOnline(); }, 10s))
        << p.text->text().toStdString();
    QWidget* lowerView = p.program.frame().lowerView();

    ASSERT_TRUE(chain.killGateway());
    ASSERT_TRUE(waitWhileRunning([&] { return p.isOffline(); }, 5s))
        << p.text->text().toStdString();
    EXPECT_TRUE(waitWhileRunning(
        [&] {
            return p.statusBarText("linkError").contains(QStringLiteral("Verbindung verloren"));
        },
        3s))
        << p.statusBarText("linkError").toStdString();

    ASSERT_TRUE(chain.startGateway());
    const std::size_t before = chain.requestsSeen();
    EXPECT_TRUE(
        waitWhileRunning([&] { return p.isOnline() && chain.requestsSeen() > before + 20; }, 45s))
        << p.text->text().toStdString() << " after " << chain.requestsSeen() - before
        << " requests";
    // Nothing was asked and the view stayed.
    EXPECT_EQ(p.ui.messages, std::vector<std::string>{});
    EXPECT_EQ(p.program.frame().lowerView(), lowerView);
    EXPECT_EQ(shownNotice("anotherController"), nullptr);
    EXPECT_EQ(p.statusBarText("linkEndpoint"),
              QStringLiteral("Gateway 127.0.0.1, Datenport %1").arg(chain.dataPort()));
}

TEST(DesktopProgramReconnect, TellsTheUserWhenAnotherControllerAnswersAfterTheLoss) {
    Chain chain;
    const auto first = chain.path("first.eeprom");
    ASSERT_TRUE(chain.startSim(first));
    ASSERT_TRUE(chain.startGateway());
    ConnectedProgram p(chain);
    ASSERT_TRUE(p.connected);
    ASSERT_TRUE(waitWhileRunning([&] { return p.isOnline(); }, 10s));

    p.program.frame().SwitchView(qvx::app::CMainFrame::kService);
    const auto serialShown = [&] {
        return p.program.frame().lowerView()->findChild<QLineEdit*>(QStringLiteral("serialNumber"))->text();
    };
    EXPECT_EQ(serialShown(), QStringLiteral("42"));

    // The controller is replaced: the same memory, another serial number.
    ASSERT_TRUE(chain.killGateway());
    ASSERT_TRUE(chain.stopSim());
    const auto second = chain.path("second.eeprom");
    std::filesystem::copy_file(first, second);
    {
        std::fstream image(second, std::ios::in | std::ios::out | std::ios::binary);
        image.seekp(static_cast<std::streamoff>(kServiceSerialCell));
        image.put(static_cast<char>(43));
    }
    ASSERT_TRUE(chain.startSim(second));
    ASSERT_TRUE(chain.startGateway());

    QMessageBox* notice = nullptr;
    ASSERT_TRUE(waitWhileRunning(
        [&] { return (notice = shownNotice("anotherController")) != nullptr; }, 45s));
    EXPECT_TRUE(notice->text().contains(QStringLiteral("Seriennummer 43, zuvor 42")))
        << notice->text().toStdString();
    EXPECT_FALSE(notice->isModal());
    EXPECT_EQ(serialShown(), QStringLiteral("43"));  // the view shown read its data again
    EXPECT_TRUE(waitWhileRunning([&] { return p.isOnline(); }, 10s));
    notice->close();
}

TEST(DesktopProgramReconnect, TheProgramAsAUserStartsItPollsAgainAfterTheGatewayReturns) {
    const qvx::test::VirtualDisplay display;
    ASSERT_FALSE(display.name().isEmpty()) << "Xvfb did not start: run scripts/install-deps.sh";
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        << "xdotool is missing: run scripts/install-deps.sh";
    Chain chain;
    ASSERT_TRUE(chain.startSim(chain.path("controller.eeprom")));
    ASSERT_TRUE(chain.startGateway());
    const auto log = chain.path("link.log");
    const auto logHas = [&log](const char* text) {
        return ChildProcess::readFile(log).find(text) != std::string::npos;
    };

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display.name());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(chain.folder());
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(QVX_CONTROLLER_PROGRAM),
                  {QStringLiteral("--log"), QString::fromStdString(log.string())});
    ASSERT_TRUE(program.waitForStarted(10000));
    const QString dialog =
        display
            .xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                      QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                      QString::number(program.processId()), QStringLiteral("--name"),
                      QStringLiteral("Neue Verbindung")})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
            .value(0);
    ASSERT_FALSE(dialog.isEmpty()) << "the connection dialog did not appear";
    // A key that arrives before the dialog takes keys is lost: press until it is taken.
    const auto connectedBy = std::chrono::steady_clock::now() + 20s;
    while (!logHas(qvx::connection::texts::kConnected) &&
           std::chrono::steady_clock::now() < connectedBy) {
        (void)display.xdotool(
            {QStringLiteral("key"), QStringLiteral("--window"), dialog, QStringLiteral("Return")});
        (void)qvx::test::waitUntil([&] { return logHas(qvx::connection::texts::kConnected); },
                                   1000ms);
    }
    ASSERT_TRUE(
        qvx::test::waitUntil([&] { return logHas(qvx::connection::texts::kConnected); }, 20s));

    ASSERT_TRUE(chain.killGateway());
    EXPECT_TRUE(
        qvx::test::waitUntil([&] { return logHas(qvx::connection::texts::kConnectionLost); }, 5s));
    ASSERT_TRUE(chain.startGateway());
    const std::size_t before = chain.requestsSeen();
    EXPECT_TRUE(qvx::test::waitUntil(
        [&] {
            return logHas(qvx::connection::texts::kReconnected) &&
                   chain.requestsSeen() > before + 20;
        },
        45s))
        << ChildProcess::readFile(log);
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(5000);
    }
}
