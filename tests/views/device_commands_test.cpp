// Commands that talk to the controller stay inert while another operation has the user
// interface busy (the connection procedure dialling a modem, a recording transfer).

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "document/programming_file.h"
#include "tests/views/view_test_support.h"
#include "views/ui_state.h"
#include "views/view_aufnahme.h"
#include "views/view_preferences.h"
#include "views/view_programmierung.h"
#include "views/view_zeit_graph.h"

namespace qvx::views {
namespace {

using namespace test;

/// Closes every modal window that appears while it lives, and counts them.
struct ModalCloser {
    ModalCloser() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++seen;
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    dialog->reject();
                } else {
                    modal->close();
                }
            }
        });
        timer.start(20);
    }
    QTimer timer;
    int seen = 0;
};

/// Every lower view that has commands, on a document connected to the simulated controller,
/// and the commands' buttons by name.
struct AllViews {
    AllViews() {
        sim.holdGripper(2300.0);  // inside the working-memory points: tolerances stay in order
        sim.document.supervisorMode = true;
        recording.setTiming({.pollStep = std::chrono::milliseconds(5)});
        recording.setMessageSink(messages.sink());
        calibration.setMessageSink(messages.sink());
        programming.setFileDialogs(
            {[this](QWidget*) { return dir.filePath(QStringLiteral("gesichert")); },
             [this](QWidget*) { return restoreFile(); }});
        for (CValidForm* view : std::initializer_list<CValidForm*>{&operating, &recording,
                                                                   &calibration, &programming}) {
            view->OnInitialUpdate();
            view->resize(900, 420);
            view->show();
        }
    }
    /// A programming in millivolts whose thresholds fall in the controller's order.
    QString restoreFile() {
        document::Programming p;
        p.thresholds = {"1100.00", "1500.00", "2300.00", "3100.00", "3600.00"};
        p.underTolerance = "10";
        p.overTolerance = "10";
        const QString path = dir.filePath(QStringLiteral("wieder.qvx"));
        std::ofstream(path.toStdString()) << document::programmingFileText(p);
        return path;
    }
    /// The buttons of every command that talks to the controller.
    std::vector<std::pair<std::string, QWidget*>> commands() {
        const auto of = [](QWidget& view, const char* name) -> QWidget* {
            return view.findChild<QWidget*>(QString::fromLatin1(name));
        };
        return {
            {"Werte zurücksetzen", of(operating, "resetValues")},
            {"Aufnahme starten", of(recording, "startRecording")},
            {"bestehende Aufnahme neu einlesen", of(recording, "rereadRecording")},
            {"Kalibrierungsdaten im QVX sichern", of(calibration, "save")},
            {"Werte in QVX übernehmen", of(programming, "writeValues")},
            {"Schaltpunkt", of(programming, "switchPointMode")},
            {"Bereich", of(programming, "rangeMode")},
            {"Toleranzprogrammierung", of(programming, "programTolerances")},
            {"Programmierung sichern", of(programming, "saveProgramming")},
            {"Programmierung wieder einlesen", of(programming, "restoreProgramming")},
        };
    }

    SimulatedController sim;
    QTemporaryDir dir;
    Messages messages;
    CViewZeitGraph operating{sim.document};
    CViewAufnahme recording{sim.document};
    CViewPreferences calibration{sim.document};
    CViewProgrammierung programming{sim.document};
};

TEST(DeviceCommands, NoneSendsAnythingWhileTheUiIsBusyAndEachSendsOnceItIsNot) {
    AllViews views;
    const auto commands = views.commands();
    {
        ModalCloser closer;
        const UiBusyScope busy;
        for (const auto& [name, button] : commands) {
            ASSERT_NE(button, nullptr) << name;
            const int before = views.sim.requestCount();
            QTest::mouseClick(button, Qt::LeftButton);
            settle();
            EXPECT_EQ(views.sim.requestCount(), before) << name << " sent while busy";
        }
        EXPECT_EQ(closer.seen, 0);
    }
    EXPECT_TRUE(views.messages.texts.empty());

    // The same clicks reach the controller once the user interface is free again.
    ModalCloser closer;
    for (const auto& [name, button] : commands) {
        const int before = views.sim.requestCount();
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
        EXPECT_GT(views.sim.requestCount(), before) << name << " sent nothing";
    }
    EXPECT_TRUE(uiEnabled());
}

TEST(DeviceCommands, CommandsThatStayOnThePcWorkWhileTheUiIsBusy) {
    AllViews views;
    const UiBusyScope busy;
    // Channel toggles and the calibration view's stepping only change what the PC shows.
    QTest::mouseClick(views.operating.findChild<QWidget*>(QStringLiteral("toggleChannel0")),
                      Qt::LeftButton);
    EXPECT_FALSE(views.sim.document.curveVisible[2]);
    const std::uint32_t index = views.sim.document.link().calibration().getIndex();
    QTest::mouseClick(views.calibration.findChild<QPushButton*>(QStringLiteral("next")),
                      Qt::LeftButton);
    settle();
    EXPECT_EQ(views.sim.document.link().calibration().getIndex(), index + 1);
}

}  // namespace
}  // namespace qvx::views
