#include "connection/client_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/german_locale.h"

using qvx::connection::ReadConnectionSettings;
using qvx::connection::WriteConnectionSettings;
using qvx::link::CalibrationMode;
using qvx::link::DeviceLink;

namespace {

class SettingsFile : public testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("qvx_settings_" + std::to_string(::getpid()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        path = m_dir / "qvx.ini";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    void write(const std::string& text) { std::ofstream(path) << text; }
    std::string read() const {
        std::ifstream in(path);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::filesystem::path path;

private:
    std::filesystem::path m_dir;
};

}  // namespace

TEST_F(SettingsFile, NoFileGivesTheDefaults) {
    DeviceLink link;
    ReadConnectionSettings(link, path);
    EXPECT_EQ(link.host(), "localhost");
    EXPECT_EQ(link.port(), 5101);
    EXPECT_EQ(link.basePort(), 5100);
    EXPECT_TRUE(link.tcpConnection());
    EXPECT_EQ(link.replyWait(), 5000);
    EXPECT_EQ(link.internTimeout(), 5000);
    EXPECT_EQ(link.maxBlockLength(), 32U);
    EXPECT_EQ(link.maxRetry(), 5U);
    EXPECT_FALSE(link.useCrcCheck());
    EXPECT_EQ(link.calibration().getMode(), CalibrationMode::Millivolt);
    EXPECT_EQ(link.modem().initString, "AT&FX0E0\r\n");
    EXPECT_EQ(link.modem().dialString, "ATDT");
    EXPECT_EQ(link.modem().dialTimeout, 40000U);
    EXPECT_EQ(qvx::connection::readInchUnit(path), 0);
}

TEST_F(SettingsFile, ConnectionTypeMustBeTcpipInCapitals) {
    DeviceLink link;
    write("[Globals]\nConnectiontype=tcpip\n");
    ReadConnectionSettings(link, path);
    EXPECT_FALSE(link.tcpConnection());
    write("[globals]\nconnectiontype = TCPIP \n");
    ReadConnectionSettings(link, path);
    EXPECT_TRUE(link.tcpConnection());
}

TEST_F(SettingsFile, BaseUnitSetsTheDisplayModeAndTheInchPreference) {
    struct Case {
        const char* value;
        CalibrationMode mode;
        int inch;
    };
    for (const Case& c : {Case{"inch", CalibrationMode::Calibrated, 1}, Case{"Mm", CalibrationMode::Calibrated, 0},
                          Case{"MV", CalibrationMode::Millivolt, 0}, Case{"furlong", CalibrationMode::Millivolt, 0}}) {
        write(std::string("[Globals]\nBaseUnit=") + c.value + "\n");
        DeviceLink link;
        ReadConnectionSettings(link, path);
        EXPECT_EQ(link.calibration().getMode(), c.mode) << c.value;
        EXPECT_EQ(qvx::connection::readInchUnit(path), c.inch) << c.value;
    }
}

TEST_F(SettingsFile, InitStringGetsCrLfWhenReadAndLosesItWhenWritten) {
    write("[Modem]\nInitstring=ATZ\n");
    DeviceLink link;
    ReadConnectionSettings(link, path);
    EXPECT_EQ(link.modem().initString, "ATZ\r\n");
    ASSERT_TRUE(WriteConnectionSettings(link, path));
    EXPECT_NE(read().find("Initstring=ATZ\n"), std::string::npos) << read();
}

TEST_F(SettingsFile, UnusableBlockLengthAndRetryCountFallBackToTheDefaults) {
    write("[Globals]\nMax_BlockLength=0\nMax_Retry=-1\n");
    DeviceLink link;
    ReadConnectionSettings(link, path);
    EXPECT_EQ(link.maxBlockLength(), 32U);
    EXPECT_EQ(link.maxRetry(), 5U);
    write("[Globals]\nMax_BlockLength=300\nMax_Retry=0\n");
    ReadConnectionSettings(link, path);
    EXPECT_EQ(link.maxBlockLength(), 32U);
    EXPECT_EQ(link.maxRetry(), 0U);
}

TEST_F(SettingsFile, WritingKeepsOtherLinesAndEveryKeyButTheUnit) {
    write("; kept\n[Globals]\nBaseUnit=INCH\nCustom=1\n");
    DeviceLink link;
    ReadConnectionSettings(link, path);
    link.setHost("192.168.100.200");
    link.setPort(6001);
    link.setTcpConnection(false);
    link.setUseCrcCheck(true);
    ASSERT_TRUE(WriteConnectionSettings(link, path));
    const std::string text = read();
    for (const char* expected :
         {"; kept\n", "BaseUnit=INCH\n", "Custom=1\n", "TCP_IP_ADDRESS=192.168.100.200\n", "Port=6001\n",
          "BasePort=5100\n", "RcvTimeOut=5000\n", "InternTimeOut=5000\n", "Max_Retry=5\n", "Max_BlockLength=32\n",
          "UseCrcCheck=1\n", "Dialstring=ATDT\n", "Okstring=OK\n", "Connectstring=CONNECT\n", "Callnumber=\n",
          "InitTimeout=1000\n", "DialTimeout=40000\n", "Connectiontype=MODEM\n", "Initstring=AT&FX0E0\n"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " missing in\n" << text;
    }
    DeviceLink again;
    ReadConnectionSettings(again, path);
    EXPECT_EQ(again.host(), "192.168.100.200");
    EXPECT_FALSE(again.tcpConnection());
    EXPECT_TRUE(again.useCrcCheck());
}

TEST_F(SettingsFile, BaseUnitIsWrittenFromTheModeInForce) {
    ASSERT_TRUE(qvx::connection::writeBaseUnit(path, CalibrationMode::Millivolt, 1));
    EXPECT_NE(read().find("BaseUnit=MV"), std::string::npos);
    ASSERT_TRUE(qvx::connection::writeBaseUnit(path, CalibrationMode::Calibrated, 1));
    EXPECT_NE(read().find("BaseUnit=INCH"), std::string::npos);
    ASSERT_TRUE(qvx::connection::writeBaseUnit(path, CalibrationMode::Calibrated, 0));
    EXPECT_NE(read().find("BaseUnit=MM"), std::string::npos);
}

namespace {

/// A settings store that answers every read with its default and records each call as
/// "read Section/Key" or "write Section/Key=value".
class RecordingStore final : public qvx::connection::SettingsStore {
public:
    mutable std::vector<std::string> calls;

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue, std::size_t) const override {
        note("read", section, key, "");
        return std::string(defaultValue);
    }
    std::int32_t readInt(std::string_view section, std::string_view key,
                         std::int32_t defaultValue) const override {
        note("read", section, key, "");
        return defaultValue;
    }
    bool writeString(std::string_view section, std::string_view key,
                     std::string_view value) const override {
        note("write", section, key, "=" + std::string(value));
        return true;
    }
    bool writeInt(std::string_view section, std::string_view key,
                  std::int64_t value) const override {
        note("write", section, key, "=" + std::to_string(value));
        return true;
    }

private:
    void note(const char* what, std::string_view section, std::string_view key,
              const std::string& value) const {
        calls.push_back(std::string(what) + " " + std::string(section) + "/" + std::string(key) +
                        value);
    }
};

}  // namespace

TEST(SettingsOrder, KeysAreReadInTheOrderOfTheSettingsTable) {
    DeviceLink link;
    const RecordingStore store;
    ReadConnectionSettings(link, store);
    const std::vector<std::string> expected{
        "read Globals/UseCrcCheck",   "read Globals/RcvTimeOut",
        "read Globals/InternTimeOut", "read Globals/TCP_IP_ADDRESS",
        "read Globals/Port",          "read Globals/BasePort",
        "read Globals/Max_Retry",     "read Globals/Max_BlockLength",
        "read Modem/Initstring",      "read Modem/Dialstring",
        "read Modem/Okstring",        "read Modem/Connectstring",
        "read Modem/Callnumber",      "read Modem/InitTimeout",
        "read Modem/DialTimeout",     "read Globals/Connectiontype",
        "read Globals/BaseUnit"};
    EXPECT_EQ(store.calls, expected);
}

TEST(SettingsOrder, KeysAreWrittenInTheirOrderWithConnectiontypeLast) {
    DeviceLink link;
    link.setHost("10.0.0.7");
    link.setPort(5101);
    link.setBasePort(5100);
    link.modem().initString = "ATZ\r\n";
    link.modem().dialString = "ATDT";
    link.modem().callNumber = "0815";
    link.modem().initTimeout = 1000;
    link.modem().dialTimeout = 40000;
    const RecordingStore store;
    ASSERT_TRUE(WriteConnectionSettings(link, store));
    const std::vector<std::string> expected{"write Globals/TCP_IP_ADDRESS=10.0.0.7",
                                            "write Globals/BasePort=5100",
                                            "write Globals/Port=5101",
                                            "write Globals/RcvTimeOut=5000",
                                            "write Globals/InternTimeOut=5000",
                                            "write Globals/Max_Retry=5",
                                            "write Globals/Max_BlockLength=32",
                                            "write Globals/UseCrcCheck=0",
                                            "write Modem/Initstring=ATZ",
                                            "write Modem/Dialstring=ATDT",
                                            "write Modem/Okstring=OK",
                                            "write Modem/Connectstring=CONNECT",
                                            "write Modem/Callnumber=0815",
                                            "write Modem/InitTimeout=1000",
                                            "write Modem/DialTimeout=40000",
                                            "write Globals/Connectiontype=TCPIP"};
    EXPECT_EQ(store.calls, expected);
}

TEST_F(SettingsFile, ANewFileHoldsTheKeysInTheOrderWritten) {
    DeviceLink link;
    ReadConnectionSettings(link, path);
    ASSERT_TRUE(WriteConnectionSettings(link, path));
    EXPECT_EQ(
        read(),
        "[Globals]\nTCP_IP_ADDRESS=localhost\nBasePort=5100\nPort=5101\nRcvTimeOut=5000\n"
        "InternTimeOut=5000\nMax_Retry=5\nMax_BlockLength=32\nUseCrcCheck=0\nConnectiontype=TCPIP\n"
        "\n[Modem]\nInitstring=AT&FX0E0\nDialstring=ATDT\nOkstring=OK\nConnectstring="
        "CONNECT\nCallnumber=\n"
        "InitTimeout=1000\nDialTimeout=40000\n");
}

TEST_F(SettingsFile, NumbersKeepTheirDigitsUnderAGermanLocale) {
    const qvx::test::GermanLocale german;
    ASSERT_TRUE(german.available()) << "no German locale: install the locales package";
    // Both the C library and the streams format the German way now.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5");
    std::ostringstream grouped;
    grouped << 65000;
    ASSERT_EQ(grouped.str(), "65.000");

    DeviceLink link;
    link.setPort(65000);
    link.setBasePort(50000);
    link.setReplyWait(12000);
    link.setInternTimeout(15000);
    link.modem().dialTimeout = 40000;
    ASSERT_TRUE(WriteConnectionSettings(link, path));
    const std::string text = read();
    for (const char* line : {"\nPort=65000\n", "\nBasePort=50000\n", "\nRcvTimeOut=12000\n",
                             "\nInternTimeOut=15000\n", "\nDialTimeout=40000\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " missing in\n" << text;
    }
    DeviceLink again;
    ReadConnectionSettings(again, path);
    EXPECT_EQ(again.port(), 65000);
    EXPECT_EQ(again.basePort(), 50000);
    EXPECT_EQ(again.replyWait(), 12000);
    EXPECT_EQ(again.internTimeout(), 15000);
    EXPECT_EQ(again.modem().dialTimeout, 40000U);
}
