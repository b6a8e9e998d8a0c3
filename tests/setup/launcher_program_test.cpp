// Runs the built qvxsetup as a user would: in a virtual X display, answering its dialog with
// the Return key (the default button OK).
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <functional>

#include "launcher_test_support.h"
#include "tests/support/virtual_display.h"

using namespace std::chrono_literals;
using namespace qvx::setup::test;
using qvx::test::VirtualDisplay;

namespace {

constexpr int kDeadlineMs = 20000;

// Copies the built launcher into `folder`, as it would sit on an installation medium.
QString installLauncher(const QString& folder) {
    const QString target = QDir(folder).filePath(QStringLiteral("qvxsetup"));
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(QVX_SETUP_PROGRAM), target) ||
        !QFile::setPermissions(
            target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        return {};
    }
    return target;
}

class LauncherProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        ASSERT_FALSE(xdotool.isEmpty()) << "xdotool is missing: run scripts/install-deps.sh";
        ASSERT_FALSE(display.name().isEmpty()) << "Xvfb did not start: run scripts/install-deps.sh";
    }

    QProcessEnvironment environment(const QString& language) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display.name());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("LANGUAGE"));
        env.remove(QStringLiteral("LC_MESSAGES"));
        env.insert(QStringLiteral("LC_ALL"), language);
        env.insert(QStringLiteral("LANG"), language);
        return env;
    }

    // Runs the launcher, hands its window to `onWindow`, presses Return in it and returns its
    // exit code (-1 when it crashed or did not end in time).
    int runAndPressReturn(const QString& program, const QString& language,
                          const std::function<void(const QString&)>& onWindow = {}) {
        QProcess launcher;
        launcher.setProcessEnvironment(environment(language));
        launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        launcher.start(program, {});
        if (!launcher.waitForStarted(kDeadlineMs)) {
            ADD_FAILURE() << "qvxsetup did not start";
            return -1;
        }
        const QString window = findWindow(launcher.processId());
        if (window.isEmpty()) {
            ADD_FAILURE() << "the launcher's window did not appear";
        } else {
            if (onWindow) {
                onWindow(window);
            }
            // The key goes straight to the dialog's window (there is no window manager to
            // activate it). A press that arrives before the dialog takes keys is lost, so press
            // again until the launcher ends or the deadline passes.
            QDeadlineTimer deadline(kDeadlineMs);
            while (!deadline.hasExpired()) {
                (void)runXdotool({QStringLiteral("key"), QStringLiteral("--window"), window,
                                  QStringLiteral("Return")});
                if (launcher.waitForFinished(300)) {
                    break;
                }
            }
        }
        if (launcher.state() != QProcess::NotRunning && !launcher.waitForFinished(kDeadlineMs)) {
            launcher.kill();
            launcher.waitForFinished(5000);
            ADD_FAILURE() << "qvxsetup did not end after OK";
            return -1;
        }
        return launcher.exitStatus() == QProcess::NormalExit ? launcher.exitCode() : -1;
    }

    QString runXdotool(const QStringList& arguments) const { return display.xdotool(arguments); }

    // The id of the visible top-level window of process `pid`, waiting for it to appear.
    QString findWindow(qint64 pid) const {
        const QStringList ids = runXdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                            QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--pid"), QString::number(pid),
                                            QStringLiteral("--class"), QStringLiteral("qvxsetup")})
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return ids.value(0);
    }

    QTemporaryDir temp;
    VirtualDisplay display;
    QString xdotool;
};

TEST_F(LauncherProgram, EndsQuietlyWithExitCodeZeroWhenSetupExeIsMissing) {
    const QString medium = temp.filePath(QStringLiteral("medium"));
    ASSERT_TRUE(QDir().mkpath(medium + QStringLiteral("/english")));
    const QString program = installLauncher(medium);
    ASSERT_FALSE(program.isEmpty());
    EXPECT_EQ(runAndPressReturn(program, QStringLiteral("en_GB.UTF-8")), 0);
}

TEST_F(LauncherProgram, TheWindowCarriesNoTitle) {
    // Without a title of its own the window would be named after the program.
    const QString medium = temp.filePath(QStringLiteral("medium"));
    ASSERT_TRUE(QDir().mkpath(medium));
    const QString program = installLauncher(medium);
    ASSERT_FALSE(program.isEmpty());
    QString title = QStringLiteral("(not read)");
    EXPECT_EQ(runAndPressReturn(program, QStringLiteral("de_DE.UTF-8"),
                                [&](const QString& window) {
                                    title = runXdotool({QStringLiteral("getwindowname"), window});
                                }),
              0);
    EXPECT_TRUE(title.isEmpty()) << title.toStdString();
}

TEST_F(LauncherProgram, OnAGermanSystemStartsTheGermanInstallerFromALongFolder) {
    const QString medium = makeLongFolder(temp.path());
    ASSERT_GT(medium.size(), 300);
    const QString record = temp.filePath(QStringLiteral("record"));
    ASSERT_TRUE(writeStandInInstaller(medium + QStringLiteral("/deutsch"), record));
    const QString program = installLauncher(medium);
    ASSERT_FALSE(program.isEmpty());

    EXPECT_EQ(runAndPressReturn(program, QStringLiteral("de_DE.UTF-8")), 0);
    const auto lines = waitForRecord(record, 10s);
    ASSERT_TRUE(lines.has_value()) << "the stand-in installer did not run";
    ASSERT_EQ(lines->size(), 2);
    EXPECT_EQ(lines->at(0), canonical(medium + QStringLiteral("/deutsch")));
    EXPECT_EQ(lines->at(1), QStringLiteral("0"));
}

}  // namespace
