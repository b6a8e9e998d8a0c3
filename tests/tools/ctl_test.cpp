#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/memory_controller.h"
#include "tools/ctl_commands.h"
#include "tools/ctl_options.h"

using namespace std::chrono_literals;
using qvx::tools::CtlOptions;
using qvx::tools::parseCtlOptions;
using qvx::tools::parseNumber;
using qvx::test::Bytes;

namespace {

std::optional<CtlOptions> parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
    std::string error;
    auto options = parseCtlOptions(args, error);
    if (errorOut != nullptr) {
        *errorOut = error;
    }
    return options;
}

}  // namespace

TEST(CtlOptions, NumbersAreDecimalOrHexadecimalWithinTheirRange) {
    EXPECT_EQ(parseNumber("5101", 0, 65535), 5101);
    EXPECT_EQ(parseNumber("0x1500", 0, 65535), 0x1500);
    EXPECT_EQ(parseNumber("0XfF", 0, 255), 255);
    EXPECT_FALSE(parseNumber("0x", 0, 10));
    EXPECT_FALSE(parseNumber("12a", 0, 1000));
    EXPECT_FALSE(parseNumber("256", 0, 255));
    EXPECT_FALSE(parseNumber("", 0, 255));
    EXPECT_FALSE(parseNumber("99999999999999999999999", 0, 255));
}

