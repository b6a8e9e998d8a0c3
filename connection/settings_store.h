#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace qvx::connection {

/// Where the client settings are kept, one key per call: `qvx.ini` on disk, or a stand-in
/// that a test watches.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    /// The value, at most bufferSize - 1 bytes, or `defaultValue` when it is missing.
    [[nodiscard]] virtual std::string readString(std::string_view section, std::string_view key,
                                                 std::string_view defaultValue,
                                                 std::size_t bufferSize) const = 0;
    /// The value read as a decimal number, or `defaultValue` when it is missing.
    [[nodiscard]] virtual std::int32_t readInt(std::string_view section, std::string_view key,
                                               std::int32_t defaultValue) const = 0;
    [[nodiscard]] virtual bool writeString(std::string_view section, std::string_view key,
                                           std::string_view value) const = 0;
    /// Writes the number as plain decimal text.
    [[nodiscard]] virtual bool writeInt(std::string_view section, std::string_view key,
                                        std::int64_t value) const = 0;
};

/// The settings in an ini file with the private-profile rules, numbers in the C locale.
class IniSettingsStore final : public SettingsStore {
public:
    explicit IniSettingsStore(std::filesystem::path path) : m_path(std::move(path)) {}
    [[nodiscard]] std::string readString(std::string_view section, std::string_view key,
                                         std::string_view defaultValue,
                                         std::size_t bufferSize) const override;
    [[nodiscard]] std::int32_t readInt(std::string_view section, std::string_view key,
                                       std::int32_t defaultValue) const override;
    [[nodiscard]] bool writeString(std::string_view section, std::string_view key,
                                   std::string_view value) const override;
    [[nodiscard]] bool writeInt(std::string_view section, std::string_view key,
                                std::int64_t value) const override;

private:
    std::filesystem::path m_path;
};

}  // namespace qvx::connection
