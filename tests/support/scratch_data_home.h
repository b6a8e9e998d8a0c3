#pragma once

#include <filesystem>

namespace qvx::test {

/// Points XDG_DATA_HOME at a fresh folder for its lifetime and removes the folder afterwards,
/// so that safety copies a test run makes never land in the user's data folder.
class ScratchDataHome {
public:
    ScratchDataHome();
    ~ScratchDataHome();
    ScratchDataHome(const ScratchDataHome&) = delete;
    ScratchDataHome& operator=(const ScratchDataHome&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace qvx::test
