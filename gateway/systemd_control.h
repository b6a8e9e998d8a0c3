#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/program_runner.h"

namespace qvx::gateway {

/// Where the service's unit lives and how systemd is asked.
struct SystemdSettings {
    std::filesystem::path unitDirectory = "/etc/systemd/system";  // -i writes the unit here
    std::string systemctl = "systemctl";  // program that talks to systemd; PATH is searched
    std::chrono::milliseconds pollInterval{1000};  // between two state queries while pending
    // A unit still pending after this many queries is taken as it is: systemd's own start and
    // stop time-outs (90 s by default) end a pending state long before.
    int maxPolls = 180;
};

/// The state of the unit as systemd reports it (`systemctl is-active`).
enum class UnitState {
    Stopped,       // "inactive" or "failed"
    StartPending,  // "activating"
    Running,       // "active" or "reloading"
    StopPending,   // "deactivating"
    Unknown,       // anything else, or no answer
};

/// Maps the first word `systemctl is-active` prints.
[[nodiscard]] UnitState unitStateFromText(std::string_view text);

/// The program path as one ExecStart= word: quoted when it holds blanks, with '%' doubled, so
/// systemd runs exactly this file. nullopt for a path that systemd does not take as a program
/// name in every version (not absolute, control characters, quotes, backslashes, '$').
[[nodiscard]] std::optional<std::string> unitExecWord(std::string_view programPath);

/// True when `account` can stand in a User= line and names an account of this machine (a
/// user name or a numeric user id of at most 31 characters, no blanks or control characters).
[[nodiscard]] bool isUsableAccount(std::string_view account);

/// The group that owns the serial devices on Debian and its relatives.
inline constexpr std::string_view kSerialGroup = "dialout";

/// True when `group` names a group of this machine.
[[nodiscard]] bool isExistingGroup(std::string_view group);

/// The unit text `-i` installs. `execWord` comes from unitExecWord; `account` empty means
/// the service runs as root; `supplementaryGroup`, when not empty, is a group the account
/// gets in addition (the serial devices' group). The unit restarts the service after a crash
/// and after an exit with a code other than 0 and 1.
[[nodiscard]] std::string unitFileText(std::string_view displayName, std::string_view execWord,
                                       std::string_view account,
                                       std::string_view supplementaryGroup = {});

/// The unit the qvx-gateway package installs for the program at `execWord`: the text -i writes
/// for the root account, under a first comment that says how to enable it.
[[nodiscard]] std::string packagedUnitFileText(std::string_view displayName,
                                               std::string_view execWord);

/// Both units without their first comment line.
[[nodiscard]] std::string unitFileBody(std::string_view displayName, std::string_view execWord,
                                       std::string_view account,
                                       std::string_view supplementaryGroup);

/// The service's unit under systemd: its file in the unit folder, and systemctl calls for it.
class SystemdControl {
public:
    SystemdControl(SystemdSettings settings, std::string_view serviceName);

    /// "<service name>.service".
    [[nodiscard]] const std::string& unitName() const { return m_unitName; }
    /// The unit file in the unit folder.
    [[nodiscard]] std::filesystem::path unitFile() const;
    [[nodiscard]] const SystemdSettings& settings() const { return m_settings; }

    /// Runs systemctl with `arguments`.
    [[nodiscard]] ProgramResult systemctl(std::vector<std::string> arguments) const;
    /// Asks systemd for its version: fails when systemctl cannot be run or systemd cannot be
    /// reached (not booted with systemd, no bus).
    [[nodiscard]] ProgramResult connect() const;
    /// The unit's state; Unknown when systemctl gives no usable answer.
    [[nodiscard]] UnitState state() const;
    /// Waits one poll interval and queries the state, again and again while it is `pending`,
    /// calling `onPending` after each query that still finds it pending; returns the last
    /// state found.
    [[nodiscard]] UnitState waitWhile(UnitState pending,
                                      const std::function<void()>& onPending) const;

    /// Writes the unit file; never replaces an existing one (error EEXIST) and never leaves a
    /// partly written one: the text goes to a hidden file in the unit folder first, which is
    /// then moved in place only if no unit file exists. `error` holds the errno value.
    [[nodiscard]] bool createUnitFile(std::string_view text, int& error) const;
    /// True when the unit file exists; `error` holds the errno value of the look-up otherwise.
    [[nodiscard]] bool unitFileExists(int& error) const;
    /// Removes the unit file.
    [[nodiscard]] bool removeUnitFile(int& error) const;

private:
    const SystemdSettings m_settings;
    const std::string m_unitName;
};

}  // namespace qvx::gateway
