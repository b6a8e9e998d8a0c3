#include "gateway/gateway_settings.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <utility>

#include "gateway/registry_store.h"
#include "platform/ini_file.h"

namespace qvx::gateway {

namespace {

// Texts are read into a buffer of this size (bytes, terminator included).
constexpr std::size_t kTextBufferSize = 100;

// The settings file.
constexpr std::string_view kGlobals = "Globals";
constexpr std::string_view kBasePortAddress = "BasePortAddress";
constexpr std::string_view kPorts = "Ports";
constexpr std::string_view kPortSectionPrefix = "Port";
constexpr std::int32_t kFileBasePort = 5100;
constexpr std::string_view kNoParityName = "NOPARITY";
constexpr std::string_view kOneStopBitName = "ONESTOPBIT";

// The service store.
constexpr std::string_view kParametersKey = "Parameters";
constexpr std::string_view kGatewayKeyPrefix = "\\Gateway";
constexpr std::string_view kTcpPortBase = "TCPPortBase";
constexpr std::string_view kGatewayMax = "GatewayMax";
constexpr std::uint32_t kRegistryBasePort = 5000;

// Names and defaults common to both stores.
constexpr std::string_view kIpAddress = "IPAddress";
constexpr std::string_view kSecured = "Secured";
constexpr std::string_view kPassword = "Password";
constexpr std::string_view kComPort = "COMPort";
constexpr std::string_view kBaudRate = "BaudRate";
constexpr std::string_view kByteSize = "ByteSize";
constexpr std::string_view kParity = "Parity";
constexpr std::string_view kStopBits = "StopBits";
constexpr std::string_view kIdleTimeout = "IdleTimeout";
constexpr std::string_view kTrace = "Trace";
constexpr std::string_view kDefaultAddress = "127.0.0.1";
constexpr std::string_view kDefaultPassword = "Pelmar";
constexpr std::string_view kDefaultComPort = "COM1:";
constexpr std::uint32_t kDefaultBaudRate = 9600;
constexpr std::uint8_t kDefaultByteSize = 8;
constexpr std::int32_t kDefaultChannelCount = 1;

constexpr std::array<std::string_view, 5> kParityNames = {kNoParityName, "ODDPARITY", "EVENPARITY",
                                                          "MARKPARITY", "SPACEPARITY"};
constexpr std::array<std::string_view, 3> kStopBitNames = {kOneStopBitName, "ONE5STOPBITS",
                                                           "TWOSTOPBITS"};

template <std::size_t N>
std::uint8_t codeOf(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t code = 0; code < names.size(); ++code) {
        if (names[code] == name) {
            return static_cast<std::uint8_t>(code);
        }
    }
    return 0;
}

// A Secured as written: off only for a whole decimal number that is 0.
void takeSecured(const std::string& text, GlobalSettings& settings) {
    if (const std::optional<std::uint32_t> number = parseRegistryNumber(text)) {
        settings.secured = *number != 0;
        return;
    }
    settings.secured = true;
    settings.securedUnreadable = true;
    settings.securedText = text;
}

std::string channelKeyPath(std::int32_t channel) {
    return std::string(kParametersKey) + std::string(kGatewayKeyPrefix) + std::to_string(channel);
}

}  // namespace

std::uint8_t parityFromName(std::string_view name) {
    return codeOf(kParityNames, name);
}

std::uint8_t stopBitsFromName(std::string_view name) {
    return codeOf(kStopBitNames, name);
}

std::uint16_t tcpPort(std::int64_t value) {
    return value > 0 && value <= std::numeric_limits<std::uint16_t>::max()
               ? static_cast<std::uint16_t>(value)
               : 0;
}

std::uint16_t dataPortFor(std::uint32_t basePort, std::int32_t channel) {
    return tcpPort(std::int64_t{basePort} + channel);
}

std::filesystem::path settingsFilePath(std::string_view programPath, std::string_view serviceName) {
    const std::size_t slash = programPath.rfind('/');
    const std::string folder = slash == std::string_view::npos
                                   ? std::string(kDefaultSettingsFolder)
                                   : std::string(programPath.substr(0, slash + 1));
    return folder + std::string(serviceName) + ".ini";
}

std::filesystem::path registryFilePath(const char* overridePath) {
    if (overridePath != nullptr && *overridePath != '\0') {
        return overridePath;
    }
    return std::string(kDefaultRegistryFile);
}

void GatewaySettings::ConfigureStores(std::filesystem::path settingsFile,
                                      std::filesystem::path registryFile, bool registryMode) {
    m_settingsFile = std::move(settingsFile);
    m_registryFile = std::move(registryFile);
    m_registryMode = registryMode;
}

