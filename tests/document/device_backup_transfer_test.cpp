// The device backup against the in-process simulated controller: reading it whole, restoring
// it, a transfer failing in the middle, and the safety copies.

#include "document/device_backup_transfer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "document/safety_copy.h"
#include "platform/ini_file.h"
#include "sim/factory_eeprom.h"
#include "sim/sim_server.h"
#include "tests/support/memory_controller.h"
#include "tests/support/scripted_peer.h"

using namespace qvx;
using namespace qvx::document;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::uint16_t rawOf(float mv) {
    std::uint16_t raw = 0;
    EXPECT_TRUE(link::CalibrationTable::mvToRaw(mv, raw));
    return raw;
}

Bytes wordBytes(std::uint16_t word) {
    return {static_cast<std::uint8_t>(word >> 8U), static_cast<std::uint8_t>(word)};
}

/// The simulated controller on a loopback port and a link connected to it with short waits.
class Simulator {
public:
    Simulator() : m_server(sim::ServerConfig{}) {
        std::string error;
        EXPECT_TRUE(m_server.start(error)) << error;
        link.setReplyWait(300);
        link.setMaxRetry(1);
        link.setHost("127.0.0.1");
        link.setPort(m_server.port());
        EXPECT_TRUE(link.connectWithStoredSettings());
        EXPECT_TRUE(test::waitUntil([this] { return link.isConnected(); }, 5s));
    }

    void write(sim::Area area, std::uint32_t address, const Bytes& bytes) {
        m_server.withController([&](sim::Controller& controller) {
            EXPECT_TRUE(controller.write(area, address, bytes, std::chrono::steady_clock::now()));
        });
    }
    [[nodiscard]] Bytes eeprom(std::uint32_t address, std::size_t count) const {
        const Bytes all = m_server.eeprom();
        const auto first = all.begin() + static_cast<std::ptrdiff_t>(address);
        return {first, first + static_cast<std::ptrdiff_t>(count)};
    }
    [[nodiscard]] std::uint8_t status() {
        std::uint8_t value = 0;
        m_server.withController([&](sim::Controller& c) { value = c.ram()[37]; });
        return value;
    }
    void setFaultPlan(const sim::FaultPlan& plan) { m_server.setFaultPlan(plan); }
    [[nodiscard]] int port() const { return m_server.port(); }

    /// Changes thresholds, a tolerance, a support point and the mode behind the link's back.
    void changeSettings() {
        write(sim::Area::Eeprom, 3, wordBytes(rawOf(1700)));              // Auf<-->C
        write(sim::Area::Eeprom, 352, wordBytes(rawOf(90)));              // over-tolerance
        write(sim::Area::Eeprom, 104 + 4 * 2, {0x12, 0x34, 0x4A, 0x38});  // support point 3
        write(sim::Area::Ram, 37, {0x21});                                // range mode, bit 5
    }

    link::DeviceLink link;

private:
    sim::SimServer m_server;
};

DeviceBackup backupOf(Simulator& sim) {
    DeviceBackup backup;
    std::string failedPart;
    EXPECT_TRUE(readDeviceBackup(sim.link, "test 1.0", 0, backup, failedPart)) << failedPart;
    return backup;
}

std::vector<std::string> namesOf(const std::vector<BackupDifference>& differences) {
    std::vector<std::string> names;
    for (const BackupDifference& d : differences) {
        names.push_back(itemName(d.item));
    }
    return names;
}

