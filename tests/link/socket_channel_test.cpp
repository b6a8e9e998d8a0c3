#include "link/socket_channel.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "link/ipv4_endpoint.h"
#include "tests/support/loopback.h"
#include "tests/support/scripted_peer.h"

using namespace std::chrono_literals;
using qvx::link::Ipv4Endpoint;
using qvx::link::resolveEndpoint;
using qvx::link::SocketChannel;
using qvx::test::Bytes;
using qvx::test::connectToLoopback;
using qvx::test::listenOnLoopback;
using qvx::test::unusedLoopbackPort;
using qvx::test::waitUntil;

namespace {

/// A channel that counts its signals and keeps what it receives.
class RecordingChannel final : public SocketChannel {
public:
    ~RecordingChannel() override { close(); }
    std::atomic<int> connects{0};
    std::atomic<int> disconnects{0};
    Bytes received() const {
        const std::lock_guard guard(m_mutex);
        return m_received;
    }

protected:
    void onData(std::span<const std::uint8_t> bytes) override {
        const std::lock_guard guard(m_mutex);
        m_received.insert(m_received.end(), bytes.begin(), bytes.end());
    }
    void signalConnected() override { ++connects; }
    void signalDisconnected() override { ++disconnects; }

private:
    mutable std::mutex m_mutex;
    Bytes m_received;
};

}  // namespace

TEST(SocketChannel, ARefusedConnectSignalsOnceAndALaterAttemptWorks) {
    const int port = unusedLoopbackPort();
    RecordingChannel channel;
    ASSERT_TRUE(channel.open(port, "127.0.0.1", false, 264, 264));
    ASSERT_TRUE(channel.requestConnect());
    ASSERT_TRUE(waitUntil([&] { return channel.disconnects == 1; }, 5s));
    EXPECT_FALSE(channel.isConnected());
    EXPECT_TRUE(channel.isOpen());
    EXPECT_EQ(channel.lastError(), ECONNREFUSED);

    qvx::test::ScriptedPeer peer([](const qvx::link::LinkMessage&, int) { return std::vector<Bytes>{}; });
    ASSERT_TRUE(channel.setPeer(peer.port(), "127.0.0.1", false));
    ASSERT_TRUE(channel.requestConnect());
    EXPECT_TRUE(waitUntil([&] { return channel.isConnected(); }, 5s));
    EXPECT_EQ(channel.connects, 1);
    ASSERT_TRUE(channel.remoteAddress().has_value());
    EXPECT_EQ(*channel.remoteAddress(), 0x7F000001U);
}

TEST(SocketChannel, APeerCloseIsReportedExactlyOnceAndWritesFailAfterwards) {
    qvx::test::ScriptedPeer peer([](const qvx::link::LinkMessage&, int) { return std::vector<Bytes>{}; });
    RecordingChannel channel;
    ASSERT_TRUE(channel.open(peer.port(), "127.0.0.1", false, 264, 264));
    ASSERT_TRUE(channel.requestConnect());
    ASSERT_TRUE(waitUntil([&] { return channel.isConnected(); }, 5s));
    ASSERT_TRUE(peer.waitForClient(5s));
    // Keep the sender busy while the peer goes away, so the send and the receive side
    // both see the loss.
    peer.dropClient();
    const Bytes chunk(1000, 0x55);
    for (int i = 0; i < 50; ++i) {
        (void)channel.write(chunk);
    }
    ASSERT_TRUE(waitUntil([&] { return channel.disconnects >= 1; }, 5s));
    EXPECT_FALSE(channel.isConnected());
    EXPECT_FALSE(channel.write(chunk));
    // A late second report would show up within this time.
    EXPECT_FALSE(waitUntil([&] { return channel.disconnects > 1; }, 200ms));
}