TEST(CtlOptions, ReadsConnectionSettingsCommandAndArguments) {
    const auto options = parse({"--host", "10.0.0.7", "--port", "5101", "--block-length", "8", "--retries", "0",
                                "--timeout", "250", "--crc-check", "read-eeprom", "0x64", "4"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->host, "10.0.0.7");
    EXPECT_EQ(options->port, 5101);
    EXPECT_EQ(options->blockLength, 8U);
    EXPECT_EQ(options->retries, 0U);
    EXPECT_EQ(options->timeoutMs, 250);
    EXPECT_TRUE(options->crcCheck);
    EXPECT_EQ(options->command, "read-eeprom");
    EXPECT_EQ(options->arguments, (std::vector<std::string>{"0x64", "4"}));
}

TEST(CtlOptions, RefusesWhatItCannotCarryOutWithAReason) {
    std::string error;
    EXPECT_FALSE(parse({"status"}, &error));
    EXPECT_NE(error.find("--port"), std::string::npos);
    EXPECT_FALSE(parse({"--port", "5101"}, &error));
    EXPECT_NE(error.find("no command"), std::string::npos);
    EXPECT_FALSE(parse({"--port", "5101", "frobnicate"}, &error));
    EXPECT_FALSE(parse({"--port", "5101", "--block-length", "0", "status"}, &error));
    EXPECT_NE(error.find("--block-length"), std::string::npos);
    EXPECT_FALSE(parse({"--port", "5101", "record"}, &error));
    EXPECT_FALSE(parse({"--port"}, &error));
    EXPECT_FALSE(parse({"--port", "5101", "--bogus", "status"}, &error));
    EXPECT_TRUE(parse({"--help"}));
}

TEST(CtlOptions, BackupCommandsTakeTheirFlagsAndOnlyDiffWorksWithoutAPort) {
    const auto restore = parse({"--port", "5101", "restore", "a.qvx", "--yes", "--ignore-checksum"});
    ASSERT_TRUE(restore);
    EXPECT_TRUE(restore->yes);
    EXPECT_TRUE(restore->ignoreChecksum);
    EXPECT_EQ(restore->arguments, std::vector<std::string>{"a.qvx"});
    EXPECT_FALSE(parse({"--port", "5101", "restore", "a.qvx"})->yes);
    EXPECT_TRUE(parse({"diff", "a.qvx", "b.qvx"}));
    std::string error;
    EXPECT_FALSE(parse({"verify", "a.qvx"}, &error));
    EXPECT_NE(error.find("--port"), std::string::npos);
}

TEST(CtlOutput, HexDumpsAndHexBytes) {
    EXPECT_EQ(qvx::tools::hexDump(Bytes{0x0A, 0xFF, 0x00}), "0A FF 00");
    EXPECT_EQ(qvx::tools::hexDump(Bytes{}), "");
    const std::vector<std::string> good{"0a", "FF", "00"};
    EXPECT_EQ(qvx::tools::parseHexBytes(good), (Bytes{0x0A, 0xFF, 0x00}));
    const std::vector<std::string> bad{"0a", "F"};
    EXPECT_FALSE(qvx::tools::parseHexBytes(bad));
    const std::vector<std::string> worse{"0x1"};
    EXPECT_FALSE(qvx::tools::parseHexBytes(worse));
}

namespace {

struct Session {
    Session() {
        link.setReplyWait(200);
        link.setMaxRetry(2);
        EXPECT_TRUE(link.connect(controller.peer.port(), "127.0.0.1"));
        EXPECT_TRUE(qvx::test::waitUntil([this] { return link.isConnected(); }, 5s));
    }
    std::string run(std::vector<std::string> args, bool expectOk = true) {
        args.insert(args.begin(), {"--port", "1"});
        std::string error;
        const auto options = parseCtlOptions(args, error);
        EXPECT_TRUE(options) << error;
        std::ostringstream out;
        const bool ok = qvx::tools::runCtlCommand(link, *options, out, error);
        EXPECT_EQ(ok, expectOk) << error;
        return ok ? out.str() : error;
    }
    qvx::test::MemoryController controller;
    qvx::link::DeviceLink link;
};

}  // namespace

TEST(CtlCommands, ReadAndWriteMemoryAsHexBytes) {
    Session s;
    EXPECT_EQ(s.run({"write-eeprom", "0x64", "01", "00", "02", "01"}), "");
    EXPECT_EQ(s.controller.memory.get(s.controller.memory.eeprom, 100, 4), (Bytes{1, 0, 2, 1}));
    EXPECT_EQ(s.run({"read-eeprom", "100", "4"}), "01 00 02 01\n");
    EXPECT_EQ(s.run({"write-ram", "37", "41"}), "");
    EXPECT_EQ(s.run({"read-ram", "0x25", "1"}), "41\n");
}

TEST(CtlCommands, StatusPrintsEveryFigureAsNameValueLines) {
    Session s;
    auto& memory = s.controller.memory;
    memory.put(memory.ram, 6, {0x18});
    memory.put(memory.ram, 32, {0x80, 0x0F, 61, 0, 83});
    memory.put(memory.eeprom, 21, {0x03});
    const std::string out = s.run({"status"});
    EXPECT_NE(out.find("output status: 0x18\n"), std::string::npos) << out;
    EXPECT_NE(out.find("supply voltage: 12.00 V\n"), std::string::npos) << out;
    EXPECT_NE(out.find("temperature: 15.5 °C\n"), std::string::npos) << out;
    EXPECT_NE(out.find("gripper value: 2499.39 mV\n"), std::string::npos) << out;
    EXPECT_NE(out.find("limit flags: 0x03\n"), std::string::npos) << out;
    EXPECT_NE(out.find("switch point 5: "), std::string::npos) << out;
}

TEST(CtlCommands, InputRecordWritesFiveWordsBigEndian) {
    Session s;
    const std::string out = s.run({"input-record", "0x800F", "1", "2", "3", "0xFFFF"});
    EXPECT_EQ(s.controller.memory.get(s.controller.memory.eeprom, 1, 10), (Bytes{0x80, 0x0F, 0, 1, 0, 2, 0, 3, 0xFF, 0xFF}));
    EXPECT_NE(out.find("input value 1: 0x800F"), std::string::npos) << out;
    EXPECT_NE(s.run({"input-record", "1", "2"}, false).find("five"), std::string::npos);
    EXPECT_NE(s.run({"input-record", "1", "2", "3", "4", "70000"}, false).find("70000"), std::string::npos);
}

TEST(CtlCommands, RecordWritesTheThreeChannelsAsCsv) {
    Session s;
    auto& memory = s.controller.memory;
    Bytes outputs(1280);
    for (std::size_t i = 0; i < 640; ++i) {
        outputs[2 * i + 1] = static_cast<std::uint8_t>(i % 5 + 1);
    }
    memory.put(memory.eeprom, 3556, outputs);
    memory.put(memory.eeprom, 356, Bytes(1280, 0xFF));  // 0 mV
    const auto file = std::filesystem::temp_directory_path() / "qvxctl_record_test.csv";
    s.run({"record", "--csv", file.string()});
    std::ifstream csv(file);
    std::string header;
    std::getline(csv, header);
    EXPECT_EQ(header, "time_ms,gripper_mV,ub_V,outputs");
    std::vector<std::string> lines;
    for (std::string line; std::getline(csv, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 640U);
    EXPECT_EQ(lines[0], "0,0.00,0.593,1");  // an all-zero supply word: 12 - 61 * 256 / 1369 V
    EXPECT_EQ(lines[639].substr(0, 6), "19170,");
    EXPECT_EQ(lines[639].back(), '5');
    std::filesystem::remove(file);
}

TEST(CtlCommands, ASilentControllerFailsWithAReason) {
    Session s;
    s.controller.memory.put(s.controller.memory.eeprom, 0, {});
    EXPECT_FALSE(s.run({"read-eeprom", "0x17FF", "2"}, false).empty());
}
