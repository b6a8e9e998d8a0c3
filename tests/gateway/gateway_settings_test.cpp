#include "gateway/gateway_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
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

namespace qvx::gateway {

void PrintTo(const GlobalSettings& s, std::ostream* out) {
    *out << "{" << s.loginPort << ", " << s.listenAddress << ", " << s.secured << ", " << s.password
         << ", " << s.securedUnreadable << ", " << s.passwordUnreadable << "}";
}

void PrintTo(const ChannelSettings& s, std::ostream* out) {
    *out << "{" << s.dataPort << ", " << s.comPort << ", " << s.baudRate << ", " << int{s.byteSize}
         << ", " << int{s.parity} << ", " << int{s.stopBits} << "}";
}

}  // namespace qvx::gateway

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

const GlobalSettings kFileGlobalDefaults{5100, "127.0.0.1", false, "Pelmar"};
const GlobalSettings kRegistryGlobalDefaults{5000, "127.0.0.1", false, "Pelmar"};
const ChannelSettings kFileChannel1Defaults{5101, "COM1:", 9600, 8, 0, 0};
const ChannelSettings kRegistryChannel1Defaults{5001, "COM1:", 9600, 8, 0, 0};

}  // namespace

TEST(GatewaySettingsPaths, SettingsFileBesideTheProgramAsInvokedStoreFromTheEnvironment) {
    EXPECT_EQ(settingsFilePath("/opt/qvx/bin/qvx_gateway", "qvx_gateway"),
              "/opt/qvx/bin/qvx_gateway.ini");
    EXPECT_EQ(settingsFilePath("./qvx_gateway", "qvx_gateway"), "./qvx_gateway.ini");
    EXPECT_EQ(settingsFilePath("build/gw", "qvx_gateway"), "build/qvx_gateway.ini");
    // Found through PATH: no folder in argv[0].
    EXPECT_EQ(settingsFilePath("qvx_gateway", "qvx_gateway"), "/etc/qvx_gateway/qvx_gateway.ini");
    EXPECT_EQ(settingsFilePath("", "qvx_gateway"), "/etc/qvx_gateway/qvx_gateway.ini");

    EXPECT_EQ(registryFilePath(nullptr), "/etc/qvx_gateway/registry.ini");
    EXPECT_EQ(registryFilePath(""), "/etc/qvx_gateway/registry.ini");
    EXPECT_EQ(registryFilePath("/run/test/store.ini"), "/run/test/store.ini");
}

// ---- Settings file ------------------------------------------------------------------------

TEST(GatewaySettingsFile, WithoutAFileOneChannelRunsOnTheDefaults) {
    const TempDir dir;
    GatewaySettings settings = fileMode(dir.path() / "qvx_gateway.ini");
    EXPECT_EQ(settings.readGlobalSettings(), kFileGlobalDefaults);
    EXPECT_EQ(settings.ChannelCount(), 1);
    EXPECT_EQ(settings.listenAddress(), "");
    EXPECT_EQ(settings.ReadChannelSettings(1), kFileChannel1Defaults);
    EXPECT_EQ(settings.listenAddress(), "127.0.0.1");
    EXPECT_FALSE(fs::exists(dir.path() / "qvx_gateway.ini"));  // the file is never written
}

TEST(GatewaySettingsFile, TheSampleFileSpellsOutExactlyTheDefaults) {
    const fs::path sample = fs::path(QVX_SOURCE_DIR) / "contrib" / "qvx_gateway.ini";
    ASSERT_TRUE(fs::exists(sample));
    GatewaySettings settings = fileMode(sample);
    EXPECT_EQ(settings.readGlobalSettings(), kFileGlobalDefaults);
    EXPECT_EQ(settings.ChannelCount(), 1);
    EXPECT_EQ(settings.ReadChannelSettings(1), kFileChannel1Defaults);
    // Every key is present, so none of the values above came from a default by accident.
    const IniFile file(sample);
    for (const char* key : {"BasePortAddress", "IPAddress", "Ports", "Secured", "Password"}) {
        EXPECT_NE(file.readString("Globals", key, "<missing>"), "<missing>") << key;
    }
    for (const char* key :
         {"COMPort", "BaudRate", "ByteSize", "Parity", "StopBits", "IdleTimeout", "Trace"}) {
        EXPECT_NE(file.readString("Port1", key, "<missing>"), "<missing>") << key;
    }
    // The example of a second channel stays commented out.
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
    EXPECT_EQ(settings.readGlobalSettings(),
              (GlobalSettings{6000, "192.168.10.5", true, "geheim wort"}));
    EXPECT_EQ(settings.ChannelCount(), 3);
    EXPECT_EQ(settings.ReadChannelSettings(2),
              (ChannelSettings{6002, "/dev/ttyUSB1", 3000000, 7, 3, 2}));
    // Channel 3 has no section: defaults, with its own data port.
    EXPECT_EQ(settings.ReadChannelSettings(3), (ChannelSettings{6003, "COM1:", 9600, 8, 0, 0}));
}

