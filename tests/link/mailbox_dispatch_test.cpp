#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/data_transfer_mailbox.h"
#include "link/message_dispatcher.h"
#include "link/message_table.h"
#include "platform/named_mutex.h"

using namespace std::chrono_literals;
using namespace qvx::link;
using Bytes = std::vector<std::uint8_t>;

TEST(DataTransferMailbox, StartsEmptyWithKindNone) {
    DataTransferMailbox mailbox;
    MailboxContent content;
    ASSERT_TRUE(mailbox.take(content));
    EXPECT_EQ(content.kind, LinkEventKind::None);
    EXPECT_EQ(content.sequence, 0U);
    EXPECT_EQ(mailbox.lockWait(), 5000);
}

TEST(DataTransferMailbox, OnlyTheLaterOfTwoConfirmsIsSeenAndTakingDoesNotEmptyIt) {
    DataTransferMailbox mailbox;
    const Bytes first{1, 2};
    const Bytes second{3, 4};
    ASSERT_TRUE(mailbox.post(LinkEventKind::ReadRamDataCnf, 0x20, 2, first));
    ASSERT_TRUE(mailbox.post(LinkEventKind::ReadRamDataCnf, 0x22, 2, second));
    MailboxContent content;
    ASSERT_TRUE(mailbox.take(content));
    EXPECT_EQ(content.address, 0x22);
    EXPECT_EQ(content.data, second);
    EXPECT_EQ(content.sequence, 2U);
    MailboxContent again;
    ASSERT_TRUE(mailbox.take(again));
    EXPECT_EQ(again.data, second);
    EXPECT_EQ(again.sequence, content.sequence);
    EXPECT_EQ(mailbox.lastSequence(), 2U);
}

TEST(DataTransferMailbox, PostFailsWhenTheSharedLockIsHeldPastTheLockWait) {
    DataTransferMailbox mailbox;
    mailbox.setLockWait(10);
    qvx::platform::NamedTimedMutex sameLock("QVX_DataTransferMutex");
    bool posted = true;
    ASSERT_TRUE(sameLock.tryLockFor(0ms));
    std::thread receiver([&] { posted = mailbox.post(LinkEventKind::StatusInfo, 0, 0, {}); });
    receiver.join();
    sameLock.unlock();
    EXPECT_FALSE(posted);
    EXPECT_EQ(mailbox.lastSequence(), 0U);
}

namespace {

struct Recorded {
    std::string name;
    std::uint16_t address;
    int length;
    Bytes data;
};

struct Fixture {
    DataTransferMailbox mailbox;
    qvx::platform::AutoResetEvent arrived;
    MailboxPoster poster{mailbox, arrived};
    std::vector<Recorded> trace;
    Fixture() {
        poster.setTraceHook([this](std::string_view name, std::uint16_t address, int length, ByteSpan data) {
            trace.push_back({std::string(name), address, length, Bytes(data.begin(), data.end())});
        });
    }
};

LinkMessage received(int code, std::uint16_t address, int length, Bytes data = {}) {
    LinkMessage m;
    m.code = code;
    m.address = address;
    m.length = length;
    m.data = std::move(data);
    return m;
}

}  // namespace

TEST(MessageDispatch, EveryCodeReachesItsHandlerAndIsPostedWithItsKind) {
    for (const MessageInfo& info : kMessageTable) {
        Fixture f;
        const Bytes data = info.carriesData ? Bytes{0xAB, 0xCD} : Bytes{};
        dispatchMessage(received(static_cast<int>(info.code), 0x1234, 2, data), f.poster);
        ASSERT_EQ(f.trace.size(), 1U) << info.name;
        EXPECT_EQ(f.trace[0].name, info.name);
        EXPECT_EQ(f.trace[0].data, data);
        MailboxContent content;
        ASSERT_TRUE(f.mailbox.take(content));
        EXPECT_EQ(content.kind, info.receivedKind) << info.name;
        EXPECT_EQ(content.address, 0x1234);
        EXPECT_EQ(content.length, 2);
        EXPECT_EQ(content.data, data);
        EXPECT_TRUE(f.arrived.wait(0ms)) << info.name;
    }
}

TEST(MessageDispatch, ReceivedKindsFollowTheLinkEventNumbering) {
    EXPECT_EQ(static_cast<int>(findMessage(1)->receivedKind), 3);
    EXPECT_EQ(static_cast<int>(findMessage(129)->receivedKind), 4);
    EXPECT_EQ(static_cast<int>(findMessage(3)->confirmKind), 8);
    EXPECT_EQ(static_cast<int>(findMessage(6)->confirmKind), 14);
    EXPECT_EQ(static_cast<int>(findMessage(134)->receivedKind), 14);
    EXPECT_EQ(static_cast<int>(findMessage(255)->receivedKind), 15);
    for (const MessageInfo& info : kMessageTable) {
        const int code = static_cast<int>(info.code);
        if (code < 128) {
            // A confirm's code is its request's code plus 128.
            EXPECT_EQ(findMessage(code + 128)->receivedKind, info.confirmKind) << info.name;
        }
    }
}

TEST(MessageDispatch, AStatusInfoOnlyReplacesTheMailboxContent) {
    Fixture f;
    dispatchMessage(received(131, 0x20, 2, {1, 2}), f.poster);
    dispatchMessage(received(255, 0, 1, {9}), f.poster);
    MailboxContent content;
    ASSERT_TRUE(f.mailbox.take(content));
    EXPECT_EQ(content.kind, LinkEventKind::StatusInfo);
    EXPECT_EQ(content.data, Bytes{9});
    // Two messages, one auto-reset signal.
    EXPECT_TRUE(f.arrived.wait(0ms));
    EXPECT_FALSE(f.arrived.wait(0ms));
}

TEST(MessageDispatch, ARequestFromThePeerIsPostedLikeAnyOtherMessage) {
    Fixture f;
    dispatchMessage(received(1, 0x25, 1), f.poster);
    MailboxContent content;
    ASSERT_TRUE(f.mailbox.take(content));
    EXPECT_EQ(content.kind, LinkEventKind::ReadEepromDataReq);
}