namespace {

/// True while a thread of this process sits in a blocking send on `fd`. Read from
/// /proc/self/task/*/syscall: the number of the call a thread is in, then its arguments in
/// hexadecimal (for sendto: descriptor, buffer, length, flags, ...).
bool aThreadIsSendingOn(int fd) {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "syscall");
        long number = -1;
        std::string descriptor;
        std::string buffer;
        std::string length;
        std::string flags;
        if (in >> number >> descriptor >> buffer >> length >> flags && number == SYS_sendto &&
            std::stol(descriptor, nullptr, 16) == fd &&
            (std::stol(flags, nullptr, 16) & MSG_DONTWAIT) == 0) {
            return true;
        }
    }
    return false;
}

/// The descriptor of this process's TCP socket whose local port is `port`, or -1.
int socketWithLocalPort(int port) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            address.sin_family == AF_INET && ntohs(address.sin_port) == port) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

TEST(SocketChannel, ALossSeenByTheSenderAndTheReceiverIsReportedOnce) {
    // A peer that takes the connection but never reads: the sender ends up blocked in send.
    int port = 0;
    const int listener = listenOnLoopback(1, port, 4096);
    RecordingChannel channel;
    ASSERT_TRUE(channel.open(port, "127.0.0.1", false, 264, 264));
    ASSERT_TRUE(channel.requestConnect());
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int peer = ::accept(listener, reinterpret_cast<sockaddr*>(&address), &length);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(waitUntil([&] { return channel.isConnected(); }, 5s));
    const int ours = socketWithLocalPort(ntohs(address.sin_port));
    ASSERT_GE(ours, 0);

    std::thread writer([&] {
        const Bytes chunk(64 * 1024, 0x55);
        while (channel.write(chunk)) {
        }
    });
    ASSERT_TRUE(waitUntil([&] { return aThreadIsSendingOn(ours); }, 10s));
    // The peer resets the connection: the receiver reads the reset, the sender's send fails.
    const linger reset{1, 0};
    (void)::setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(peer);
    writer.join();  // writes fail once the loss is handled
    ASSERT_TRUE(
        waitUntil([&] { return !aThreadIsSendingOn(ours) && channel.disconnects >= 1; }, 5s));

    // A new connection whose bytes arrive shows the sender has left the old one.
    ASSERT_TRUE(channel.requestConnect());
    const int next = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(next, 0);
    ASSERT_TRUE(waitUntil([&] { return channel.connects == 2; }, 5s));
    const Bytes hello{'h', 'i'};
    ASSERT_TRUE(channel.write(hello));
    std::array<std::uint8_t, 2> got{};
    EXPECT_EQ(::recv(next, got.data(), got.size(), MSG_WAITALL), 2);
    EXPECT_EQ(channel.disconnects, 1);
    ::close(next);
    ::close(listener);
}

TEST(SocketChannel, ClosingTheSocketEndsTheConnectionThroughTheReceiver) {
    qvx::test::ScriptedPeer peer([](const qvx::link::LinkMessage&, int) { return std::vector<Bytes>{}; });
    RecordingChannel channel;
    ASSERT_TRUE(channel.open(peer.port(), "127.0.0.1", false, 264, 264));
    ASSERT_TRUE(channel.requestConnect());
    ASSERT_TRUE(waitUntil([&] { return channel.isConnected(); }, 5s));
    channel.closeSocket();
    ASSERT_TRUE(waitUntil([&] { return channel.disconnects == 1; }, 5s));
    EXPECT_FALSE(channel.isConnected());
}

TEST(SocketChannel, ServerChannelsOnOneAddressShareTheListenerUntilTheLastIsGone) {
    const int port = unusedLoopbackPort();
    auto first = std::make_unique<RecordingChannel>();
    auto second = std::make_unique<RecordingChannel>();
    ASSERT_TRUE(first->open(port, "127.0.0.1", true, 4, 4));
    ASSERT_TRUE(second->open(port, "127.0.0.1", true, 4, 4));
    EXPECT_TRUE(first->hasListener());
    EXPECT_TRUE(second->hasListener());
    ASSERT_TRUE(second->requestConnect());
    first.reset();  // the other channel keeps the listening socket usable
    const int client = connectToLoopback(port);
    ASSERT_GE(client, 0);
    EXPECT_TRUE(waitUntil([&] { return second->isConnected(); }, 5s));
    const Bytes hello{'h', 'i'};
    ASSERT_EQ(::send(client, hello.data(), hello.size(), 0), 2);
    EXPECT_TRUE(waitUntil([&] { return second->received() == hello; }, 5s));
    ::close(client);
    ASSERT_TRUE(waitUntil([&] { return second->disconnects == 1; }, 5s));
    second.reset();
    // With the last user gone the port is free again.
    EXPECT_LT(connectToLoopback(port), 0);
}

