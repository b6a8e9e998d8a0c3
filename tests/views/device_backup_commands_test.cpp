// The device backup commands of the desktop program against the in-process simulated
// controller: the difference table before anything is written, the question and the
// safety copy, the read-back report, and the safety copy before a calibration save.

#include "views/device_backup_commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "document/device_backup.h"
#include "sim/fault_plan.h"
#include "tests/views/view_test_support.h"
#include "views/ui_state.h"
#include "views/view_preferences.h"
#include "views/view_texts.h"

namespace qvx::views {
namespace {

using namespace test;

/// What one modal dialog showed.
struct SeenDialog {
    QString name;      ///< object name of the dialog (or "QMessageBox")
    QString text;      ///< its text
    QString warning;   ///< a backup dialog's warning line
    QStringList rows;  ///< a backup dialog's table, one "cell | cell | ..." line per row
};

/// Answers the modal dialogs that open while it lives, in order: each answer names the button
/// to press by object name ("restore", "cancel", "ok") or, for message boxes, its role.
class DialogScript {
public:
    explicit DialogScript(std::vector<QString> answers) : m_answers(std::move(answers)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(20);
    }
    [[nodiscard]] const std::vector<SeenDialog>& seen() const { return m_seen; }

private:
    void poll() {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (modal == nullptr) {
            return;
        }
        const QString answer =
            m_next < m_answers.size() ? m_answers[m_next] : QStringLiteral("cancel");
        ++m_next;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            m_seen.push_back({QStringLiteral("QMessageBox"), box->text(), {}, {}});
            box->done(answer == QLatin1String("yes")  ? QMessageBox::Yes
                      : answer == QLatin1String("ok") ? QMessageBox::Ok
                                                      : QMessageBox::No);
            return;
        }
        SeenDialog seen{
            modal->objectName(), modal->findChild<QLabel*>(QStringLiteral("text"))->text(), {}, {}};
        if (auto* warning = modal->findChild<QLabel*>(QStringLiteral("warning"))) {
            seen.warning = warning->text();
        }
        auto* table = modal->findChild<QTableWidget*>(QStringLiteral("items"));
        for (int row = 0; row < table->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columnCount(); ++column) {
                cells << table->item(row, column)->text();
            }
            seen.rows << cells.join(QStringLiteral(" | "));
        }
        m_seen.push_back(seen);
        QPushButton* button = modal->findChild<QPushButton*>(answer);
        ASSERT_NE(button, nullptr) << answer.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    std::vector<QString> m_answers;
    std::size_t m_next = 0;
    std::vector<SeenDialog> m_seen;
    QTimer m_timer;
};

std::string readText(const QString& path) {
    std::ifstream in(path.toStdString());
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::size_t filesIn(const std::filesystem::path& folder) {
    if (!std::filesystem::exists(folder)) {
        return 0;
    }
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

/// The commands on a connected document, with file dialogs answered by the test and the
/// safety copies in a folder of their own.
struct Backups {
    Backups() : commands(sim.document, &parent) {
        sim.holdGripper(2300.0);
        commands.setSafetyCopyFolder(safety());
        commands.setFileDialogs([this](QWidget*) { return file; },
                                [this](QWidget*) { return file; });
    }
    [[nodiscard]] std::filesystem::path safety() const {
        return std::filesystem::path(dir.path().toStdString()) / "safety";
    }
    /// Changes two thresholds, the under-tolerance and support point 4 behind the program's back.
    void changeController() {
        sim.writeEeprom(1, {0x90, 0x0F, 0x80, 0x0F});
        sim.writeEeprom(354, {0xF0, 0x0F});
        sim.writeEeprom(104 + 4 * 3, {0x70, 0xAF, 0x27, 0x10});
    }

    SimulatedController sim;
    QTemporaryDir dir;
    QWidget parent;
    DeviceBackupCommands commands;
    QString file = dir.filePath(QStringLiteral("geraet.qvx"));
};

TEST(DeviceBackupCommands, SaveWritesTheWholeControllerAndSaysWhere) {
    Backups b;
    DialogScript script({QStringLiteral("ok")});
    b.commands.save();
    ASSERT_EQ(script.seen().size(), 1U);
    EXPECT_TRUE(script.seen()[0].text.contains(QStringLiteral("Serien Nr. 42")));
    EXPECT_TRUE(script.seen()[0].text.contains(b.file));
    const document::BackupReadResult read = document::parseDeviceBackup(readText(b.file));
    ASSERT_TRUE(read.backup) << read.error;
    EXPECT_TRUE(read.checksumMatches);
    EXPECT_EQ(read.backup->settings.points.size(), 6U);
    EXPECT_EQ(read.backup->identity.programVersion, texts::kProgramVersion);
    EXPECT_TRUE(uiEnabled());
}

TEST(DeviceBackupCommands, RestoreShowsEveryDifferenceAndWritesOnlyAfterConfirming) {
    Backups b;
    {
        DialogScript saved({QStringLiteral("ok")});
        b.commands.save();
    }
    const std::vector<std::uint8_t> saved = b.sim.eeprom();
    b.changeController();
    const std::vector<std::uint8_t> changed = b.sim.eeprom();

    // Cancelled: the table was shown, nothing written, no safety copy.
    {
        DialogScript script({QStringLiteral("cancel")});
        const int writesBefore = b.sim.requestsAt(kWriteEeprom, 1);
        b.commands.restore();
        ASSERT_EQ(script.seen().size(), 1U);
        const SeenDialog& table = script.seen()[0];
        EXPECT_EQ(table.name, QStringLiteral("backupDifferences"));
        EXPECT_TRUE(table.warning.isEmpty());
        ASSERT_EQ(table.rows.size(), 4);
        EXPECT_TRUE(table.rows[0].startsWith(QStringLiteral("Schaltschwelle Aus<-->Auf | ")));
        EXPECT_TRUE(table.rows[2].startsWith(QStringLiteral("Untertoleranz | ")));
        EXPECT_TRUE(table.rows[3].startsWith(QStringLiteral("Stützstelle 4 | ")));
        EXPECT_TRUE(table.rows[3].contains(QStringLiteral("12.800 mm")))
            << table.rows[3].toStdString();
        EXPECT_EQ(b.sim.requestsAt(kWriteEeprom, 1), writesBefore);
        EXPECT_EQ(b.sim.eeprom(), changed);
        EXPECT_EQ(filesIn(b.safety()), 0U);
    }

    // Confirmed: safety copy, writes, and a report of every item read back.
    DialogScript script({QStringLiteral("restore"), QStringLiteral("ok")});
    b.commands.restore();
    ASSERT_EQ(script.seen().size(), 2U);
    const SeenDialog& report = script.seen()[1];
    EXPECT_EQ(report.name, QStringLiteral("backupReport"));
    ASSERT_EQ(filesIn(b.safety()), 1U);
    const auto copy = (*std::filesystem::directory_iterator(b.safety())).path();
    EXPECT_TRUE(report.text.contains(QString::fromStdString(copy.string())))
        << report.text.toStdString();
    EXPECT_TRUE(report.text.startsWith(
        QString::fromUtf8(texts::kBackupRestored).section(QLatin1Char('%'), 0, 0)));
    ASSERT_EQ(report.rows.size(), 4);
    for (const QString& row : report.rows) {
        EXPECT_TRUE(row.endsWith(QString::fromUtf8(texts::kBackupMatches))) << row.toStdString();
    }
    const std::vector<std::uint8_t> now = b.sim.eeprom();
    EXPECT_EQ(std::vector<std::uint8_t>(now.begin(), now.begin() + 11),
              std::vector<std::uint8_t>(saved.begin(), saved.begin() + 11));
    EXPECT_EQ(std::vector<std::uint8_t>(now.begin() + 100, now.begin() + 356),
              std::vector<std::uint8_t>(saved.begin() + 100, saved.begin() + 356));
    // The safety copy holds the state the restore replaced.
    const document::BackupReadResult before =
        document::parseDeviceBackup(readText(QString::fromStdString(copy.string())));
    ASSERT_TRUE(before.backup);
    EXPECT_EQ(before.backup->settings.underTolerance, 0xF00F);
    EXPECT_TRUE(uiEnabled());
}

TEST(DeviceBackupCommands, ShowsTheDifferencesInTheUnitTheProgramShows) {
    Backups b;
    {
        DialogScript saved({QStringLiteral("ok")});
        b.commands.save();
    }
    b.changeController();
    b.sim.document.link().calibration().setMode(link::CalibrationMode::Calibrated);
    b.sim.document.inchUnit = 1;
    DialogScript script({QStringLiteral("cancel")});
    b.commands.restore();
    ASSERT_EQ(script.seen().size(), 1U);
    const QStringList& rows = script.seen()[0].rows;
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_TRUE(rows[0].contains(QStringLiteral("* 1/10 ''"))) << rows[0].toStdString();
    EXPECT_FALSE(rows[0].contains(QStringLiteral("mV"))) << rows[0].toStdString();
}

TEST(DeviceBackupCommands, WarnsWhenTheFileComesFromAnotherController) {
    Backups b;
    {
        DialogScript saved({QStringLiteral("ok")});
        b.commands.save();
    }
    b.changeController();
    b.sim.writeEeprom(24, {43});
    DialogScript script({QStringLiteral("cancel")});
    b.commands.restore();
    ASSERT_EQ(script.seen().size(), 1U);
    EXPECT_EQ(script.seen()[0].warning,
              QString::fromUtf8(texts::kBackupOtherSerial).arg(43).arg(42));
}

TEST(DeviceBackupCommands, ADamagedFileIsRestoredOnlyAfterTheQuestion) {
    Backups b;
    {
        DialogScript saved({QStringLiteral("ok")});
        b.commands.save();
    }
    std::string text = readText(b.file);
    text.replace(text.find("Woche=23"), 8, "Woche=24");
    std::ofstream(b.file.toStdString()) << text;
    b.changeController();
    const int readsBefore = b.sim.requestsAt(kReadEeprom, 1);
    {
        DialogScript script({QStringLiteral("no")});
        b.commands.restore();
        ASSERT_EQ(script.seen().size(), 1U);
        EXPECT_EQ(script.seen()[0].text,
                  QString::fromUtf8(texts::kBackupChecksumQuestion).arg(b.file));
        EXPECT_EQ(b.sim.requestsAt(kReadEeprom, 1),
                  readsBefore);  // the controller is not even read
    }
    DialogScript script({QStringLiteral("yes"), QStringLiteral("restore"), QStringLiteral("ok")});
    b.commands.restore();
    ASSERT_EQ(script.seen().size(), 3U);
    EXPECT_EQ(script.seen()[2].name, QStringLiteral("backupReport"));
    EXPECT_EQ(filesIn(b.safety()), 1U);
}

TEST(DeviceBackupCommands, AFailedTransferIsReportedWithWhatWasAndWasNotWritten) {
    Backups b;
    {
        DialogScript saved({QStringLiteral("ok")});
        b.commands.save();
    }
    b.changeController();
    b.sim.document.link().setReplyWait(100);
    // The calibration table is written, then the controller stops answering.
    b.sim.setFaultPlan(sim::FaultPlan{.writesBeforeSilence = 1U});
    DialogScript script({QStringLiteral("restore"), QStringLiteral("ok")});
    b.commands.restore();
    ASSERT_EQ(script.seen().size(), 2U);
    const SeenDialog& report = script.seen()[1];
    EXPECT_TRUE(report.text.contains(QStringLiteral("abgebrochen"))) << report.text.toStdString();
    EXPECT_TRUE(report.text.contains(QStringLiteral("\"Toleranzen\"")))
        << report.text.toStdString();
    EXPECT_EQ(report.rows, (QStringList{QStringLiteral("Kalibriertabelle | geschrieben"),
                                        QStringLiteral("Toleranzen | fehlgeschlagen"),
                                        QStringLiteral("Schaltschwellen | nicht geschrieben")}));
    const std::vector<std::uint8_t> now = b.sim.eeprom();
    EXPECT_EQ(std::vector<std::uint8_t>(now.begin() + 1, now.begin() + 5),
              (std::vector<std::uint8_t>{0x90, 0x0F, 0x80, 0x0F}));
}

TEST(DeviceBackupCommands, WritesNothingWhenTheSafetyCopyCannotBeSaved) {
    Backups b;
    {
        DialogScript saved({QStringLiteral("ok")});
        b.commands.save();
    }
    b.changeController();
    const std::vector<std::uint8_t> changed = b.sim.eeprom();
    // A folder below a plain file cannot be made.
    std::ofstream(b.dir.filePath(QStringLiteral("plain")).toStdString()) << "x";
    b.commands.setSafetyCopyFolder(std::filesystem::path(b.dir.path().toStdString()) / "plain" /
                                   "qvx");
    DialogScript script({QStringLiteral("restore"), QStringLiteral("ok")});
    b.commands.restore();
    ASSERT_EQ(script.seen().size(), 2U);
    EXPECT_EQ(script.seen()[1].name, QStringLiteral("QMessageBox"));
    EXPECT_TRUE(script.seen()[1].text.contains(QStringLiteral("Es wurde nichts geschrieben")));
    EXPECT_EQ(b.sim.eeprom(), changed);
}

TEST(DeviceBackupCommands, DoNothingWhileTheUiIsBusy) {
    Backups b;
    const int before = b.sim.requestCount();
    {
        const UiBusyScope busy;
        b.commands.save();
        b.commands.restore();
    }
    EXPECT_EQ(b.sim.requestCount(), before);
    EXPECT_FALSE(QFile::exists(b.file));
}

TEST(CalibrationSave, SavesASafetyCopyFirstAndNothingWithoutOne) {
    SimulatedController sim;
    Messages messages;
    CViewPreferences view(sim.document);
    view.setMessageSink(messages.sink());
    view.OnInitialUpdate();
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(dataHome, nullptr);
    const std::filesystem::path folder = std::filesystem::path(dataHome) / "qvx";
    const std::size_t before = filesIn(folder);
    QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("save")), Qt::LeftButton);
    EXPECT_EQ(filesIn(folder), before + 1);
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_GE(sim.requestsAt(kWriteEeprom, 100), 1);

    const int headerWrites = sim.requestsAt(kWriteEeprom, 100);
    view.setSafetyCopy([](QString& failure) {
        failure = QStringLiteral("kein Platz");
        return false;
    });
    QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("save")), Qt::LeftButton);
    EXPECT_EQ(sim.requestsAt(kWriteEeprom, 100), headerWrites);
    EXPECT_EQ(
        messages.texts,
        std::vector<QString>{
            QString::fromUtf8(texts::kCalSafetyCopyFailed).arg(QStringLiteral("kein Platz"))});
}

}  // namespace
}  // namespace qvx::views
