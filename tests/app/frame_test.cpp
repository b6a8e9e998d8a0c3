#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <array>
#include <chrono>
#include <filesystem>
#include <mutex>

#include "app/application.h"
#include "app/main_frame.h"
#include "connection/connection_procedure.h"
#include "document/document.h"
#include "tests/support/memory_controller.h"
#include "views/ui_state.h"
#include "views/view_fixpart.h"
#include "views/view_service_info.h"
#include "views/view_zeit_graph.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/round_led.h"
#include "views/widgets/time_plot.h"

using qvx::app::CMainFrame;
using qvx::document::CQvx_controllerDoc;

namespace {

/// Clicks the named button of the next modal window that appears (a message box or dialog).
void answerNextModal(const QString& buttonText) {
    QTimer::singleShot(0, [buttonText] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            answerNextModal(buttonText);  // not shown yet: look again on the next turn
            return;
        }
        for (QAbstractButton* button : modal->findChildren<QAbstractButton*>()) {
            if (button->text().remove(QLatin1Char('&')) == buttonText || button->objectName() == buttonText) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << buttonText.toStdString() << " in " << modal->objectName().toStdString();
        modal->close();
    });
}

/// Records what the connection procedure would show.
struct SilentUi : qvx::connection::ConnectionUi {
    std::vector<std::string> messages;
    void showMessage(std::string_view text, std::string_view) override { messages.emplace_back(text); }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    void showDialingNotice(std::string_view) override {}
    void hideDialingNotice() override {}
    void pump() override { QApplication::processEvents(); }
};

std::filesystem::path settingsFile() {
    return std::filesystem::temp_directory_path() / ("qvx_frame_test_" + std::to_string(::getpid()) + ".ini");
}

