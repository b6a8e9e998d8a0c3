#include "document/device_backup.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "document/backup_diff.h"
#include "document/programming_file.h"
#include "link/calibration_table.h"
#include "tests/support/german_locale.h"

using namespace qvx::document;
using qvx::link::CalibrationMode;
using qvx::link::CalibrationTable;

namespace {

std::uint16_t rawOf(float mv) {
    std::uint16_t raw = 0;
    EXPECT_TRUE(CalibrationTable::mvToRaw(mv, raw));
    return raw;
}

/// A backup as a controller with three support points gives it.
DeviceBackup sample() {
    DeviceBackup b;
    b.programming.thresholds = {"1100.00", "1500.00", "2300.00", "3100.00", "3600.00"};
    b.programming.underTolerance = "50";
    b.programming.overTolerance = "50";
    b.programming.unit = ProgrammingUnit::Millivolt;
    DeviceSettings& s = b.settings;
    s.thresholds = {rawOf(1100), rawOf(1500), rawOf(2300), rawOf(3100), rawOf(3600)};
    s.statusByte = 0x80;
    s.underTolerance = rawOf(50);
    s.overTolerance = rawOf(60);
    s.calibrationHeader = {1, 1, 3, 2};
    s.points = {{rawOf(1000), 30000}, {rawOf(2500), 15250}, {rawOf(4000), 0}};
    s.pointTable = {rawOf(4000), rawOf(2500), rawOf(1000)};
    s.underSpanTable = {rawOf(50), rawOf(50)};
    s.overSpanTable = {rawOf(60), rawOf(60)};
    b.identity = {
        42, 23, 2024, "2026-12-09T09:15:00+01:00", "qvx_controller 1.0", "192.168.1.20:5101"};
    return b;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

void expectSame(const DeviceBackup& a, const DeviceBackup& b) {
    EXPECT_EQ(a.settings, b.settings);
    EXPECT_EQ(a.identity.serialNumber, b.identity.serialNumber);
    EXPECT_EQ(a.identity.week, b.identity.week);
    EXPECT_EQ(a.identity.year, b.identity.year);
    EXPECT_EQ(a.identity.savedAt, b.identity.savedAt);
    EXPECT_EQ(a.identity.programVersion, b.identity.programVersion);
    EXPECT_EQ(a.identity.gateway, b.identity.gateway);
    EXPECT_EQ(a.programming.thresholds, b.programming.thresholds);
    EXPECT_EQ(a.programming.rangeMode, b.programming.rangeMode);
}

}  // namespace

TEST(Crc32, MatchesTheKnownAnswerOfTheIeeeChecksum) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926U);
    EXPECT_EQ(crc32(""), 0U);
}

TEST(DeviceBackupText, StartsWithTheProgrammingFileAndReadsBackWhole) {
    const DeviceBackup backup = sample();
    const std::string text = deviceBackupText(backup);
    EXPECT_TRUE(text.starts_with(programmingFileText(backup.programming))) << text;
    EXPECT_NE(text.find("[KALIBRIERUNG]\nVersion=1\nModus=1\nAnzahl=3\nAuswahl=2\n"),
              std::string::npos)
        << text;
    // Every support point as raw word and micrometres, then in mV and mm.
    EXPECT_NE(text.find("Punkt2=0x"), std::string::npos);
    EXPECT_NE(text.find(" 15250 2499.39 15.250\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Statusbyte=0x80\n"), std::string::npos);
    EXPECT_NE(text.find("Seriennummer=42\nWoche=23\nJahr=2024\n"), std::string::npos);
    EXPECT_NE(text.find("Gateway=192.168.1.20:5101\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n"));

    const BackupReadResult read = parseDeviceBackup(text);
    ASSERT_TRUE(read.backup) << read.error;
    EXPECT_TRUE(read.checksumMatches);
    expectSame(*read.backup, backup);
}

TEST(DeviceBackupText, IsReadByTheProgrammingFileReaderAsAProgramming) {
    const DeviceBackup backup = sample();
    const std::optional<Programming> programming = parseProgrammingFile(deviceBackupText(backup));
    ASSERT_TRUE(programming);
    EXPECT_EQ(programming->thresholds, backup.programming.thresholds);
    EXPECT_EQ(programming->underTolerance, "50");
    EXPECT_FALSE(programming->rangeMode);
    EXPECT_EQ(programming->unit, ProgrammingUnit::Millivolt);
}

