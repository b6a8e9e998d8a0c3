#include "link/link_message.h"

#include <gtest/gtest.h>

#include <vector>

using qvx::link::LinkMessage;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes buildFrame(int code, std::uint16_t address, int length, Bytes data = {}) {
    LinkMessage message;
    message.code = code;
    message.address = address;
    message.length = length;
    message.data = std::move(data);
    EXPECT_TRUE(message.build());
    return message.frameBytes;
}

}  // namespace

TEST(LinkMessageBuild, ProducesTheKnownFramesByteForByte) {
    EXPECT_EQ(buildFrame(3, 0x0020, 2), (Bytes{0x02, 0x03, 0x20, 0x00, 0x02, 0x03, 0x0A, 0xCD}));
    EXPECT_EQ(buildFrame(131, 0x0020, 2, {0x12, 0x34}),
              (Bytes{0x02, 0x83, 0x20, 0x00, 0x02, 0x12, 0x34, 0x03, 0xC1, 0xB2}));
    EXPECT_EQ(buildFrame(1, 0x0025, 1), (Bytes{0x02, 0x01, 0x25, 0x00, 0x01, 0x03, 0xA7, 0x58}));
}

TEST(LinkMessageBuild, SendsTheAddressLowByteFirstAndStoresTheChecksum) {
    LinkMessage message;
    message.code = 1;
    message.address = 0x1500;
    message.length = 4;
    ASSERT_TRUE(message.build());
    EXPECT_EQ(message.frameBytes[2], 0x00);
    EXPECT_EQ(message.frameBytes[3], 0x15);
    EXPECT_EQ(message.frameBytes.size(), 8U);
    EXPECT_EQ(message.crc, (message.frameBytes[6] << 8) | message.frameBytes[7]);
}

TEST(LinkMessageBuild, RefusesFramesItsReceiverCouldNotCutOutAgain) {
    LinkMessage message;
    message.code = 4;
    message.length = 3;
    message.data = {1, 2};  // data count differs from the length byte
    EXPECT_FALSE(message.build());
    EXPECT_TRUE(message.frameBytes.empty());
    message.code = 7;  // not a code of the message set
    message.data = {1, 2, 3};
    EXPECT_FALSE(message.build());
    message.code = 1;
    message.length = 256;
    message.data.clear();
    EXPECT_FALSE(message.build());
    message.length = 3;
    message.data = {9};  // a read request carries no data
    EXPECT_FALSE(message.build());
}

TEST(LinkMessageParse, DecodesAFrameWithData) {
    LinkMessage message;
    message.checkCrc = true;
    const Bytes frame{0x02, 0x83, 0x20, 0x00, 0x02, 0x12, 0x34, 0x03, 0xC1, 0xB2};
    ASSERT_TRUE(message.parse(frame));
    EXPECT_EQ(message.code, 131);
    EXPECT_EQ(message.address, 0x0020);
    EXPECT_EQ(message.length, 2);
    EXPECT_EQ(message.data, (Bytes{0x12, 0x34}));
    EXPECT_EQ(message.crc, 0xC1B2);
    EXPECT_EQ(message.frameBytes, frame);
}

TEST(LinkMessageParse, IgnoresTheLengthByteOfCodesWithoutData) {
    LinkMessage message;
    ASSERT_TRUE(message.parse(Bytes{0x02, 0x84, 0x01, 0x00, 0x0A, 0x03, 0x00, 0x00}));
    EXPECT_EQ(message.code, 132);
    EXPECT_EQ(message.length, 10);
    EXPECT_TRUE(message.data.empty());
}

TEST(LinkMessageParse, RefusesMalformedCandidatesAndKeepsTheMessage) {
    const Bytes good{0x02, 0x83, 0x20, 0x00, 0x02, 0x12, 0x34, 0x03, 0xC1, 0xB2};
    const std::vector<Bytes> bad{
        {},
        {0x03, 0xC1, 0xB2},                                      // 3-byte candidate
        {0x01, 0x83, 0x20, 0x00, 0x02, 0x12, 0x34, 0x03, 0xC1, 0xB2},  // wrong start mark
        {0x02, 0x07, 0x20, 0x00, 0x00, 0x03, 0x00, 0x00},              // unknown code
        {0x02, 0x83, 0x20, 0x00, 0x02, 0x12, 0x34, 0x04, 0xC1, 0xB2},  // wrong end mark
        // Length byte 200 with only 8 bytes present: must not read past the candidate.
        {0x02, 0x83, 0x20, 0x00, 0xC8, 0x03, 0x00, 0x00},
        {0x02, 0xFF, 0x00, 0x00, 0xFF, 0x03, 0x00, 0x00, 0x00},
    };
    for (const Bytes& candidate : bad) {
        LinkMessage message;
        ASSERT_TRUE(message.parse(good));
        EXPECT_FALSE(message.parse(candidate));
        EXPECT_EQ(message.frameBytes, good);
        EXPECT_EQ(message.code, 131);
    }
}

TEST(LinkMessageParse, AnyBitFlipIsCaughtWithCheckingOnAndPassesWithCheckingOff) {
    const Bytes good{0x02, 0x83, 0x20, 0x00, 0x02, 0x12, 0x34, 0x03, 0xC1, 0xB2};
    for (std::size_t byte = 0; byte < good.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes flipped = good;
            flipped[byte] = static_cast<std::uint8_t>(flipped[byte] ^ (1U << bit));
            LinkMessage checked;
            checked.checkCrc = true;
            EXPECT_FALSE(checked.parse(flipped)) << "byte " << byte << " bit " << bit;
            // Flips of the data or checksum keep the framing intact, so without checking the
            // frame is still delivered.
            const bool framingIntact = byte == 2 || byte == 3 || byte == 5 || byte == 6 || byte >= 8;
            if (framingIntact) {
                LinkMessage unchecked;
                EXPECT_TRUE(unchecked.parse(flipped)) << "byte " << byte << " bit " << bit;
            }
        }
    }
}

TEST(LinkMessageVerifyCrc, ComparesTheStoredChecksumWithTheFrame) {
    LinkMessage message;
    message.code = 6;
    message.address = 37;
    message.length = 1;
    message.data = {0x41};
    ASSERT_TRUE(message.build());
    message.checkCrc = true;
    EXPECT_TRUE(message.verifyCrc());
    message.crc ^= 1;
    EXPECT_FALSE(message.verifyCrc());
    message.checkCrc = false;
    EXPECT_TRUE(message.verifyCrc());
}
