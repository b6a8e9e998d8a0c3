#include "tools/ctl_backup.h"

#include <optional>
#include <system_error>

#include "document/backup_diff.h"
#include "document/device_backup.h"
#include "document/device_backup_transfer.h"
#include "document/safety_copy.h"
#include "platform/ini_file.h"

namespace qvx::tools {

namespace {

constexpr const char* kProgramVersion = "qvxctl " QVX_VERSION;

/// qvxctl shows positions in millivolts: it has no display preference.
const document::ValueFormat kMillivolts{};

std::optional<document::DeviceBackup> loadBackup(const std::string& name, const CtlOptions& options,
                                                 std::string& error) {
    std::error_code code;
    const std::optional<std::string> text = platform::loadTextFile(name, code);
    if (!text || (text->empty() && !std::filesystem::exists(name))) {
        error = "cannot read " + name + (code ? ": " + code.message() : ": no such file");
        return std::nullopt;
    }
    document::BackupReadResult read = document::parseDeviceBackup(*text);
    if (!read.backup) {
        error = name + ": " + read.error;
        return std::nullopt;
    }
    if (!read.checksumMatches && !options.ignoreChecksum) {
        error = name +
                ": the checksum does not match the content: the file was edited or damaged "
                "(--ignore-checksum uses it anyway)";
        return std::nullopt;
    }
    return std::move(read.backup);
}

std::optional<document::DeviceBackup> readController(link::DeviceLink& link, std::string& error) {
    document::DeviceBackup backup;
    std::string failedPart;
    if (!document::readDeviceBackup(link, kProgramVersion, 0, backup, failedPart)) {
        error = "reading the controller failed (" + failedPart + ")";
        return std::nullopt;
    }
    return backup;
}

void printDifferences(std::ostream& out, const std::vector<document::BackupDifference>& differences,
                      const char* left, const char* right) {
    for (const document::BackupDifference& d : differences) {
        out << document::itemName(d.item) << ": " << left << ' ' << d.left << ", " << right << ' '
            << d.right << '\n';
    }
    out << "differences: " << differences.size() << '\n';
}

void noteOtherController(std::ostream& out, const document::BackupIdentity& left,
                         const document::BackupIdentity& right, const char* leftName,
                         const char* rightName) {
    if (left.serialNumber != right.serialNumber) {
        out << "note: serial number " << left.serialNumber << " (" << leftName << ") and "
            << right.serialNumber << " (" << rightName << "): another controller\n";
    }
}

/// Notes another controller, prints every difference of `right` from `left` and returns them.
std::vector<document::BackupDifference> printComparison(std::ostream& out,
                                                        const document::DeviceBackup& left,
                                                        const document::DeviceBackup& right,
                                                        const char* leftName,
                                                        const char* rightName) {
    noteOtherController(out, left.identity, right.identity, leftName, rightName);
    auto differences = document::compareSettings(left.settings, right.settings, kMillivolts);
    printDifferences(out, differences, leftName, rightName);
    return differences;
}

int backup(link::DeviceLink& link, const std::string& name, std::ostream& out, std::string& error) {
    const std::optional<document::DeviceBackup> state = readController(link, error);
    if (!state) {
        return kBackupError;
    }
    std::error_code code;
    if (!platform::writeFileAtomically(name, document::deviceBackupText(*state), code)) {
        error = "cannot write " + name + ": " + code.message();
        return kBackupError;
    }
    out << "serial number: " << state->identity.serialNumber
        << "\nsupport points: " << state->settings.points.size() << "\nfile: " << name << '\n';
    return kBackupMatches;
}

int verify(link::DeviceLink& link, const CtlOptions& options, std::ostream& out,
           std::string& error) {
    const std::string& name = options.arguments[0];
    const auto file = loadBackup(name, options, error);
    const auto state = file ? readController(link, error) : std::nullopt;
    if (!state) {
        return kBackupError;
    }
    const auto differences = printComparison(out, *state, *file, "controller", "file");
    return differences.empty() ? kBackupMatches : kBackupDiffers;
}

void printWriteResult(std::ostream& out, const document::RestoreWriteResult& written) {
    using Outcome = document::RestorePart::Outcome;
    for (const document::RestorePart& part : written.parts) {
        out << part.name << ": "
            << (part.outcome == Outcome::Written  ? "written"
                : part.outcome == Outcome::Failed ? "FAILED, possibly written in part"
                                                  : "not written")
            << '\n';
    }
}

int restore(link::DeviceLink& link, const CtlOptions& options, std::ostream& out,
            std::string& error) {
    const std::string& name = options.arguments[0];
    const auto file = loadBackup(name, options, error);
    const auto state = file ? readController(link, error) : std::nullopt;
    if (!state) {
        return kBackupError;
    }
    const auto differences = printComparison(out, *state, *file, "controller", "file");
    if (differences.empty()) {
        out << "nothing to restore: the controller holds the file's settings\n";
        return kBackupMatches;
    }
    if (!options.yes) {
        error = "nothing written: give --yes to write the differences";
        return kBackupDiffers;
    }
    if (options.safetyCopy) {
        std::string why;
        const auto copy = document::saveSafetyCopy(*state, document::safetyCopyFolder(), why);
        if (!copy) {
            error = "nothing written: the safety copy of the controller failed: " + why +
                    " (--no-safety-copy restores without it)";
            return kBackupError;
        }
        out << "safety copy: " << copy->string() << '\n';
    }

    const document::RestoreWriteResult written =
        document::writeDeviceSettings(link, file->settings, differences);
    printWriteResult(out, written);
    if (!written.complete()) {
        error = "the restore stopped at a failed transfer; the parts after it were not written";
        return kBackupError;
    }
    document::DeviceSettings readBack;
    std::string failedPart;
    if (!document::readDeviceSettings(link, readBack, failedPart)) {
        error = "reading back failed (" + failedPart + "): whether the restore holds is unknown";
        return kBackupError;
    }
    const auto checks = document::checkReadBack(differences, file->settings, readBack, kMillivolts);
    for (const document::ItemCheck& check : checks) {
        out << document::itemName(check.item) << ": "
            << (check.matches ? "matches"
                              : "DIFFERS, read back " + check.found + ", file " + check.wanted)
            << '\n';
    }
    if (!document::allMatch(checks)) {
        error = "the controller does not hold every restored value";
        return kBackupDiffers;
    }
    out << "restored and read back: every item matches\n";
    return kBackupMatches;
}

int diff(const CtlOptions& options, std::ostream& out, std::string& error) {
    const auto first = loadBackup(options.arguments[0], options, error);
    const auto second = first ? loadBackup(options.arguments[1], options, error) : std::nullopt;
    if (!second) {
        return kBackupError;
    }
    const auto differences = printComparison(out, *first, *second, "first", "second");
    return differences.empty() ? kBackupMatches : kBackupDiffers;
}

}  // namespace

bool isBackupCommand(const std::string& command) {
    return command == "backup" || command == "verify" || command == "restore" || command == "diff";
}

bool worksOffline(const std::string& command) {
    return command == "diff";
}

int runBackupCommand(link::DeviceLink* link, const CtlOptions& options, std::ostream& out,
                     std::string& error) {
    const std::string& command = options.command;
    const std::size_t wanted = command == "diff" ? 2 : 1;
    if (options.arguments.size() != wanted) {
        error = command + (wanted == 2 ? " takes two files" : " takes one file");
        return kBackupError;
    }
    if (command == "diff") {
        return diff(options, out, error);
    }
    if (link == nullptr) {
        error = command + " needs a controller";
        return kBackupError;
    }
    if (command == "backup") {
        return backup(*link, options.arguments[0], out, error);
    }
    if (command == "verify") {
        return verify(*link, options, out, error);
    }
    return restore(*link, options, out, error);
}

}  // namespace qvx::tools
