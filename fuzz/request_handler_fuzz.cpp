// The simulated controller's request handler on arbitrary received bytes, with a controller
// behind it and time moving as the input says.
//
// Input: [options] [drop share] [corrupt share] then either raw chunks or request records.
//   options bit 0 silent, bit 1 wrong address once, bit 2 wrong length once, bit 3 byte-wise
//   once, bit 4 close mid-frame once, bit 5 the two shares apply (n/255 of the confirms),
//   bit 6 request records instead of raw chunks.
//   raw chunk:      [count] [step] [count bytes]
//   request record: [code] [address low] [address high] [length] [step] [noise count]
//                   [length data bytes, for codes that carry data] [noise bytes]
//   A record becomes a frame with a correct checksum, followed by its noise. A step below
//   0x80 moves the time forward by 50 ms per unit, one from 0x80 back by (step - 0x80) ms.
//
// Properties, always: no crash, memory sizes stay fixed, every reply piece is at most one
// frame long and no request brings more than one frame of output.
// Without faults:
// - each confirm is one frame with a correct checksum, right after its request, with the
//   request's code + 128, address and length; a read carries the memory as it was when the
//   request was carried out, a write nothing;
// - a request inside its area is answered, one beyond it is not; confirms and status reports
//   are ignored; a program write lands in program memory;
// - a record that arrives while no frame is partly received is the next message handled.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "link/link_message.h"
#include "link/message_table.h"
#include "sim/controller.h"
#include "sim/memory_map.h"
#include "sim/request_handler.h"

namespace {

using namespace qvx::sim;
using qvx::link::findMessage;
using qvx::link::kMaxFrameSize;
using qvx::link::LinkMessage;
using namespace std::chrono_literals;

constexpr unsigned kSilent = 0x01;
constexpr unsigned kWrongAddress = 0x02;
constexpr unsigned kWrongLength = 0x04;
constexpr unsigned kByteWise = 0x08;
constexpr unsigned kCloseMidFrame = 0x10;
constexpr unsigned kShares = 0x20;
constexpr unsigned kRecords = 0x40;
constexpr unsigned kAnyFault = 0x3F;

const TimePoint kStart = TimePoint{} + 1h;

// Reads the input front to back; past its end every byte reads as 0.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> input) : m_input(input) {}
    [[nodiscard]] bool atEnd() const { return m_input.empty(); }
    std::uint8_t byte() {
        if (m_input.empty()) {
            return 0;
        }
        const std::uint8_t b = m_input.front();
        m_input = m_input.subspan(1);
        return b;
    }
    std::span<const std::uint8_t> bytes(std::size_t count) {
        const std::span<const std::uint8_t> part = m_input.first(std::min(count, m_input.size()));
        m_input = m_input.subspan(part.size());
        return part;
    }

private:
    std::span<const std::uint8_t> m_input;
};

struct Request {
    Area area;
    bool isRead;
};

std::optional<Request> requestOf(int code) {
    switch (code) {
        case 1:
            return Request{Area::Eeprom, true};
        case 2:
            return Request{Area::Program, true};
        case 3:
            return Request{Area::Ram, true};
        case 4:
            return Request{Area::Eeprom, false};
        case 5:
            return Request{Area::Program, false};
        case 6:
            return Request{Area::Ram, false};
        default:
            return std::nullopt;
    }
}

std::size_t areaSize(Area area) {
    switch (area) {
        case Area::Eeprom:
            return memory::kEepromSize;
        case Area::Program:
            return memory::kProgramSize;
        case Area::Ram:
            return memory::kRamSize;
    }
    return 0;
}

std::span<const std::uint8_t> areaOf(const Controller& controller, Area area) {
    switch (area) {
        case Area::Eeprom:
            return controller.eeprom();
        case Area::Program:
            return controller.program();
        case Area::Ram:
            return controller.ram();
    }
    return {};
}

struct Handled {
    LinkMessage message;
    RequestOutcome outcome;
    std::vector<std::uint8_t> memory;  // reads: the bytes addressed, when the trace was called
};

class Run {
public:
    explicit Run(unsigned options) : m_clean((options & kAnyFault) == 0) {
        m_handler.setTrace([this](const LinkMessage& message, RequestOutcome outcome) {
            Handled handled{message, outcome, {}};
            const std::optional<Request> request = requestOf(message.code);
            if (request && outcome != RequestOutcome::BeyondMemory &&
                outcome != RequestOutcome::Silenced) {
                const auto area = areaOf(m_controller, request->area);
                QVX_FUZZ_CHECK(message.address + static_cast<std::size_t>(message.length) <=
                               area.size());
                const auto first = area.begin() + message.address;
                handled.memory.assign(first, first + message.length);
            }
            m_handled.push_back(std::move(handled));
        });
    }

    RequestHandler& handler() { return m_handler; }
    Controller& controller() { return m_controller; }

    void step(std::uint8_t step) {
        if (step >= 0x80) {
            m_now -= std::chrono::milliseconds(step - 0x80);
        } else {
            m_now += std::chrono::milliseconds(50 * step);
        }
    }

