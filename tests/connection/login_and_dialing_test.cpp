#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "connection/connection_procedure.h"
#include "connection/connection_texts.h"
#include "connection/gateway_login.h"
#include "connection/modem_dialing.h"
#include "tests/support/memory_controller.h"
#include "tests/support/text_peer.h"

using namespace std::chrono_literals;
using qvx::link::DeviceLink;
using qvx::test::loginGateway;
using qvx::test::TextPeer;

TEST(GatewayLogin, TheRightPassphraseOpensTheDataConnection) {
    TextPeer gateway(loginGateway("geheim"));
    qvx::test::MemoryController data;
    DeviceLink link;
    link.setReplyWait(100);
    ASSERT_TRUE(qvx::connection::GatewayLogin(link, "127.0.0.1", "geheim", gateway.port(), data.peer.port(), {}));
    EXPECT_TRUE(data.peer.waitForClient(5s));
    EXPECT_TRUE(link.isConnected());
    EXPECT_EQ(gateway.received(), "geheim\n\r");
    EXPECT_EQ(link.port(), data.peer.port());  // the status line names the data port
    EXPECT_EQ(link.replyWait(), 5000);
    link.setReplyWait(200);
    ASSERT_TRUE(link.lockEngine());
    EXPECT_TRUE(link.readRam(6, 1));  // frames flow once the login's text mode has ended
    link.unlockEngine();
}

TEST(GatewayLogin, AWrongPassphraseOrAnAnswerWithATerminatorFails) {
    TextPeer gateway(loginGateway("geheim"));
    DeviceLink link;
    EXPECT_FALSE(qvx::connection::GatewayLogin(link, "127.0.0.1", "falsch", gateway.port(), 1, {}));
    TextPeer chatty([](const std::string&) { return std::vector<std::string>{"+OK\r\n"}; });
    DeviceLink other;
    EXPECT_FALSE(qvx::connection::GatewayLogin(other, "127.0.0.1", "x", chatty.port(), 1, {}));
}

TEST(GatewayLogin, AReplyHeldBackTwoSecondsIsStillAwaited) {
    // The gateway may answer late within the login's three seconds.
    TextPeer gateway(loginGateway("geheim"), 2000ms);
    qvx::test::MemoryController data;
    DeviceLink link;
    EXPECT_TRUE(qvx::connection::GatewayLogin(link, "127.0.0.1", "geheim", gateway.port(),
                                              data.peer.port(), {}));
    EXPECT_TRUE(data.peer.waitForClient(5s));
}

TEST(GatewayLogin, AReplyAfterThreeSecondsComesTooLate) {
    TextPeer gateway(loginGateway("geheim"), 4000ms);
    qvx::test::MemoryController data;
    DeviceLink link;
    EXPECT_FALSE(qvx::connection::GatewayLogin(link, "127.0.0.1", "geheim", gateway.port(),
                                               data.peer.port(), {}));
    EXPECT_FALSE(link.textMode());
    EXPECT_TRUE(link.lineBuffer().empty());
}

TEST(GatewayLogin, AnEmptyPassphraseSendsOnlyLineFeedAndCarriageReturn) {
    EXPECT_EQ(qvx::connection::loginText(""), "\n\r");
    // A long passphrase is cut to 197 bytes without splitting a character.
    const std::string umlauts(300, 'a');
    EXPECT_EQ(qvx::connection::loginText(umlauts).size(), 199U);
    std::string mixed(196, 'a');
    mixed += "ü";  // two bytes: would end at byte 198
    EXPECT_EQ(qvx::connection::loginText(mixed), std::string(196, 'a') + "\n\r");
}

