#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <ostream>

#include "launcher_test_support.h"
#include "setup/installer_launch.h"
#include "setup/language_setup_dlg.h"
#include "setup/launcher_texts.h"

using namespace std::chrono_literals;
using namespace qvx::setup;
using namespace qvx::setup::test;

namespace {

struct Dialog {
    explicit Dialog(QLocale::Language userLanguage)
        : translation(installLauncherTranslation(userLanguage)) {
        german = dialog.findChild<QRadioButton*>(QStringLiteral("germanRadio"));
        english = dialog.findChild<QRadioButton*>(QStringLiteral("englishRadio"));
        ok = dialog.findChild<QPushButton*>(QStringLiteral("okButton"));
        cancel = dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"));
    }
    // The string table must be active before the dialog reads its texts.
    std::unique_ptr<QTranslator> translation;
    CLanguageSetupDlg dialog;
    QRadioButton* german = nullptr;
    QRadioButton* english = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
};

struct PresetCase {
    const char* name;
    QLocale::Language userLanguage;
    Language preset;
    const char* cancelText;
};

void PrintTo(const PresetCase& c, std::ostream* os) {
    *os << c.name;
}

class LauncherPreset : public ::testing::TestWithParam<PresetCase> {};

TEST_P(LauncherPreset, FollowsTheStringTableOfTheUserLanguage) {
    const PresetCase& c = GetParam();
    Dialog d(c.userLanguage);
    ASSERT_NE(d.translation, nullptr);
    ASSERT_TRUE(d.german && d.english && d.ok && d.cancel);
    EXPECT_EQ(d.dialog.language(), c.preset);
    EXPECT_EQ(d.german->isChecked(), c.preset == Language::German);
    EXPECT_EQ(d.english->isChecked(), c.preset == Language::English);
    EXPECT_EQ(d.cancel->text(), QString::fromUtf8(c.cancelText));
    EXPECT_EQ(d.ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(d.german->text(), QStringLiteral("deutsche Installation"));
    EXPECT_EQ(d.english->text(), QStringLiteral("english installation"));
    EXPECT_EQ(germanFolderName(), QStringLiteral("deutsch"));
    EXPECT_EQ(englishFolderName(), QStringLiteral("english"));
}

INSTANTIATE_TEST_SUITE_P(
    UserLanguages, LauncherPreset,
    ::testing::Values(PresetCase{"German", QLocale::German, Language::German, "Abbrechen"},
                      PresetCase{"English", QLocale::English, Language::English, "Cancel"},
                      PresetCase{"French", QLocale::French, Language::English, "Cancel"}),
    [](const ::testing::TestParamInfo<PresetCase>& param) {
        return std::string(param.param.name);
    });

TEST(LauncherPreset, MarkerReadsGermanOnlyForGer) {
    EXPECT_EQ(presetLanguage(QStringLiteral("GER")), Language::German);
    EXPECT_EQ(presetLanguage(QStringLiteral("ger")), Language::German);
    EXPECT_EQ(presetLanguage(QStringLiteral("ENG")), Language::English);
    EXPECT_EQ(presetLanguage(QStringLiteral("GERMAN")), Language::English);
    EXPECT_EQ(presetLanguage(QString()), Language::English);
}

TEST(LanguageSetupDialog, HasNoTitleTheProgramIconAndOneGroupGermanAbove) {
    Dialog d(QLocale::German);
    d.dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d.dialog));
    EXPECT_TRUE(d.dialog.windowTitle().trimmed().isEmpty());
    EXPECT_FALSE(d.dialog.windowTitle().isEmpty());  // an empty one would show the program name
    EXPECT_FALSE(d.dialog.windowIcon().isNull());
    EXPECT_TRUE(d.ok->isDefault());
    EXPECT_LT(d.german->geometry().top(), d.english->geometry().top());
    ASSERT_NE(d.german->group(), nullptr);
    EXPECT_EQ(d.german->group(), d.english->group());
    QTest::mouseClick(d.english, Qt::LeftButton);
    EXPECT_FALSE(d.german->isChecked());
    EXPECT_EQ(d.dialog.language(), Language::English);
}