    /// Feeds the bytes and checks what came back; the messages handled on the way.
    std::vector<Handled> feed(std::span<const std::uint8_t> bytes) {
        m_handled.clear();
        const std::vector<Reply> replies = m_handler.receive(bytes, m_now);
        checkAlways(replies);
        if (m_clean) {
            checkClean(replies);
        }
        return std::move(m_handled);
    }

private:
    void checkAlways(const std::vector<Reply>& replies) const {
        QVX_FUZZ_CHECK(m_controller.eeprom().size() == memory::kEepromSize);
        QVX_FUZZ_CHECK(m_controller.program().size() == memory::kProgramSize);
        QVX_FUZZ_CHECK(m_controller.ram().size() == memory::kRamSize);
        std::size_t total = 0;
        for (const Reply& reply : replies) {
            QVX_FUZZ_CHECK(reply.bytes.size() <= kMaxFrameSize);
            total += reply.bytes.size();
        }
        QVX_FUZZ_CHECK(total <= m_handled.size() * kMaxFrameSize);
    }

    void checkClean(const std::vector<Reply>& replies) const {
        std::size_t next = 0;
        for (const Handled& handled : m_handled) {
            const LinkMessage& request = handled.message;
            const std::optional<Request> kind = requestOf(request.code);
            if (!kind) {
                QVX_FUZZ_CHECK(handled.outcome == RequestOutcome::Ignored);
                continue;
            }
            const bool inside =
                request.address + static_cast<std::size_t>(request.length) <= areaSize(kind->area);
            QVX_FUZZ_CHECK(handled.outcome ==
                           (inside ? RequestOutcome::Answered : RequestOutcome::BeyondMemory));
            if (!inside) {
                continue;
            }
            QVX_FUZZ_CHECK(next < replies.size());
            const Reply& reply = replies[next++];
            QVX_FUZZ_CHECK(reply.gapBefore == 0ms && !reply.closeAfter);
            LinkMessage confirm;
            confirm.checkCrc = true;
            QVX_FUZZ_CHECK(confirm.parse(reply.bytes));
            QVX_FUZZ_CHECK(confirm.frameBytes.size() == reply.bytes.size());
            QVX_FUZZ_CHECK(confirm.code == request.code + 128);
            QVX_FUZZ_CHECK(confirm.address == request.address);
            QVX_FUZZ_CHECK(confirm.length == request.length);
            if (kind->isRead) {
                QVX_FUZZ_CHECK(confirm.data == handled.memory);
            } else {
                QVX_FUZZ_CHECK(confirm.data.empty());
                if (kind->area == Area::Program) {
                    QVX_FUZZ_CHECK(handled.memory == request.data);
                }
            }
        }
        QVX_FUZZ_CHECK(next == replies.size());
    }

    bool m_clean;
    Controller m_controller{ControllerConfig{}, kStart};
    RequestHandler m_handler{m_controller, 1};
    TimePoint m_now = kStart;
    std::vector<Handled> m_handled;
};

void feedRawChunks(Run& run, Reader& reader) {
    while (!reader.atEnd()) {
        const std::size_t count = reader.byte();
        run.step(reader.byte());
        (void)run.feed(reader.bytes(count));
    }
}

void feedRecords(Run& run, Reader& reader, bool clean) {
    while (!reader.atEnd()) {
        LinkMessage request;
        request.code = reader.byte();
        const std::uint8_t low = reader.byte();
        request.address = static_cast<std::uint16_t>(low | (reader.byte() << 8));
        request.length = reader.byte();
        run.step(reader.byte());
        const std::size_t noiseCount = reader.byte();
        const auto* info = findMessage(request.code);
        if (info != nullptr && info->carriesData) {
            const auto data = reader.bytes(static_cast<std::size_t>(request.length));
            request.data.assign(data.begin(), data.end());
            request.data.resize(static_cast<std::size_t>(request.length), 0);
        }
        const auto noise = reader.bytes(noiseCount);

        std::vector<std::uint8_t> bytes;
        const bool built = request.build();
        if (built) {
            bytes = request.frameBytes;
        }
        bytes.insert(bytes.end(), noise.begin(), noise.end());

        const bool idle = run.handler().betweenFrames();
        const std::vector<Handled> handled = run.feed(bytes);
        if (built && idle && clean) {
            QVX_FUZZ_CHECK(!handled.empty());
            const LinkMessage& first = handled.front().message;
            QVX_FUZZ_CHECK(first.code == request.code && first.address == request.address &&
                           first.length == request.length && first.data == request.data);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader reader(std::span(data, size));
    const unsigned options = reader.byte();
    const std::uint8_t dropShare = reader.byte();
    const std::uint8_t corruptShare = reader.byte();

    FaultPlan plan;
    plan.silent = (options & kSilent) != 0;
    plan.wrongAddressOnce = (options & kWrongAddress) != 0;
    plan.wrongLengthOnce = (options & kWrongLength) != 0;
    plan.byteWiseOnce = (options & kByteWise) != 0;
    plan.closeMidFrameOnce = (options & kCloseMidFrame) != 0;
    if ((options & kShares) != 0) {
        plan.dropShare = dropShare / 255.0;
        plan.corruptShare = corruptShare / 255.0;
    }

    Run run(options);
    run.handler().setFaultPlan(plan);
    if ((options & kRecords) != 0) {
        feedRecords(run, reader, (options & kAnyFault) == 0);
    } else {
        feedRawChunks(run, reader);
    }
    return 0;
}
