// qvxctl backup, verify, restore and diff as programs against qvx_sim as a program: the round
// trips, refusals and exit codes a script relies on.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/tools/ctl_program_support.h"

using qvx::ctltest::Result;
using qvx::ctltest::slurp;
using qvx::simtest::ChildProcess;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CtlBackup : public testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("qvxctl_backup_" + std::to_string(::getpid()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        // Safety copies of qvxctl restore go here, not into the user's data folder.
        ::setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
    }
    void TearDown() override {
        m_sims.clear();
        ::unsetenv("XDG_DATA_HOME");
        std::filesystem::remove_all(m_dir);
    }

    /// Starts qvx_sim on a free TCP port; "--port N" for qvxctl.
    std::string startSim(const std::vector<std::string>& extra = {}) {
        const int port = qvx::ctltest::startSimulator(m_sims.emplace_back(), extra);
        return "--port " + std::to_string(port) + " --timeout 1000 --retries 2";
    }

    Result ctl(const std::string& arguments) { return qvx::ctltest::runCtl(m_dir, arguments); }

    std::string file(const std::string& name) const { return (m_dir / name).string(); }

    /// Changes thresholds, the over-tolerance and support point 2 of a controller.
    void changeController(const std::string& at) {
        ASSERT_EQ(ctl(at + " input-record 0x9000 0x8000 0x7000 0x6000 0x5000").exitCode, 0);
        ASSERT_EQ(ctl(at + " write-eeprom 352 F0 0F").exitCode, 0);
        ASSERT_EQ(ctl(at + " write-eeprom 108 A0 0F 4E 20").exitCode, 0);
    }

    std::size_t safetyCopies() const {
        const auto folder = m_dir / "data" / "qvx";
        if (!std::filesystem::exists(folder)) {
            return 0;
        }
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                      std::filesystem::directory_iterator()));
    }

    std::filesystem::path m_dir;
    std::vector<std::unique_ptr<ChildProcess>> m_sims;
};

}  // namespace

