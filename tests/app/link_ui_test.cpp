// The desktop program's side of link health: the start-up order of the settings, the command
// line, the menu "Verbindung", the status bar, the diagnostic log window, the stale values of
// the fixed pane and the setting that switches reconnecting off.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QGraphicsEffect>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/application.h"
#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/ui_language.h"
#include "connection/connection_procedure.h"
#include "connection/connection_texts.h"
#include "document/document.h"
#include "tests/support/loopback.h"
#include "views/diagnostic_log_window.h"
#include "views/link_status_bar.h"
#include "views/ui_state.h"
#include "views/view_fixpart.h"
#include "views/widgets/round_led.h"

using qvx::app::CMainFrame;
using qvx::document::CQvx_controllerDoc;

namespace {

template <class T>
T* find(QObject* root, const char* name) {
    return root->findChild<T*>(QString::fromLatin1(name));
}

/// Runs `action` on the connection dialog once it is shown, then confirms it (or cancels).
void onConnectionDialog(const std::function<void(QWidget*)>& action, const char* button = "ok") {
    QTimer::singleShot(0, [action, button] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->objectName() != QStringLiteral("CDlgNeueVerbindung")) {
            onConnectionDialog(action, button);
            return;
        }
        action(modal);
        find<QAbstractButton>(modal, button)->click();
    });
}

struct SilentUi : qvx::connection::ConnectionUi {
    std::vector<std::string> messages;
    void showMessage(std::string_view text, std::string_view) override {
        messages.emplace_back(text);
    }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    void showDialingNotice(std::string_view) override {}
    void hideDialingNotice() override {}
    void pump() override { QApplication::processEvents(); }
};

/// A qvx.ini of its own, removed at the end.
struct SettingsFile {
    explicit SettingsFile(const std::string& content) { std::ofstream(path) << content; }
    ~SettingsFile() { std::filesystem::remove(path); }
    [[nodiscard]] std::string text() const {
        std::ifstream in(path);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("qvx_link_ui_" + std::to_string(::getpid()) + ".ini");
};

}  // namespace

TEST(StartUp, AnOfflineStartShowsTheStoredUnitInTheCaptions) {
    SettingsFile settings("[Globals]\nBaseUnit=MM\n");
    qvx::app::QvxApplication program({}, settings.path);
    program.start();
    onConnectionDialog([](QWidget*) {}, "cancel");
    SilentUi ui;
    EXPECT_FALSE(program.connect(ui));
    QWidget* pane = program.frame().fixedPane();
    EXPECT_EQ(find<QLabel>(pane, "valuesCaption")->text(), QStringLiteral("Werte in mm"));
    EXPECT_EQ(find<QPushButton>(pane, "unitToggle")->text(), QStringLiteral("-> mV"));
    program.shutdown();
}

TEST(CommandLine, OwnOptionsAreTakenOutAndTheRestIsLeftForTheAccessCode) {
    using qvx::app::parseCommandLine;
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
    EXPECT_TRUE(parseCommandLine({"--version"}).version);
    const auto line = parseCommandLine({"--log", "/tmp/x.log", "Torvelmandigrasp"});
    EXPECT_EQ(line.logFile, "/tmp/x.log");
    EXPECT_EQ(line.rest, std::vector<std::string>{"Torvelmandigrasp"});
    EXPECT_TRUE(qvx::app::isSupervisorCommandLine({QString::fromStdString(line.rest.front())}));
    EXPECT_EQ(parseCommandLine({"--log=a.log"}).logFile, "a.log");
    EXPECT_FALSE(parseCommandLine({"--log"}).error.empty());
    EXPECT_FALSE(parseCommandLine({"--log="}).error.empty());
    // Anything else stays part of the line the access code is compared with.
    EXPECT_EQ(parseCommandLine({"-x", "help"}).rest, (std::vector<std::string>{"-x", "help"}));
    EXPECT_NE(qvx::app::versionText().find("qvx_controller Version 1.0"), std::string::npos);
    EXPECT_NE(qvx::app::usageText().find("--log FILE"), std::string::npos);
}