TEST(SocketChannel, AServerWithoutAListenerEntryFailsToOpen) {
    std::vector<std::unique_ptr<RecordingChannel>> channels;
    int opened = 0;
    // Each test runs in a process of its own, so this one holds the whole table: exactly five
    // distinct addresses can listen.
    for (int i = 0; i < 6; ++i) {
        channels.push_back(std::make_unique<RecordingChannel>());
        if (channels.back()->open(unusedLoopbackPort(), "127.0.0.1", true, 4, 4)) {
            ++opened;
        }
    }
    EXPECT_EQ(opened, 5);
    EXPECT_FALSE(channels.back()->hasListener());
    EXPECT_EQ(channels.back()->lastError(), ENOSPC);
}

TEST(SocketChannel, OneClientIsServedWhileTheNextWaitsInTheBacklog) {
    const int port = unusedLoopbackPort();
    RecordingChannel server;
    ASSERT_TRUE(server.open(port, "127.0.0.1", true, 4, 4));
    ASSERT_TRUE(server.requestConnect());
    const int firstClient = connectToLoopback(port);
    ASSERT_TRUE(waitUntil([&] { return server.isConnected(); }, 5s));
    const int secondClient = connectToLoopback(port);  // accepted by the kernel's backlog only
    ASSERT_GE(secondClient, 0);
    const Bytes fromSecond{'2'};
    ASSERT_EQ(::send(secondClient, fromSecond.data(), 1, 0), 1);
    const Bytes fromFirst{'1'};
    ASSERT_EQ(::send(firstClient, fromFirst.data(), 1, 0), 1);
    ASSERT_TRUE(waitUntil([&] { return server.received() == fromFirst; }, 5s));
    ::close(firstClient);
    ASSERT_TRUE(waitUntil([&] { return server.disconnects == 1; }, 5s));
    ASSERT_TRUE(server.requestConnect());
    EXPECT_TRUE(waitUntil([&] { return server.received() == Bytes{'1', '2'}; }, 5s));
    ::close(secondClient);
}

TEST(SocketChannel, ClosingWhileConnectingToAnUnreachableHostDoesNotHang) {
    const auto start = std::chrono::steady_clock::now();
    {
        RecordingChannel channel;
        channel.setConnectTimeout(60s);
        // TEST-NET-1 is never routed; the attempt hangs until closed.
        ASSERT_TRUE(channel.open(9, "192.0.2.1", false, 264, 264));
        ASSERT_TRUE(channel.requestConnect());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(AddressResolution, ReadsDottedAddressesWithoutALookup) {
    const auto endpoint = resolveEndpoint(5100, "10.1.2.3");
    ASSERT_TRUE(endpoint.has_value());
    EXPECT_EQ(endpoint->address, 0x0A010203U);
    EXPECT_EQ(endpoint->port, 5100);
    // A host beginning with a digit is never looked up: a name like this does not resolve.
    EXPECT_FALSE(resolveEndpoint(1, "1nvalid.example").has_value());
}

TEST(AddressResolution, LooksUpNamesAndTakesThePortModulo65536) {
    const auto endpoint = resolveEndpoint(65536 + 5101, "localhost");
    ASSERT_TRUE(endpoint.has_value());
    EXPECT_EQ(endpoint->address >> 24, 127U);
    EXPECT_EQ(endpoint->port, 5101);
}

TEST(AddressResolution, NoHostMeansTheMachinesOwnName) {
    EXPECT_TRUE(resolveEndpoint(1, "").has_value());
}

TEST(AddressResolution, PrintsDottedForm) {
    EXPECT_EQ(qvx::link::dottedAddress(0xC0A864C8U), "192.168.100.200");
}
