#include "gateway/gateway_security.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "gateway_test_support.h"
#include "keep_alive_probe.h"
#include "tcp_test_client.h"

using namespace std::chrono_literals;
using qvx::gateway::CGatewaySecurity;
using qvx::gateway::GatewayLogTarget;
using qvx::gateway::GatewaySettings;
using qvx::gateway::LoginTiming;
using qvx::gateway::test::acceptedKeepAlive;
using qvx::gateway::test::Bytes;
using qvx::gateway::test::bytesOf;
using qvx::gateway::test::FakeClock;
using qvx::gateway::test::freePortRange;
using qvx::gateway::test::KeepAliveState;
using qvx::gateway::test::readTextFile;
using qvx::gateway::test::RecordingSink;
using qvx::gateway::test::TcpClient;
using qvx::gateway::test::TempDir;
using qvx::gateway::test::writeTextFile;

namespace {

constexpr auto kDeadline = 5s;
// Short time limits keep the suite fast; the program's own 3 s and 10 s are checked against
// the running program.
constexpr LoginTiming kTiming{300ms, 600ms};

const std::string kOpened = "Info: Gatway-Security:  Initialisierung Security OK: IP = 127.0.0.1";
const std::string kConnected =
    "Info: Gatway-Security: Verbindung hergestellt mit Remote-Address = 127.0.0.1";
const std::string kEnded =
    "Info: Gatway-Security: Verbindung unterbrochen zu Remote-Address = 127.0.0.1";
const std::string kAccepted = "Info: Gatway-Security: Remote Partner authenficated. Passphrase OK.";
const std::string kRejected =
    "Error: Gatway-Security: Remote Partner not authenficated. Passphrase INVALID.";

/// A login listener on a free port, configured through a settings file.
struct SecurityFixture {
    explicit SecurityFixture(const std::string& globals, const FakeClock* clock = nullptr,
                             LoginTiming timing = kTiming)
        : port(freePortRange(0)) {
        writeTextFile(dir.path() / "qvx_gateway.ini",
                      "[Globals]\nBasePortAddress=" + std::to_string(port) + "\n" + globals);
        stores.ConfigureStores(dir.path() / "qvx_gateway.ini", dir.path() / "registry.ini", false);
        security = std::make_unique<CGatewaySecurity>(
            clock != nullptr ? static_cast<const qvx::platform::Clock&>(*clock)
                             : qvx::platform::SteadyClock::instance(),
            GatewayLogTarget{&sink, nullptr}, timing);
        security->ReadSettings(stores);
    }

    TempDir dir;
    std::uint16_t port;
    GatewaySettings stores;
    RecordingSink sink;
    std::unique_ptr<CGatewaySecurity> security;
};

struct LoginCase {
    const char* name;
    std::string globals;  // settings lines after BasePortAddress
    Bytes sent;
    std::string reply;
    std::string outcomeLine;  // empty: no outcome line (security off)
};

void PrintTo(const LoginCase& c, std::ostream* out) {
    *out << c.name;
}

Bytes withByte(std::string_view text, std::uint8_t byte) {
    Bytes bytes = bytesOf(text);
    bytes.push_back(byte);
    return bytes;
}

class LoginExchange : public testing::TestWithParam<LoginCase> {};

}  // namespace