TEST(GatewaySettingsFile, ParityAndStopBitNamesMapExactlyAndCaseSensitively) {
    const char* parities[] = {"NOPARITY", "ODDPARITY", "EVENPARITY", "MARKPARITY", "SPACEPARITY"};
    for (int code = 0; code < 5; ++code) {
        EXPECT_EQ(parityFromName(parities[code]), code);
    }
    const char* stopBits[] = {"ONESTOPBIT", "ONE5STOPBITS", "TWOSTOPBITS"};
    for (int code = 0; code < 3; ++code) {
        EXPECT_EQ(stopBitsFromName(stopBits[code]), code);
    }
    for (const char* other : {"evenparity", "EVEN", "2", "", " ODDPARITY", "twostopbits"}) {
        EXPECT_EQ(parityFromName(other), 0) << other;
        EXPECT_EQ(stopBitsFromName(other), 0) << other;
    }

    const TempDir dir;
    const fs::path file = dir.path() / "qvx_gateway.ini";
    writeFile(file, "[Port1]\nParity=evenparity\nStopBits=ONE5STOPBITS\nByteSize=5\n");
    EXPECT_EQ(fileMode(file).ReadChannelSettings(1),
              (ChannelSettings{5101, "COM1:", 9600, 5, 0, 1}));
}

TEST(GatewaySettingsFile, PortsPastTheTcpRangeAreRefusedNotWrappedAndTheCountIsSigned) {
    EXPECT_EQ(dataPortFor(5100, 1), 5101);
    EXPECT_EQ(dataPortFor(65534, 1), 65535);
    EXPECT_EQ(dataPortFor(65535, 1), 0);
    EXPECT_EQ(dataPortFor(65534, 3), 0);
    EXPECT_EQ(dataPortFor(0xFFFFFFFF, 2), 0);  // a negative base read as unsigned

    const TempDir dir;
    const fs::path file = dir.path() / "qvx_gateway.ini";
    GatewaySettings settings = fileMode(file);
    writeFile(file, "[Globals]\nBasePortAddress=65535\nPorts=0\n");
    EXPECT_EQ(settings.readGlobalSettings().loginPort, 65535);
    EXPECT_EQ(settings.ReadChannelSettings(1).dataPort, 0);
    EXPECT_EQ(settings.ChannelCount(), 0);

    // 70000 cut to 16 bits would be 4464: some other program's port, not the one meant.
    writeFile(file, "[Globals]\nBasePortAddress=70000\nPorts=-2\n");
    EXPECT_EQ(settings.readGlobalSettings().loginPort, 0);
    EXPECT_EQ(settings.ReadChannelSettings(1).dataPort, 0);
    EXPECT_EQ(settings.ChannelCount(), -2);

    writeFile(file, "[Globals]\nBasePortAddress=-5\n");
    EXPECT_EQ(settings.readGlobalSettings().loginPort, 0);
    EXPECT_EQ(settings.ReadChannelSettings(6).dataPort, 0);
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
    EXPECT_EQ(parseRegistryNumber("5000"), 5000U);
    EXPECT_EQ(parseRegistryNumber("+7"), 7U);
    EXPECT_EQ(parseRegistryNumber("4294967295"), 4294967295U);
    EXPECT_EQ(parseRegistryNumber("-1"), 0xFFFFFFFFU);
    EXPECT_EQ(parseRegistryNumber("-2147483648"), 0x80000000U);
    for (const char* bad : {"", "-", "4294967296", "-2147483649", "12abc", "abcdefgh", "0x10",
                            "1.5", "1 2", "99999999999999999999999"}) {
        EXPECT_EQ(parseRegistryNumber(bad), std::nullopt) << bad;
    }
}

TEST(GatewaySettingsRegistry, AnEmptyStoreIsFilledWithEveryDefault) {
    const TempDir dir;
    const fs::path store = dir.path() / "registry.ini";
    writeFile(store, "");
    GatewaySettings settings = registryMode(store);
    EXPECT_EQ(settings.readGlobalSettings(), kRegistryGlobalDefaults);
    EXPECT_EQ(settings.ChannelCount(), 1);
    EXPECT_EQ(settings.ReadChannelSettings(1), kRegistryChannel1Defaults);
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
    // It will hold the passphrase: readable by its owner only.
    EXPECT_EQ(fs::status(store).permissions(), fs::perms::owner_read | fs::perms::owner_write);

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
    EXPECT_EQ(settings.readGlobalSettings(), (GlobalSettings{4000, "0.0.0.0", true, "x"}));
    EXPECT_EQ(settings.ChannelCount(), 2);
    EXPECT_EQ(settings.ReadChannelSettings(2),
              (ChannelSettings{4002, "/dev/ttyUSB0", 4294967295U, 7, 3, 2}));
    EXPECT_EQ(readFile(store), configured);
}

