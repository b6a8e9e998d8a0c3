#include "document/safety_copy.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <vector>

#include "platform/ini_file.h"

namespace qvx::document {

namespace {

constexpr std::string_view kPrefix = "qvx_SN";

std::string serialPrefix(int serialNumber) {
    std::array<char, 16> digits{};
    std::snprintf(digits.data(), digits.size(), "%03d", serialNumber);
    return std::string(kPrefix) + digits.data() + "_";
}

/// UTC with milliseconds, so that copies taken one after the other sort by age.
std::string utcStampNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
    std::array<char, 24> text{};
    if (gmtime_r(&seconds, &utc) == nullptr) {
        return "00000000T000000.000Z";
    }
    const std::size_t length = std::strftime(text.data(), text.size(), "%Y%m%dT%H%M%S", &utc);
    std::array<char, 8> fraction{};
    std::snprintf(fraction.data(), fraction.size(), ".%03dZ", static_cast<int>(milliseconds));
    return std::string(text.data(), length) + fraction.data();
}

/// Removes the oldest copies of the controller until kSafetyCopiesKept remain; `newest` is
/// never removed.
void prune(const std::filesystem::path& folder, const std::string& prefix,
           const std::filesystem::path& newest) {
    std::error_code error;
    std::vector<std::filesystem::path> copies;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && name.ends_with(kProgrammingExtension) &&
            entry.is_regular_file(error)) {
            copies.push_back(entry.path());
        }
    }
    if (copies.size() <= kSafetyCopiesKept) {
        return;
    }
    std::sort(copies.begin(), copies.end());
    for (std::size_t i = 0; i + kSafetyCopiesKept < copies.size(); ++i) {
        if (copies[i] != newest) {
            std::filesystem::remove(copies[i], error);
        }
    }
}

}  // namespace

std::filesystem::path safetyCopyFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && std::filesystem::path(dataHome).is_absolute()) {
        return std::filesystem::path(dataHome) / "qvx";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        return {};
    }
    return std::filesystem::path(home) / ".local" / "share" / "qvx";
}

std::string safetyCopyName(int serialNumber, const std::string& utcStamp) {
    return serialPrefix(serialNumber) + utcStamp + std::string(kProgrammingExtension);
}

std::optional<std::filesystem::path> saveSafetyCopy(const DeviceBackup& backup,
                                                    const std::filesystem::path& folder,
                                                    std::string& error) {
    if (folder.empty()) {
        error = "no data folder: neither XDG_DATA_HOME nor HOME is set";
        return std::nullopt;
    }
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) {
        error = folder.string() + ": " + code.message();
        return std::nullopt;
    }
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, code);
    const std::string stamp = utcStampNow();
    std::filesystem::path path = folder / safetyCopyName(backup.identity.serialNumber, stamp);
    // Two copies within one second get a running number of fixed width, so neither replaces
    // the other and the names still sort by age.
    for (int n = 2; std::filesystem::exists(path, code); ++n) {
        std::array<char, 16> number{};
        std::snprintf(number.data(), number.size(), "_%04d", n);
        path = folder / (serialPrefix(backup.identity.serialNumber) + stamp + number.data() +
                         std::string(kProgrammingExtension));
    }
    if (!platform::writeFileAtomically(path, deviceBackupText(backup), code, 0600)) {
        error = path.string() + ": " + code.message();
        return std::nullopt;
    }
    prune(folder, serialPrefix(backup.identity.serialNumber), path);
    return path;
}

}  // namespace qvx::document