// The whole exchange as a client sees it: nothing before the line, exactly one reply without
// terminator, then the close from the gateway's side after the hold time, and the log lines.
TEST_P(LoginExchange, AnswersTheLineByteForByteAndClosesAfterTheHoldTime) {
    const LoginCase& c = GetParam();
    SecurityFixture fixture(c.globals);
    ASSERT_TRUE(fixture.security->Start());

    TcpClient client(fixture.port);
    ASSERT_TRUE(client.isConnected());
    ASSERT_TRUE(fixture.sink.waitForLine(kConnected, kDeadline));
    ASSERT_TRUE(client.send(c.sent));
    const Bytes reply = client.receive(c.reply.size(), kDeadline);
    const auto replied = std::chrono::steady_clock::now();
    EXPECT_EQ(std::string(reply.begin(), reply.end()), c.reply);

    const TcpClient::Ending ending = client.receiveUntilClosed(kDeadline);
    EXPECT_TRUE(ending.closed);
    EXPECT_TRUE(ending.bytes.empty()) << "nothing follows the reply";
    EXPECT_GE(std::chrono::steady_clock::now() - replied, kTiming.replyHold - 50ms);

    ASSERT_TRUE(fixture.sink.waitForLine(kEnded, kDeadline));
    std::vector<std::string> expected{kOpened, kConnected};
    if (!c.outcomeLine.empty()) {
        expected.push_back(c.outcomeLine);
    }
    expected.push_back(kEnded);
    EXPECT_EQ(fixture.sink.lines(), expected);
    EXPECT_EQ(fixture.security->authorizationCount(), c.outcomeLine == kAccepted ? 1U : 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoginExchange,
    testing::Values(LoginCase{"PassphraseCrLf", "Secured=1\nPassword=Pelmar\n",
                              bytesOf("Pelmar\r\n"), "+OK", kAccepted},
                    LoginCase{"PassphraseZeroByte", "Secured=1\nPassword=Pelmar\n",
                              withByte("Pelmar", 0), "+OK", kAccepted},
                    LoginCase{"ClientSendsLineFeedThenCarriageReturn",
                              "Secured=1\nPassword=Pelmar\n", bytesOf("Pelmar\n\r"), "+OK",
                              kAccepted},
                    LoginCase{"OtherLetterCase", "Secured=1\nPassword=Pelmar\n",
                              bytesOf("pelmar\n"), "+ERR PASSWORD INVALID", kRejected},
                    LoginCase{"PrefixOfThePassphrase", "Secured=1\nPassword=Pelmar\n",
                              bytesOf("Pelma\n"), "+ERR PASSWORD INVALID", kRejected},
                    LoginCase{"FiftyOneBytesWithoutTerminator",
                              "Secured=1\nPassword=" + std::string(51, 'x') + "\n",
                              bytesOf(std::string(51, 'x')), "+OK", kAccepted},
                    LoginCase{"LongerPassphraseCutAtFiftyOne",
                              "Secured=1\nPassword=" + std::string(51, 'x') + "\n",
                              bytesOf(std::string(80, 'x') + "\n"), "+OK", kAccepted},
                    LoginCase{"EmptyPasswordMatchedByBareLineFeed", "Secured=1\nPassword=\n",
                              bytesOf("\n"), "+OK", kAccepted},
                    LoginCase{"Utf8PassphraseComparedAsBytes", "Secured=1\nPassword=Größe\n",
                              bytesOf("Größe\n"), "+OK", kAccepted},
                    LoginCase{"UnsecuredEmptyLine", "Secured=0\n", bytesOf("\n"), "+OK", ""},
                    LoginCase{"UnsecuredAnyLine", "Secured=0\n", bytesOf("wrong\r\n"), "+OK", ""}),
    [](const testing::TestParamInfo<LoginCase>& row) { return std::string(row.param.name); });

TEST(GatewaySecurity, APasswordLongerThanTheLineLimitIsReportedAndNeverMatches) {
    const std::string password(52, 'x');
    SecurityFixture fixture("Secured=1\nPassword=" + password + "\n");
    EXPECT_EQ(fixture.sink.lines(),
              std::vector<std::string>{"Error: Gatway-Security: Das Password ist länger als 51 "
                                       "Bytes und kann nie passen: keine Anmeldung möglich."});
    ASSERT_TRUE(fixture.security->Start());
    TcpClient client(fixture.port);
    ASSERT_TRUE(client.send(password + "\n"));
    EXPECT_EQ(client.receive(21, kDeadline), bytesOf("+ERR PASSWORD INVALID"));

    // Unused while security is off: no complaint.
    SecurityFixture unsecured("Secured=0\nPassword=" + password + "\n");
    EXPECT_TRUE(unsecured.sink.lines().empty());
}

TEST(GatewaySecurity, BytesAfterTheLineAreIgnoredAndAPartialLineIsDiscarded) {
    SecurityFixture fixture("Secured=1\nPassword=Pelmar\n");
    ASSERT_TRUE(fixture.security->Start());
    {
        TcpClient twice(fixture.port);
        ASSERT_TRUE(twice.send("Pelmar\nPelmar\nxyz\n"));
        const TcpClient::Ending ending = twice.receiveUntilClosed(kDeadline);
        EXPECT_TRUE(ending.closed);
        EXPECT_EQ(ending.bytes, bytesOf("+OK"));
    }
    ASSERT_TRUE(fixture.sink.waitForLine(kEnded, kDeadline));
    fixture.sink.clear();
    {
        TcpClient partial(fixture.port);
        ASSERT_TRUE(partial.send("Pel"));
        ASSERT_TRUE(fixture.sink.waitForLine(kConnected, kDeadline));
    }  // gone before its line was complete
    ASSERT_TRUE(fixture.sink.waitForLine(kEnded, kDeadline));
    TcpClient rest(fixture.port);
    ASSERT_TRUE(rest.send("mar\n"));
    EXPECT_EQ(rest.receive(21, kDeadline), bytesOf("+ERR PASSWORD INVALID"));
    EXPECT_EQ(fixture.security->authorizationCount(), 1U);
}

// A client that never sends its line is closed after the line time-out; it holds up nobody
// meanwhile, since every login is served on its own.
TEST(GatewaySecurity, AnIdleLoginIsClosedAfterTheLineTimeoutWithoutHoldingUpOthers) {
    SecurityFixture fixture("Secured=1\nPassword=Pelmar\n");
    ASSERT_TRUE(fixture.security->Start());
    TcpClient idle(fixture.port);
    ASSERT_TRUE(fixture.sink.waitForLine(kConnected, kDeadline));
    const auto accepted = std::chrono::steady_clock::now();
    TcpClient next(fixture.port);
    ASSERT_TRUE(next.send("Pelmar\n"));
    EXPECT_EQ(next.receive(3, kDeadline), bytesOf("+OK"));
    EXPECT_TRUE(idle.staysQuiet(0ms)) << "answered while the idle login was still open";

    const TcpClient::Ending ending = idle.receiveUntilClosed(kDeadline);
    EXPECT_TRUE(ending.closed);
    EXPECT_TRUE(ending.bytes.empty());
    EXPECT_GE(std::chrono::steady_clock::now() - accepted, kTiming.lineTimeout - 50ms);

    ASSERT_TRUE(fixture.sink.waitForLines(7, kDeadline));
    std::vector<std::string> lines = fixture.sink.lines();
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> expected{kOpened,
                                      kConnected,
                                      kConnected,
                                      kAccepted,
                                      kEnded,
                                      kEnded,
                                      "Warning: Gatway-Security: Keine Passphrase rechtzeitig "
                                      "empfangen, Verbindung wird geschlossen."};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
}

// Logins arriving together are answered together, each on its own time limits, up to the
// limit of connections at a time; one more waits in the backlog until a place is free. Every
// attempt keeps its place for the hold time even when the client leaves after the reply, so
// one client cannot try passphrases faster than that.
TEST(GatewaySecurity, LoginsAreServedEachOnTheirOwnUpToTheLimit) {
    constexpr LoginTiming kTwoAtATime{1000ms, 5000ms, 2};
    SecurityFixture fixture("Secured=1\nPassword=Pelmar\n", nullptr, kTwoAtATime);
    ASSERT_TRUE(fixture.security->Start());
    TcpClient first(fixture.port);
    TcpClient second(fixture.port);
    ASSERT_TRUE(first.send("Pelmar\n"));
    ASSERT_TRUE(second.send("guess\n"));
    EXPECT_EQ(first.receive(3, kDeadline), bytesOf("+OK"));
    EXPECT_EQ(second.receive(21, kDeadline), bytesOf("+ERR PASSWORD INVALID"));
    EXPECT_TRUE(first.staysQuiet(0ms)) << "the second was answered within the first's hold";
    const auto answered = std::chrono::steady_clock::now();
    second.close();  // leaving at once does not give its place back before the hold ends

    TcpClient third(fixture.port);
    ASSERT_TRUE(third.send("Pelmar\n"));
    EXPECT_EQ(third.receive(3, kDeadline), bytesOf("+OK"));
    EXPECT_GE(std::chrono::steady_clock::now() - answered, kTwoAtATime.replyHold - 100ms)
        << "the third is served only once the hold of a place has ended";
}

// Accepted login connections carry the short keep-alive, like the data connections.
TEST(GatewaySecurity, AcceptedLoginsCarryTheStaleSessionKeepAlive) {
    SecurityFixture fixture("Secured=1\nPassword=Pelmar\n");
    ASSERT_TRUE(fixture.security->Start());
    TcpClient client(fixture.port);
    ASSERT_TRUE(fixture.sink.waitForLine(kConnected, kDeadline));
    EXPECT_EQ(acceptedKeepAlive(client), (KeepAliveState{true, 30, 10, 3, 60000}));
}

TEST(GatewaySecurity, AuthorisesTheLoginAddressForTenSecondsOnTheMonotonicClock) {
    FakeClock clock;
    SecurityFixture fixture("Secured=1\nPassword=Pelmar\n", &clock);
    fixture.security->setMask(15);  // Debug lines too
    ASSERT_TRUE(fixture.security->Start());
    EXPECT_FALSE(fixture.security->IsAuthorized("127.0.0.1"));
    {
        TcpClient client(fixture.port);
        ASSERT_TRUE(client.send("Pelmar\n"));
        ASSERT_EQ(client.receive(3, kDeadline), bytesOf("+OK"));
    }
    EXPECT_TRUE(fixture.security->IsAuthorized("127.0.0.1"));
    EXPECT_TRUE(fixture.security->IsAuthorized("127.0.0.1"));  // not consumed
    EXPECT_FALSE(fixture.security->IsAuthorized("127.0.0.2"));
    EXPECT_FALSE(fixture.security->IsAuthorized("localhost"));

    clock.advance(10s);
    EXPECT_TRUE(fixture.security->IsAuthorized("127.0.0.1"));
    clock.advance(1s);
    EXPECT_FALSE(fixture.security->IsAuthorized("127.0.0.1"));
    const std::vector<std::string> lines = fixture.sink.lines();
    EXPECT_EQ(lines.back(),
              "Debug: Gatway-Security: Remote IPAddress 127.0.0.1 veraltet.\tFile GatewaySecurity "
              "Line 449");
    EXPECT_EQ(fixture.security->authorizationCount(), 0U);

    // Logins purge too, so logins without data connections do not pile up.
    const auto loginOnce = [&] {
        TcpClient client(fixture.port);
        return client.send("Pelmar\n") && client.receive(3, kDeadline) == bytesOf("+OK");
    };
    ASSERT_TRUE(loginOnce());
    clock.advance(11s);
    ASSERT_TRUE(loginOnce());
    EXPECT_EQ(fixture.security->authorizationCount(), 1U);
}

TEST(GatewaySecurity, WithSecurityOffEveryAddressIsAuthorised) {
    SecurityFixture fixture("Secured=0\n");
    EXPECT_TRUE(fixture.security->IsAuthorized("127.0.0.1"));
    EXPECT_TRUE(fixture.security->IsAuthorized("192.0.2.7"));
}

TEST(GatewaySecurity, ALoginListenerThatCannotBeHadIsReportedAndNeverAccepts) {
    struct Case {
        const char* globals;
        std::string reason;
    };
    // Another program holds the port.
    const std::uint16_t busy = freePortRange(0);
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(busy);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);

    const Case cases[] = {
        {"", "Address already in use"},  // BasePortAddress is replaced below
        {"BasePortAddress=0\n", "Port 0 ist nicht zulässig"},
        {"BasePortAddress=65536\n", "Port 0 ist nicht zulässig"},  // 16 bits
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string base = c.globals[0] == '\0'
                                     ? "BasePortAddress=" + std::to_string(busy) + "\n"
                                     : std::string(c.globals);
        writeTextFile(dir.path() / "qvx_gateway.ini", "[Globals]\n" + base);
        GatewaySettings stores;
        stores.ConfigureStores(dir.path() / "qvx_gateway.ini", dir.path() / "r.ini", false);
        RecordingSink sink;
        CGatewaySecurity security(qvx::platform::SteadyClock::instance(),
                                  GatewayLogTarget{&sink, nullptr}, kTiming);
        security.ReadSettings(stores);
        EXPECT_FALSE(security.Start());
        EXPECT_FALSE(security.isStarted());
        EXPECT_FALSE(security.Start());  // tried once
        const std::string port = c.globals[0] == '\0' ? std::to_string(busy) : "0";
        EXPECT_EQ(sink.lines(),
                  (std::vector<std::string>{
                      "Error: Gatway-Security: TCP-Port " + port +
                          " auf IP = 127.0.0.1 kann nicht geöffnet werden: " + c.reason,
                      "Error: Gatway-Security:  Initialisierung Security fehlgeschlagen: IP = "
                      "127.0.0.1"}))
            << base;
    }
    ::close(holder);
}

