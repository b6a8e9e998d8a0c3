#include "link/crc_model.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>
#include <vector>

using qvx::link::CrcModel;
using qvx::link::linkChecksum;

namespace {
std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }
}  // namespace

TEST(CrcModel, LinkChecksumHasTheCatalogueCheckValue) {
    CrcModel model = CrcModel::linkChecksum();
    EXPECT_EQ(model.compute(bytesOf("123456789")), 0x29B1);
    EXPECT_EQ(linkChecksum(bytesOf("123456789")), 0x29B1);
}

TEST(CrcModel, OtherParameterSetsGiveTheirCatalogueCheckValues) {
    // CRC-16/XMODEM: same polynomial, initial value 0.
    CrcModel xmodem{16, 0x1021, 0x0000, false, false, 0x0000, 0};
    EXPECT_EQ(xmodem.compute(bytesOf("123456789")), 0x31C3);
    // CRC-16/ARC: reflected in and out, polynomial 0x8005.
    CrcModel arc{16, 0x8005, 0x0000, true, true, 0x0000, 0};
    EXPECT_EQ(arc.compute(bytesOf("123456789")), 0xBB3D);
    // CRC-16/GENIBUS: final XOR.
    CrcModel genibus{16, 0x1021, 0xFFFF, false, false, 0xFFFF, 0};
    EXPECT_EQ(genibus.compute(bytesOf("123456789")), 0xD64E);
}

TEST(CrcModel, TableAndBitwiseFormsAgreeOnRandomData) {
    std::mt19937 random(42);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(random() % 300));
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(random());
        }
        CrcModel model = CrcModel::linkChecksum();
        ASSERT_EQ(model.compute(bytes), linkChecksum(bytes)) << "length " << bytes.size();
    }
}