TEST(GatewaySettingsRegistry, UnreadableValuesAreReplacedByTheirDefaults) {
    const TempDir dir;
    const fs::path store = dir.path() / "registry.ini";
    const std::string password99(99, 'p');
    writeFile(store, "[Parameters]\nTCPPortBase=abcdefgh\nPassword=" + password99 +
                         "\nGatewayMax=\n[Parameters\\Gateway1]\nCOMPort=/" + std::string(99, 'c') +
                         "\nParity=MARKPARITY\n");
    GatewaySettings settings = registryMode(store);
    // 99 bytes of password still fit; 100 bytes of port name do not.
    EXPECT_EQ(settings.readGlobalSettings(),
              (GlobalSettings{5000, "127.0.0.1", false, password99}));
    EXPECT_EQ(settings.ChannelCount(), 1);
    EXPECT_EQ(settings.ReadChannelSettings(1), kRegistryChannel1Defaults);

    const IniFile file(store);
    EXPECT_EQ(file.readString("Parameters", "TCPPortBase", ""), "5000");
    EXPECT_EQ(file.readString("Parameters", "Secured", ""), "0");
    EXPECT_EQ(file.readString("Parameters", "Password", ""), password99);
    EXPECT_EQ(file.readString("Parameters", "GatewayMax", ""), "1");
    EXPECT_EQ(file.readString("Parameters\\Gateway1", "COMPort", ""), "COM1:");
    EXPECT_EQ(file.readString("Parameters\\Gateway1", "Parity", ""), "0");
}

// Replacing an unreadable Secured by 0 would turn security off, and an unreadable Password by
// the default would open the gateway to the published passphrase: both stay as stored. A
// Secured that is no number counts as on; a Password that cannot be read refuses every login.
TEST(GatewaySettingsRegistry, UnreadableLoginValuesAreKeptAndFailClosed) {
    struct Case {
        std::string stored;  // lines of [Parameters]
        bool secured;
        bool securedUnreadable;
        bool passwordUnreadable;
        bool loginsRefused;
    };
    const std::string password100(100, 'p');
    const Case cases[] = {
        {"Secured=4294967296\nPassword=x\n", true, true, false, false},
        {"Secured=yes\nPassword=x\n", true, true, false, false},
        {"Secured=\nPassword=x\n", true, true, false, false},
        {"Secured=1\nPassword=" + password100 + "\n", true, false, true, true},
        {"Secured=abc\nPassword=" + password100 + "\n", true, true, true, true},
        // Security off: the passphrase is not used, and still not replaced.
        {"Secured=0\nPassword=" + password100 + "\n", false, false, true, false},
    };
    for (const Case& c : cases) {
        const TempDir dir;
        const fs::path store = dir.path() / "registry.ini";
        const std::string text = "[Parameters]\nTCPPortBase=5000\nIPAddress=127.0.0.1\n" + c.stored;
        writeFile(store, text);
        const GlobalSettings read = registryMode(store).readGlobalSettings();
        EXPECT_EQ(read.secured, c.secured) << c.stored;
        EXPECT_EQ(read.securedUnreadable, c.securedUnreadable) << c.stored;
        EXPECT_EQ(read.passwordUnreadable, c.passwordUnreadable) << c.stored;
        EXPECT_EQ(read.loginsRefused(), c.loginsRefused) << c.stored;
        EXPECT_NE(read.password, "Pelmar") << c.stored;
        EXPECT_EQ(readFile(store), text) << "nothing written back";
    }
}

// On or off as written: only a whole decimal number says off (0) or on (any other); anything
// else counts as on and is kept for the Error line, so that "on", "true" or a typo never turn
// security off. In the file an empty value counts as missing, like every number there.
TEST(GatewaySettingsFile, ASecuredThatIsNoNumberCountsAsOn) {
    struct Case {
        std::string value;
        bool secured;
        bool notANumber;
    };
    const Case cases[] = {
        {"0", false, false},  {"+0", false, false}, {"1", true, false},
        {"-1", true, false},  {"", false, false},   {"on", true, true},
        {"true", true, true}, {"off", true, true},  {"12abc", true, true},
        {"0x0", true, true},  {"0 1", true, true},  {"99999999999", true, true},
    };
    for (const Case& c : cases) {
        const TempDir dir;
        writeFile(dir.path() / "qvx_gateway.ini", "[Globals]\nSecured=" + c.value + "\n");
        const GlobalSettings read = fileMode(dir.path() / "qvx_gateway.ini").readGlobalSettings();
        EXPECT_EQ(read.secured, c.secured) << c.value;
        EXPECT_EQ(read.securedUnreadable, c.notANumber) << c.value;
        EXPECT_EQ(read.securedText, c.notANumber ? c.value : "") << c.value;
        EXPECT_FALSE(read.loginsRefused()) << c.value;
    }
}