// A Secured that is no number (in the file or in the service store) counts as on, with an
// Error naming it: data connections need a login, and the configured Password gives one.
TEST(GatewaySecurity, ASecuredThatIsNoNumberCountsAsOnInBothStores) {
    for (const bool registry : {false, true}) {
        TempDir dir;
        const std::uint16_t port = freePortRange(0);
        const std::string text = registry
                                     ? "[Parameters]\nTCPPortBase=" + std::to_string(port) +
                                           "\nIPAddress=127.0.0.1\nSecured=on\nPassword=Pelmar\n"
                                     : "[Globals]\nBasePortAddress=" + std::to_string(port) +
                                           "\nSecured=on\nPassword=Pelmar\n";
        const auto file = dir.path() / (registry ? "registry.ini" : "qvx_gateway.ini");
        writeTextFile(file, text);
        GatewaySettings stores;
        stores.ConfigureStores(dir.path() / "qvx_gateway.ini", dir.path() / "registry.ini",
                               registry);
        RecordingSink sink;
        CGatewaySecurity security(qvx::platform::SteadyClock::instance(),
                                  GatewayLogTarget{&sink, nullptr}, kTiming);
        security.ReadSettings(stores);
        EXPECT_EQ(sink.lines(),
                  std::vector<std::string>{"Error: Gatway-Security: Der Wert von Secured ist keine "
                                           "Zahl: \"on\"; die Passphrase-Prüfung ist "
                                           "eingeschaltet."})
            << registry;
        EXPECT_TRUE(security.settings().secured);
        EXPECT_FALSE(security.IsAuthorized("127.0.0.1"));
        ASSERT_TRUE(security.Start());
        TcpClient client(port);
        ASSERT_TRUE(client.send("Pelmar\n"));
        EXPECT_EQ(client.receive(3, kDeadline), bytesOf("+OK"));
        EXPECT_TRUE(security.IsAuthorized("127.0.0.1"));
        EXPECT_EQ(readTextFile(file), text) << "the value is kept as it is";
    }
}