TEST(CommandLine, TheLanguageIsGermanOrEnglishAndFollowsTheUserUnlessItIsGiven) {
    using qvx::app::parseCommandLine;
    using qvx::app::UiLanguage;
    EXPECT_EQ(parseCommandLine({"--lang", "en"}).language, UiLanguage::English);
    EXPECT_EQ(parseCommandLine({"--lang=de", "Torvelmandigrasp"}).language, UiLanguage::German);
    EXPECT_EQ(parseCommandLine({"--lang=de", "Torvelmandigrasp"}).rest,
              std::vector<std::string>{"Torvelmandigrasp"});
    EXPECT_EQ(parseCommandLine({"Torvelmandigrasp"}).language, std::nullopt);
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--lang"}, {"--lang", "fr"}, {"--lang="}}) {
        EXPECT_FALSE(parseCommandLine(wrong).error.empty()) << wrong.back();
    }
    EXPECT_EQ(qvx::app::languageFromCode("EN"), UiLanguage::English);
    EXPECT_EQ(qvx::app::languageFromCode("english"), std::nullopt);
    // The first of the user's languages the program speaks; German when it speaks none.
    EXPECT_EQ(qvx::app::languageFromUiLanguages({QStringLiteral("en_US")}), UiLanguage::English);
    EXPECT_EQ(qvx::app::languageFromUiLanguages(
                  {QStringLiteral("fr-FR"), QStringLiteral("en-GB"), QStringLiteral("de")}),
              UiLanguage::English);
    EXPECT_EQ(qvx::app::languageFromUiLanguages({QStringLiteral("de-AT"), QStringLiteral("en")}),
              UiLanguage::German);
    EXPECT_EQ(qvx::app::languageFromUiLanguages({QStringLiteral("fr-FR")}), UiLanguage::German);
    EXPECT_EQ(qvx::app::languageFromUiLanguages({}), UiLanguage::German);
    EXPECT_NE(qvx::app::usageText().find("--lang de|en"), std::string::npos);
}

TEST(ConnectionMenu, OffersConnectAndDisconnectAndIsInertWhileBusy) {
    CQvx_controllerDoc document;
    CMainFrame frame(document);
    auto* connect = find<QAction>(&frame, "connectLink");
    auto* disconnect = find<QAction>(&frame, "disconnectLink");
    ASSERT_NE(connect, nullptr);
    ASSERT_NE(disconnect, nullptr);
    EXPECT_EQ(connect->text(), QStringLiteral("Verbindung herstellen..."));
    EXPECT_EQ(disconnect->text(), QStringLiteral("Verbindung trennen"));
    QSignalSpy connects(&frame, &CMainFrame::connectRequested);
    QSignalSpy disconnects(&frame, &CMainFrame::disconnectRequested);
    {
        const qvx::views::UiBusyScope busy;
        connect->trigger();
        disconnect->trigger();
    }
    EXPECT_EQ(connects.count(), 0);
    EXPECT_EQ(disconnects.count(), 0);
    connect->trigger();
    disconnect->trigger();
    EXPECT_EQ(connects.count(), 1);
    EXPECT_EQ(disconnects.count(), 1);
}

TEST(ConnectionMenu, ConnectingAgainAfterAFailedStartRunsTheDialogAgain) {
    SettingsFile settings("[Globals]\nTCP_IP_ADDRESS=127.0.0.1\nBasePort=" +
                          std::to_string(qvx::test::unusedLoopbackPort()) + "\n");
    qvx::app::QvxApplication program({}, settings.path);
    program.start();
    SilentUi ui;
    program.connectMenu(ui);
    onConnectionDialog([](QWidget*) {}, "cancel");
    EXPECT_FALSE(program.connect(ui));
    int dialogs = 0;
    onConnectionDialog([&dialogs](QWidget*) { ++dialogs; });
    find<QAction>(&program.frame(), "connectLink")->trigger();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(ui.messages, std::vector<std::string>{qvx::connection::texts::kLoginFailed});
    // The failure is the link's last error in the status bar.
    program.frame().linkStatusBar().refresh();
    const QString error = find<QLabel>(&program.frame(), "linkError")->text();
    EXPECT_TRUE(error.startsWith(QStringLiteral("Letzter Fehler um "))) << error.toStdString();
    EXPECT_TRUE(error.endsWith(QStringLiteral(": ") +
                               QString::fromUtf8(qvx::connection::texts::kLoginFailed)))
        << error.toStdString();
    program.shutdown();
}

