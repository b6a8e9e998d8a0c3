// The link's receiving path without its transport: FrameAssembler fed one byte at a time.
// Two assemblers see the same stream, one verifying checksums and one not.
//
// Properties:
// - framing does not depend on checking: where the checking assembler delivers a message the
//   other delivers the same one, and it misses exactly those whose checksum is wrong;
// - a delivered message verifies, its frame is the last 8 + n bytes of the stream (at most
//   kMaxFrameSize), and its fields build the same bytes again, the checksum aside;
// - after reset, a good frame is delivered on its last byte and not before, whatever came
//   before it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "link/frame_receiver.h"
#include "link/link_message.h"
#include "link/message_table.h"

namespace {

using qvx::link::FrameAssembler;
using qvx::link::kMaxFrameSize;
using qvx::link::kMessageTable;
using qvx::link::LinkMessage;

bool sameMessage(const LinkMessage& a, const LinkMessage& b) {
    return a.code == b.code && a.address == b.address && a.length == b.length && a.data == b.data &&
           a.crc == b.crc && a.frameBytes == b.frameBytes;
}

// The frame the message's fields build; true when it equals the received one in full.
bool rebuildsExactly(const LinkMessage& received) {
    LinkMessage rebuilt;
    rebuilt.code = received.code;
    rebuilt.address = received.address;
    rebuilt.length = received.length;
    rebuilt.data = received.data;
    QVX_FUZZ_CHECK(rebuilt.build());
    QVX_FUZZ_CHECK(rebuilt.frameBytes.size() == received.frameBytes.size());
    QVX_FUZZ_CHECK(std::equal(rebuilt.frameBytes.begin(), rebuilt.frameBytes.end() - 2,
                              received.frameBytes.begin()));
    return rebuilt.frameBytes == received.frameBytes;
}

void checkDelivered(const LinkMessage& message, const std::vector<std::uint8_t>& stream) {
    QVX_FUZZ_CHECK(message.verifyCrc());
    const std::vector<std::uint8_t>& frame = message.frameBytes;
    QVX_FUZZ_CHECK(frame.size() <= kMaxFrameSize);
    QVX_FUZZ_CHECK(frame.size() <= stream.size());
    QVX_FUZZ_CHECK(std::equal(frame.begin(), frame.end(),
                              stream.end() - static_cast<std::ptrdiff_t>(frame.size())));
}

// A good frame made from the first input bytes: a code of the message set, any address and
// length, and for data-carrying codes the input repeated as data.
LinkMessage goodFrame(std::span<const std::uint8_t> input) {
    LinkMessage message;
    const auto& row = kMessageTable[input[0] % kMessageTable.size()];
    message.code = static_cast<int>(row.code);
    message.address =
        static_cast<std::uint16_t>(input[1 % input.size()] | (input[2 % input.size()] << 8));
    message.length = input[3 % input.size()];
    if (row.carriesData) {
        for (int i = 0; i < message.length; ++i) {
            message.data.push_back(input[static_cast<std::size_t>(i) % input.size()]);
        }
    }
    QVX_FUZZ_CHECK(message.build());
    return message;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    FrameAssembler loose(false);
    FrameAssembler strict(true);
    std::vector<std::uint8_t> stream;
    stream.reserve(size);

    for (const std::uint8_t byte : input) {
        stream.push_back(byte);
        const std::optional<LinkMessage> any = loose.push(byte);
        const std::optional<LinkMessage> checked = strict.push(byte);
        if (any) {
            QVX_FUZZ_CHECK(!any->checkCrc);
            checkDelivered(*any, stream);
            QVX_FUZZ_CHECK(checked.has_value() == rebuildsExactly(*any));
        }
        if (checked) {
            QVX_FUZZ_CHECK(checked->checkCrc);
            QVX_FUZZ_CHECK(any.has_value());
            QVX_FUZZ_CHECK(sameMessage(*checked, *any));
        }
    }

    if (input.empty()) {
        return 0;
    }
    const LinkMessage good = goodFrame(input);
    for (FrameAssembler* assembler : {&loose, &strict}) {
        assembler->reset();
        for (std::size_t i = 0; i < good.frameBytes.size(); ++i) {
            const std::optional<LinkMessage> got = assembler->push(good.frameBytes[i]);
            QVX_FUZZ_CHECK(got.has_value() == (i + 1 == good.frameBytes.size()));
            if (got) {
                QVX_FUZZ_CHECK(got->code == good.code && got->address == good.address &&
                               got->length == good.length && got->data == good.data &&
                               got->frameBytes == good.frameBytes);
            }
        }
    }
    return 0;
}