struct TempFolder {
    TempFolder()
        : path(std::filesystem::temp_directory_path() /
               ("qvx_backup_test_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(path);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

}  // namespace

TEST(DeviceBackupTransfer, ReadsEveryCellAndTheIdentityOfTheController) {
    Simulator sim;
    const DeviceBackup backup = backupOf(sim);
    const DeviceSettings& s = backup.settings;
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(wordBytes(s.thresholds[k]), sim.eeprom(1 + 2 * static_cast<std::uint32_t>(k), 2));
    }
    const Bytes header = sim.eeprom(100, 4);
    EXPECT_EQ(Bytes(s.calibrationHeader.begin(), s.calibrationHeader.end()), header);
    ASSERT_EQ(s.points.size(), sim::factory::kCalibration.size());
    EXPECT_EQ(s.points[5].micrometres, 0);
    EXPECT_EQ(s.points[0].micrometres, 30000);
    EXPECT_EQ(s.pointTable.size(), 6U);
    EXPECT_EQ(s.pointTable[0], s.points[5].raw);  // last point first
    EXPECT_EQ(s.underSpanTable.size(), 5U);
    EXPECT_EQ(wordBytes(s.overTolerance), sim.eeprom(352, 2));
    EXPECT_EQ(wordBytes(s.underTolerance), sim.eeprom(354, 2));
    EXPECT_EQ(backup.identity.serialNumber, sim::factory::kSerial);
    EXPECT_EQ(backup.identity.week, sim::factory::kWeek);
    EXPECT_EQ(backup.identity.year, 2000 + sim::factory::kYear);
    EXPECT_EQ(backup.identity.gateway, "127.0.0.1:" + std::to_string(sim.port()));
    EXPECT_EQ(backup.programming.thresholds[0],
              formatFixed(link::CalibrationTable::rawToMv(s.thresholds[0])));
    EXPECT_EQ(backup.programming.unit, ProgrammingUnit::Millivolt);
}

TEST(DeviceBackupTransfer, ChangesShowAsDifferencesAndARestoreBringsThemBack) {
    Simulator sim;
    const DeviceBackup saved = backupOf(sim);
    sim.changeSettings();
    const DeviceBackup changed = backupOf(sim);
    const auto differences = compareSettings(changed.settings, saved.settings, {});
    EXPECT_EQ(namesOf(differences),
              (std::vector<std::string>{"Schaltschwelle Auf<-->C", "Betriebsart", "Übertoleranz",
                                        "Stützstelle 3"}));

    const RestoreWriteResult written = writeDeviceSettings(sim.link, saved.settings, differences);
    EXPECT_TRUE(written.complete());
    ASSERT_EQ(written.parts.size(), 4U);
    EXPECT_EQ(written.parts[0].name, "Kalibriertabelle");
    EXPECT_EQ(written.parts[3].name, "Betriebsart");

    DeviceSettings readBack;
    std::string failedPart;
    ASSERT_TRUE(readDeviceSettings(sim.link, readBack, failedPart)) << failedPart;
    const auto checks = checkReadBack(differences, saved.settings, readBack, {});
    EXPECT_EQ(checks.size(), 4U);
    EXPECT_TRUE(allMatch(checks));
    EXPECT_TRUE(compareSettings(readBack, saved.settings, {}).empty());
    // Switch-point mode again; the recording bit the controller set is kept, bit 7 set.
    EXPECT_EQ(sim.status(), 0xA0);
}

TEST(DeviceBackupTransfer, RestoresOntoAnotherControllerAndKeepsItsSerialNumber) {
    Simulator first;
    first.changeSettings();
    const DeviceBackup saved = backupOf(first);
    Simulator second;
    second.write(sim::Area::Eeprom, 24, {43});
    const DeviceBackup before = backupOf(second);
    EXPECT_NE(before.identity.serialNumber, saved.identity.serialNumber);
    const auto differences = compareSettings(before.settings, saved.settings, {});
    ASSERT_FALSE(differences.empty());
    EXPECT_TRUE(writeDeviceSettings(second.link, saved.settings, differences).complete());
    const DeviceBackup after = backupOf(second);
    EXPECT_TRUE(compareSettings(after.settings, saved.settings, {}).empty());
    EXPECT_EQ(after.identity.serialNumber, 43);
}

TEST(DeviceBackupTransfer, AFailedTransferStopsTheRestoreAndNothingAfterItIsWritten) {
    Simulator sim;
    const DeviceBackup saved = backupOf(sim);
    sim.changeSettings();
    const DeviceBackup changed = backupOf(sim);
    const auto differences = compareSettings(changed.settings, saved.settings, {});
    // The calibration table goes through, then the controller stops answering.
    sim.setFaultPlan(sim::FaultPlan{.writesBeforeSilence = 1U});
    const RestoreWriteResult written = writeDeviceSettings(sim.link, saved.settings, differences);
    EXPECT_FALSE(written.complete());
    using Outcome = RestorePart::Outcome;
    ASSERT_EQ(written.parts.size(), 4U);
    EXPECT_EQ(written.parts[0].outcome, Outcome::Written);
    EXPECT_EQ(written.parts[1].name, "Toleranzen");
    EXPECT_EQ(written.parts[1].outcome, Outcome::Failed);
    EXPECT_EQ(written.parts[2].outcome, Outcome::NotWritten);
    EXPECT_EQ(written.parts[3].outcome, Outcome::NotWritten);
    const StoredPoint third = saved.settings.points[2];
    EXPECT_EQ(sim.eeprom(104 + 4 * 2, 4), (Bytes{static_cast<std::uint8_t>(third.raw >> 8U),
                                                 static_cast<std::uint8_t>(third.raw),
                                                 static_cast<std::uint8_t>(third.micrometres >> 8U),
                                                 static_cast<std::uint8_t>(third.micrometres)}));
    EXPECT_EQ(sim.eeprom(352, 2), wordBytes(rawOf(90)));  // the failed part: untouched
    EXPECT_EQ(sim.eeprom(3, 2), wordBytes(rawOf(1700)));
    EXPECT_EQ(sim.status(), 0x21);
}

TEST(DeviceBackupTransfer, AWriteConfirmedButNotKeptShowsInTheReadBackCheck) {
    // A controller that confirms every write but drops the over-tolerance cell.
    test::ControllerMemory memory;
    test::ScriptedPeer peer([&memory](const link::LinkMessage& request, int) {
        if (request.code == 4 && request.address == 352) {
            return test::ScriptedPeer::confirm(request);
        }
        return memory.serve(request);
    });
    link::DeviceLink link;
    link.setReplyWait(300);
    link.setMaxRetry(1);
    ASSERT_TRUE(link.connect(peer.port(), "127.0.0.1"));
    ASSERT_TRUE(test::waitUntil([&link] { return link.isConnected(); }, 5s));

    DeviceSettings before;
    std::string failedPart;
    ASSERT_TRUE(readDeviceSettings(link, before, failedPart)) << failedPart;
    DeviceSettings wanted = before;
    wanted.thresholds[0] = rawOf(1200);
    wanted.overTolerance = rawOf(70);
    const auto differences = compareSettings(before, wanted, {});
    ASSERT_EQ(differences.size(), 2U);
    EXPECT_TRUE(writeDeviceSettings(link, wanted, differences).complete());

    DeviceSettings readBack;
    ASSERT_TRUE(readDeviceSettings(link, readBack, failedPart)) << failedPart;
    const auto checks = checkReadBack(differences, wanted, readBack, {});
    ASSERT_EQ(checks.size(), 2U);
    EXPECT_EQ(itemName(checks[0].item), "Schaltschwelle Aus<-->Auf");
    EXPECT_TRUE(checks[0].matches);
    EXPECT_EQ(itemName(checks[1].item), "Übertoleranz");
    EXPECT_FALSE(checks[1].matches);
    EXPECT_FALSE(allMatch(checks));
}

TEST(SafetyCopy, KeepsTheNewestTwentyOfEachControllerAndReadsBackSound) {
    TempFolder folder;
    DeviceBackup backup;
    backup.identity.serialNumber = 7;
    std::string error;
    DeviceBackup other;
    other.identity.serialNumber = 8;
    other.identity.week = 99;
    ASSERT_TRUE(saveSafetyCopy(other, folder.path, error)) << error;
    std::optional<std::filesystem::path> last;
    for (int i = 0; i < 23; ++i) {
        backup.identity.week = i;
        last = saveSafetyCopy(backup, folder.path, error);
        ASSERT_TRUE(last) << error;
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), kSafetyCopiesKept + 1);
    EXPECT_TRUE(names.front().starts_with("qvx_SN007_")) << names.front();
    EXPECT_TRUE(names.back().starts_with("qvx_SN008_")) << names.back();
    EXPECT_EQ(std::filesystem::status(folder.path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    std::error_code code;
    const auto text = platform::loadTextFile(*last, code);
    ASSERT_TRUE(text);
    const BackupReadResult read = parseDeviceBackup(*text);
    ASSERT_TRUE(read.backup) << read.error;
    EXPECT_TRUE(read.checksumMatches);
    EXPECT_EQ(read.backup->identity.week, 22);  // the newest survives
    // The oldest of controller 7 went: week 0, 1 and 2 are gone.
    for (const std::string& name : names) {
        const auto kept = platform::loadTextFile(folder.path / name, code);
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->find("Woche=0\n"), std::string::npos) << name;
    }
}

TEST(SafetyCopy, LivesInTheXdgDataFolderOrUnderHome) {
    const char* savedData = std::getenv("XDG_DATA_HOME");
    const std::string keep = savedData != nullptr ? savedData : "";
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(safetyCopyFolder(), std::filesystem::path("/srv/data/qvx"));
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(safetyCopyFolder(), std::filesystem::path(home) / ".local/share/qvx");
    if (savedData != nullptr) {
        ::setenv("XDG_DATA_HOME", keep.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
    EXPECT_EQ(safetyCopyName(42, "20261209T081500.250Z"), "qvx_SN042_20261209T081500.250Z.qvx");
}
