#include "tests/support/german_locale.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <clocale>
#include <cstdlib>
#include <string>

extern char** environ;

namespace qvx::test {

namespace {

constexpr const char* kName = "de_DE.UTF-8";

void generateInto(const std::filesystem::path& folder) {
    const std::string output = (folder / kName).string();
    const char* argv[] = {"localedef", "-c", "-i", "de_DE", "-f", "UTF-8", output.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "localedef", &actions, nullptr, const_cast<char**>(argv), environ) ==
        0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

GermanLocale::GermanLocale() : m_previous(std::locale()) {
    if (std::setlocale(LC_ALL, kName) == nullptr) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qvx_locale_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        m_scratch = pattern;
        generateInto(m_scratch);
        // Set while the test's own thread is the only one that reads the environment.
        ::setenv("LOCPATH", m_scratch.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
        if (std::setlocale(LC_ALL, kName) == nullptr) {
            return;
        }
    }
    std::locale::global(std::locale(kName));
    m_available = true;
}

GermanLocale::~GermanLocale() {
    std::setlocale(LC_ALL, "C");
    std::locale::global(m_previous);
    if (!m_scratch.empty()) {
        ::unsetenv("LOCPATH");  // NOLINT(concurrency-mt-unsafe)
        std::error_code ignored;
        std::filesystem::remove_all(m_scratch, ignored);
    }
}

}  // namespace qvx::test

