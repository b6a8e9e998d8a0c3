#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>

#include "platform/file_descriptor.h"

namespace qvx::platform {

namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kMaxFileSize =
    std::size_t{16} * 1024 * 1024;   // bytes; an ini file is far smaller
constexpr int kMaxSymlinkHops = 40;  // as the kernel's own limit

std::string_view trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

enum class LineKind { Other, Section, Key };

// One line taken apart; offsets are into the raw line.
struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;       // section or key name, trimmed
    std::string_view value;      // key value, trimmed and unquoted
    std::size_t valueStart = 0;  // where a replacement value begins (after '=' and blanks)
    std::size_t afterEquals = 0;  // just after the '='
    std::size_t contentEnd = 0;  // where the line terminator begins
};

LineInfo classify(std::string_view raw, bool firstLine) {
    LineInfo info;
    std::size_t end = raw.size();
    if (end > 0 && raw[end - 1] == '\n') {
        --end;
        if (end > 0 && raw[end - 1] == '\r') {
            --end;
        }
    }
    info.contentEnd = end;
    std::size_t begin = 0;
    if (firstLine && raw.starts_with(kByteOrderMark)) {
        begin = kByteOrderMark.size();
    }
    const std::string_view content = raw.substr(begin, end - begin);
    const std::string_view trimmed = trim(content);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
        return info;
    }
    if (trimmed.front() == '[') {
        const std::size_t close = trimmed.rfind(']');
        if (close == std::string_view::npos) {
            return info;  // a broken section line: the keys below stay in the previous section
        }
        info.kind = LineKind::Section;
        info.name = trim(trimmed.substr(1, close - 1));
        return info;
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        return info;
    }
    const std::string_view key = trim(content.substr(0, equals));
    if (key.empty()) {
        return info;
    }
    info.kind = LineKind::Key;
    info.name = key;
    std::string_view rest = content.substr(equals + 1);
    const std::size_t valueOffset = rest.find_first_not_of(kBlanks);
    info.afterEquals = begin + equals + 1;
    info.valueStart =
        begin + equals + 1 + (valueOffset == std::string_view::npos ? rest.size() : valueOffset);
    std::string_view value = trim(rest);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    info.value = value;
    return info;
}

bool hasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// Follows symbolic links to the path that is finally written; the result need not exist.
std::optional<std::filesystem::path> resolveLinks(std::filesystem::path path,
                                                  std::error_code& error) {
    for (int hop = 0; hop < kMaxSymlinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                return path;
            }
            error = lastError();
            return std::nullopt;
        }
        if (!S_ISLNK(info.st_mode)) {
            return path;
        }
        std::array<char, 4096> buffer{};
        const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) {
            error = length < 0 ? lastError() : std::make_error_code(std::errc::filename_too_long);
            return std::nullopt;
        }
        const std::filesystem::path target(
            std::string(buffer.data(), static_cast<std::size_t>(length)));
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return std::nullopt;
}

std::string temporaryName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    return "." + target.filename().string() + ".tmp" + std::to_string(::getpid()) + "." +
           std::to_string(counter.fetch_add(1));
}

}  // namespace

std::int32_t parseProfileInt(std::string_view value, std::int32_t defaultValue) {
    value = trim(value);
    if (value.empty()) {
        return defaultValue;
    }
    bool negative = false;
    if (value.front() == '+' || value.front() == '-') {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    std::uint32_t number = 0;  // unsigned: overflow wraps modulo 2^32 by definition
    for (const char c : value) {
        if (c < '0' || c > '9') {
            break;
        }
        number = number * 10U + static_cast<std::uint32_t>(c - '0');
    }
    if (negative) {
        number = 0U - number;
    }
    return static_cast<std::int32_t>(number);
}

std::string_view truncateUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t cut = maxBytes;
    // Back up over continuation bytes (10xxxxxx) to the start of the character that was cut.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U) {
        --cut;
    }
    return text.substr(0, cut);
}

IniDocument::IniDocument(std::string_view text) {
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::size_t length = newline == std::string_view::npos ? text.size() : newline + 1;
        m_lines.emplace_back(text.substr(0, length));
        text.remove_prefix(length);
    }
}

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const LineInfo info = classify(m_lines[i], i == 0);
        if (info.kind == LineKind::Section) {
            inSection = equalsIgnoringCase(info.name, section);
        } else if (inSection && info.kind == LineKind::Key && equalsIgnoringCase(info.name, key)) {
            return std::string(info.value);
        }
    }
    return std::nullopt;
}

