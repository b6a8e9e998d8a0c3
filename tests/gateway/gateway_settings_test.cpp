#include "gateway/gateway_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "gateway/registry_store.h"
#include "gateway_test_support.h"
#include "platform/ini_file.h"

namespace fs = std::filesystem;
using qvx::gateway::ChannelSettings;
using qvx::gateway::dataPortFor;
using qvx::gateway::GatewaySettings;
using qvx::gateway::GlobalSettings;
using qvx::gateway::parityFromName;
using qvx::gateway::parseRegistryNumber;
using qvx::gateway::registryFilePath;
using qvx::gateway::RegistryKey;
using qvx::gateway::settingsFilePath;
using qvx::gateway::stopBitsFromName;
using qvx::gateway::test::TempDir;
using qvx::platform::IniFile;

namespace {

void writeFile(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

GatewaySettings fileMode(const fs::path& file) {
    GatewaySettings settings;
    settings.ConfigureStores(file, "/nonexistent/registry.ini", false);
    return settings;
}

GatewaySettings registryMode(const fs::path& store) {
    GatewaySettings settings;
    settings.ConfigureStores("/nonexistent/qvx_gateway.ini", store, true);
    return settings;
}

}  // namespace

// ---- Locations ----------------------------------------------------------------------------

TEST(GatewaySettingsPaths, SettingsFileLiesBesideTheProgramAsInvoked) {
    EXPECT_EQ(settingsFilePath("/opt/qvx/bin/qvx_gateway", "qvx_gateway"),
              "/opt/qvx/bin/qvx_gateway.ini");
    EXPECT_EQ(settingsFilePath("./qvx_gateway", "qvx_gateway"), "./qvx_gateway.ini");
    EXPECT_EQ(settingsFilePath("build/gw", "qvx_gateway"), "build/qvx_gateway.ini");
    EXPECT_EQ(settingsFilePath("/gw", "qvx_gateway"), "/qvx_gateway.ini");
    // Found through PATH: no folder in argv[0].
    EXPECT_EQ(settingsFilePath("qvx_gateway", "qvx_gateway"), "/etc/qvx_gateway/qvx_gateway.ini");
    EXPECT_EQ(settingsFilePath("", "qvx_gateway"), "/etc/qvx_gateway/qvx_gateway.ini");
}

TEST(GatewaySettingsPaths, ServiceStoreHasADefaultThatTheEnvironmentOverrides) {
    EXPECT_EQ(registryFilePath(nullptr), "/etc/qvx_gateway/registry.ini");
    EXPECT_EQ(registryFilePath(""), "/etc/qvx_gateway/registry.ini");
    EXPECT_EQ(registryFilePath("/run/test/store.ini"), "/run/test/store.ini");
}

// ---- Settings file ------------------------------------------------------------------------

TEST(GatewaySettingsFile, WithoutAFileOneChannelRunsOnTheDefaults) {
    const TempDir dir;
    GatewaySettings settings = fileMode(dir.path() / "qvx_gateway.ini");

    const GlobalSettings global = settings.readGlobalSettings();
    EXPECT_EQ(global.loginPort, 5100);
    EXPECT_EQ(global.listenAddress, "127.0.0.1");
    EXPECT_FALSE(global.secured);
    EXPECT_EQ(global.password, "Pelmar");

    EXPECT_EQ(settings.ChannelCount(), 1);
    EXPECT_EQ(settings.listenAddress(), "");
    const ChannelSettings channel = settings.ReadChannelSettings(1);
    EXPECT_EQ(channel.dataPort, 5101);
    EXPECT_EQ(channel.comPort, "COM1:");
    EXPECT_EQ(channel.baudRate, 9600U);
    EXPECT_EQ(channel.byteSize, 8);
    EXPECT_EQ(channel.parity, 0);
    EXPECT_EQ(channel.stopBits, 0);
    EXPECT_EQ(settings.listenAddress(), "127.0.0.1");
    EXPECT_FALSE(fs::exists(dir.path() / "qvx_gateway.ini"));  // the file is never written
}

TEST(GatewaySettingsFile, TheSampleFileSpellsOutExactlyTheDefaults) {
    const fs::path sample = fs::path(QVX_SOURCE_DIR) / "contrib" / "qvx_gateway.ini";
    ASSERT_TRUE(fs::exists(sample));
    const TempDir dir;
    GatewaySettings fromSample = fileMode(sample);
    GatewaySettings fromDefaults = fileMode(dir.path() / "missing.ini");

    const GlobalSettings a = fromSample.readGlobalSettings();
    const GlobalSettings b = fromDefaults.readGlobalSettings();
    EXPECT_EQ(a.loginPort, b.loginPort);
    EXPECT_EQ(a.listenAddress, b.listenAddress);
    EXPECT_EQ(a.secured, b.secured);
    EXPECT_EQ(a.password, b.password);
    EXPECT_EQ(fromSample.ChannelCount(), fromDefaults.ChannelCount());
    const ChannelSettings c = fromSample.ReadChannelSettings(1);
    const ChannelSettings d = fromDefaults.ReadChannelSettings(1);
    EXPECT_EQ(c.dataPort, d.dataPort);
    EXPECT_EQ(c.comPort, d.comPort);
    EXPECT_EQ(c.baudRate, d.baudRate);
    EXPECT_EQ(c.byteSize, d.byteSize);
    EXPECT_EQ(c.parity, d.parity);
    EXPECT_EQ(c.stopBits, d.stopBits);
    // Every key is present, so none of the values above came from a default by accident.
    const IniFile file(sample);
    for (const char* key : {"BasePortAddress", "IPAddress", "Ports", "Secured", "Password"}) {
        EXPECT_NE(file.readString("Globals", key, "<missing>"), "<missing>") << key;
    }
    for (const char* key : {"COMPort", "BaudRate", "ByteSize", "Parity", "StopBits"}) {
        EXPECT_NE(file.readString("Port1", key, "<missing>"), "<missing>") << key;
    }
    // The commented-out example channel stays commented out.
    EXPECT_EQ(file.readString("Port2", "COMPort", "<missing>"), "<missing>");
}

TEST(GatewaySettingsFile, ReadsEveryKeyWhateverTheCaseOfItsName) {
    const TempDir dir;
    const fs::path file = dir.path() / "qvx_gateway.ini";
    writeFile(file,
              "[globals]\n"
              "baseportaddress = 6000\n"
              "IPADDRESS = 192.168.10.5\n"
              "Ports=3\n"
              "Secured=2\n"
              "Password = geheim wort \n"
              "[PORT2]\n"
              "comport=/dev/ttyUSB1\n"
              "BaudRate=3000000\n"
              "ByteSize=7\n"
              "Parity=MARKPARITY\n"
              "StopBits=TWOSTOPBITS\n");
    GatewaySettings settings = fileMode(file);

    const GlobalSettings global = settings.readGlobalSettings();
    EXPECT_EQ(global.loginPort, 6000);
    EXPECT_EQ(global.listenAddress, "192.168.10.5");
    EXPECT_TRUE(global.secured);
    EXPECT_EQ(global.password, "geheim wort");
    EXPECT_EQ(settings.ChannelCount(), 3);

    const ChannelSettings second = settings.ReadChannelSettings(2);
    EXPECT_EQ(second.dataPort, 6002);
    EXPECT_EQ(second.comPort, "/dev/ttyUSB1");
    EXPECT_EQ(second.baudRate, 3000000U);
    EXPECT_EQ(second.byteSize, 7);
    EXPECT_EQ(second.parity, 3);
    EXPECT_EQ(second.stopBits, 2);
    // Channel 3 has no section: defaults, with its own data port.
    const ChannelSettings third = settings.ReadChannelSettings(3);
    EXPECT_EQ(third.dataPort, 6003);
    EXPECT_EQ(third.comPort, "COM1:");
    EXPECT_EQ(third.parity, 0);
}

TEST(GatewaySettingsFile, ParityAndStopBitNamesMapExactlyAndCaseSensitively) {
    EXPECT_EQ(parityFromName("NOPARITY"), 0);
    EXPECT_EQ(parityFromName("ODDPARITY"), 1);
    EXPECT_EQ(parityFromName("EVENPARITY"), 2);
    EXPECT_EQ(parityFromName("MARKPARITY"), 3);
    EXPECT_EQ(parityFromName("SPACEPARITY"), 4);
    EXPECT_EQ(stopBitsFromName("ONESTOPBIT"), 0);
    EXPECT_EQ(stopBitsFromName("ONE5STOPBITS"), 1);
    EXPECT_EQ(stopBitsFromName("TWOSTOPBITS"), 2);
    for (const char* other : {"evenparity", "EVEN", "2", "", " ODDPARITY"}) {
        EXPECT_EQ(parityFromName(other), 0) << other;
    }
    for (const char* other : {"twostopbits", "TWO", "2", ""}) {
        EXPECT_EQ(stopBitsFromName(other), 0) << other;
    }

    // Through the file: a lower-case name gives no parity.
    const TempDir dir;
    const fs::path file = dir.path() / "qvx_gateway.ini";
    writeFile(file, "[Port1]\nParity=evenparity\nStopBits=ONE5STOPBITS\nByteSize=5\n");
    GatewaySettings settings = fileMode(file);
    const ChannelSettings channel = settings.ReadChannelSettings(1);
    EXPECT_EQ(channel.parity, 0);
    EXPECT_EQ(channel.stopBits, 1);
    EXPECT_EQ(channel.byteSize, 5);
}

TEST(GatewaySettingsFile, DataPortsWrapInSixteenBits) {
    EXPECT_EQ(dataPortFor(5100, 1), 5101);
    EXPECT_EQ(dataPortFor(65535, 1), 0);
    EXPECT_EQ(dataPortFor(65534, 3), 1);
    EXPECT_EQ(dataPortFor(70000, 1), 4465);  // 70000 is 4464 in 16 bits

    const TempDir dir;
    const fs::path file = dir.path() / "qvx_gateway.ini";
    writeFile(file, "[Globals]\nBasePortAddress=65535\n");
    GatewaySettings settings = fileMode(file);
    EXPECT_EQ(settings.readGlobalSettings().loginPort, 65535);
    EXPECT_EQ(settings.ReadChannelSettings(1).dataPort, 0);
    EXPECT_EQ(settings.ReadChannelSettings(2).dataPort, 1);

    writeFile(file, "[Globals]\nBasePortAddress=70000\n");
    EXPECT_EQ(settings.readGlobalSettings().loginPort, 4464);
    EXPECT_EQ(settings.ReadChannelSettings(1).dataPort, 4465);
}

TEST(GatewaySettingsFile, ChannelCountIsSignedAndZeroMeansNone) {
    const TempDir dir;
    const fs::path file = dir.path() / "qvx_gateway.ini";
    GatewaySettings settings = fileMode(file);
    writeFile(file, "[Globals]\nPorts=0\n");
    EXPECT_EQ(settings.ChannelCount(), 0);
    writeFile(file, "[Globals]\nPorts=-2\n");
    EXPECT_EQ(settings.ChannelCount(), -2);
    writeFile(file, "[Globals]\nPorts=four\n");
    EXPECT_EQ(settings.ChannelCount(), 0);
    writeFile(file, "[Globals]\nPorts=\n");
    EXPECT_EQ(settings.ChannelCount(), 1);
}

TEST(GatewaySettingsFile, TheFirstChannelFillsTheListenAddressForAllOthers) {
    const TempDir dir;
    const fs::path file = dir.path() / "qvx_gateway.ini";
    writeFile(file, "[Globals]\nIPAddress=10.0.0.1\n");
    GatewaySettings settings = fileMode(file);
    (void)settings.ReadChannelSettings(1);
    writeFile(file, "[Globals]\nIPAddress=10.0.0.2\n");
    (void)settings.ReadChannelSettings(2);
    EXPECT_EQ(settings.listenAddress(), "10.0.0.1");
    // The login listener reads its own copy.
    EXPECT_EQ(settings.readGlobalSettings().listenAddress, "10.0.0.2");
}

TEST(GatewaySettingsFile, TextsAreCutTo99Bytes) {
    const TempDir dir;
    const fs::path file = dir.path() / "qvx_gateway.ini";
    const std::string longText(150, 'a');
    writeFile(file, "[Globals]\nPassword=" + longText + "\n[Port1]\nCOMPort=/" + longText + "\n");
    GatewaySettings settings = fileMode(file);
    EXPECT_EQ(settings.readGlobalSettings().password, std::string(99, 'a'));
    EXPECT_EQ(settings.ReadChannelSettings(1).comPort, "/" + std::string(98, 'a'));
}

// ---- Service store ------------------------------------------------------------------------

TEST(RegistryNumber, AcceptsOnlyWholeDecimalNumbersFittingThirtyTwoBits) {
    EXPECT_EQ(parseRegistryNumber("0"), 0U);
    EXPECT_EQ(parseRegistryNumber("5000"), 5000U);
    EXPECT_EQ(parseRegistryNumber("+7"), 7U);
    EXPECT_EQ(parseRegistryNumber("4294967295"), 4294967295U);
    EXPECT_EQ(parseRegistryNumber("-1"), 0xFFFFFFFFU);
    EXPECT_EQ(parseRegistryNumber("-2147483648"), 0x80000000U);
    for (const char* bad : {"", "-", "+", "4294967296", "-2147483649", "12abc", "abcdefgh", "0x10",
                            "1.5", "1 2", "99999999999999999999999"}) {
        EXPECT_EQ(parseRegistryNumber(bad), std::nullopt) << bad;
    }
}

TEST(GatewaySettingsRegistry, AnEmptyStoreIsFilledWithEveryDefault) {
    const TempDir dir;
    const fs::path store = dir.path() / "registry.ini";
    writeFile(store, "");
    GatewaySettings settings = registryMode(store);

    const GlobalSettings global = settings.readGlobalSettings();
    EXPECT_EQ(global.loginPort, 5000);
    EXPECT_EQ(global.listenAddress, "127.0.0.1");
    EXPECT_FALSE(global.secured);
    EXPECT_EQ(global.password, "Pelmar");
    EXPECT_EQ(settings.ChannelCount(), 1);
    const ChannelSettings channel = settings.ReadChannelSettings(1);
    EXPECT_EQ(channel.dataPort, 5001);
    EXPECT_EQ(channel.comPort, "COM1:");
    EXPECT_EQ(channel.baudRate, 9600U);
    EXPECT_EQ(channel.byteSize, 8);
    EXPECT_EQ(channel.parity, 0);
    EXPECT_EQ(channel.stopBits, 0);
    EXPECT_EQ(settings.listenAddress(), "127.0.0.1");

    EXPECT_EQ(readFile(store),
              "[Parameters]\n"
              "TCPPortBase=5000\n"
              "Secured=0\n"
              "IPAddress=127.0.0.1\n"
              "Password=Pelmar\n"
              "GatewayMax=1\n"
              "\n"
              "[Parameters\\Gateway1]\n"
              "COMPort=COM1:\n"
              "BaudRate=9600\n"
              "ByteSize=8\n"
              "Parity=0\n"
              "StopBits=0\n");
}

TEST(GatewaySettingsRegistry, AMissingStoreIsCreatedAndReadableValuesAreLeftAlone) {
    const TempDir dir;
    const fs::path store = dir.path() / "registry.ini";
    GatewaySettings settings = registryMode(store);
    EXPECT_EQ(settings.ChannelCount(), 1);
    EXPECT_EQ(IniFile(store).readInt("Parameters", "GatewayMax", -1), 1);

    const std::string configured =
        "[parameters]\n"
        "TCPPortBase=4000\n"
        "Secured=1\n"
        "IPAddress=0.0.0.0\n"
        "Password=x\n"
        "GatewayMax=2\n"
        "[Parameters\\Gateway2]\n"
        "COMPort=/dev/ttyUSB0\n"
        "BaudRate=4294967295\n"
        "ByteSize=7\n"
        "Parity=3\n"
        "StopBits=2\n";
    writeFile(store, configured);
    const GlobalSettings global = settings.readGlobalSettings();
    EXPECT_EQ(global.loginPort, 4000);
    EXPECT_TRUE(global.secured);
    EXPECT_EQ(global.listenAddress, "0.0.0.0");
    EXPECT_EQ(global.password, "x");
    EXPECT_EQ(settings.ChannelCount(), 2);
    const ChannelSettings channel = settings.ReadChannelSettings(2);
    EXPECT_EQ(channel.dataPort, 4002);
    EXPECT_EQ(channel.comPort, "/dev/ttyUSB0");
    EXPECT_EQ(channel.baudRate, 4294967295U);
    EXPECT_EQ(channel.byteSize, 7);
    EXPECT_EQ(channel.parity, 3);
    EXPECT_EQ(channel.stopBits, 2);
    EXPECT_EQ(readFile(store), configured);
}

TEST(GatewaySettingsRegistry, UnreadableValuesAreReplacedByTheirDefaults) {
    const TempDir dir;
    const fs::path store = dir.path() / "registry.ini";
    const std::string password99(99, 'p');
    writeFile(store,
              "[Parameters]\n"
              "TCPPortBase=abcdefgh\n"
              "Secured=4294967296\n"
              "Password=" +
                  password99 +
                  "\n"
                  "GatewayMax=\n"
                  "[Parameters\\Gateway1]\n"
                  "COMPort=/" +
                  std::string(99, 'c') +
                  "\n"
                  "Parity=MARKPARITY\n");
    GatewaySettings settings = registryMode(store);

    const GlobalSettings global = settings.readGlobalSettings();
    EXPECT_EQ(global.loginPort, 5000);
    EXPECT_FALSE(global.secured);
    EXPECT_EQ(global.password, password99);  // 99 bytes still fit
    EXPECT_EQ(settings.ChannelCount(), 1);
    const ChannelSettings channel = settings.ReadChannelSettings(1);
    EXPECT_EQ(channel.comPort, "COM1:");  // 100 bytes do not
    EXPECT_EQ(channel.parity, 0);

    const IniFile file(store);
    EXPECT_EQ(file.readString("Parameters", "TCPPortBase", ""), "5000");
    EXPECT_EQ(file.readString("Parameters", "Secured", ""), "0");
    EXPECT_EQ(file.readString("Parameters", "Password", ""), password99);
    EXPECT_EQ(file.readString("Parameters", "GatewayMax", ""), "1");
    EXPECT_EQ(file.readString("Parameters\\Gateway1", "COMPort", ""), "COM1:");
    EXPECT_EQ(file.readString("Parameters\\Gateway1", "Parity", ""), "0");

    // A 100-byte password is replaced as well.
    ASSERT_TRUE(file.writeString("Parameters", "Password", std::string(100, 'p')));
    EXPECT_EQ(settings.readGlobalSettings().password, "Pelmar");
    EXPECT_EQ(file.readString("Parameters", "Password", ""), "Pelmar");
}

TEST(GatewaySettingsRegistry, AStoreThatCannotBeOpenedGivesDefaultsAndIsNotCreated) {
    const TempDir dir;
    const fs::path store = dir.path() / "missing-folder" / "registry.ini";
    GatewaySettings settings = registryMode(store);
    EXPECT_EQ(settings.readGlobalSettings().loginPort, 5000);
    EXPECT_EQ(settings.ChannelCount(), 1);
    const ChannelSettings channel = settings.ReadChannelSettings(1);
    EXPECT_EQ(channel.dataPort, 5001);
    EXPECT_EQ(channel.comPort, "COM1:");
    EXPECT_EQ(settings.listenAddress(), "127.0.0.1");
    EXPECT_FALSE(fs::exists(store.parent_path()));

    // Not a regular file: cannot be read, so it is neither used nor replaced.
    const fs::path folderAsStore = dir.path() / "folder.ini";
    fs::create_directory(folderAsStore);
    EXPECT_FALSE(RegistryKey::open(folderAsStore, "Parameters"));
    EXPECT_TRUE(fs::is_directory(folderAsStore));
}

TEST(GatewaySettingsRegistry, AReadOnlyStoreIsUsedButNotWritten) {
    const TempDir dir;
    const fs::path store = dir.path() / "registry.ini";
    const std::string text = "[Parameters]\nTCPPortBase=6000\n";
    writeFile(store, text);
    fs::permissions(store, fs::perms::owner_read | fs::perms::group_read);
    GatewaySettings settings = registryMode(store);
    EXPECT_EQ(settings.readGlobalSettings().loginPort, 6000);
    EXPECT_EQ(settings.ReadChannelSettings(1).dataPort, 6001);
    EXPECT_EQ(settings.ReadChannelSettings(1).comPort, "COM1:");
    EXPECT_EQ(readFile(store), text);
}