TEST(GatewayLogin, NoGatewayFailsWithoutWaitingTheFullTenSeconds) {
    int port = 0;
    {
        TextPeer gone([](const std::string&) { return std::vector<std::string>{}; });
        port = gone.port();
    }
    DeviceLink link;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(qvx::connection::GatewayLogin(link, "127.0.0.1", "", port, port + 1, {}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

namespace {

TextPeer::Script modem(std::vector<std::string> dialReply) {
    return [dialReply](const std::string& received) -> std::vector<std::string> {
        if (received.find("ATDT") != std::string::npos) {
            return dialReply;
        }
        return {"\r\nOK\r\n"};
    };
}

struct ModemLink {
    explicit ModemLink(TextPeer& peer) {
        link.modem().initString = "AT&FX0E0\r\n";
        link.modem().dialString = "ATDT";
        link.modem().callNumber = "0815";
        link.modem().initTimeout = 200;
        link.modem().dialTimeout = 2000;
        EXPECT_TRUE(link.connect(peer.port(), "127.0.0.1"));
        EXPECT_TRUE(qvx::test::waitUntil([this] { return link.isConnected(); }, 5s));
    }
    DeviceLink link;
};

}  // namespace

TEST(DialModem, SucceedsWhenTheModemReportsTheConnection) {
    TextPeer peer(modem({"\r\nCONNECT 9600\r\n"}));
    ModemLink m(peer);
    int pumps = 0;
    EXPECT_TRUE(qvx::connection::DialModem(m.link, [&] { ++pumps; }));
    EXPECT_EQ(peer.received(), "AT&FX0E0\r\nATDT0815\r\n");
    EXPECT_GE(pumps, 2);  // the waits keep the user interface alive
    EXPECT_FALSE(m.link.textMode());
    EXPECT_TRUE(m.link.lineBuffer().empty());
}

TEST(DialModem, AnInitialisationAnsweredWithoutOkIsNotFollowedByDialling) {
    // This modem would connect: only the missing OK may stop the call.
    TextPeer peer([](const std::string& received) -> std::vector<std::string> {
        return {received.find("ATDT") != std::string::npos ? "\r\nCONNECT 9600\r\n"
                                                           : "\r\nERROR\r\n"};
    });
    ModemLink m(peer);
    EXPECT_FALSE(qvx::connection::DialModem(m.link, {}));
    EXPECT_EQ(peer.received(), "AT&FX0E0\r\n");
    EXPECT_FALSE(m.link.textMode());
}

TEST(DialModem, ABusyLineFails) {
    TextPeer peer(modem({"\r\nBUSY\r\n"}));
    ModemLink m(peer);
    EXPECT_FALSE(qvx::connection::DialModem(m.link, {}));
}

TEST(DialModem, AnEmptyLineBeforeConnectFails) {
    TextPeer peer(modem({"\r\n", "CONNECT 9600\r\n"}), 300ms);
    ModemLink m(peer);
    EXPECT_FALSE(qvx::connection::DialModem(m.link, {}));
}

TEST(DialModem, NoAnswerFailsAfterTheDialWait) {
    TextPeer peer(modem({}));
    ModemLink m(peer);
    m.link.modem().dialTimeout = 500;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(qvx::connection::DialModem(m.link, {}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
}

TEST(DialModem, RefusesANumberWithALineBreakOrTooLongACommand) {
    qvx::link::ModemSettings settings;
    settings.dialString = "ATDT";
    settings.callNumber = "12\r34";
    EXPECT_FALSE(qvx::connection::dialCommand(settings));
    settings.callNumber = std::string(193, '1');
    EXPECT_EQ(qvx::connection::dialCommand(settings)->size(), 199U);
    settings.callNumber.push_back('2');
    EXPECT_FALSE(qvx::connection::dialCommand(settings));
}

TEST(DialModem, NoticeTextNamesTheNumber) {
    EXPECT_EQ(qvx::connection::dialingNoticeText("0815"), "Wähle0815 ...");
}

TEST(ConnectionStatus, NamesHostAndDataPortWhileOnline) {
    DeviceLink link;
    link.setHost("gateway.local");
    link.setPort(5101);
    EXPECT_EQ(qvx::connection::connectionStatusText(link, true), "Online, Verbunden mit gateway.local, 5101");
    EXPECT_EQ(qvx::connection::connectionStatusText(link, false), "Offline.");
    link.setTcpConnection(false);
    link.modem().callNumber = "0815";
    EXPECT_EQ(qvx::connection::connectionStatusText(link, true), "Online, Verbunden mit 0815");
}
