#include "gateway/systemd_control.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <thread>

#include "platform/file_descriptor.h"

namespace qvx::gateway {

namespace {

// Longest user name systemd accepts in User= (and the login tools' limit).
constexpr std::size_t kMaxAccountLength = 31;

}  // namespace

UnitState unitStateFromText(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) {
        return UnitState::Unknown;
    }
    text.remove_prefix(start);
    text = text.substr(0, text.find_first_of(" \t\r\n"));
    if (text == "inactive" || text == "failed") {
        return UnitState::Stopped;
    }
    if (text == "activating") {
        return UnitState::StartPending;
    }
    if (text == "active" || text == "reloading") {
        return UnitState::Running;
    }
    if (text == "deactivating") {
        return UnitState::StopPending;
    }
    return UnitState::Unknown;
}

std::optional<std::string> unitExecWord(std::string_view programPath) {
    if (programPath.empty() || programPath.front() != '/') {
        return std::nullopt;
    }
    std::string word;
    bool quote = false;
    for (const char c : programPath) {
        const auto byte = static_cast<unsigned char>(c);
        // systemd refuses a program name with quotes or backslashes, escaped or not; whether
        // it expands '$' there differs between its versions.
        if (byte < 0x20 || byte == 0x7F || c == '"' || c == '\'' || c == '\\' || c == '$') {
            return std::nullopt;
        }
        if (c == '%') {
            word += "%%";  // a specifier otherwise
        } else {
            word += c;
            quote = quote || c == ' ';
        }
    }
    return quote ? "\"" + word + "\"" : word;
}

bool isUsableAccount(std::string_view account) {
    if (account.empty() || account.size() > kMaxAccountLength || account.front() == '-') {
        return false;
    }
    const bool numeric =
        std::all_of(account.begin(), account.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (numeric) {
        return true;  // systemd runs a service under a bare user id
    }
    const bool plain = std::all_of(account.begin(), account.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-' || c == '.';
    });
    if (!plain) {
        return false;
    }
    const std::string name(account);
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    return ::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
           found != nullptr;
}

bool isExistingGroup(std::string_view group) {
    const std::string name(group);
    struct group entry {};
    struct group* found = nullptr;
    std::array<char, 16384> buffer{};
    return ::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
           found != nullptr;
}

std::string unitFileText(std::string_view displayName, std::string_view execWord,
                         std::string_view account, std::string_view supplementaryGroup) {
    return "# Written by qvx_gateway -i; qvx_gateway -u stops, disables and removes it.\n" +
           unitFileBody(displayName, execWord, account, supplementaryGroup);
}

std::string packagedUnitFileText(std::string_view displayName, std::string_view execWord) {
    return "# Installed with the qvx-gateway package, not enabled: \"systemctl enable --now\n"
           "# qvx_gateway\" starts it now and at every boot.\n" +
           unitFileBody(displayName, execWord, {}, {});
}

std::string unitFileBody(std::string_view displayName, std::string_view execWord,
                         std::string_view account, std::string_view supplementaryGroup) {
    std::string text;
    text += "[Unit]\n";
    text += "Description=";
    text += displayName;
    text += "\n";
    // The listen address may be one of a network interface.
    text += "Wants=network-online.target\n";
    text += "After=network-online.target\n";
    text += "\n";
    text += "[Service]\n";
    text += "Type=notify\n";
    text += "ExecStart=";
    text += execWord;
    text += "\n";
    text += "# The gateway ends with exit code 1 when it ran and stopped as asked, and with 2\n";
    text += "# when it had no channel to serve; after that, or after a crash, systemd starts it\n";
    text += "# again.\n";
    text += "SuccessExitStatus=1\n";
    text += "Restart=on-failure\n";
    text += "RestartSec=5s\n";
    text += "# Folder of the settings store /etc/qvx_gateway/registry.ini.\n";
    text += "ConfigurationDirectory=qvx_gateway\n";
    if (!account.empty()) {
        text += "User=";
        text += account;
        text += "\n";
    }
    if (!supplementaryGroup.empty()) {
        text += "SupplementaryGroups=";
        text += supplementaryGroup;
        text += "\n";
    }
    text += "\n";
    text += "[Install]\n";
    text += "WantedBy=multi-user.target\n";
    return text;
}

SystemdControl::SystemdControl(SystemdSettings settings, std::string_view serviceName)
    : m_settings(std::move(settings)), m_unitName(std::string(serviceName) + ".service") {}

std::filesystem::path SystemdControl::unitFile() const {
    return m_settings.unitDirectory / m_unitName;
}

ProgramResult SystemdControl::systemctl(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), m_settings.systemctl);
    return runProgram(arguments);
}

ProgramResult SystemdControl::connect() const {
    return systemctl({"show", "--property=Version", "--value"});
}

UnitState SystemdControl::state() const {
    // is-active prints the state whatever its exit code says.
    const ProgramResult result = systemctl({"is-active", m_unitName});
    return result.startError != 0 ? UnitState::Unknown : unitStateFromText(result.out);
}

UnitState SystemdControl::waitWhile(UnitState pending,
                                    const std::function<void()>& onPending) const {
    UnitState current = UnitState::Unknown;
    for (int poll = 0; poll < m_settings.maxPolls; ++poll) {
        std::this_thread::sleep_for(m_settings.pollInterval);
        current = state();
        if (current != pending) {
            return current;
        }
        onPending();
    }
    return current;
}

bool SystemdControl::createUnitFile(std::string_view text, int& error) const {
    error = 0;
    std::string temporary = (m_settings.unitDirectory / ("." + m_unitName + ".XXXXXX")).string();
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        error = errno;
        return false;
    }
    // Readable by everyone like every unit, whatever the umask.
    bool written = ::fchmod(descriptor, 0644) == 0 && platform::writeAll(descriptor, text) &&
                   ::fsync(descriptor) == 0;
    if (!written) {
        error = errno;
    }
    if (::close(descriptor) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written) {
        const std::string target = unitFile().string();
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
            0) {
            return true;
        }
        error = errno;
        // A file system without the no-replace rename: a hard link refuses an existing target
        // just as well.
        if (error == EINVAL && ::link(temporary.c_str(), target.c_str()) == 0) {
            error = 0;
        } else if (error == EINVAL) {
            error = errno;
        }
    }
    ::unlink(temporary.c_str());
    return error == 0;
}

bool SystemdControl::unitFileExists(int& error) const {
    struct stat status {};
    if (::lstat(unitFile().c_str(), &status) != 0) {
        error = errno;
        return false;
    }
    error = 0;
    return true;
}

bool SystemdControl::removeUnitFile(int& error) const {
    if (::unlink(unitFile().c_str()) != 0) {
        error = errno;
        return false;
    }
    error = 0;
    return true;
}

}  // namespace qvx::gateway
