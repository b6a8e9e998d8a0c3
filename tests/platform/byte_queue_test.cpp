#include "platform/byte_queue.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

using qvx::platform::ByteQueue;

TEST(ByteQueue, ReadsBytesInWriteOrderAcrossPieces) {
    ByteQueue queue;
    const std::vector<std::uint8_t> a{1, 2, 3};
    const std::vector<std::uint8_t> b{4, 5};
    ASSERT_TRUE(queue.write(a));
    ASSERT_TRUE(queue.write(b));
    std::array<std::uint8_t, 4> out{};
    ASSERT_EQ(queue.read(out), 4U);
    EXPECT_EQ(out, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    ASSERT_EQ(queue.read(out), 1U);
    EXPECT_EQ(out[0], 5);
}

TEST(ByteQueue, CloseWakesABlockedReaderAndRefusesWrites) {
    ByteQueue queue;
    std::size_t got = 99;
    std::thread reader([&] {
        std::array<std::uint8_t, 8> out{};
        got = queue.read(out);
    });
    queue.close();
    reader.join();
    EXPECT_EQ(got, 0U);
    const std::vector<std::uint8_t> bytes{1};
    EXPECT_FALSE(queue.write(bytes));
    EXPECT_TRUE(queue.isClosed());
}

TEST(ByteQueue, PiecesFromConcurrentWritersStayWhole) {
    ByteQueue queue;
    constexpr int kPieces = 200;
    auto writer = [&](std::uint8_t value) {
        const std::vector<std::uint8_t> piece(10, value);
        for (int i = 0; i < kPieces; ++i) {
            ASSERT_TRUE(queue.write(piece));
        }
    };
    std::thread a(writer, std::uint8_t{0xAA});
    std::thread b(writer, std::uint8_t{0x55});
    a.join();
    b.join();
    std::vector<std::uint8_t> all;
    std::array<std::uint8_t, 64> out{};
    while (all.size() < 2U * kPieces * 10U) {
        const std::size_t n = queue.read(out);
        all.insert(all.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
    }
    for (std::size_t i = 0; i < all.size(); i += 10) {
        for (std::size_t j = 1; j < 10; ++j) {
            ASSERT_EQ(all[i + j], all[i]) << "piece at " << i << " was split";
        }
    }
}

TEST(ByteQueue, AWriterWaitsForRoomAndAPieceLargerThanTheQueueIsRefused) {
    ByteQueue queue(8);
    const std::vector<std::uint8_t> six(6, 1);
    const std::vector<std::uint8_t> nine(9, 2);
    EXPECT_FALSE(queue.write(nine));  // could never fit
    ASSERT_TRUE(queue.write(six));
    std::atomic<bool> written{false};
    std::thread writer([&] { written = queue.write(six); });  // waits: only 2 bytes free
    std::array<std::uint8_t, 16> out{};
    EXPECT_EQ(queue.read(out), 6U);
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(queue.read(out), 6U);
}

TEST(ByteQueue, CloseAndDiscardReleaseAWaitingWriter) {
    ByteQueue queue(4);
    const std::vector<std::uint8_t> four(4, 1);
    ASSERT_TRUE(queue.write(four));
    bool result = true;
    std::thread writer([&] { result = queue.write(four); });
    queue.discard();
    writer.join();
    EXPECT_TRUE(result);  // room again after the discard
    std::thread blocked([&] { result = queue.write(four); });
    queue.close();
    blocked.join();
    EXPECT_FALSE(result);
}

TEST(ByteQueue, DiscardDropsWhatIsQueuedAndKeepsTheQueueOpen) {
    ByteQueue queue;
    const std::vector<std::uint8_t> old{1, 2, 3};
    const std::vector<std::uint8_t> fresh{9};
    ASSERT_TRUE(queue.write(old));
    queue.discard();
    ASSERT_TRUE(queue.write(fresh));
    std::array<std::uint8_t, 8> out{};
    ASSERT_EQ(queue.read(out), 1U);
    EXPECT_EQ(out[0], 9);
}

// Bytes skip the queue only when nothing is ahead of them, neither queued nor still being
// sent by the reader, so the order on the wire is the order of the writes.
TEST(ByteQueue, APieceIsSentAtOnceOnlyWithNothingAheadOfIt) {
    ByteQueue queue(8);
    std::vector<std::uint8_t> wire;  // what sendNow sent, in order
    std::size_t room = 100;          // how many bytes sendNow takes per call
    int offers = 0;
    const auto sendNow = [&](std::span<const std::uint8_t> piece) {
        ++offers;
        const std::size_t n = std::min(room, piece.size());
        wire.insert(wire.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    };
    const std::vector<std::uint8_t> a{1, 2, 3};
    const std::vector<std::uint8_t> b{4, 5};
    const std::vector<std::uint8_t> c{6};
    std::array<std::uint8_t, 8> out{};

    ASSERT_TRUE(queue.write(a, sendNow));  // empty queue: sent whole
    EXPECT_EQ(wire, a);

    room = 1;  // the socket takes one byte: the rest waits in the queue
    ASSERT_TRUE(queue.write(b, sendNow));
    ASSERT_TRUE(queue.write(c, sendNow));  // queued behind 5, not offered
    EXPECT_EQ(offers, 2);
    EXPECT_EQ(wire, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    ASSERT_EQ(queue.read(out), 2U);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 6);

    // The reader has not finished sending 5 and 6: a new piece must wait behind them.
    ASSERT_TRUE(queue.write(c, sendNow));
    EXPECT_EQ(offers, 2);
    queue.finishedSending();
    ASSERT_EQ(queue.read(out), 1U);
    queue.finishedSending();
    room = 100;
    ASSERT_TRUE(queue.write(b, sendNow));  // nothing ahead any more
    EXPECT_EQ(offers, 3);

    const std::vector<std::uint8_t> tooLarge(9, 0);
    EXPECT_FALSE(queue.write(tooLarge, sendNow));
    queue.close();
    EXPECT_FALSE(queue.write(c, sendNow));
    EXPECT_EQ(offers, 3);  // neither a refused piece nor a closed queue sends anything
}