// IdleTimeout and Trace are read from both stores when present; the service store does not
// add them when they are missing.
TEST(GatewaySettings, IdleTimeoutAndTraceAreOptionalInBothStores) {
    const TempDir dir;
    const std::string longPath = "/var/log/" + std::string(120, 't') + ".trace";
    writeFile(dir.path() / "qvx_gateway.ini",
              "[Port1]\nIdleTimeout=90\nTrace=" + longPath + "\n[Port2]\nIdleTimeout=-5\n");
    GatewaySettings file = fileMode(dir.path() / "qvx_gateway.ini");
    const ChannelSettings first = file.ReadChannelSettings(1);
    EXPECT_EQ(first.idleTimeoutSeconds, 90U);
    EXPECT_EQ(first.tracePath, longPath) << "a path is never cut";
    EXPECT_EQ(file.ReadChannelSettings(2).idleTimeoutSeconds, 0U);
    EXPECT_EQ(file.ReadChannelSettings(3).tracePath, "");

    const fs::path store = dir.path() / "registry.ini";
    writeFile(store,
              "[Parameters\\Gateway1]\nIdleTimeout=45\nTrace=/tmp/port1.trace\n"
              "[Parameters\\Gateway2]\nIdleTimeout=abc\n");
    GatewaySettings registry = registryMode(store);
    const ChannelSettings one = registry.ReadChannelSettings(1);
    EXPECT_EQ(one.idleTimeoutSeconds, 45U);
    EXPECT_EQ(one.tracePath, "/tmp/port1.trace");
    EXPECT_EQ(registry.ReadChannelSettings(2).idleTimeoutSeconds, 0U);
    EXPECT_EQ(registry.ReadChannelSettings(3), (ChannelSettings{5003, "COM1:", 9600, 8, 0, 0}));
    const IniFile written(store);
    EXPECT_EQ(written.readString("Parameters\\Gateway3", "IdleTimeout", "missing"), "missing");
    EXPECT_EQ(written.readString("Parameters\\Gateway3", "Trace", "missing"), "missing");
    EXPECT_EQ(written.readString("Parameters\\Gateway2", "IdleTimeout", ""), "abc");
}

// Read-only, as for checking the settings: the service store is neither created nor filled.
TEST(GatewaySettingsRegistry, AReadOnlyReadFillsNothingAndCreatesNothing) {
    const TempDir dir;
    GatewaySettings missing = registryMode(dir.path() / "registry.ini");
    missing.setReadOnly(true);
    EXPECT_EQ(missing.readGlobalSettings(), kRegistryGlobalDefaults);
    EXPECT_EQ(missing.ChannelCount(), 1);
    EXPECT_EQ(missing.ReadChannelSettings(1), kRegistryChannel1Defaults);
    EXPECT_FALSE(fs::exists(dir.path() / "registry.ini"));

    const std::string text = "[Parameters]\nTCPPortBase=abc\nSecured=on\n";
    writeFile(dir.path() / "registry.ini", text);
    GatewaySettings partial = registryMode(dir.path() / "registry.ini");
    partial.setReadOnly(true);
    const GlobalSettings read = partial.readGlobalSettings();
    EXPECT_EQ(read.loginPort, 5000);
    EXPECT_TRUE(read.securedUnreadable);
    EXPECT_EQ(partial.ReadChannelSettings(1), kRegistryChannel1Defaults);
    EXPECT_EQ(readFile(dir.path() / "registry.ini"), text);
}

TEST(GatewaySettingsRegistry, AStoreThatCannotBeOpenedGivesDefaultsAndIsNotCreated) {
    const TempDir dir;
    const fs::path store = dir.path() / "missing-folder" / "registry.ini";
    GatewaySettings settings = registryMode(store);
    EXPECT_EQ(settings.readGlobalSettings(), kRegistryGlobalDefaults);
    EXPECT_EQ(settings.ChannelCount(), 1);
    EXPECT_EQ(settings.ReadChannelSettings(1), kRegistryChannel1Defaults);
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
    EXPECT_EQ(settings.ReadChannelSettings(1), (ChannelSettings{6001, "COM1:", 9600, 8, 0, 0}));
    EXPECT_EQ(readFile(store), text);
}
