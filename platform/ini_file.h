#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace qvx::platform {

// Ini files with the semantics of the classic private-profile functions:
// - a section starts with a line "[name]" (the name runs to the last ']' on the line);
//   a key is a line "name=value"; lines starting with ';' or '#' are comments;
// - section and key names match without regard to ASCII case; names and values are read with
//   surrounding blanks (space, tab) removed, and a value wholly enclosed in a matching pair of
//   single or double quotes loses the quotes;
// - there are no comments at the end of a key line: "Port=5100 ; main" has the value
//   "5100 ; main";
// - a section may appear several times; the first occurrence of a key wins;
// - a write changes or adds exactly one line and keeps every other byte of the file.
// All numbers are read and written in the C locale, whatever the process locale is.

/// The integer reading rule of the profile functions, applied to a value as read (trimmed):
/// an empty value gives `defaultValue`; otherwise an optional '+' or '-' and the decimal digits
/// that follow it count, and reading stops at the first other character ("12abc" gives 12).
/// Garbage without leading digits ("abc", "-", "0x" prefixes count as "0") gives 0. The number
/// is taken modulo 2^32 and returned as two's complement, so an unsigned 32-bit value written
/// as decimal text comes back bit for bit when cast to std::uint32_t.
[[nodiscard]] std::int32_t parseProfileInt(std::string_view value, std::int32_t defaultValue);

/// Shortens `text` to at most `maxBytes` bytes without cutting a UTF-8 sequence apart.
[[nodiscard]] std::string_view truncateUtf8(std::string_view text, std::size_t maxBytes);

/// The text of an ini file held in memory. Parsing never fails and does no I/O: lines it does
/// not understand are kept as they are and take no part in look-ups.
class IniDocument {
public:
    IniDocument() = default;
    /// Takes the text of a file (a leading UTF-8 byte-order mark is kept but not parsed).
    explicit IniDocument(std::string_view text);

    /// The value of the first `key` in a section called `section`, trimmed and unquoted;
    /// nullopt when there is no such key.
    [[nodiscard]] std::optional<std::string> value(std::string_view section,
                                                   std::string_view key) const;
    /// True when a section line with this name exists.
    [[nodiscard]] bool hasSection(std::string_view section) const;

    /// Sets the first `key` of `section` to `value`, adding the key at the end of the section
    /// or the section at the end of the text when missing. Refuses (false, text unchanged)
    /// names or values that could not be read back as written: any line break or NUL byte,
    /// a section name with ']', an empty key name, or a key name with '=' or starting with
    /// '[', ';' or '#'. Names are trimmed.
    [[nodiscard]] bool setValue(std::string_view section, std::string_view key,
                                std::string_view value);
    /// Adds an empty section at the end when no section of that name exists.
    [[nodiscard]] bool addSection(std::string_view section);

    /// The whole text: unchanged lines byte for byte as they were parsed.
    [[nodiscard]] std::string text() const;

private:
    std::string_view lineEnding() const;
    void terminateLastLine();

    std::vector<std::string> m_lines;  // raw lines, each with its own line terminator if any
};

/// Loads a file's text. A missing file gives an empty text; a file that exists but cannot be
/// read completely (no permission, not a regular file, larger than 16 MiB) gives nullopt.
[[nodiscard]] std::optional<std::string> loadTextFile(const std::filesystem::path& path,
                                                      std::error_code& error);

/// Replaces the file `path` by `text` so that readers only ever see the old or the new file:
/// the text goes into a temporary file in the same folder, is flushed to disk and renamed over
/// the target. A symbolic link is followed and its final target replaced. The new file keeps
/// the old one's permission bits (and owner where allowed); a new file gets `newFileMode` less
/// the umask. Fails when the target exists and is not writable (no write permission bit set,
/// or not writable by this process), or when the folder does not allow creating the temporary
/// file.
[[nodiscard]] bool writeFileAtomically(const std::filesystem::path& path, std::string_view text,
                                       std::error_code& error, unsigned newFileMode = 0666);

/// An ini file on disk, read and written through the rules above. Every call reads the file
/// anew; nothing is cached. Read failures of any kind give the defaults.
class IniFile {
public:
    /// No limit for readString's buffer.
    static constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

    /// `newFileMode`: permission bits (less the umask) of the file when a write creates it;
    /// 0600 for a file that holds secrets.
    explicit IniFile(std::filesystem::path path, unsigned newFileMode = 0666)
        : m_path(std::move(path)), m_newFileMode(newFileMode) {}

    /// The value of `key` in `section`, or `defaultValue` when the file, section or key is
    /// missing. Like a read into a buffer of `bufferSize` bytes with a terminator, the result
    /// holds at most bufferSize - 1 bytes (cut at a UTF-8 character boundary).
    [[nodiscard]] std::string readString(std::string_view section, std::string_view key,
                                         std::string_view defaultValue,
                                         std::size_t bufferSize = kUnlimited) const;
    /// The value read by parseProfileInt; `defaultValue` when missing or empty.
    [[nodiscard]] std::int32_t readInt(std::string_view section, std::string_view key,
                                       std::int32_t defaultValue) const;

    /// Writes one key (creating file, section and key as needed); false when the value cannot
    /// be stored (see IniDocument::setValue), the existing file cannot be read completely (it is
    /// then left alone) or the replacement fails. `error` tells why.
    [[nodiscard]] bool writeString(std::string_view section, std::string_view key,
                                   std::string_view value, std::error_code& error) const;
    [[nodiscard]] bool writeString(std::string_view section, std::string_view key,
                                   std::string_view value) const;
    /// Writes a signed decimal number.
    [[nodiscard]] bool writeInt(std::string_view section, std::string_view key,
                                std::int64_t value) const;
    /// Adds an empty section when the file has none of that name (creating the file).
    [[nodiscard]] bool ensureSection(std::string_view section, std::error_code& error) const;

    /// Reads and parses the whole file; nullopt when it exists but cannot be read.
    [[nodiscard]] std::optional<IniDocument> load(std::error_code& error) const;

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    unsigned m_newFileMode;  // permission bits of a file created by a write
};

}  // namespace qvx::platform