TEST_F(CtlBackup, VerifyReportsEachChangeAndARestoreWithYesMakesItMatchAgain) {
    const std::string at = startSim();
    const Result saved = ctl(at + " backup " + file("a.qvx"));
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    EXPECT_TRUE(contains(saved.out, "serial number: 42")) << saved.out;
    EXPECT_EQ(ctl(at + " verify " + file("a.qvx")).exitCode, 0);

    changeController(at);
    const Result differ = ctl(at + " verify " + file("a.qvx"));
    EXPECT_EQ(differ.exitCode, 1) << differ.err;
    for (const char* item : {"Schaltschwelle Aus<-->Auf", "Schaltschwelle A<-->Zu", "Übertoleranz",
                             "Stützstelle 2: controller"}) {
        EXPECT_TRUE(contains(differ.out, item)) << item << '\n' << differ.out;
    }
    EXPECT_TRUE(contains(differ.out, "differences: 7")) << differ.out;

    // Without --yes: the differences, exit 1, nothing written and no safety copy.
    const Result refused = ctl(at + " restore " + file("a.qvx"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(contains(refused.err, "give --yes")) << refused.err;
    EXPECT_TRUE(contains(refused.out, "differences: 7"));
    EXPECT_EQ(ctl(at + " verify " + file("a.qvx")).out, differ.out);
    EXPECT_EQ(safetyCopies(), 0U);

    const Result restored = ctl(at + " restore --yes " + file("a.qvx"));
    EXPECT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    EXPECT_TRUE(contains(restored.out, "safety copy: " + (m_dir / "data" / "qvx").string()))
        << restored.out;
    EXPECT_TRUE(contains(restored.out, "Übertoleranz: matches")) << restored.out;
    EXPECT_TRUE(contains(restored.out, "every item matches"));
    EXPECT_EQ(safetyCopies(), 1U);
    EXPECT_EQ(ctl(at + " verify " + file("a.qvx")).exitCode, 0);

    // Without a data folder to write to, nothing is written unless asked for.
    changeController(at);
    ::setenv("XDG_DATA_HOME", (m_dir / "a.qvx" / "below-a-file").c_str(), 1);
    const Result noCopy = ctl(at + " restore --yes " + file("a.qvx"));
    EXPECT_EQ(noCopy.exitCode, 2);
    EXPECT_TRUE(contains(noCopy.err, "--no-safety-copy")) << noCopy.err;
    EXPECT_EQ(ctl(at + " verify " + file("a.qvx")).exitCode, 1);
    EXPECT_EQ(ctl(at + " restore --yes --no-safety-copy " + file("a.qvx")).exitCode, 0);
    EXPECT_EQ(ctl(at + " verify " + file("a.qvx")).exitCode, 0);
    ::setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);

    // The safety copy holds the state the restore replaced.
    const auto copy = *std::filesystem::directory_iterator(m_dir / "data" / "qvx");
    const Result before = ctl("diff " + file("a.qvx") + " " + copy.path().string());
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_TRUE(contains(before.out, "differences: 7")) << before.out;
}

TEST_F(CtlBackup, RestoresOntoASecondControllerWithAnotherSerialNumber) {
    const std::string first = startSim();
    changeController(first);
    ASSERT_EQ(ctl(first + " backup " + file("first.qvx")).exitCode, 0);
    const std::string second = startSim();
    ASSERT_EQ(ctl(second + " write-eeprom 24 2B").exitCode, 0);  // serial number 43

    const Result restored = ctl(second + " restore --yes " + file("first.qvx"));
    EXPECT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    EXPECT_TRUE(contains(restored.out, "note: serial number 43 (controller) and 42 (file)"))
        << restored.out;
    const Result verified = ctl(second + " verify " + file("first.qvx"));
    EXPECT_EQ(verified.exitCode, 0) << verified.out;
    EXPECT_TRUE(contains(ctl(second + " service").out, "serial number: 43"));
}

TEST_F(CtlBackup, AControllerThatStopsAnsweringStopsTheRestoreAndNothingAfterIsWritten) {
    const std::string eeprom = file("eeprom.bin");
    std::string at = startSim({"--eeprom", eeprom});
    ASSERT_EQ(ctl(at + " backup " + file("a.qvx")).exitCode, 0);
    m_sims.clear();

    // The three changes are the last writes it answers; the restore's first write finds it
    // silent.
    at = startSim({"--eeprom", eeprom, "--silent-after-writes", "3"});
    changeController(at);
    const Result stopped = ctl(at + " restore --yes " + file("a.qvx"));
    EXPECT_EQ(stopped.exitCode, 2);
    EXPECT_TRUE(contains(stopped.out, "Kalibriertabelle: FAILED")) << stopped.out;
    EXPECT_TRUE(contains(stopped.out, "Toleranzen: not written")) << stopped.out;
    EXPECT_TRUE(contains(stopped.out, "Schaltschwellen: not written")) << stopped.out;
    EXPECT_TRUE(contains(stopped.err, "stopped at a failed transfer")) << stopped.err;
    EXPECT_EQ(safetyCopies(), 1U);
    m_sims.clear();

    // What the controller kept: the changes, none of the file's values.
    at = startSim({"--eeprom", eeprom});
    const Result kept = ctl(at + " verify " + file("a.qvx"));
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_TRUE(contains(kept.out, "differences: 7")) << kept.out;
}

TEST_F(CtlBackup, ADamagedFileIsAnErrorUnlessItIsTakenKnowingly) {
    const std::string at = startSim();
    ASSERT_EQ(ctl(at + " backup " + file("a.qvx")).exitCode, 0);
    std::string text = slurp(file("a.qvx"));
    text.replace(text.find("Woche=23"), 8, "Woche=24");
    std::ofstream(file("damaged.qvx")) << text;

    for (const std::string command : {"verify", "restore --yes"}) {
        const Result r = ctl(at + " " + command + " " + file("damaged.qvx"));
        EXPECT_EQ(r.exitCode, 2) << command;
        EXPECT_TRUE(contains(r.err, "checksum does not match")) << r.err;
    }
    EXPECT_EQ(safetyCopies(), 0U);
    EXPECT_EQ(ctl(at + " --ignore-checksum verify " + file("damaged.qvx")).exitCode, 0);
    EXPECT_EQ(ctl("diff " + file("a.qvx") + " " + file("damaged.qvx")).exitCode, 2);

    // A plain programming file is no backup.
    std::ofstream(file("plain.qvx")) << "[PROGRAMMIERUNG]\nZu= 3600.00\n";
    const Result plain = ctl(at + " verify " + file("plain.qvx"));
    EXPECT_EQ(plain.exitCode, 2);
    EXPECT_TRUE(contains(plain.err, "not a device backup")) << plain.err;
}

TEST_F(CtlBackup, DiffComparesTwoFilesWithoutAController) {
    const std::string at = startSim();
    ASSERT_EQ(ctl(at + " backup " + file("a.qvx")).exitCode, 0);
    changeController(at);
    ASSERT_EQ(ctl(at + " backup " + file("b.qvx")).exitCode, 0);
    m_sims.clear();

    const Result differ = ctl("diff " + file("a.qvx") + " " + file("b.qvx"));
    EXPECT_EQ(differ.exitCode, 1) << differ.err;
    EXPECT_TRUE(contains(differ.out, "Stützstelle 2: first 1599.51 mV / 24.600 mm, second"))
        << differ.out;
    EXPECT_EQ(ctl("diff " + file("a.qvx") + " " + file("a.qvx")).exitCode, 0);
    EXPECT_EQ(ctl("diff " + file("a.qvx") + " " + file("missing.qvx")).exitCode, 2);
    EXPECT_EQ(ctl("diff " + file("a.qvx")).exitCode, 2);
    // A controller that is not there is an error, not a difference.
    EXPECT_EQ(ctl("--port 1 verify " + file("a.qvx")).exitCode, 2);
}
