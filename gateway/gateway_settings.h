#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "gateway/registry_store.h"

namespace qvx::gateway {

/// The service name: base name of the settings file and of the installed service.
inline constexpr std::string_view kServiceName = "qvx_gateway";
/// Folder of the settings file when the program was started without a folder in its path.
inline constexpr std::string_view kDefaultSettingsFolder = "/etc/qvx_gateway/";
/// Default settings store of service mode, and the variable that overrides its path.
inline constexpr std::string_view kDefaultRegistryFile = "/etc/qvx_gateway/registry.ini";
inline constexpr const char* kRegistryPathVariable = "QVX_GATEWAY_REGISTRY";

/// Parity codes of a serial line.
inline constexpr std::uint8_t kNoParity = 0;
inline constexpr std::uint8_t kOddParity = 1;
inline constexpr std::uint8_t kEvenParity = 2;
inline constexpr std::uint8_t kMarkParity = 3;
inline constexpr std::uint8_t kSpaceParity = 4;

/// Stop-bit codes of a serial line.
inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOne5StopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;

/// "NOPARITY", "ODDPARITY", "EVENPARITY", "MARKPARITY", "SPACEPARITY" give codes 0 to 4,
/// compared exactly (case-sensitive); any other text gives kNoParity.
[[nodiscard]] std::uint8_t parityFromName(std::string_view name);
/// "ONESTOPBIT", "ONE5STOPBITS", "TWOSTOPBITS" give codes 0 to 2, compared exactly; any other
/// text gives kOneStopBit.
[[nodiscard]] std::uint8_t stopBitsFromName(std::string_view name);

/// A TCP port number from a setting. A value outside 1..65535 gives 0, which no listener
/// accepts: cut to 16 bits it would name some other port, possibly one already in use.
[[nodiscard]] std::uint16_t tcpPort(std::int64_t value);
/// TCP port of channel n's data listener: base port + n, or 0 past 65535.
[[nodiscard]] std::uint16_t dataPortFor(std::uint32_t basePort, std::int32_t channel);

/// The settings file beside the program: the folder of `programPath` (argv[0]) followed by
/// the service name and ".ini"; kDefaultSettingsFolder when the path has no folder.
[[nodiscard]] std::filesystem::path settingsFilePath(std::string_view programPath,
                                                     std::string_view serviceName);
/// The service-mode store: `overridePath` (the value of kRegistryPathVariable) when set and
/// not empty, else kDefaultRegistryFile.
[[nodiscard]] std::filesystem::path registryFilePath(const char* overridePath);

/// Settings of the whole process, as the login listener and its passphrase check use them.
struct GlobalSettings {
    std::uint16_t loginPort = 0;  // TCP port of the login listener; channel n adds n to it
    std::string listenAddress;    // local address of every listener: dotted IPv4 or host name
    bool secured = false;         // true: data ports serve only clients that logged in
    std::string password;         // passphrase of the login exchange, at most 99 bytes
    // A Secured that is not a whole decimal number (as "on" or "true") counts as on, so that a
    // mistyped value never turns security off; securedText then holds it as written. The
    // service store keeps such a value as it is instead of writing its default back.
    bool securedUnreadable = false;
    std::string securedText{};
    // Service store only: a stored Password longer than 99 bytes. It is left as it is, not
    // replaced by the default (which would publish the passphrase); no login succeeds then.
    bool passwordUnreadable = false;
    bool operator==(const GlobalSettings&) const = default;

    /// True when security is on but the passphrase cannot be known: every login is refused.
    [[nodiscard]] bool loginsRefused() const { return secured && passwordUnreadable; }
};

/// Settings of one gateway channel.
struct ChannelSettings {
    std::uint16_t dataPort = 0;  // TCP port of the channel's data listener (base port + n)
    std::string comPort;         // serial port: "COMn:" or a device path, at most 99 bytes
    std::uint32_t baudRate = 0;  // line speed in bit/s, passed on unchanged
    std::uint8_t byteSize = 0;   // data bits per character (5 to 8 are usable)
    std::uint8_t parity = 0;     // parity code, kNoParity .. kSpaceParity
    std::uint8_t stopBits = 0;   // stop-bit code, kOneStopBit .. kTwoStopBits
    // Optional keys, read when present and never written back by the service store:
    std::uint32_t idleTimeoutSeconds = 0;  // IdleTimeout: a session quiet this long ends; 0 off
    std::string tracePath{};               // Trace: file taking the hex trace; empty for none
    bool operator==(const ChannelSettings&) const = default;
};

/// Reads the gateway's settings, once at start-up, from one of two stores: the settings file
/// (console mode) or the self-filling service store (service mode), where every value that
/// cannot be read is written back with its default. Not thread-safe: the service thread
/// configures the stores and builds the channels one after the other.
class GatewaySettings {
public:
    /// Remembers both store paths and which one is used.
    void ConfigureStores(std::filesystem::path settingsFile, std::filesystem::path registryFile,
                         bool registryMode);
    /// Reads the service store without filling it: nothing is created or written back, and
    /// what is missing or unreadable gives the default. For checking the settings.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    /// Login port, listen address, Secured and Password for the login listener.
    [[nodiscard]] GlobalSettings readGlobalSettings() const;
    /// Number of channels, numbered 1 to count; below 1 means none.
    [[nodiscard]] std::int32_t ChannelCount() const;
    /// The settings of channel n; the first call also fills the process-wide listen address.
    [[nodiscard]] ChannelSettings ReadChannelSettings(std::int32_t channel);

    /// Listen address of the channels' data listeners (empty until a channel was read).
    [[nodiscard]] const std::string& listenAddress() const { return m_listenAddress; }
    [[nodiscard]] bool registryMode() const { return m_registryMode; }
    /// The store in use: the settings file, or the service store in registry mode.
    [[nodiscard]] const std::filesystem::path& storePath() const {
        return m_registryMode ? m_registryFile : m_settingsFile;
    }

private:
    [[nodiscard]] std::optional<RegistryKey> openKey(std::string keyPath) const;

    std::filesystem::path m_settingsFile;  // console mode: the ini file beside the program
    std::filesystem::path m_registryFile;  // service mode: the self-filling store
    bool m_registryMode = false;           // true: service mode, read m_registryFile
    bool m_readOnly = false;               // true: the service store is never written
    std::string m_listenAddress;           // process-wide, filled by the first channel read
};

}  // namespace qvx::gateway