GlobalSettings GatewaySettings::readGlobalSettings() const {
    GlobalSettings settings;
    if (!m_registryMode) {
        const platform::IniFile file(m_settingsFile);
        settings.loginPort = tcpPort(file.readInt(kGlobals, kBasePortAddress, kFileBasePort));
        settings.listenAddress =
            file.readString(kGlobals, kIpAddress, kDefaultAddress, kTextBufferSize);
        // Empty counts as missing, as for every number of the file.
        const std::string secured = file.readString(kGlobals, kSecured, "", kTextBufferSize);
        if (!secured.empty()) {
            takeSecured(secured, settings);
        }
        settings.password = file.readString(kGlobals, kPassword, kDefaultPassword, kTextBufferSize);
        return settings;
    }
    settings.loginPort = tcpPort(kRegistryBasePort);
    settings.listenAddress = kDefaultAddress;
    settings.password = kDefaultPassword;
    const std::optional<RegistryKey> key = openKey(std::string(kParametersKey));
    if (!key) {
        return settings;
    }
    settings.loginPort = tcpPort(key->numberOrWriteDefault(kTcpPortBase, kRegistryBasePort));
    // Only a missing Secured or Password gets its default; one that is there but cannot be
    // read fails closed.
    if (const std::optional<std::string> secured = key->rawValue(kSecured)) {
        takeSecured(*secured, settings);
    } else {
        (void)key->writeNumber(kSecured, 0);
    }
    settings.listenAddress = key->textOrWriteDefault(kIpAddress, kDefaultAddress);
    if (!key->contains(kPassword)) {
        (void)key->writeText(kPassword, kDefaultPassword);
    } else if (std::optional<std::string> password = key->readText(kPassword)) {
        settings.password = std::move(*password);
    } else {
        settings.password.clear();
        settings.passwordUnreadable = true;
    }
    return settings;
}

std::int32_t GatewaySettings::ChannelCount() const {
    if (!m_registryMode) {
        return platform::IniFile(m_settingsFile).readInt(kGlobals, kPorts, kDefaultChannelCount);
    }
    const std::optional<RegistryKey> key = openKey(std::string(kParametersKey));
    if (!key) {
        return kDefaultChannelCount;
    }
    return static_cast<std::int32_t>(
        key->numberOrWriteDefault(kGatewayMax, static_cast<std::uint32_t>(kDefaultChannelCount)));
}

ChannelSettings GatewaySettings::ReadChannelSettings(std::int32_t channel) {
    ChannelSettings settings;
    if (!m_registryMode) {
        const platform::IniFile file(m_settingsFile);
        const auto basePort =
            static_cast<std::uint32_t>(file.readInt(kGlobals, kBasePortAddress, kFileBasePort));
        settings.dataPort = dataPortFor(basePort, channel);
        if (m_listenAddress.empty()) {
            m_listenAddress =
                file.readString(kGlobals, kIpAddress, kDefaultAddress, kTextBufferSize);
        }
        const std::string section = std::string(kPortSectionPrefix) + std::to_string(channel);
        settings.comPort = file.readString(section, kComPort, kDefaultComPort, kTextBufferSize);
        settings.baudRate = static_cast<std::uint32_t>(
            file.readInt(section, kBaudRate, static_cast<std::int32_t>(kDefaultBaudRate)));
        settings.byteSize =
            static_cast<std::uint8_t>(file.readInt(section, kByteSize, kDefaultByteSize));
        settings.parity =
            parityFromName(file.readString(section, kParity, kNoParityName, kTextBufferSize));
        settings.stopBits =
            stopBitsFromName(file.readString(section, kStopBits, kOneStopBitName, kTextBufferSize));
        settings.idleTimeoutSeconds =
            static_cast<std::uint32_t>(std::max(0, file.readInt(section, kIdleTimeout, 0)));
        // A path is never cut: a shortened one would name another file.
        settings.tracePath = file.readString(section, kTrace, "");
        return settings;
    }

    const std::optional<RegistryKey> parameters = openKey(std::string(kParametersKey));
    const std::uint32_t basePort =
        parameters ? parameters->numberOrWriteDefault(kTcpPortBase, kRegistryBasePort)
                   : kRegistryBasePort;
    settings.dataPort = dataPortFor(basePort, channel);
    if (m_listenAddress.empty()) {
        m_listenAddress = kDefaultAddress;
        if (parameters) {
            m_listenAddress = parameters->textOrWriteDefault(kIpAddress, m_listenAddress);
        }
    }

    settings.comPort = kDefaultComPort;
    settings.baudRate = kDefaultBaudRate;
    settings.byteSize = kDefaultByteSize;
    settings.parity = kNoParity;
    settings.stopBits = kOneStopBit;
    const std::optional<RegistryKey> key = openKey(channelKeyPath(channel));
    if (!key) {
        return settings;
    }
    settings.comPort = key->textOrWriteDefault(kComPort, settings.comPort);
    settings.baudRate = key->numberOrWriteDefault(kBaudRate, settings.baudRate);
    settings.byteSize =
        static_cast<std::uint8_t>(key->numberOrWriteDefault(kByteSize, settings.byteSize));
    settings.parity =
        static_cast<std::uint8_t>(key->numberOrWriteDefault(kParity, settings.parity));
    settings.stopBits =
        static_cast<std::uint8_t>(key->numberOrWriteDefault(kStopBits, settings.stopBits));
    settings.idleTimeoutSeconds = key->readNumber(kIdleTimeout).value_or(0);
    settings.tracePath = key->rawValue(kTrace).value_or(std::string());
    return settings;
}

std::optional<RegistryKey> GatewaySettings::openKey(std::string keyPath) const {
    return m_readOnly ? RegistryKey::openReadOnly(m_registryFile, std::move(keyPath))
                      : RegistryKey::open(m_registryFile, std::move(keyPath));
}

}  // namespace qvx::gateway