bool IniDocument::hasSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const LineInfo info = classify(m_lines[i], i == 0);
        if (info.kind == LineKind::Section && equalsIgnoringCase(info.name, section)) {
            return true;
        }
    }
    return false;
}

std::string_view IniDocument::lineEnding() const {
    for (const std::string& line : m_lines) {
        if (line.ends_with("\r\n")) {
            return "\r\n";
        }
        if (line.ends_with('\n')) {
            return "\n";
        }
    }
    return "\n";
}

void IniDocument::terminateLastLine() {
    if (!m_lines.empty() && !m_lines.back().ends_with('\n')) {
        m_lines.back() += lineEnding();
    }
}

bool IniDocument::addSection(std::string_view section) {
    section = trim(section);
    if (hasLineBreakOrNul(section) || section.find(']') != std::string_view::npos) {
        return false;
    }
    if (hasSection(section)) {
        return true;
    }
    const std::string eol(lineEnding());
    terminateLastLine();
    // A blank line between the last section and the new one, as hand-written files have.
    if (!m_lines.empty() && !trim(m_lines.back()).empty()) {
        m_lines.push_back(eol);
    }
    m_lines.push_back("[" + std::string(section) + "]" + eol);
    return true;
}

bool IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (hasLineBreakOrNul(section) || section.find(']') != std::string_view::npos ||
        hasLineBreakOrNul(key) || key.empty() || key.find('=') != std::string_view::npos ||
        key.front() == '[' || key.front() == ';' || key.front() == '#' ||
        hasLineBreakOrNul(value)) {
        return false;
    }

    // Replace the key that a read would find; else add it after the last key of the first
    // section of that name, so comments and blank lines before the next section stay there.
    bool inSection = false;
    bool inFirstSection = false;
    std::optional<std::size_t> insertAfter;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const LineInfo info = classify(m_lines[i], i == 0);
        if (info.kind == LineKind::Section) {
            inSection = equalsIgnoringCase(info.name, section);
            inFirstSection = inSection && !insertAfter;
            if (inFirstSection) {
                insertAfter = i;
            }
        } else if (inSection && info.kind == LineKind::Key) {
            if (equalsIgnoringCase(info.name, key)) {
                std::string& line = m_lines[i];
                // The blanks after '=' stay as they were, unless the value brings its own:
                // then it replaces them, so writing the same value twice changes nothing.
                const bool ownBlanks = !value.empty() && kBlanks.find(value.front()) != std::string_view::npos;
                line = line.substr(0, ownBlanks ? info.afterEquals : info.valueStart) + std::string(value) +
                       line.substr(info.contentEnd);
                return true;
            }
            if (inFirstSection) {
                insertAfter = i;
            }
        }
    }

    const std::string eol(lineEnding());
    const std::string keyLine = std::string(key) + "=" + std::string(value) + eol;
    if (insertAfter) {
        std::string& previous = m_lines[*insertAfter];
        if (!previous.ends_with('\n')) {
            previous += eol;
        }
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(*insertAfter + 1), keyLine);
        return true;
    }
    if (!addSection(section)) {
        return false;
    }
    m_lines.push_back(keyLine);
    return true;
}

std::string IniDocument::text() const {
    std::string all;
    for (const std::string& line : m_lines) {
        all += line;
    }
    return all;
}

