#pragma once

#include <filesystem>
#include <string>

#include "gateway_test_support.h"

namespace qvx::gateway::test {

/// A stable device path, as /dev/serial/by-id/... is: a symbolic link that a test points at a
/// pty slave, at nothing (the adapter is unplugged) or at another pty (plugged in again).
class StableDevicePath {
public:
    StableDevicePath() : m_path(m_dir.path() / "serial-by-id") {}
    [[nodiscard]] std::string path() const { return m_path.string(); }
    /// Points the link at `target`, replacing it in one step as udev does.
    void pointAt(const std::string& target) const {
        const std::filesystem::path fresh = m_dir.path() / "fresh-link";
        std::filesystem::create_symlink(target, fresh);
        std::filesystem::rename(fresh, m_path);
    }
    /// Points the link at a file that does not exist.
    void pointAtNothing() const { pointAt((m_dir.path() / "unplugged").string()); }
    void remove() const { std::filesystem::remove(m_path); }
    /// A folder beside the link, for targets that fail another way than a missing one.
    [[nodiscard]] std::string folder() const { return m_dir.path().string(); }

private:
    TempDir m_dir;
    std::filesystem::path m_path;
};

}  // namespace qvx::gateway::test
