#include "link/frame_receiver.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/message_table.h"

using qvx::link::FrameAssembler;
using qvx::link::FrameReceiver;
using qvx::link::LinkMessage;
using Bytes = std::vector<std::uint8_t>;
using State = FrameReceiver::State;
using Result = FrameReceiver::FeedResult;

namespace {

Bytes frame(int code, std::uint16_t address, int length, Bytes data = {}) {
    LinkMessage message;
    message.code = code;
    message.address = address;
    message.length = length;
    message.data = std::move(data);
    EXPECT_TRUE(message.build());
    return message.frameBytes;
}

std::vector<LinkMessage> feedAll(FrameAssembler& assembler, const Bytes& bytes) {
    std::vector<LinkMessage> out;
    for (std::uint8_t b : bytes) {
        if (auto message = assembler.push(b)) {
            out.push_back(std::move(*message));
        }
    }
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

}  // namespace

TEST(FrameReceiver, WalksTheStatesOfAFrameWithData) {
    FrameReceiver receiver;
    const Bytes bytes = frame(131, 0x20, 2, {0x12, 0x34});
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_EQ(receiver.feed(bytes[i]), Result::Accept) << i;
        EXPECT_EQ(receiver.complete(), i + 1 == bytes.size()) << i;
    }
    EXPECT_EQ(receiver.state(), State::WaitStart);
}

TEST(FrameReceiver, RejectsNoiseBeforeAStartMark) {
    FrameReceiver receiver;
    for (std::uint8_t noise : Bytes{0x00, 0x03, 0xFF, 0x83}) {
        EXPECT_EQ(receiver.feed(noise), Result::Reject);
        EXPECT_EQ(receiver.state(), State::WaitStart);
    }
}

TEST(FrameReceiver, RejectsACodeOutsideTheMessageSetAndHuntsAgain) {
    for (int code = 0; code < 256; ++code) {
        FrameReceiver receiver;
        ASSERT_EQ(receiver.feed(0x02), Result::Accept);
        const bool valid = qvx::link::findMessage(code) != nullptr;
        EXPECT_EQ(receiver.feed(static_cast<std::uint8_t>(code)), valid ? Result::Accept : Result::Reject) << code;
        EXPECT_EQ(receiver.state(), valid ? State::ReadAddress : State::WaitStart) << code;
    }
}

TEST(FrameReceiver, GoesStraightToTheEndMarkForADataCodeWithLengthZero) {
    FrameReceiver receiver;
    for (std::uint8_t b : Bytes{0x02, 0xFF, 0x00, 0x00}) {
        ASSERT_EQ(receiver.feed(b), Result::Accept);
    }
    ASSERT_EQ(receiver.feed(0x00), Result::Accept);  // length 0
    EXPECT_EQ(receiver.state(), State::WaitEnd);
}

TEST(FrameReceiver, GoesStraightToTheEndMarkForACodeWithoutData) {
    FrameReceiver receiver;
    for (std::uint8_t b : Bytes{0x02, 0x01, 0x00, 0x00, 0x20}) {
        ASSERT_EQ(receiver.feed(b), Result::Accept);
    }
    EXPECT_EQ(receiver.state(), State::WaitEnd);
}

TEST(FrameReceiver, StaysInWaitEndWithoutResetWhenTheEndMarkIsMissing) {
    FrameReceiver receiver;
    for (std::uint8_t b : Bytes{0x02, 0x01, 0x00, 0x00, 0x20}) {
        ASSERT_EQ(receiver.feed(b), Result::Accept);
    }
    EXPECT_EQ(receiver.feed(0x02), Result::Reject);
    EXPECT_EQ(receiver.state(), State::WaitEnd);
    EXPECT_EQ(receiver.feed(0x03), Result::Accept);
    EXPECT_EQ(receiver.state(), State::ReadCrc);
}

TEST(FrameReceiver, ResetClearsCountersAndTheCompleteFlag) {
    FrameReceiver receiver;
    for (std::uint8_t b : frame(1, 0x25, 1)) {
        (void)receiver.feed(b);
    }
    ASSERT_TRUE(receiver.complete());
    receiver.reset();
    EXPECT_FALSE(receiver.complete());
    EXPECT_EQ(receiver.state(), State::WaitStart);
}

TEST(FrameAssembler, DeliversBackToBackFramesInOrder) {
    FrameAssembler assembler;
    const auto messages =
        feedAll(assembler, concat({frame(131, 0x20, 2, {1, 2}), frame(132, 1, 10), frame(255, 0, 0)}));
    ASSERT_EQ(messages.size(), 3U);
    EXPECT_EQ(messages[0].code, 131);
    EXPECT_EQ(messages[1].code, 132);
    EXPECT_EQ(messages[2].code, 255);
}