template <class T>
T* find(QWidget* root, const char* name) {
    return root->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

TEST(CommandLine, SupervisorCodeIsTheWholeLineInAnyCase) {
    EXPECT_TRUE(qvx::app::isSupervisorCommandLine({QStringLiteral("torvelmandigrasp")}));
    EXPECT_TRUE(qvx::app::isSupervisorCommandLine({QStringLiteral("TORVELMANDIGRASP")}));
    EXPECT_FALSE(qvx::app::isSupervisorCommandLine({QStringLiteral("TORVELMANDIGRASP"), QStringLiteral("x")}));
    EXPECT_FALSE(qvx::app::isSupervisorCommandLine({}));
    EXPECT_TRUE(qvx::app::isRegistrationCommandLine({QStringLiteral("/RegServer")}));
    EXPECT_TRUE(qvx::app::isRegistrationCommandLine({QStringLiteral("-unregserver")}));
    EXPECT_FALSE(qvx::app::isRegistrationCommandLine({QStringLiteral("RegServer"), QStringLiteral("x")}));
}

TEST(StartUp, CancellingTheDialogLeavesAWorkingOfflineWindow) {
    qvx::app::QvxApplication program({QStringLiteral("Torvelmandigrasp")}, settingsFile());
    program.start();
    EXPECT_TRUE(program.document().supervisorMode);
    auto* reset = find<QPushButton>(program.frame().lowerView(), "resetValues");
    ASSERT_NE(reset, nullptr);
    EXPECT_FALSE(reset->isHidden());  // supervisor mode shows the reset button

    answerNextModal(QStringLiteral("cancel"));
    SilentUi ui;
    EXPECT_FALSE(program.connect(ui));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(qvx::views::uiEnabled());
    EXPECT_FALSE(program.document().isPolling());
    auto* lamp = find<qvx::widgets::RectangularLed>(program.frame().fixedPane(), "connectionLamp");
    EXPECT_EQ(lamp->caption(), QStringLiteral("Offline"));
    program.frame().SwitchView(CMainFrame::kService);
    EXPECT_NE(qobject_cast<qvx::views::CViewServiceInfo*>(program.frame().lowerView()), nullptr);
    // Cancelling writes nothing.
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
    program.shutdown();
    std::filesystem::remove(settingsFile());
}

TEST(SwitchView, TheSameViewOnlyRereadsAndTheCalibrationWarningComesOnce) {
    CQvx_controllerDoc document;
    CMainFrame frame(document);
    QWidget* zeitGraph = frame.lowerView();
    frame.SwitchView(CMainFrame::kOperatingState);
    EXPECT_EQ(frame.lowerView(), zeitGraph);  // not replaced
    frame.SwitchView(9);
    EXPECT_EQ(frame.currentView(), CMainFrame::kOperatingState);

    answerNextModal(QStringLiteral("OK"));
    frame.SwitchView(CMainFrame::kCalibration);
    EXPECT_EQ(frame.currentView(), CMainFrame::kCalibration);
    QWidget* calibration = frame.lowerView();
    // Again: no warning (a modal box would block this test until its time-out).
    frame.SwitchView(CMainFrame::kCalibration);
    EXPECT_EQ(frame.lowerView(), calibration);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(SwitchView, NavigationAndClosingAreInertWhileTheUiIsBusy) {
    CQvx_controllerDoc document;
    CMainFrame frame(document);
    frame.show();
    {
        const qvx::views::UiBusyScope busy;
        find<QPushButton>(frame.fixedPane(), "navService")->click();
        EXPECT_EQ(frame.currentView(), CMainFrame::kOperatingState);
        EXPECT_TRUE(find<QPushButton>(frame.fixedPane(), "navOperatingState")->isChecked());
        EXPECT_FALSE(frame.close());
        EXPECT_TRUE(frame.isVisible());
    }
    // An operation that cannot be cut short leaves no close behind to happen afterwards.
    QApplication::processEvents();
    EXPECT_TRUE(frame.isVisible());
    find<QPushButton>(frame.fixedPane(), "navService")->click();
    EXPECT_EQ(frame.currentView(), CMainFrame::kService);
    EXPECT_TRUE(frame.close());
}

namespace {

/// A fixed pane over a document filled by hand.
struct FilledPane {
    FilledPane() : pane(document, [](int) {}) {
        document.pollOk = true;
        document.link().setHost("gateway");
        document.link().setPort(5101);
        for (std::size_t k = 0; k < 5; ++k) {
            document.switchPoints[k] = 0x800F;  // about 2500 mV
        }
        document.outputActive[1] = true;
        document.gripperMv = 2500.0F;
        document.gripperDisplay = 2500.0F;
        const std::array points{qvx::link::CalibrationPoint{0.0F, 50.8F}, qvx::link::CalibrationPoint{5000.0F, 0.0F}};
        EXPECT_TRUE(document.link().calibration().applyLoaded({1, 0, 2, 1}, points));
        pane.OnInitialUpdate();
    }
    QString text(const char* name) { return find<QLineEdit>(&pane, name)->text(); }
    CQvx_controllerDoc document;
    qvx::views::CViewFixpart pane;
};

}  // namespace

TEST(FixedPane, ShowsMillivoltsLengthsAndTheConnection) {
    FilledPane f;
    f.pane.OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
    EXPECT_EQ(f.text("connectionText"), QStringLiteral("Online, Verbunden mit gateway, 5101"));
    EXPECT_EQ(f.text("valueMv"), QStringLiteral(" 2500.00 mV"));
    EXPECT_EQ(f.text("valueLength"), QStringLiteral("   25.40 mm"));
    EXPECT_EQ(f.text("switchPoint1"), QStringLiteral(" 2499.39"));
    EXPECT_TRUE(find<qvx::widgets::RoundLed>(&f.pane, "output2")->isActive());
    EXPECT_FALSE(find<qvx::widgets::RoundLed>(&f.pane, "output1")->isActive());
    EXPECT_EQ(find<qvx::widgets::RectangularLed>(&f.pane, "connectionLamp")->caption(), QStringLiteral("Online"));
    EXPECT_EQ(find<QPushButton>(&f.pane, "unitToggle")->text(), QStringLiteral("-> mm"));
}

TEST(FixedPane, LengthModeInTenthsOfAnInchDividesBy254) {
    FilledPane f;
    f.document.inchUnit = 1;
    find<QPushButton>(&f.pane, "unitToggle")->click();
    EXPECT_EQ(f.document.link().calibration().getMode(), qvx::link::CalibrationMode::Calibrated);
    f.pane.OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
    EXPECT_EQ(f.text("valueLength"), QStringLiteral("   10.00 * 1/10 ''"));
    // A switch point of 25.4 mm shows as 10.00.
    EXPECT_EQ(f.text("switchPoint1").trimmed().left(4), QStringLiteral("10.0"));
    EXPECT_EQ(find<QPushButton>(&f.pane, "unitToggle")->text(), QStringLiteral("-> mV"));
    f.pane.OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
}

TEST(FixedPane, OfflineShowsTheOfflineTexts) {
    FilledPane f;
    f.document.pollOk = false;
    f.pane.OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
    EXPECT_EQ(f.text("connectionText"), QStringLiteral("Offline."));
    EXPECT_EQ(find<qvx::widgets::RectangularLed>(&f.pane, "connectionLamp")->caption(), QStringLiteral("Offline."));
}

TEST(FixedPane, ShowsTheModeOnlyOnceThePollingThreadReadIt) {
    using qvx::test::waitUntil;
    const auto modeOf = [](qvx::views::CViewFixpart& pane) {
        return find<QLabel>(&pane, "mode")->text();
    };
    {
        CQvx_controllerDoc offline;
        qvx::views::CViewFixpart pane(offline, [](int) {});
        pane.OnInitialUpdate();
        EXPECT_EQ(modeOf(pane), QString());
        pane.OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);  // asks; nobody answers
        EXPECT_TRUE(offline.statusByteWanted.load());
        EXPECT_EQ(modeOf(pane), QString());
    }
    qvx::test::MemoryController controller;
    controller.memory.put(controller.memory.ram, 37, {0x01});
    CQvx_controllerDoc document;
    document.link().setReplyWait(300);
    document.link().setMaxRetry(1);
    ASSERT_TRUE(document.link().connect(controller.peer.port(), "127.0.0.1"));
    ASSERT_TRUE(
        waitUntil([&document] { return document.link().isConnected(); }, std::chrono::seconds(5)));
    qvx::views::CViewFixpart pane(document, [](int) {});
    pane.OnInitialUpdate();
    const auto updates = [&pane](int count) {
        for (int i = 0; i < count; ++i) {
            pane.OnUpdate(nullptr, CQvx_controllerDoc::kHintNewData);
        }
    };
    const auto answered = [&document](std::uint64_t answers) {
        return waitUntil([&] { return document.statusByteAnswers.load() >= answers; }, std::chrono::seconds(5));
    };
    // The first update asks for the status byte; the pane itself sends nothing.
    updates(1);
    EXPECT_TRUE(document.statusByteWanted.load());
    EXPECT_TRUE(controller.peer.requests().empty());
    document.startPolling();
    ASSERT_TRUE(answered(1));
    updates(1);
    EXPECT_EQ(modeOf(pane), QStringLiteral("Modus : Bereich"));
    EXPECT_EQ(document.rangeMode, std::optional<bool>(true));  // the plots' bands follow it

    // It is asked for again with every kModeReadCadence-th update only.
    controller.memory.put(controller.memory.ram, 37, {0x80});
    updates(qvx::views::CViewFixpart::kModeReadCadence - 2);
    EXPECT_FALSE(document.statusByteWanted.load());
    EXPECT_EQ(modeOf(pane), QStringLiteral("Modus : Bereich"));
    updates(1);
    ASSERT_TRUE(answered(2));
    updates(1);
    EXPECT_EQ(modeOf(pane), QStringLiteral("Modus : Schaltpunkt"));
    EXPECT_EQ(document.rangeMode, std::optional<bool>(false));
    {
        const std::lock_guard guard(controller.memory.mutex);
        controller.memory.silent = true;
    }
    updates(qvx::views::CViewFixpart::kModeReadCadence - 1);
    ASSERT_TRUE(answered(3));
    updates(1);
    EXPECT_EQ(modeOf(pane), QString());  // no longer known
    document.stopPolling();
}

TEST(FixedPane, EveryEighthResultAlsoUpdatesTheLowerView) {
    CQvx_controllerDoc document;
    struct Counting : qvx::document::DocumentView {
        int updates = 0;
        void OnUpdate(DocumentView*, int) override { ++updates; }
    } lower;
    document.addView(&lower);
    qvx::views::CViewFixpart pane(document, [](int) {}, [&lower]() -> qvx::document::DocumentView* { return &lower; });
    pane.OnInitialUpdate();
    for (int i = 0; i < 16; ++i) {
        document.newData = true;
        pane.onTimer();
    }
    pane.onTimer();  // no new data: nothing
    EXPECT_EQ(lower.updates, 2);
    document.removeView(&lower);
}

TEST(OperatingState, ThermometerColoursChangeJustPastTheLimits) {
    using qvx::views::CViewZeitGraph;
    EXPECT_EQ(CViewZeitGraph::temperatureColor(70.0F), CViewZeitGraph::kGreen);
    EXPECT_EQ(CViewZeitGraph::temperatureColor(70.1F), CViewZeitGraph::kRed);
    EXPECT_EQ(CViewZeitGraph::temperatureColor(-20.0F), CViewZeitGraph::kGreen);
    EXPECT_EQ(CViewZeitGraph::temperatureColor(-20.1F), CViewZeitGraph::kYellow);
    EXPECT_EQ(CViewZeitGraph::voltageColor(35.0F), CViewZeitGraph::kGreen);
    EXPECT_EQ(CViewZeitGraph::voltageColor(12.0F), CViewZeitGraph::kGreen);
    EXPECT_EQ(CViewZeitGraph::voltageColor(35.1F), CViewZeitGraph::kRed);
    EXPECT_EQ(CViewZeitGraph::voltageColor(11.9F), CViewZeitGraph::kYellow);
}

TEST(OperatingState, TheValueAxisIsInTheDisplayUnitFromTheStart) {
    CQvx_controllerDoc document;  // offline: no polling result ever updates the plot
    const std::array points{qvx::link::CalibrationPoint{0.0F, 50.8F},
                            qvx::link::CalibrationPoint{5000.0F, 0.0F}};
    ASSERT_TRUE(document.link().calibration().applyLoaded({1, 0, 2, 1}, points));
    const auto axisOf = [](qvx::views::CViewZeitGraph& view) -> const qvx::widgets::TimePlotAxis& {
        return find<qvx::widgets::TimePlot>(&view, "plot")->yAxis(qvx::widgets::kGripperAxis);
    };
    qvx::views::CViewZeitGraph millivolts(document);
    millivolts.OnInitialUpdate();
    EXPECT_EQ(axisOf(millivolts).title(), QStringLiteral("Werte in mV"));
    EXPECT_EQ(axisOf(millivolts).min(), 1000.0);

    document.link().calibration().setMode(qvx::link::CalibrationMode::Calibrated);
    qvx::views::CViewZeitGraph lengths(document);
    lengths.OnInitialUpdate();
    EXPECT_EQ(axisOf(lengths).title(), QStringLiteral("Werte in mm"));
    EXPECT_EQ(axisOf(lengths).min(), 0.0);
    EXPECT_NEAR(axisOf(lengths).span(), 1.1 * 50.8, 1e-4);
}

TEST(OperatingState, AHiddenChannelStaysHiddenAfterSwitchingAway) {
    CQvx_controllerDoc document;
    CMainFrame frame(document);
    find<qvx::widgets::RectangularLed>(frame.lowerView(), "toggleChannel0")->click();
    EXPECT_FALSE(document.curveVisible[2]);
    frame.SwitchView(CMainFrame::kService);
    frame.SwitchView(CMainFrame::kOperatingState);
    EXPECT_EQ(find<qvx::widgets::RectangularLed>(frame.lowerView(), "toggleChannel0")->bevelStyle(),
              qvx::widgets::BevelStyle::Raised);
}

TEST(CalibrationShortcuts, ActWhileTheCalibrationViewIsShownWhereverTheFocusIs) {
    CQvx_controllerDoc document;
    qvx::link::CalibrationTable& table = document.link().calibration();
    table.setCount(10);
    for (std::uint32_t p = 1; p <= 10; ++p) {
        ASSERT_TRUE(table.setPoint(p, 500.0F + 400.0F * static_cast<float>(p),
                                   50.0F - 5.0F * static_cast<float>(p)));
    }
    table.setIndex(1);
    document.gripperMv = 2345.67F;
    CMainFrame frame(document);
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    answerNextModal(QStringLiteral("OK"));
    frame.SwitchView(CMainFrame::kCalibration);
    frame.activateWindow();  // back from the warning
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));

    // The user last clicked a button of the fixed pane: the focus is outside the view.
    auto* unitToggle = find<QPushButton>(frame.fixedPane(), "unitToggle");
    const auto pressOnTheFixedPane = [&](Qt::Key key) {
        unitToggle->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), unitToggle);
        QTest::keyClick(unitToggle, key, Qt::ControlModifier);
        QApplication::processEvents();
    };
    pressOnTheFixedPane(Qt::Key_V);
    EXPECT_EQ(table.getIndex(), 2U);
    pressOnTheFixedPane(Qt::Key_Z);
    EXPECT_EQ(table.getIndex(), 1U);
    pressOnTheFixedPane(Qt::Key_L);
    EXPECT_EQ(find<QLineEdit>(frame.lowerView(), "voltage")->text(), QStringLiteral("2345.67"));

    // In another view the keys do nothing to the table.
    frame.SwitchView(CMainFrame::kService);
    pressOnTheFixedPane(Qt::Key_V);
    EXPECT_EQ(table.getIndex(), 1U);
}

