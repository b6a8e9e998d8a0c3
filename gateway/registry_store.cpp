#include "gateway/registry_store.h"

#include <charconv>
#include <system_error>

namespace qvx::gateway {

std::optional<std::uint32_t> parseRegistryNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return std::nullopt;
    }
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    constexpr std::uint64_t kMaxUnsigned = 0xFFFF'FFFFU;
    constexpr std::uint64_t kMaxNegative = 0x8000'0000U;  // magnitude of INT32_MIN
    if (negative) {
        if (magnitude > kMaxNegative) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(0U - static_cast<std::uint32_t>(magnitude));
    }
    if (magnitude > kMaxUnsigned) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(magnitude);
}

std::optional<RegistryKey> RegistryKey::open(const std::filesystem::path& storeFile,
                                             std::string keyPath) {
    const platform::IniFile file(storeFile, kNewStoreFileMode);
    std::error_code error;
    if (!file.load(error)) {
        return std::nullopt;  // exists but unreadable
    }
    if (!file.ensureSection(keyPath, error)) {
        // Creating the section failed: acceptable for a file that exists and can be read (its
        // values still count), fatal for a missing file that could not be created.
        std::error_code exists;
        if (!std::filesystem::exists(storeFile, exists)) {
            return std::nullopt;
        }
    }
    return RegistryKey(storeFile, std::move(keyPath), false);
}

std::optional<RegistryKey> RegistryKey::openReadOnly(const std::filesystem::path& storeFile,
                                                     std::string keyPath) {
    const platform::IniFile file(storeFile, kNewStoreFileMode);
    std::error_code error;
    if (!file.load(error)) {
        return std::nullopt;
    }
    return RegistryKey(storeFile, std::move(keyPath), true);
}

std::optional<std::string> RegistryKey::rawValue(std::string_view name) const {
    std::error_code error;
    const std::optional<platform::IniDocument> document = m_file.load(error);
    if (!document) {
        return std::nullopt;
    }
    return document->value(m_keyPath, name);
}

std::optional<std::uint32_t> RegistryKey::readNumber(std::string_view name) const {
    const std::optional<std::string> text = rawValue(name);
    return text ? parseRegistryNumber(*text) : std::nullopt;
}

std::optional<std::string> RegistryKey::readText(std::string_view name) const {
    std::optional<std::string> text = rawValue(name);
    if (text && text->size() > kRegistryTextBufferSize - 1) {
        return std::nullopt;
    }
    return text;
}

bool RegistryKey::writeNumber(std::string_view name, std::uint32_t value) const {
    return !m_readOnly && m_file.writeInt(m_keyPath, name, value);
}

bool RegistryKey::writeText(std::string_view name, std::string_view value) const {
    return !m_readOnly && m_file.writeString(m_keyPath, name, value);
}

std::uint32_t RegistryKey::numberOrWriteDefault(std::string_view name,
                                                std::uint32_t defaultValue) const {
    if (const std::optional<std::uint32_t> value = readNumber(name)) {
        return *value;
    }
    (void)writeNumber(name, defaultValue);  // a store that cannot be written keeps its state
    return defaultValue;
}

std::string RegistryKey::textOrWriteDefault(std::string_view name,
                                            std::string_view defaultValue) const {
    if (std::optional<std::string> value = readText(name)) {
        return std::move(*value);
    }
    (void)writeText(name, defaultValue);
    return std::string(defaultValue);
}

}  // namespace qvx::gateway
