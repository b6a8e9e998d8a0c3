#include "gateway/config_check.h"

#include <gtest/gtest.h>

#include <string>

#include "gateway_test_support.h"
#include "pty_pair.h"

using qvx::gateway::checkConfiguration;
using qvx::gateway::ConfigReport;
using qvx::gateway::frameText;
using qvx::gateway::GatewaySettings;
using qvx::gateway::test::Pty;
using qvx::gateway::test::TempDir;
using qvx::gateway::test::writeTextFile;

namespace {

ConfigReport checkFile(const TempDir& dir, const std::string& text) {
    writeTextFile(dir.path() / "qvx_gateway.ini", text);
    GatewaySettings settings;
    settings.ConfigureStores(dir.path() / "qvx_gateway.ini", dir.path() / "registry.ini", false);
    return checkConfiguration(settings);
}

}  // namespace

TEST(FrameText, GivesDataBitsParityLetterAndStopBits) {
    EXPECT_EQ(frameText(8, 0, 0), "8N1");
    EXPECT_EQ(frameText(7, 2, 2), "7E2");
    EXPECT_EQ(frameText(5, 1, 1), "5O1.5");
    EXPECT_EQ(frameText(8, 3, 0), "8M1");
    EXPECT_EQ(frameText(6, 4, 0), "6S1");
    EXPECT_EQ(frameText(9, 7, 5), "9??");
}

// Every channel with its port, device, line and options; the device is looked at but not
// opened, and a missing one is no problem.
TEST(ConfigCheck, DescribesEveryChannelAndOpensNothing) {
    const TempDir dir;
    const Pty pty;
    const std::string missing = (dir.path() / "unplugged").string();
    const ConfigReport report =
        checkFile(dir,
                  "[Globals]\nBasePortAddress=6100\nPorts=2\nSecured=1\nPassword=geheim\n"
                  "[Port1]\nCOMPort=" +
                      pty.slavePath() +
                      "\nBaudRate=19200\nByteSize=7\nParity=EVENPARITY\nStopBits=TWOSTOPBITS"
                      "\nIdleTimeout=300\nTrace=/var/log/port1.trace\n"
                      "[Port2]\nCOMPort=" +
                      missing + "\n");
    EXPECT_TRUE(report.usable);
    EXPECT_EQ(report.text,
              "Settings: " + (dir.path() / "qvx_gateway.ini").string() +
                  "\n"
                  "Login port: 6100 on 127.0.0.1\n"
                  "Secured: on, Password of 6 bytes\n"
                  "Channels: 2\n"
                  "Channel 1: data port 6101, COMPort " +
                  pty.slavePath() + " (" + pty.slavePath() +
                  ", present), 19200 bit/s 7E2, IdleTimeout 300 s, Trace /var/log/port1.trace\n"
                  "Channel 2: data port 6102, COMPort " +
                  missing + " (" + missing +
                  ", missing, waited for), 9600 bit/s 8N1, IdleTimeout off, Trace off\n"
                  "The settings are usable.\n");
    EXPECT_FALSE(pty.slaveOpen());
}

// What would keep a listener or a channel from working, or security from being as written.
TEST(ConfigCheck, NamesEachProblemAndCallsTheSettingsUnusable) {
    struct Case {
        std::string text;
        std::string problem;
    };
    const Case cases[] = {
        {"[Globals]\nBasePortAddress=0\nPorts=0\n",
         "Problem: the login port lies outside 1 to 65535\n"},
        {"[Globals]\nPorts=0\n", "Problem: no channel is configured\n"},
        {"[Globals]\nSecured=on\n",
         "Problem: Secured \"on\" is no number; the passphrase check counts as on\n"},
        {"[Globals]\nSecured=1\nPassword=" + std::string(52, 'x') + "\n",
         "Problem: the Password is longer than 51 bytes; no login can match it\n"},
        {"[Globals]\nIPAddress=qvx-no-such-host.invalid\n",
         "Problem: the listen address qvx-no-such-host.invalid does not resolve\n"},
        {"[Globals]\nBasePortAddress=65535\n",
         "Problem: channel 1: its data port lies outside 1 to 65535\n"},
        {"[Globals]\nPorts=5\n", "Problem: channel 5: only channels 1 to 4 get a listener\n"},
        {"[Port1]\nByteSize=9\n", "Problem: channel 1: no serial line runs at 9600 bit/s 9N1\n"},
        {"[Port1]\nBaudRate=0\n", "Problem: channel 1: no serial line runs at 0 bit/s 8N1\n"},
        {"[Port1]\nCOMPort=/proc/version\n",
         "Problem: channel 1: /proc/version is no character device\n"},
    };
    for (const Case& c : cases) {
        const TempDir dir;
        const ConfigReport report = checkFile(dir, c.text);
        EXPECT_FALSE(report.usable) << c.text;
        EXPECT_NE(report.text.find(c.problem), std::string::npos) << report.text;
        EXPECT_TRUE(report.text.ends_with("The settings have problems.\n")) << report.text;
    }
}

// The service store is read as it is: checking it creates and fills nothing.
TEST(ConfigCheck, ReadsTheServiceStoreWithoutWritingIt) {
    const TempDir dir;
    GatewaySettings settings;
    settings.ConfigureStores(dir.path() / "qvx_gateway.ini", dir.path() / "registry.ini", true);
    settings.setReadOnly(true);
    const ConfigReport report = checkConfiguration(settings);
    EXPECT_NE(report.text.find("Login port: 5000 on 127.0.0.1\n"), std::string::npos);
    EXPECT_NE(report.text.find("Channel 1: data port 5001, COMPort COM1: (/dev/ttyS0, "),
              std::string::npos)
        << report.text;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "registry.ini"));
}