TEST(Menu, UnitCheckMarksFollowThePreferenceFromTheStart) {
    CQvx_controllerDoc document;
    document.inchUnit = 1;
    CMainFrame frame(document);
    auto* mm = frame.findChild<QAction*>(QStringLiteral("unitMillimetres"));
    auto* inch = frame.findChild<QAction*>(QStringLiteral("unitTenthInches"));
    EXPECT_TRUE(inch->isChecked());
    EXPECT_FALSE(mm->isChecked());
    mm->trigger();
    EXPECT_EQ(document.inchUnit, 0);
    EXPECT_TRUE(mm->isChecked());
}

TEST(Menu, TheFileMenuOffersToSaveAndRestoreADeviceBackup) {
    CQvx_controllerDoc document;
    CMainFrame frame(document);
    auto* save = frame.findChild<QAction*>(QStringLiteral("saveDeviceBackup"));
    auto* restore = frame.findChild<QAction*>(QStringLiteral("restoreDeviceBackup"));
    ASSERT_NE(save, nullptr);
    ASSERT_NE(restore, nullptr);
    EXPECT_EQ(save->text(), QString::fromUtf8("Gerätesicherung speichern..."));
    EXPECT_EQ(restore->text(), QString::fromUtf8("Gerätesicherung wiederherstellen..."));
    const QList<QAction*> file = frame.menuBar()->actions().first()->menu()->actions();
    EXPECT_TRUE(file.contains(save));
    EXPECT_TRUE(file.contains(restore));
}