std::optional<std::string> loadTextFile(const std::filesystem::path& path, std::error_code& error) {
    // Non-blocking open, so that a FIFO under the file's name cannot hang the reader.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::string();
        }
        error = lastError();
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        error = lastError();
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        error = std::make_error_code(std::errc::invalid_argument);
        return std::nullopt;
    }
    std::string text;
    std::array<char, 8192> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = lastError();
            return std::nullopt;
        }
        if (got == 0) {
            return text;
        }
        text.append(buffer.data(), static_cast<std::size_t>(got));
        if (text.size() > kMaxFileSize) {
            error = std::make_error_code(std::errc::file_too_large);
            return std::nullopt;
        }
    }
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view text,
                         std::error_code& error, unsigned newFileMode) {
    const std::optional<std::filesystem::path> target = resolveLinks(path, error);
    if (!target) {
        return false;
    }
    struct stat old {};
    const bool exists = ::stat(target->c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) {
            error = std::make_error_code(std::errc::invalid_argument);
            return false;
        }
        // A file without any write permission bit is read-only even for the superuser.
        if ((old.st_mode & 0222U) == 0 ||
            ::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0) {
            error = std::make_error_code(std::errc::permission_denied);
            return false;
        }
    } else if (errno != ENOENT) {
        error = lastError();
        return false;
    }

    const std::filesystem::path folder =
        target->has_parent_path() ? target->parent_path() : std::filesystem::path(".");
    std::filesystem::path temporary;
    int rawFd = -1;
    for (int attempt = 0; attempt < 100 && rawFd < 0; ++attempt) {
        temporary = folder / temporaryName(*target);
        // The umask applies to a new file as to any file the program creates.
        rawFd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                       static_cast<mode_t>(exists ? 0600U : newFileMode & 07777U));
        if (rawFd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (rawFd < 0) {
        error = lastError();
        return false;
    }
    FileDescriptor fd(rawFd);
    const auto fail = [&] {
        error = lastError();
        ::unlink(temporary.c_str());
        return false;
    };
    if (!writeAll(fd.get(), text)) {
        return fail();
    }
    if (exists) {
        // Owner first: changing the owner may clear set-id bits that fchmod then restores.
        (void)::fchown(fd.get(), old.st_uid, old.st_gid);  // allowed only to privileged users
        if (::fchmod(fd.get(), old.st_mode & 07777U) != 0) {
            return fail();
        }
    }
    if (::fsync(fd.get()) != 0) {
        return fail();
    }
    if (!fd.close()) {
        return fail();
    }
    if (::rename(temporary.c_str(), target->c_str()) != 0) {
        return fail();
    }
    // Make the rename itself durable; a failure here does not undo the completed replacement.
    const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        (void)::fsync(dir.get());
    }
    return true;
}

std::optional<IniDocument> IniFile::load(std::error_code& error) const {
    std::optional<std::string> text = loadTextFile(m_path, error);
    if (!text) {
        return std::nullopt;
    }
    return IniDocument(*text);
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue, std::size_t bufferSize) const {
    std::error_code ignored;
    const std::optional<IniDocument> document = load(ignored);
    std::optional<std::string> found;
    if (document) {
        found = document->value(section, key);
    }
    const std::string_view value = found ? std::string_view(*found) : defaultValue;
    const std::size_t maxBytes = bufferSize == 0 ? 0 : bufferSize - 1;
    return std::string(truncateUtf8(value, maxBytes));
}

std::int32_t IniFile::readInt(std::string_view section, std::string_view key,
                              std::int32_t defaultValue) const {
    std::error_code ignored;
    const std::optional<IniDocument> document = load(ignored);
    if (!document) {
        return defaultValue;
    }
    const std::optional<std::string> value = document->value(section, key);
    return value ? parseProfileInt(*value, defaultValue) : defaultValue;
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value,
                          std::error_code& error) const {
    std::optional<IniDocument> document = load(error);
    if (!document) {
        return false;  // never replace a file whose contents could not be read
    }
    if (!document->setValue(section, key, value)) {
        error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    return writeFileAtomically(m_path, document->text(), error, m_newFileMode);
}

bool IniFile::writeString(std::string_view section, std::string_view key,
                          std::string_view value) const {
    std::error_code ignored;
    return writeString(section, key, value, ignored);
}

bool IniFile::writeInt(std::string_view section, std::string_view key, std::int64_t value) const {
    std::array<char, 24> digits{};
    const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc()) {
        return false;
    }
    return writeString(
        section, key,
        std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data())));
}

bool IniFile::ensureSection(std::string_view section, std::error_code& error) const {
    std::optional<IniDocument> document = load(error);
    if (!document) {
        return false;
    }
    if (document->hasSection(section)) {
        return true;
    }
    if (!document->addSection(section)) {
        error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    return writeFileAtomically(m_path, document->text(), error, m_newFileMode);
}

}  // namespace qvx::platform