// A stored Password that cannot be read fails closed: an Error, no login succeeds whatever
// the client sends (even the empty line an empty passphrase would match), no data connection
// is authorised, and the stored value stays as it is.
TEST(GatewaySecurity, AnUnreadableStoredPasswordRefusesEveryLogin) {
    const std::string password100(100, 'p');
    TempDir dir;
    const std::uint16_t port = freePortRange(0);
    const std::string text = "[Parameters]\nTCPPortBase=" + std::to_string(port) +
                             "\nIPAddress=127.0.0.1\nSecured=1\nPassword=" + password100 + "\n";
    writeTextFile(dir.path() / "registry.ini", text);
    GatewaySettings stores;
    stores.ConfigureStores(dir.path() / "qvx_gateway.ini", dir.path() / "registry.ini", true);
    RecordingSink sink;
    CGatewaySecurity security(qvx::platform::SteadyClock::instance(),
                              GatewayLogTarget{&sink, nullptr}, kTiming);
    security.ReadSettings(stores);
    EXPECT_EQ(sink.lines(),
              std::vector<std::string>{"Error: Gatway-Security: Das gespeicherte Password ist "
                                       "länger als 99 Bytes und bleibt unverändert: keine "
                                       "Anmeldung möglich."});
    ASSERT_TRUE(security.Start());
    for (const std::string& attempt :
         {std::string("\n"), std::string("Pelmar\n"), std::string(51, 'p')}) {
        TcpClient client(port);
        ASSERT_TRUE(client.send(attempt));
        EXPECT_EQ(client.receive(21, kDeadline), bytesOf("+ERR PASSWORD INVALID")) << attempt;
        EXPECT_TRUE(client.receiveUntilClosed(kDeadline).closed);
    }
    EXPECT_FALSE(security.IsAuthorized("127.0.0.1"));
    EXPECT_EQ(readTextFile(dir.path() / "registry.ini"), text);
}
