// The qvx_sim program as a real process: ready line, requests over TCP and the pty, EEPROM
// kept across runs, the modem variants, and a clean end on SIGTERM.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "sim/factory_eeprom.h"
#include "sim/memory_map.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/scripted_peer.h"

using namespace std::chrono_literals;
using qvx::simtest::Bytes;
using qvx::simtest::ChildProcess;
using qvx::simtest::LineClient;
using qvx::simtest::messagesIn;
using qvx::test::frameOf;
namespace memory = qvx::sim::memory;
namespace factory = qvx::sim::factory;

namespace {

const std::string kProgram = QVX_SIM_PROGRAM;
const std::string kTcpReady = "qvx_sim listening on 127.0.0.1:";

/// qvx_sim on a free TCP port; the port is read from its ready line.
struct TcpSim {
    explicit TcpSim(std::vector<std::string> extra = {})
        : process(kProgram, withTcp(std::move(extra))) {
        const auto line = process.readLine(10s);
        EXPECT_TRUE(line && line->rfind(kTcpReady, 0) == 0) << line.value_or("(no ready line)");
        if (line && line->rfind(kTcpReady, 0) == 0) {
            port = static_cast<std::uint16_t>(std::stoi(line->substr(kTcpReady.size())));
        }
    }
    static std::vector<std::string> withTcp(std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"--tcp", "0"});
        return extra;
    }
    ChildProcess process;
    std::uint16_t port = 0;
};

struct TempDir {
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qvx_sim_prog.XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

/// Sends one request and returns the confirms that arrive within the deadline.
std::vector<qvx::link::LinkMessage> ask(LineClient& line, const Bytes& request,
                                        std::size_t replySize) {
    EXPECT_TRUE(line.send(request));
    return messagesIn(line.read(replySize, 5s));
}

bool exitedCleanly(const std::optional<int>& status) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

}  // namespace

TEST(SimProgram, ServesATcpClientAndEndsCleanlyOnSigterm) {
    TcpSim sim({"--seed", "5"});
    ASSERT_NE(sim.port, 0);
    LineClient line = LineClient::tcp(sim.port);
    ASSERT_TRUE(line.ok());
    const auto replies = ask(line, frameOf(1, memory::kServiceWeek, 3), 11);
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].data, (Bytes{factory::kWeek, factory::kYear, factory::kSerial}));
    EXPECT_TRUE(exitedCleanly(sim.process.terminate()));
}

TEST(SimProgram, AnswersThroughThePtyLinkAcrossReopenings) {
    TempDir dir;
    const std::string link = (dir.path / "qvx_line").string();
    ChildProcess sim(kProgram, {"--pty", link});
    ASSERT_EQ(sim.readLine(10s), "qvx_sim ready on " + link + " (pty)");
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    for (int session = 0; session < 2; ++session) {  // a gateway closes the port in between
        LineClient line = LineClient::tty(link);
        ASSERT_TRUE(line.ok());
        const auto replies = ask(line, frameOf(3, memory::kRamGripper, 2), 10);
        ASSERT_EQ(replies.size(), 1U) << "session " << session;
        EXPECT_EQ(replies[0].code, 131);
    }
    EXPECT_TRUE(exitedCleanly(sim.terminate()));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimProgram, KeepsTheEepromAcrossRuns) {
    TempDir dir;
    const std::string file = (dir.path / "eeprom.bin").string();
    {
        TcpSim first({"--eeprom", file});
        LineClient line = LineClient::tcp(first.port);
        ASSERT_EQ(ask(line, frameOf(4, memory::kServiceSerial, 1, {77}), 8).size(), 1U);
        EXPECT_TRUE(exitedCleanly(first.process.terminate()));
    }
    std::ifstream in(file, std::ios::binary);
    const Bytes image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(image.size(), memory::kEepromSize);
    EXPECT_EQ(image[memory::kServiceSerial], 77);

    TcpSim second({"--eeprom", file});
    LineClient line = LineClient::tcp(second.port);
    const auto replies = ask(line, frameOf(1, memory::kServiceSerial, 1), 9);
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].data, Bytes{77});
}

TEST(SimProgram, ModemVariantsAnswerTheDialAsConfigured) {
    struct Variant {
        std::string option;
        std::string result;
    };
    for (const Variant& v :
         {Variant{"--modem", "\r\nCONNECT 9600\r\n"}, Variant{"--modem-busy", "\r\nBUSY\r\n"},
          Variant{"--modem-no-answer", "\r\nNO CARRIER\r\n"},
          Variant{"--modem-empty-line", "\r\nCONNECT 9600\r\n"}}) {
        TcpSim sim({v.option, "--dial-delay", "50", "--no-carrier-after", "100"});
        LineClient line = LineClient::tcp(sim.port);
        ASSERT_TRUE(line.send(std::string("AT&FX0E0\r\n")));
        EXPECT_EQ(line.readUntil("OK\r\n", 5s), "\r\nOK\r\n") << v.option;
        ASSERT_TRUE(line.send(std::string("ATDT0815\r\n")));
        EXPECT_EQ(line.readUntil(v.result, 5s), v.result) << v.option;
    }
}

TEST(SimProgram, RejectsABadCommandLineAndExplainsEveryOptionOnRequest) {
    ChildProcess bad(kProgram, {"--tcp", "0", "--drop", "1.5"});
    const auto status = bad.waitExit(5s);
    ASSERT_TRUE(status && WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 2);

    ChildProcess help(kProgram, {"--help"});
    ASSERT_TRUE(exitedCleanly(help.waitExit(5s)));
    const std::string text = help.restOfOutput();
    for (const char* option :
         {"--pty", "--tcp", "--eeprom", "--seed", "--fast-recording", "--modem", "--modem-busy",
          "--modem-no-answer", "--modem-empty-line", "--baud", "--drop", "--corrupt", "--silent",
          "--reply-delay", "--status-every", "-v"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }
}