TEST(Launcher, EnglishChosenOnAGermanSystemStartsTheEnglishInstallerInItsFolder) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    // The program's folder lies deeper than the 200 characters a fixed buffer would hold.
    const QString programDir = makeLongFolder(temp.path());
    ASSERT_GT(programDir.size(), 300);
    const QString record = temp.filePath(QStringLiteral("record"));
    ASSERT_TRUE(writeStandInInstaller(programDir + QStringLiteral("/english"), record));
    ASSERT_TRUE(writeStandInInstaller(programDir + QStringLiteral("/deutsch"),
                                      temp.filePath(QStringLiteral("wrong"))));

    Dialog d(QLocale::German);
    d.dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d.dialog));
    ASSERT_EQ(d.dialog.language(), Language::German);
    QTest::mouseClick(d.english, Qt::LeftButton);
    QTest::mouseClick(d.ok, Qt::LeftButton);
    EXPECT_EQ(d.dialog.result(), QDialog::Accepted);

    EXPECT_TRUE(
        finishLauncher(d.dialog.result(), d.dialog.language(), programDir, startInstallerDetached));
    const auto lines = waitForRecord(record, 10s);
    ASSERT_TRUE(lines.has_value()) << "the stand-in installer did not run";
    ASSERT_EQ(lines->size(), 2);
    EXPECT_EQ(lines->at(0), canonical(programDir + QStringLiteral("/english")));
    EXPECT_EQ(lines->at(1), QStringLiteral("0"));  // no arguments
    EXPECT_FALSE(QFileInfo::exists(temp.filePath(QStringLiteral("wrong"))));
}

TEST(Launcher, OkStartsSetupExeOfTheChosenLanguageWithItsFolderAsWorkingDirectory) {
    Dialog d(QLocale::English);
    QString program;
    QString workingDirectory;
    const auto capture = [&](const QString& p, const QString& w) {
        program = p;
        workingDirectory = w;
        return true;
    };
    EXPECT_TRUE(
        finishLauncher(QDialog::Accepted, Language::German, QStringLiteral("/medium"), capture));
    EXPECT_EQ(program, QStringLiteral("/medium/deutsch/setup.exe"));
    EXPECT_EQ(workingDirectory, QStringLiteral("/medium/deutsch"));
    EXPECT_TRUE(
        finishLauncher(QDialog::Accepted, Language::English, QStringLiteral("/medium/"), capture));
    EXPECT_EQ(program, QStringLiteral("/medium/english/setup.exe"));
    EXPECT_EQ(workingDirectory, QStringLiteral("/medium/english"));
}

TEST(Launcher, CancelStartsNothing) {
    Dialog d(QLocale::English);
    d.dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d.dialog));
    QTest::mouseClick(d.cancel, Qt::LeftButton);
    EXPECT_EQ(d.dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(d.dialog.isVisible());
    int starts = 0;
    const auto count = [&starts](const QString&, const QString&) {
        ++starts;
        return true;
    };
    EXPECT_FALSE(finishLauncher(d.dialog.result(), d.dialog.language(), QDir::tempPath(), count));
    EXPECT_EQ(starts, 0);
}

TEST(Launcher, MissingInstallerIsAQuietFailure) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    EXPECT_FALSE(
        finishLauncher(QDialog::Accepted, Language::English, temp.path(), startInstallerDetached));
    // Present but not executable: the start fails the same way.
    ASSERT_TRUE(QDir(temp.path()).mkdir(QStringLiteral("english")));
    QFile installer(temp.filePath(QStringLiteral("english/setup.exe")));
    ASSERT_TRUE(installer.open(QIODevice::WriteOnly));
    installer.write("MZ");
    installer.close();
    EXPECT_FALSE(
        finishLauncher(QDialog::Accepted, Language::English, temp.path(), startInstallerDetached));
}

}  // namespace
