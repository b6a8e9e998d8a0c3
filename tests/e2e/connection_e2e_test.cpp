// The connection procedure across real processes: qvxctl logs in at qvx_gateway, which
// relays to qvx_sim on a pseudo-terminal, and dials the simulator's modem emulation.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "tests/e2e/child_process.h"
#include "tests/gateway/gateway_test_support.h"
#include "tests/gateway/tcp_test_client.h"

using namespace std::chrono_literals;
using qvx::gateway::test::freePortRange;
using qvx::gateway::test::TempDir;
using qvx::test::ChildProcess;

namespace {

int occurrences(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + what.size())) {
        ++count;
    }
    return count;
}

struct CtlResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// qvx_sim on a pty behind qvx_gateway -d, in a folder of its own.
class Chain {
public:
    Chain(const std::string& simOptions, const std::string& security) : m_base(freePortRange(1)) {
        const auto tty = m_dir.path() / "controller.tty";
        std::vector<std::string> sim{QVX_SIM_PROGRAM, "--pty", tty.string(), "--seed", "3"};
        std::istringstream extra(simOptions);
        for (std::string word; extra >> word;) {
            sim.push_back(word);
        }
        m_sim = std::make_unique<ChildProcess>(sim, m_dir.path() / "sim.out", m_dir.path() / "sim.err");
        EXPECT_TRUE(m_sim->waitForOutput("ready", 10s));

        std::filesystem::create_symlink(QVX_GATEWAY_PROGRAM, m_dir.path() / "qvx_gateway");
        std::ofstream(m_dir.path() / "qvx_gateway.ini")
            << "[Globals]\nBasePortAddress=" << m_base << "\nPorts=1\n" << security << "[Port1]\nCOMPort=" << tty.string()
            << "\n";
        m_gateway = std::make_unique<ChildProcess>(std::vector<std::string>{(m_dir.path() / "qvx_gateway").string(), "-d"},
                                                   m_dir.path() / "gateway.out", m_dir.path() / "gateway.err");
        EXPECT_TRUE(m_gateway->waitForOutput("Initialisierung OK", 10s));
    }

    CtlResult ctl(const std::string& arguments) const {
        const auto out = m_dir.path() / "ctl.out";
        const auto err = m_dir.path() / "ctl.err";
        const std::string command = "cd " + m_dir.path().string() + " && timeout 90 " + QVX_CTL_PROGRAM + " " + arguments +
                                    " >" + out.string() + " 2>" + err.string();
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ChildProcess::readFile(out), ChildProcess::readFile(err)};
    }
    [[nodiscard]] std::string ports() const {
        return "--host 127.0.0.1 --login-port " + std::to_string(m_base) + " --port " + std::to_string(m_base + 1);
    }
    void writeIni(const std::string& text) const { std::ofstream(m_dir.path() / "qvx.ini") << text; }
    [[nodiscard]] std::filesystem::path folder() const { return m_dir.path(); }
    [[nodiscard]] int base() const { return m_base; }
    [[nodiscard]] std::string gatewayLog() const { return m_gateway->out() + m_gateway->err(); }
    /// Waits until the gateway's log holds `text` `times` times; false at the deadline.
    [[nodiscard]] bool gatewayLogs(const std::string& text, int times) const {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (occurrences(gatewayLog(), text) < times) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

private:
    TempDir m_dir;
    int m_base;
    std::unique_ptr<ChildProcess> m_sim;
    std::unique_ptr<ChildProcess> m_gateway;
};

const std::string kSecured = "Secured=1\nPassword=Greiferöl\n";

}  // namespace

TEST(LoginThroughTheGateway, AnOpenGatewayTakesAnyPassphraseAndRelays) {
    const Chain chain("", "Secured=0\n");
    const CtlResult r = chain.ctl(chain.ports() + " --password beliebig read-eeprom 22 3");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.size(), 9U);  // three bytes of service data
}

TEST(LoginThroughTheGateway, TheRightPassphraseOpensTheDataPort) {
    const Chain chain("", kSecured);
    const CtlResult r = chain.ctl(chain.ports() + " --password 'Greiferöl' status");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("supply voltage: "), std::string::npos);
    EXPECT_NE(chain.gatewayLog().find("Gatway-Security: "), std::string::npos);
}

TEST(LoginThroughTheGateway, AWrongOrEmptyPassphraseIsRefused) {
    const Chain chain("", kSecured);
    const CtlResult wrong = chain.ctl(chain.ports() + " --password falsch status");
    EXPECT_NE(wrong.exitCode, 0);
    EXPECT_NE(wrong.err.find("login"), std::string::npos) << wrong.err;
    const CtlResult empty = chain.ctl(chain.ports() + " status");
    EXPECT_NE(empty.exitCode, 0);
}

