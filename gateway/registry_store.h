#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace qvx::gateway {

/// Texts in the store are read into a buffer of this many bytes with the terminator, so a
/// readable text holds at most 99 bytes.
inline constexpr std::size_t kRegistryTextBufferSize = 100;

/// Permission bits of a store file the gateway creates: it holds the passphrase, so only its
/// owner may read it.
inline constexpr unsigned kNewStoreFileMode = 0600;

/// A whole decimal number that fits in 32 bits, signed or unsigned ("-1" gives 0xFFFFFFFF);
/// nullopt for anything else (empty, other characters, out of range).
[[nodiscard]] std::optional<std::uint32_t> parseRegistryNumber(std::string_view text);

/// One key of the service's settings store: a section of an ini file (for instance
/// "Parameters" or "Parameters\Gateway1") whose values are numbers stored as decimal text or
/// texts. Unlike a plain ini file the store fills itself: callers write back the default of
/// every value that is missing or unreadable, with the *OrWriteDefault helpers.
class RegistryKey {
public:
    /// Opens the key, creating the file and the section when missing. nullopt when the file
    /// exists but cannot be read, or is missing and cannot be created; the caller then uses its
    /// defaults and writes nothing. A file that can be read but not written opens: its values
    /// are used, and writing back fails silently.
    [[nodiscard]] static std::optional<RegistryKey> open(const std::filesystem::path& storeFile,
                                                         std::string keyPath);
    /// Opens the key for reading only: nothing is ever created or written (the writes below do
    /// nothing and return false), and a missing file or section reads as empty. nullopt when
    /// the file exists but cannot be read.
    [[nodiscard]] static std::optional<RegistryKey> openReadOnly(
        const std::filesystem::path& storeFile, std::string keyPath);

    /// True when a value is stored under `name`, readable or not.
    [[nodiscard]] bool contains(std::string_view name) const { return rawValue(name).has_value(); }
    /// The number stored under `name`, or nullopt when missing or unreadable.
    [[nodiscard]] std::optional<std::uint32_t> readNumber(std::string_view name) const;
    /// The text stored under `name`, or nullopt when missing or longer than 99 bytes.
    [[nodiscard]] std::optional<std::string> readText(std::string_view name) const;
    /// The text stored under `name` whatever its length, or nullopt when missing.
    [[nodiscard]] std::optional<std::string> rawValue(std::string_view name) const;

    /// Stores a number as unsigned decimal text.
    [[nodiscard]] bool writeNumber(std::string_view name, std::uint32_t value) const;
    /// Stores a text (at most one line; see platform::IniDocument::setValue).
    [[nodiscard]] bool writeText(std::string_view name, std::string_view value) const;

    /// The stored number, or `defaultValue` after writing it back when it cannot be read.
    [[nodiscard]] std::uint32_t numberOrWriteDefault(std::string_view name,
                                                     std::uint32_t defaultValue) const;
    /// The stored text, or `defaultValue` after writing it back when it cannot be read.
    [[nodiscard]] std::string textOrWriteDefault(std::string_view name,
                                                 std::string_view defaultValue) const;

    [[nodiscard]] const std::string& keyPath() const { return m_keyPath; }

private:
    RegistryKey(std::filesystem::path storeFile, std::string keyPath, bool readOnly)
        : m_file(std::move(storeFile), kNewStoreFileMode),
          m_keyPath(std::move(keyPath)),
          m_readOnly(readOnly) {}

    platform::IniFile m_file;
    std::string m_keyPath;  // section name, e.g. "Parameters\Gateway1"
    bool m_readOnly;        // true: writes do nothing
};

}  // namespace qvx::gateway