TEST(DeviceBackupText, AnEraseCountByteHoldsNoPoints) {
    DeviceBackup backup = sample();
    backup.settings.calibrationHeader = {255, 255, 255, 255};
    backup.settings.points.clear();
    backup.settings.pointTable.clear();
    backup.settings.underSpanTable.clear();
    backup.settings.overSpanTable.clear();
    const BackupReadResult read = parseDeviceBackup(deviceBackupText(backup));
    ASSERT_TRUE(read.backup) << read.error;
    EXPECT_EQ(read.backup->settings, backup.settings);
    EXPECT_EQ(pointCountOf(0), 0U);
    EXPECT_EQ(pointCountOf(62), 62U);
    EXPECT_EQ(pointCountOf(63), 0U);
}

TEST(ParseDeviceBackup, TellsAHandEditedOrDamagedFileFromASoundOne) {
    const std::string text = deviceBackupText(sample());
    // A changed value, a removed checksum, a changed checksum: the backup is still there.
    for (const std::string& damaged :
         {replaced(text, "Woche=23", "Woche=24"), text.substr(0, text.find("[PRUEFSUMME]")),
          replaced(text, "CRC32=", "CRC32=1")}) {
        const BackupReadResult read = parseDeviceBackup(damaged);
        ASSERT_TRUE(read.backup) << read.error;
        EXPECT_FALSE(read.checksumMatches) << damaged;
    }
    // Line ends changed by an editor are no damage.
    std::string crlf;
    for (const char c : text) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_TRUE(parseDeviceBackup(crlf).checksumMatches);
}

TEST(ParseDeviceBackup, RefusesAProgrammingFileAndValuesThatDoNotReadWithAReason) {
    const BackupReadResult plain = parseDeviceBackup(programmingFileText(sample().programming));
    EXPECT_FALSE(plain.backup);
    EXPECT_NE(plain.error.find("programming file"), std::string::npos) << plain.error;
    EXPECT_FALSE(parseDeviceBackup("").backup);

    const std::string text = deviceBackupText(sample());
    const std::size_t at = text.find("Eingangsspeicher=");
    const std::string shortRecord =
        text.substr(0, text.find(' ', at)) + text.substr(text.find('\n', at));
    const BackupReadResult record = parseDeviceBackup(shortRecord);
    EXPECT_FALSE(record.backup);
    EXPECT_NE(record.error.find("Eingangsspeicher holds 1 words, not 5"), std::string::npos)
        << record.error;

    const BackupReadResult point = parseDeviceBackup(replaced(text, "Punkt3=0x", "Punkt3=zz"));
    EXPECT_FALSE(point.backup);
    EXPECT_NE(point.error.find("Punkt3"), std::string::npos) << point.error;

    // A count that promises more points than the file lists.
    const BackupReadResult count = parseDeviceBackup(replaced(text, "Anzahl=3", "Anzahl=4"));
    EXPECT_FALSE(count.backup);
    EXPECT_NE(count.error.find("Punkt4 is missing"), std::string::npos) << count.error;
}

TEST(DeviceBackupText, IsWrittenAndReadInTheCLocaleUnderAGermanLocale) {
    const std::string english = deviceBackupText(sample());
    const qvx::test::GermanLocale german;
    ASSERT_TRUE(german.available());
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5");
    const std::string text = deviceBackupText(sample());
    EXPECT_EQ(text, english);
    const BackupReadResult read = parseDeviceBackup(text);
    ASSERT_TRUE(read.backup) << read.error;
    EXPECT_TRUE(read.checksumMatches);
    expectSame(*read.backup, sample());
}

TEST(LocalTimestamp, IsIso8601WithTheOffsetInItsExtendedForm) {
    const std::string stamp = localTimestamp();
    ASSERT_EQ(stamp.size(), 25U) << stamp;
    EXPECT_EQ(stamp[10], 'T');
    EXPECT_TRUE(stamp[19] == '+' || stamp[19] == '-') << stamp;
    EXPECT_EQ(stamp[22], ':') << stamp;
}

