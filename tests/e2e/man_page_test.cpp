// Every option a program's --help lists is described in its man page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>
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

struct ManPageCase {
    std::string name;     // the program's name, also the test's
    std::string program;  // the built program
    std::string page;     // its man page source in the repository
};

std::ostream& operator<<(std::ostream& out, const ManPageCase& each) {
    return out << each.name;
}

// A switch: one or two dashes and a letter, not inside a word ("0x-prefixed", "open-close").
std::set<std::string> optionsIn(const std::string& text) {
    static const std::regex option(R"((?:^|[^A-Za-z0-9_\-])(--?[A-Za-z][A-Za-z0-9\-]*))");
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it) {
        found.insert((*it)[1].str());
    }
    return found;
}

// The page as a reader sees its words: roff's escaped dash is a dash, font changes vanish.
std::string readableText(std::string roff) {
    roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
    roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
    return roff;
}

// A program that starts its window instead of answering --help fails after this long.
constexpr auto kHelpDeadline = 15s;

class ManPage : public testing::TestWithParam<ManPageCase> {};

TEST_P(ManPage, DescribesEveryOptionOfTheProgramsHelp) {
    const ManPageCase& each = GetParam();
    const std::string page = ChildProcess::readFile(each.page);
    ASSERT_FALSE(page.empty()) << each.page << " cannot be read";
    std::string title = each.name;
    std::transform(title.begin(), title.end(), title.begin(), ::toupper);
    EXPECT_NE(page.find(".TH " + title + " "), std::string::npos) << "no .TH header";

    const TempDir dir;
    // A desktop program must not need a display to answer --help.
    const ScopedEnvironment environment({{"QT_QPA_PLATFORM", std::string("offscreen")}});
    ChildProcess process({each.program, "--help"}, dir.path() / "out.txt", dir.path() / "err.txt");
    ASSERT_TRUE(process.waitForExit(kHelpDeadline))
        << each.name << " was still running " << kHelpDeadline.count() << " s after --help";
    ASSERT_EQ(process.exitCode(), 0) << process.err();

    const std::set<std::string> listed = optionsIn(process.out() + process.err());
    ASSERT_TRUE(listed.contains("--help")) << "--help does not list itself:\n" << process.out();
    const std::set<std::string> described = optionsIn(readableText(page));
    for (const std::string& option : listed) {
        EXPECT_TRUE(described.contains(option)) << option << " is missing from " << each.page;
    }
}

std::vector<ManPageCase> programs() {
    const fs::path source = QVX_SOURCE_DIR;
    std::vector<ManPageCase> all{
        {"qvx_gateway", QVX_GATEWAY_PROGRAM, source / "gateway" / "qvx_gateway.8"},
        {"qvxctl", QVX_CTL_PROGRAM, source / "tools" / "qvxctl.1"},
        {"qvx_sim", QVX_SIM_PROGRAM, source / "sim" / "qvx_sim.1"},
    };
#ifdef QVX_CONTROLLER_PROGRAM
    all.push_back({"qvx_controller", QVX_CONTROLLER_PROGRAM, source / "app" / "qvx_controller.1"});
#endif
    return all;
}

INSTANTIATE_TEST_SUITE_P(Programs, ManPage, testing::ValuesIn(programs()),
                         [](const testing::TestParamInfo<ManPageCase>& each) {
                             return each.param.name;
                         });

// The check itself: a switch inside prose counts, a dash inside a word does not, and roff's
// escapes read as the text they print.
TEST(ManPageCheck, FindsSwitchesAsTheReaderSeesThem) {
    EXPECT_EQ(optionsIn("  -h, --help  print; 0x-prefixed, one-way (try --crc-check)\n-d"),
              (std::set<std::string>{"-h", "--help", "--crc-check", "-d"}));
    EXPECT_EQ(optionsIn(readableText(".BR \\-\\-check\\-config \" [\" service ]\n\\fB\\-l\\fR")),
              (std::set<std::string>{"--check-config", "-l"}));
    EXPECT_TRUE(optionsIn(readableText("\\fB\\-\\-help\\fR")).contains("--help"));
}

}  // namespace
