#include "tests/support/scratch_data_home.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace qvx::test {

ScratchDataHome::ScratchDataHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvx_data_XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
        ::setenv("XDG_DATA_HOME", m_path.c_str(), 1);
    }
}

ScratchDataHome::~ScratchDataHome() {
    if (!m_path.empty()) {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
}

}  // namespace qvx::test
