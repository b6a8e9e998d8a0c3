// LinkMessage::parse on arbitrary candidate frames, with checksum checking off and on, and
// LinkMessage::build on arbitrary field values.
//
// Properties:
// - a failed parse leaves the message as it was;
// - a candidate that parses is a frame of 8 + n bytes at the start of the candidate, and the
//   message's fields build the same bytes again (the checksum aside);
// - with checking on, exactly the candidates whose checksum is right parse, to the same message;
// - every representable message builds, and what builds parses back to the same fields;
// - the table-driven link checksum agrees with the bitwise engine.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "link/crc_model.h"
#include "link/link_message.h"
#include "link/message_table.h"

namespace {

using qvx::link::CrcModel;
using qvx::link::findMessage;
using qvx::link::kFrameOverhead;
using qvx::link::LinkMessage;
using qvx::link::MessageInfo;
using Bytes = std::span<const std::uint8_t>;

// A message no parse could produce, to see that a failed parse leaves every field alone.
LinkMessage sentinel(bool checkCrc) {
    LinkMessage message;
    message.code = -7;
    message.address = 0xBEEF;
    message.length = 999;
    message.data = {0xAA, 0xBB};
    message.crc = 0x1234;
    message.checkCrc = checkCrc;
    message.frameBytes = {0x55, 0x66, 0x77};
    return message;
}

bool sameMessage(const LinkMessage& a, const LinkMessage& b) {
    return a.code == b.code && a.address == b.address && a.length == b.length && a.data == b.data &&
           a.crc == b.crc && a.frameBytes == b.frameBytes;
}

bool unchanged(const LinkMessage& message) {
    return sameMessage(message, sentinel(message.checkCrc));
}

void checkParse(Bytes candidate) {
    LinkMessage loose = sentinel(false);
    const bool parsedLoose = loose.parse(candidate);
    LinkMessage strict = sentinel(true);
    const bool parsedStrict = strict.parse(candidate);

    if (!parsedLoose) {
        QVX_FUZZ_CHECK(unchanged(loose));
        QVX_FUZZ_CHECK(!parsedStrict);
        QVX_FUZZ_CHECK(unchanged(strict));
        return;
    }

    const MessageInfo* info = findMessage(loose.code);
    QVX_FUZZ_CHECK(info != nullptr);
    QVX_FUZZ_CHECK(loose.length >= 0 && loose.length <= 255);
    const std::size_t n = info->carriesData ? static_cast<std::size_t>(loose.length) : 0U;
    QVX_FUZZ_CHECK(loose.data.size() == n);
    QVX_FUZZ_CHECK(loose.frameBytes.size() == kFrameOverhead + n);
    QVX_FUZZ_CHECK(candidate.size() >= loose.frameBytes.size());
    QVX_FUZZ_CHECK(std::equal(loose.frameBytes.begin(), loose.frameBytes.end(), candidate.begin()));
    QVX_FUZZ_CHECK(loose.crc == ((loose.frameBytes[6 + n] << 8) | loose.frameBytes[7 + n]));
    QVX_FUZZ_CHECK(loose.verifyCrc());

    LinkMessage rebuilt;
    rebuilt.code = loose.code;
    rebuilt.address = loose.address;
    rebuilt.length = loose.length;
    rebuilt.data = loose.data;
    QVX_FUZZ_CHECK(rebuilt.build());
    QVX_FUZZ_CHECK(rebuilt.frameBytes.size() == loose.frameBytes.size());
    QVX_FUZZ_CHECK(std::equal(rebuilt.frameBytes.begin(), rebuilt.frameBytes.end() - 2,
                              loose.frameBytes.begin()));
    const bool checksumRight = rebuilt.crc == loose.crc;
    QVX_FUZZ_CHECK(checksumRight == (rebuilt.frameBytes == loose.frameBytes));

    LinkMessage verified = loose;
    verified.checkCrc = true;
    QVX_FUZZ_CHECK(verified.verifyCrc() == checksumRight);

    QVX_FUZZ_CHECK(parsedStrict == checksumRight);
    if (parsedStrict) {
        QVX_FUZZ_CHECK(sameMessage(strict, loose));
        QVX_FUZZ_CHECK(strict.verifyCrc());
    } else {
        QVX_FUZZ_CHECK(unchanged(strict));
    }
}

// Field values from the first bytes, reaching beyond the valid ranges on both sides;
// the rest of the input is the data field, fitted to what the code carries when bit 6 asks.
void checkBuild(Bytes input) {
    if (input.size() < 5) {
        return;
    }
    LinkMessage message;
    message.code = input[0] + 256 * (input[1] % 3 - 1);
    message.address = static_cast<std::uint16_t>(input[2] | (input[3] << 8));
    message.length = input[4] + 256 * ((input[1] >> 2) % 3 - 1);
    message.data.assign(input.begin() + 5, input.end());
    const MessageInfo* info = findMessage(message.code);
    if ((input[1] & 0x40U) != 0) {
        const bool carries = info != nullptr && info->carriesData;
        message.data.resize(
            carries ? static_cast<std::size_t>(std::clamp(message.length, 0, 255)) : 0U, 0x03);
    }
    const bool representable =
        info != nullptr && message.length >= 0 && message.length <= 255 &&
        message.data.size() == (info->carriesData ? static_cast<std::size_t>(message.length) : 0U);

    const bool built = message.build();
    QVX_FUZZ_CHECK(built == representable);
    if (!built) {
        QVX_FUZZ_CHECK(message.frameBytes.empty());
        return;
    }
    QVX_FUZZ_CHECK(message.frameBytes.size() == kFrameOverhead + message.data.size());

    LinkMessage parsed;
    parsed.checkCrc = true;
    QVX_FUZZ_CHECK(parsed.parse(message.frameBytes));
    QVX_FUZZ_CHECK(parsed.code == message.code);
    QVX_FUZZ_CHECK(parsed.address == message.address);
    QVX_FUZZ_CHECK(parsed.length == message.length);
    QVX_FUZZ_CHECK(parsed.data == message.data);
    QVX_FUZZ_CHECK(parsed.crc == message.crc);
    QVX_FUZZ_CHECK(parsed.frameBytes == message.frameBytes);
}

void checkChecksums(Bytes input) {
    CrcModel bitwise = CrcModel::linkChecksum();
    QVX_FUZZ_CHECK(qvx::link::linkChecksum(input) == bitwise.compute(input));

    // Any model of width 1 to 16 runs without undefined behaviour and stays within its width.
    if (input.size() >= 7) {
        CrcModel model;
        model.width = 1 + input[0] % 16;
        model.polynomial = static_cast<std::uint16_t>(input[1] | (input[2] << 8));
        model.initial = static_cast<std::uint16_t>(input[3] | (input[4] << 8));
        model.finalXor = static_cast<std::uint16_t>(input[5] | (input[6] << 8));
        model.reflectInput = (input[0] & 0x10U) != 0;
        model.reflectOutput = (input[0] & 0x20U) != 0;
        const std::uint32_t result = model.compute(input.subspan(7));
        QVX_FUZZ_CHECK((result >> model.width) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes input(data, size);
    checkParse(input);
    checkBuild(input);
    checkChecksums(input);
    return 0;
}