TEST(LoginThroughTheGateway, NoGatewayFailsPromptly) {
    const int base = freePortRange(1);
    TempDir dir;
    const std::string command = std::string("timeout 30 ") + QVX_CTL_PROGRAM + " --host 127.0.0.1 --login-port " +
                                std::to_string(base) + " --port " + std::to_string(base + 1) + " status >/dev/null 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST(LoginThroughTheGateway, SettingsComeFromAQvxIni) {
    const Chain chain("", "Secured=0\n");
    chain.writeIni("[Globals]\nTCP_IP_ADDRESS=127.0.0.1\nBasePort=" + std::to_string(chain.base()) + "\nPort=" +
                   std::to_string(chain.base() + 1) + "\nMax_BlockLength=4\n");
    const CtlResult r = chain.ctl("--ini qvx.ini read-eeprom 0x64 12");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.size(), 36U);
}

namespace {
std::string modemIni(const Chain& chain, int dialTimeout) {
    return "[Globals]\nTCP_IP_ADDRESS=127.0.0.1\nBasePort=" + std::to_string(chain.base()) + "\nPort=" +
           std::to_string(chain.base() + 1) + "\nConnectiontype=MODEM\n[Modem]\nCallnumber=0815\nDialTimeout=" +
           std::to_string(dialTimeout) + "\n";
}
}  // namespace

TEST(ModemThroughTheGateway, DiallingConnectsAndFramesFollow) {
    const Chain chain("--modem --dial-delay 300", "Secured=0\n");
    chain.writeIni(modemIni(chain, 5000));
    const CtlResult r = chain.ctl("--ini qvx.ini service");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("serial number: "), std::string::npos);
}

TEST(ModemThroughTheGateway, ABusyLineFails) {
    const Chain chain("--modem-busy --dial-delay 300", "Secured=0\n");
    chain.writeIni(modemIni(chain, 5000));
    const CtlResult r = chain.ctl("--ini qvx.ini service");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("dialling 0815"), std::string::npos) << r.err;
}

TEST(ModemThroughTheGateway, NoAnswerFailsAfterTheDialWait) {
    const Chain chain("--modem-no-answer", "Secured=0\n");
    chain.writeIni(modemIni(chain, 1500));
    const CtlResult r = chain.ctl("--ini qvx.ini service");
    EXPECT_NE(r.exitCode, 0);
}

TEST(ModemThroughTheGateway, AnEmptyLineBeforeConnectFails) {
    const Chain chain("--modem-empty-line --dial-delay 300", "Secured=0\n");
    chain.writeIni(modemIni(chain, 5000));
    const CtlResult r = chain.ctl("--ini qvx.ini service");
    EXPECT_NE(r.exitCode, 0);
}

TEST(ModemThroughTheGateway, TheNumberComesFromTheCommandLineToo) {
    const Chain chain("--modem --dial-delay 300", "Secured=0\n");
    const CtlResult r = chain.ctl(chain.ports() + " --modem 0815 service");
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

TEST(BusyDataPort, QvxctlGivesUpNamingAnotherClientAndSendsNoCommandIntoTheWait) {
    const Chain chain("", "Secured=0\n");
    const std::string at = "--host 127.0.0.1 --port " + std::to_string(chain.base() + 1) +
                           " --timeout 500 --retries 2";
    ASSERT_EQ(chain.ctl(at + " write-eeprom 0x700 55").exitCode, 0);
    ASSERT_TRUE(chain.gatewayLogs("Verbindung unterbrochen", 1));

    auto other = std::make_unique<qvx::gateway::test::TcpClient>(
        static_cast<std::uint16_t>(chain.base() + 1));
    ASSERT_TRUE(other->isConnected());
    ASSERT_TRUE(chain.gatewayLogs("Verbindung hergestellt", 2));  // it is served
    const auto start = std::chrono::steady_clock::now();
    const CtlResult busy = chain.ctl(at + " write-eeprom 0x700 AA");
    EXPECT_NE(busy.exitCode, 0);
    EXPECT_NE(busy.err.find("may be in use by another client"), std::string::npos) << busy.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);

    // Once the port is free the gateway takes the waiting connections in order: what the
    // refused run left in the wait reaches the controller before the next run's read.
    other.reset();
    const CtlResult after = chain.ctl(at + " read-eeprom 0x700 1");
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(after.out, "55\n");
}

TEST(BackupThroughTheGateway, ARestoreThroughTheRelayReadsBackEqualAndTheFileNamesTheGateway) {
    const Chain chain("", "Secured=0\n");
    ::setenv("XDG_DATA_HOME", (chain.folder() / "data").c_str(), 1);
    const std::string at = chain.ports() + " --timeout 1000";
    const CtlResult saved = chain.ctl(at + " backup geraet.qvx");
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    const std::string text = ChildProcess::readFile(chain.folder() / "geraet.qvx");
    EXPECT_NE(text.find("Gateway=127.0.0.1:" + std::to_string(chain.base() + 1) + "\n"),
              std::string::npos)
        << text;
    ASSERT_EQ(chain.ctl(at + " input-record 0x9000 0x8000 0x7000 0x6000 0x5000").exitCode, 0);
    EXPECT_EQ(chain.ctl(at + " verify geraet.qvx").exitCode, 1);
    const CtlResult restored = chain.ctl(at + " restore --yes geraet.qvx");
    EXPECT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    EXPECT_EQ(chain.ctl(at + " verify geraet.qvx").exitCode, 0);
    ::unsetenv("XDG_DATA_HOME");
}
