// Running the built qvxctl and qvx_sim as programs, for the tests that check what a script
// or a service technician sees on the command line.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sim/sim_test_support.h"

namespace qvx::ctltest {

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

/// Runs qvxctl with `arguments` (a shell word list), its output collected in `dir`.
inline Result runCtl(const std::filesystem::path& dir, const std::string& arguments) {
    const auto out = dir / "out.txt";
    const auto err = dir / "err.txt";
    const std::string command = std::string("timeout 60 ") + QVX_CTL_PROGRAM + " " + arguments +
                                " >" + out.string() + " 2>" + err.string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

/// Starts qvx_sim on a free TCP port with `extra` arguments; its port, 0 when it did not say.
inline int startSimulator(std::unique_ptr<simtest::ChildProcess>& sim,
                          const std::vector<std::string>& extra = {}) {
    using namespace std::chrono_literals;
    std::vector<std::string> args{"--tcp", "0", "--seed", "7"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<simtest::ChildProcess>(QVX_SIM_PROGRAM, args);
    const auto line = sim->readLine(10s);
    EXPECT_TRUE(line.has_value());
    const auto colon = line ? line->rfind(':') : std::string::npos;
    return colon == std::string::npos ? 0 : std::stoi(line->substr(colon + 1));
}

}  // namespace qvx::ctltest
