#include "connection/settings_store.h"

#include "platform/ini_file.h"

namespace qvx::connection {

std::string IniSettingsStore::readString(std::string_view section, std::string_view key,
                                         std::string_view defaultValue,
                                         std::size_t bufferSize) const {
    return platform::IniFile(m_path).readString(section, key, defaultValue, bufferSize);
}

std::int32_t IniSettingsStore::readInt(std::string_view section, std::string_view key,
                                       std::int32_t defaultValue) const {
    return platform::IniFile(m_path).readInt(section, key, defaultValue);
}

bool IniSettingsStore::writeString(std::string_view section, std::string_view key,
                                   std::string_view value) const {
    return platform::IniFile(m_path).writeString(section, key, value);
}

bool IniSettingsStore::writeInt(std::string_view section, std::string_view key,
                                std::int64_t value) const {
    return platform::IniFile(m_path).writeInt(section, key, value);
}

}  // namespace qvx::connection