TEST(CompareSettings, ListsEveryChangedItemWithBothValues) {
    const DeviceSettings controller = sample().settings;
    DeviceSettings file = controller;
    file.thresholds[1] = rawOf(1600);
    file.overTolerance = rawOf(80);
    file.points[1].micrometres = 15000;  // the same voltage, another length
    file.overSpanTable[0] = rawOf(80);
    file.statusByte = 0x81;
    const auto differences = compareSettings(controller, file, {});
    ASSERT_EQ(differences.size(), 5U);
    EXPECT_EQ(itemName(differences[0].item), "Schaltschwelle Auf<-->C");
    EXPECT_EQ(differences[0].left, "1499.39 mV");
    EXPECT_EQ(differences[0].right, "1599.51 mV");
    EXPECT_EQ(itemName(differences[1].item), "Betriebsart");
    EXPECT_EQ(differences[1].left, "Schaltpunkt");
    EXPECT_EQ(differences[1].right, "Bereich");
    EXPECT_EQ(itemName(differences[2].item), "Übertoleranz");
    EXPECT_EQ(itemName(differences[3].item), "Stützstelle 2");
    EXPECT_EQ(differences[3].left, "2499.39 mV / 15.250 mm");
    EXPECT_EQ(differences[3].right, "2499.39 mV / 15.000 mm");
    EXPECT_EQ(itemName(differences[4].item), "Übertoleranztabelle der QVX, Eintrag 1");
}

TEST(CompareSettings, IgnoresTheRecordingBitsAndShowsMissingPoints) {
    const DeviceSettings controller = sample().settings;
    DeviceSettings file = controller;
    file.statusByte = 0xE0;  // recording bits only
    EXPECT_TRUE(compareSettings(controller, file, {}).empty());

    file.calibrationHeader[2] = 4;
    file.points.push_back({rawOf(4500), 0});
    const auto differences = compareSettings(controller, file, {});
    ASSERT_EQ(differences.size(), 2U);
    EXPECT_EQ(itemName(differences[0].item), "Kalibrierung: Anzahl Stützstellen");
    EXPECT_EQ(differences[0].left, "3");
    EXPECT_EQ(differences[0].right, "4");
    EXPECT_EQ(itemName(differences[1].item), "Stützstelle 4");
    EXPECT_EQ(differences[1].left, "fehlt");
}

TEST(CompareSettings, ShowsPositionsInTheLengthUnitOfTheTableItIsGiven) {
    CalibrationTable table;
    table.setCount(2);
    ASSERT_TRUE(table.setPoint(1, 1000.0F, 40.0F));
    ASSERT_TRUE(table.setPoint(2, 3000.0F, 20.0F));
    table.setMode(CalibrationMode::Calibrated);
    const DeviceSettings controller = sample().settings;
    DeviceSettings file = controller;
    file.thresholds[0] = rawOf(2000);
    const auto mm = compareSettings(controller, file, {&table, 0});
    ASSERT_EQ(mm.size(), 1U);
    EXPECT_NE(mm[0].right.find(" mm"), std::string::npos) << mm[0].right;
    EXPECT_EQ(mm[0].right.substr(0, 2), "30");
    const auto inch = compareSettings(controller, file, {&table, 1});
    EXPECT_NE(inch[0].right.find("1/10 ''"), std::string::npos) << inch[0].right;
    table.setMode(CalibrationMode::Millivolt);
    EXPECT_NE(compareSettings(controller, file, {&table, 1})[0].right.find("mV"),
              std::string::npos);
}

TEST(CheckReadBack, ReportsEachRestoredItemAndAnyOtherThatDiffersNow) {
    const DeviceSettings before = sample().settings;
    DeviceSettings wanted = before;
    wanted.thresholds[0] = rawOf(1200);
    wanted.underTolerance = rawOf(40);
    const auto restored = compareSettings(before, wanted, {});
    ASSERT_EQ(restored.size(), 2U);

    EXPECT_TRUE(allMatch(checkReadBack(restored, wanted, wanted, {})));

    DeviceSettings readBack = wanted;
    readBack.underTolerance = before.underTolerance;  // did not persist
    readBack.pointTable[2] = rawOf(900);              // changed by something else
    const auto checks = checkReadBack(restored, wanted, readBack, {});
    ASSERT_EQ(checks.size(), 3U);
    EXPECT_TRUE(checks[0].matches);
    EXPECT_FALSE(checks[1].matches);
    EXPECT_EQ(itemName(checks[1].item), "Untertoleranz");
    EXPECT_EQ(checks[1].wanted, "39.07 mV");
    EXPECT_FALSE(checks[2].matches);
    EXPECT_EQ(itemName(checks[2].item), "Stützstellentabelle der QVX, Eintrag 3");
    EXPECT_FALSE(allMatch(checks));
}
