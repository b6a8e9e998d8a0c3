// FrameChannel::onByteReceived, the link's per-byte entry point, driven without a socket: the
// channel is never opened, so no thread runs and the bytes come straight from the input.
// Received messages go through the link's own handlers into a mailbox.
//
// Input: chunks of [control][count][count bytes]. Control bit 0 puts the chunk in text-line
// mode, bit 1 turns checksum checking on, bit 2 clears the line buffer first, bit 3 clears
// the line-complete flag first.
//
// Properties:
// - in frame mode every message a lone assembler finds in the same bytes reaches the mailbox,
//   with its kind, address, length and data, and the message-arrived event; nothing else does;
// - bytes received in text-line mode never reach the framing;
// - the line buffer holds the first bytes since it was cleared, never more than
//   kMaxLineLength, and the line-complete flag is set by a line feed in text mode only.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "fuzz/fuzz_check.h"
#include "link/data_transfer_mailbox.h"
#include "link/frame_channel.h"
#include "link/frame_receiver.h"
#include "link/message_dispatcher.h"
#include "link/message_table.h"
#include "platform/auto_reset_event.h"

namespace {

using namespace qvx::link;

class UnopenedChannel final : public FrameChannel {
public:
    UnopenedChannel() : m_poster(m_mailbox, m_arrived) {}
    ~UnopenedChannel() override { close(); }
    UnopenedChannel(const UnopenedChannel&) = delete;
    UnopenedChannel& operator=(const UnopenedChannel&) = delete;

    DataTransferMailbox& mailbox() { return m_mailbox; }
    qvx::platform::AutoResetEvent& arrived() { return m_arrived; }

protected:
    void signalConnected() override {}
    void signalDisconnected() override {}
    MessageHandlers& messageHandlers() override { return m_poster; }

private:
    DataTransferMailbox m_mailbox;
    qvx::platform::AutoResetEvent m_arrived;
    MailboxPoster m_poster;
};

constexpr unsigned kTextMode = 0x01;
constexpr unsigned kCheckCrc = 0x02;
constexpr unsigned kClearLine = 0x04;
constexpr unsigned kClearComplete = 0x08;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    UnopenedChannel channel;
    FrameAssembler reference;
    std::string expectedLine;
    bool expectedComplete = false;

    while (input.size() >= 2) {
        const unsigned control = input[0];
        const std::size_t count = std::min<std::size_t>(input[1], input.size() - 2);
        const std::span<const std::uint8_t> chunk = input.subspan(2, count);
        input = input.subspan(2 + count);

        const bool textMode = (control & kTextMode) != 0;
        channel.setTextMode(textMode);
        channel.setUseCrcCheck((control & kCheckCrc) != 0);
        reference.setCheckCrc((control & kCheckCrc) != 0);
        if ((control & kClearLine) != 0) {
            channel.clearLineBuffer();
            expectedLine.clear();
        }
        if ((control & kClearComplete) != 0) {
            channel.setLineComplete(false);
            expectedComplete = false;
        }

        for (const std::uint8_t byte : chunk) {
            const std::uint64_t sequenceBefore = channel.mailbox().lastSequence();
            channel.onByteReceived(byte);
            std::optional<LinkMessage> expected;
            if (textMode) {
                if (expectedLine.size() < FrameChannel::kMaxLineLength) {
                    expectedLine.push_back(static_cast<char>(byte));
                }
                expectedComplete = expectedComplete || byte == '\n';
            } else {
                expected = reference.push(byte);
            }

            const bool signalled = channel.arrived().tryConsume();
            QVX_FUZZ_CHECK(signalled == expected.has_value());
            if (!expected) {
                QVX_FUZZ_CHECK(channel.mailbox().lastSequence() == sequenceBefore);
                continue;
            }
            QVX_FUZZ_CHECK(channel.mailbox().lastSequence() == sequenceBefore + 1);
            MailboxContent content;
            QVX_FUZZ_CHECK(channel.mailbox().take(content));
            const MessageInfo* info = findMessage(expected->code);
            QVX_FUZZ_CHECK(info != nullptr);
            QVX_FUZZ_CHECK(content.kind == info->receivedKind);
            QVX_FUZZ_CHECK(content.address == expected->address);
            QVX_FUZZ_CHECK(content.length == expected->length);
            QVX_FUZZ_CHECK(content.data == expected->data);
            QVX_FUZZ_CHECK(content.sequence == sequenceBefore + 1);
        }

        const std::string line = channel.lineBuffer();
        QVX_FUZZ_CHECK(line.size() <= FrameChannel::kMaxLineLength);
        QVX_FUZZ_CHECK(line == expectedLine);
        QVX_FUZZ_CHECK(channel.lineComplete() == expectedComplete);
    }
    return 0;
}
