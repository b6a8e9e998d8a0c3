// qvxctl as a program against qvx_sim as a program: what a script or a service technician
// sees on the command line.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/tools/ctl_program_support.h"

using namespace std::chrono_literals;
using qvx::ctltest::Result;
using qvx::simtest::ChildProcess;

namespace {

class CtlProgram : public testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("qvxctl_e2e_" + std::to_string(::getpid()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    /// Starts qvx_sim on a free TCP port and returns that port.
    int startSim(const std::vector<std::string>& extra = {}) {
        return qvx::ctltest::startSimulator(m_sim, extra);
    }

    Result ctl(const std::string& arguments) { return qvx::ctltest::runCtl(m_dir, arguments); }

    std::filesystem::path m_dir;
    std::unique_ptr<ChildProcess> m_sim;
};

}  // namespace

TEST_F(CtlProgram, StatusShowsTheLiveValuesOfTheSimulator) {
    const int port = startSim();
    const Result r = ctl("--port " + std::to_string(port) + " status");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.err.empty());
    EXPECT_NE(r.out.find("supply voltage: 2"), std::string::npos) << r.out;  // about 24 V
    EXPECT_NE(r.out.find("temperature: 3"), std::string::npos) << r.out;     // about 35 °C
    EXPECT_NE(r.out.find("switch point 5: "), std::string::npos) << r.out;
}

TEST_F(CtlProgram, WhatIsWrittenReadsBackInHexadecimal) {
    const int port = startSim();
    const std::string at = "--port " + std::to_string(port);
    ASSERT_EQ(ctl(at + " --block-length 2 write-eeprom 0x700 DE AD BE EF 01").exitCode, 0);
    const Result r = ctl(at + " read-eeprom 0x700 5");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "DE AD BE EF 01\n");
    const Result service = ctl(at + " service");
    EXPECT_NE(service.out.find("serial number: "), std::string::npos);
}

TEST_F(CtlProgram, ARecordingIsMadeAndWrittenAsCsv) {
    const int port = startSim({"--fast-recording"});
    const auto csv = m_dir / "record.csv";
    const Result r = ctl("--port " + std::to_string(port) + " record --start --csv " + csv.string());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::ifstream in(csv);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 641U);
    EXPECT_EQ(lines[0], "time_ms,gripper_mV,ub_V,outputs");
    EXPECT_EQ(lines[640].substr(0, 6), "19170,");
    // The simulator records a supply near 24 V: every sample must say so.
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::stringstream fields(lines[i]);
        std::string time, gripper, ub;
        std::getline(fields, time, ',');
        std::getline(fields, gripper, ',');
        std::getline(fields, ub, ',');
        ASSERT_NEAR(std::stod(ub), 24.0, 0.5) << lines[i];
    }
}

TEST_F(CtlProgram, ASilentControllerFailsWithinTheRetryBudget) {
    const int port = startSim({"--silent"});
    const auto start = std::chrono::steady_clock::now();
    const Result r = ctl("--port " + std::to_string(port) + " --timeout 200 --retries 3 read-ram 32 2");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("qvxctl: "), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(CtlProgram, NoControllerIsOneLineOnStandardError) {
    int port = 0;
    {
        port = startSim();
        m_sim.reset();
    }
    const Result r = ctl("--port " + std::to_string(port) + " status");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("cannot connect"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST_F(CtlProgram, DamagedConfirmsAreReportedOnStandardError) {
    // A damaged length byte can swallow the frames after it: enough attempts to come through.
    const std::string read = " --timeout 200 --retries 20 --block-length 4 read-eeprom 0 64";
    const Result truth = ctl("--port " + std::to_string(startSim()) + read);
    ASSERT_EQ(truth.exitCode, 0) << truth.err;
    EXPECT_TRUE(truth.err.empty()) << truth.err;  // sound frames: no word about checksums

    const std::string at = "--port " + std::to_string(startSim({"--corrupt", "0.2"}));
    const Result taken = ctl(at + read);
    EXPECT_NE(taken.err.find("received frames had a wrong checksum; taken as they came"),
              std::string::npos)
        << taken.err;
    EXPECT_NE(taken.err.find("--crc-check"), std::string::npos);
    const Result checked = ctl(at + " --crc-check" + read);
    ASSERT_EQ(checked.exitCode, 0) << checked.err;
    EXPECT_NE(checked.err.find("had a wrong checksum and were dropped"), std::string::npos)
        << checked.err;
    EXPECT_EQ(checked.out, truth.out);  // what checking lets through is what the memory holds
}

TEST_F(CtlProgram, ABadCommandLineIsRefusedWithAReason) {
    const Result r = ctl("--port 1 read-eeprom nonsense");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(ctl("--help").exitCode, 0);
}
