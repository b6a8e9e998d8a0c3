// `cmake --install` of this build into a staging root: every program with its man page, and a
// gateway unit that starts the program where it was installed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "scoped_environment.h"
#include "tests/gateway/gateway_test_support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using qvx::gateway::test::TempDir;
using qvx::test::ChildProcess;
using qvx::test::ScopedEnvironment;

namespace {

// A prefix with a blank: the unit must quote the program path.
constexpr const char* kPrefix = "/opt/qvx tools";

struct Installed {
    TempDir root;

    Installed() {
        const ScopedEnvironment environment({{"DESTDIR", root.path().string()}});
        ChildProcess install({QVX_CMAKE_COMMAND, "--install", QVX_BUILD_DIR, "--prefix", kPrefix},
                             root.path() / "out.txt", root.path() / "err.txt");
        if (!install.waitForExit(120s) || install.exitCode() != 0) {
            throw std::runtime_error("cmake --install failed: " + install.err());
        }
    }
    [[nodiscard]] fs::path operator/(const std::string& path) const {
        return root.path() / path.substr(1);
    }
};

TEST(Install, PutsEveryProgramAndItsManPageUnderThePrefix) {
    const Installed installed;
    const std::string prefix = kPrefix;
    std::vector<std::string> programs{"qvx_gateway", "qvxctl", "qvx_sim"};
#ifdef QVX_WITH_GUI
    programs.emplace_back("qvx_controller");
    EXPECT_TRUE(fs::exists(installed / (prefix + "/share/applications/qvx_controller.desktop")));
    EXPECT_TRUE(fs::exists(installed / (prefix + "/share/mime/packages/qvx_controller.xml")));
#endif
    for (const std::string& program : programs) {
        const fs::path file = installed / (prefix + "/bin/" + program);
        EXPECT_TRUE(fs::exists(file)) << program;
        EXPECT_NE(fs::status(file).permissions() & fs::perms::others_exec, fs::perms::none)
            << program;
        const std::string section = program == "qvx_gateway" ? "8" : "1";
        EXPECT_TRUE(fs::exists(installed / (prefix + "/share/man/man" + section + "/" + program +
                                            "." + section + ".gz")))
            << program;
    }
}

TEST(Install, TheGatewayUnitStartsTheInstalledProgram) {
    const Installed installed;
    const std::string unit = ChildProcess::readFile(
        installed / (std::string(kPrefix) + "/lib/systemd/system/qvx_gateway.service"));
    EXPECT_NE(unit.find("\nExecStart=\"" + std::string(kPrefix) + "/bin/qvx_gateway\"\n"),
              std::string::npos)
        << unit;
    EXPECT_EQ(unit.find("User="), std::string::npos) << "the packaged service runs as root";
}

// The gateway looks for its console settings in /etc/qvx_gateway whatever the prefix; the file
// may come to hold the passphrase.
TEST(Install, TheGatewaySettingsGoToEtcForRootAlone) {
    const Installed installed;
    const fs::path settings = installed / "/etc/qvx_gateway/qvx_gateway.ini";
    ASSERT_TRUE(fs::exists(settings));
    EXPECT_EQ(fs::status(settings).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