TEST(AutoReconnectSetting, IsWrittenOnlyWhenTheUserChangesIt) {
    SettingsFile settings("[Globals]\nTCP_IP_ADDRESS=127.0.0.1\nBasePort=" +
                          std::to_string(qvx::test::unusedLoopbackPort()) + "\n");
    qvx::app::QvxApplication program({}, settings.path);
    program.start();
    SilentUi ui;
    bool shownChecked = false;
    onConnectionDialog([&](QWidget* dialog) {
        shownChecked = find<QCheckBox>(dialog, "autoReconnect")->isChecked();
    });
    EXPECT_FALSE(program.connect(ui));
    EXPECT_TRUE(shownChecked);  // on when the key is missing
    EXPECT_EQ(settings.text().find("AutoReconnect"), std::string::npos);
    EXPECT_TRUE(program.document().autoReconnect);

    onConnectionDialog(
        [](QWidget* dialog) { find<QCheckBox>(dialog, "autoReconnect")->setChecked(false); });
    EXPECT_FALSE(program.connect(ui));
    EXPECT_NE(settings.text().find("AutoReconnect=0"), std::string::npos);
    EXPECT_FALSE(program.document().autoReconnect);
    onConnectionDialog([&](QWidget* dialog) {
        shownChecked = find<QCheckBox>(dialog, "autoReconnect")->isChecked();
    });
    EXPECT_FALSE(program.connect(ui));
    EXPECT_FALSE(shownChecked);
    program.shutdown();
}

TEST(StatusBar, ShowsTheEndpointTheCountersAndTheLastError) {
    CQvx_controllerDoc document;
    document.link().setHost("gateway");
    qvx::views::LinkStatusBar bar(document);
    EXPECT_EQ(find<QLabel>(&bar, "linkEndpoint")->text(), QStringLiteral("Nicht verbunden"));
    EXPECT_EQ(find<QLabel>(&bar, "linkError")->text(), QStringLiteral("Kein Fehler"));
    document.setReconnectTarget({"", 5100, 5101}, std::nullopt);
    document.health().setLastError("Verbindung verloren: gateway, 5101");
    document.health().reconnecting = true;
    document.health().nextAttemptMs = 3500;
    document.health().failedAttempts = 2;
    bar.refresh();
    EXPECT_EQ(find<QLabel>(&bar, "linkEndpoint")->text(),
              QStringLiteral("Gateway gateway, Datenport 5101"));
    EXPECT_EQ(find<QLabel>(&bar, "linkCounters")->text(),
              QString::fromUtf8("Wiederholungen 0, Zeitüberschreitungen 0, Prüfsummenfehler 0"));
    EXPECT_EQ(find<QLabel>(&bar, "linkRate")->text(), QStringLiteral("0.0 Zyklen/s"));
    const QString time = QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(
                                                           document.health().lastErrorTime()))
                             .toString(QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(find<QLabel>(&bar, "linkError")->text(),
              QStringLiteral("Letzter Fehler um %1: Verbindung verloren: gateway, 5101; "
                             "Neuer Verbindungsversuch in 4 s (2 fehlgeschlagen)")
                  .arg(time));
}