TEST(FrameAssembler, ResynchronisesAfterNoiseAndAnInvalidCode) {
    FrameAssembler assembler;
    const auto messages =
        feedAll(assembler, concat({{0x55, 0xAA, 0x02, 0x07}, frame(129, 0x64, 1, {0x01})}));
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].code, 129);
    EXPECT_EQ(messages[0].data, Bytes{0x01});
}

TEST(FrameAssembler, DropsTheThreeByteCandidateAfterAMissingEndMark) {
    FrameAssembler assembler;
    // A request frame whose end mark was lost: 02 01 25 00 01 | A7 58 (no 03).
    Bytes broken{0x02, 0x01, 0x25, 0x00, 0x01, 0xA7, 0x58};
    // Then noise containing an 0x03 and two more bytes, then a good frame.
    const auto messages = feedAll(assembler, concat({broken, {0x10, 0x03, 0x11, 0x12}, frame(1, 0x25, 1)}));
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].address, 0x25);
}

TEST(FrameAssembler, FramingIgnoresStartAndEndMarksInsideData) {
    FrameAssembler assembler;
    const Bytes data{0x02, 0x03, 0x03, 0x02, 0x03};
    const auto messages = feedAll(assembler, frame(129, 0x100, 5, data));
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].data, data);
}

TEST(FrameAssembler, DeliversEveryValidFrameWhateverTheSplitOfItsBytes) {
    // The receiver keeps its state between pushes, so every split point of a stream of two
    // frames must give the same result as one push of the whole stream; emulate the split by
    // feeding the first part, checking nothing is lost, then the rest.
    const std::vector<Bytes> frames{frame(3, 0x20, 2), frame(131, 0x20, 2, {0x12, 0x34}),
                                    frame(4, 0x1500, 16, Bytes(16, 0x03)), frame(255, 7, 0),
                                    frame(130, 0xFFFF, 255, Bytes(255, 0x02))};
    for (const Bytes& f : frames) {
        const Bytes stream = concat({f, f});
        for (std::size_t split = 0; split <= stream.size(); ++split) {
            FrameAssembler assembler(true);
            auto first = feedAll(assembler, Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(split)));
            auto second = feedAll(assembler, Bytes(stream.begin() + static_cast<std::ptrdiff_t>(split), stream.end()));
            ASSERT_EQ(first.size() + second.size(), 2U) << "split at " << split;
            const LinkMessage& m = first.empty() ? second[0] : first[0];
            EXPECT_EQ(m.frameBytes, f);
        }
    }
}

TEST(FrameAssembler, CountsFramesWithAWrongChecksumWhetherItChecksOrNot) {
    Bytes corrupt = frame(131, 0x20, 2, {0x12, 0x34});
    corrupt[6] ^= 0x01;
    Bytes badChecksum = frame(132, 1, 10);
    badChecksum.back() ^= 0x80;
    // Noise, a frame without its end mark and sound frames are no checksum errors.
    const Bytes stream = concat({{0x55, 0x02, 0x07},
                                 {0x02, 0x01, 0x25, 0x00, 0x01, 0xA7, 0x58, 0x03, 0x00, 0x00},
                                 frame(1, 1, 1),
                                 corrupt,
                                 frame(255, 0, 0),
                                 badChecksum});
    for (const bool checking : {false, true}) {
        FrameAssembler assembler(checking);
        const auto messages = feedAll(assembler, stream);
        EXPECT_EQ(assembler.checksumErrors(), 2U) << checking;
        EXPECT_EQ(messages.size(), checking ? 2U : 4U);
    }
    FrameAssembler assembler;
    (void)feedAll(assembler, corrupt);
    assembler.resetChecksumErrors();
    EXPECT_EQ(assembler.checksumErrors(), 0U);
}

TEST(FrameAssembler, DropsCorruptFramesOnlyWhileCheckingIsOn) {
    Bytes corrupt = frame(131, 0x20, 2, {0x12, 0x34});
    corrupt[5] ^= 0x40;
    FrameAssembler checking(true);
    EXPECT_TRUE(feedAll(checking, corrupt).empty());
    FrameAssembler trusting(false);
    EXPECT_EQ(feedAll(trusting, corrupt).size(), 1U);
    // The checking assembler is not confused by what it dropped.
    EXPECT_EQ(feedAll(checking, frame(1, 1, 1)).size(), 1U);
}
