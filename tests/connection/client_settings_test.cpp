#include "connection/client_settings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>

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
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};
}  // namespace

TEST_F(SettingsFile, NumbersSurviveAGermanLocale) {
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    DeviceLink link;
    link.setPort(65000);
    link.setReplyWait(12000);
    ASSERT_TRUE(WriteConnectionSettings(link, path));
    DeviceLink again;
    ReadConnectionSettings(again, path);
    std::locale::global(previous);
    EXPECT_EQ(again.port(), 65000);
    EXPECT_EQ(again.replyWait(), 12000);
    EXPECT_NE(read().find("Port=65000\n"), std::string::npos);
}