TEST(DiagnosticLog, ShowsTheLinesWritesTheFileAndSavesOnRequest) {
    CQvx_controllerDoc document;
    qvx::views::DiagnosticLogWindow window(document);
    const auto logFile =
        std::filesystem::temp_directory_path() / ("qvx_log_" + std::to_string(::getpid()) + ".log");
    std::filesystem::remove(logFile);
    ASSERT_TRUE(window.setLogFile(logFile.string()));
    document.link().setMask(CQvx_controllerDoc::kLogMaskInfo);
    document.link().log("Verbindung verloren", qvx::link::kLogWarning);
    document.link().log("jeder Rahmen", qvx::link::kLogDebug);  // not with the default mask
    window.collect();
    EXPECT_TRUE(window.text().endsWith(QStringLiteral(" Warning: Verbindung verloren")))
        << window.text().toStdString();
    EXPECT_FALSE(window.text().contains(QStringLiteral("jeder Rahmen")));

    find<QCheckBox>(&window, "logDebug")->setChecked(true);
    EXPECT_TRUE(document.link().isEnabled(qvx::link::kLogDebug));
    document.link().log("TX 02 03", qvx::link::kLogDebug);
    window.collect();
    EXPECT_TRUE(window.text().contains(QStringLiteral("Debug: TX 02 03")));
    find<QCheckBox>(&window, "logDebug")->setChecked(false);
    EXPECT_EQ(document.link().mask(), CQvx_controllerDoc::kLogMaskInfo);

    // The file holds the same lines as the window.
    std::ifstream in(logFile);
    std::ostringstream file;
    file << in.rdbuf();
    EXPECT_EQ(QString::fromStdString(file.str()), window.text() + QStringLiteral("\n"));

    const QString saved = QString::fromStdString((logFile.string() + ".txt"));
    ASSERT_TRUE(window.saveTo(saved));
    std::ifstream savedIn(saved.toStdString());
    std::ostringstream savedText;
    savedText << savedIn.rdbuf();
    EXPECT_EQ(QString::fromStdString(savedText.str()), window.text() + QStringLiteral("\n"));
    find<QPushButton>(&window, "logClear")->click();
    EXPECT_TRUE(window.text().isEmpty());
    std::filesystem::remove(logFile);
    std::filesystem::remove(saved.toStdString());
}

TEST(DiagnosticLog, LinesBeyondTheBufferAreDroppedAndCounted) {
    CQvx_controllerDoc document;
    qvx::views::DiagnosticLogWindow window(document);
    for (std::size_t i = 0; i < qvx::link::BufferedLogSink::kDefaultCapacity + 5; ++i) {
        document.link().log("Zeile", qvx::link::kLogInfo);
    }
    window.collect();
    EXPECT_EQ(find<QLabel>(&window, "logDropped")->text(), QStringLiteral("5 Zeilen verworfen"));
    EXPECT_TRUE(window.text().endsWith(QStringLiteral("5 Zeilen verworfen")));
}

TEST(DiagnosticLog, IsOpenedFromTheHelpMenu) {
    CQvx_controllerDoc document;
    CMainFrame frame(document);
    EXPECT_FALSE(frame.diagnosticLog().isVisible());
    auto* action = find<QAction>(&frame, "showDiagnosticLog");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Diagnoseprotokoll"));
    action->trigger();
    EXPECT_TRUE(frame.diagnosticLog().isVisible());
    EXPECT_EQ(frame.diagnosticLog().windowTitle(), QStringLiteral("Diagnoseprotokoll"));
    frame.diagnosticLog().close();
}

TEST(FixedPane, GreysTheValuesThatDidNotComeFromTheLastCycle) {
    CQvx_controllerDoc document;
    qvx::views::CViewFixpart pane(document, [](int) {});
    pane.OnInitialUpdate();
    document.outputsCurrent = true;
    document.switchPointsCurrent = false;
    document.gripperCurrent = false;
    pane.OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
    EXPECT_TRUE(find<qvx::widgets::RoundLed>(&pane, "output1")->isEnabled());
    EXPECT_FALSE(find<QLineEdit>(&pane, "switchPoint1")->isEnabled());
    EXPECT_FALSE(find<QLineEdit>(&pane, "valueMv")->isEnabled());
    EXPECT_FALSE(find<QLineEdit>(&pane, "valueLength")->isEnabled());
    EXPECT_TRUE(find<QWidget>(&pane, "gauge")->graphicsEffect()->isEnabled());  // faded

    document.outputsCurrent = false;
    document.switchPointsCurrent = true;
    document.gripperCurrent = true;
    pane.OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
    EXPECT_FALSE(find<qvx::widgets::RoundLed>(&pane, "output5")->isEnabled());
    EXPECT_TRUE(find<QLineEdit>(&pane, "switchPoint5")->isEnabled());
    EXPECT_TRUE(find<QLineEdit>(&pane, "valueMv")->isEnabled());
    EXPECT_FALSE(find<QWidget>(&pane, "gauge")->graphicsEffect()->isEnabled());
}
