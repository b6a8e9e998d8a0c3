#include "sim/request_handler.h"

#include <optional>

#include "link/message_table.h"

namespace qvx::sim {

namespace {

using link::MessageCode;

struct RequestKind {
    Area area;
    bool isRead;
};

std::optional<RequestKind> requestKind(int code) {
    switch (static_cast<MessageCode>(code)) {
        case MessageCode::ReadEepromDataReq:
            return RequestKind{Area::Eeprom, true};
        case MessageCode::ReadProgramDataReq:
            return RequestKind{Area::Program, true};
        case MessageCode::ReadRamDataReq:
            return RequestKind{Area::Ram, true};
        case MessageCode::WriteEepromDataReq:
            return RequestKind{Area::Eeprom, false};
        case MessageCode::WriteProgramDataReq:
            return RequestKind{Area::Program, false};
        case MessageCode::WriteRamDataReq:
            return RequestKind{Area::Ram, false};
        default:
            return std::nullopt;
    }
}

constexpr int kConfirmBit = 128;

}  // namespace

RequestHandler::RequestHandler(Controller& controller, std::uint64_t faultSeed)
    : m_controller(controller), m_random(faultSeed) {
    m_candidate.reserve(link::kMaxFrameSize);
}

std::vector<Reply> RequestHandler::receive(std::span<const std::uint8_t> bytes, TimePoint now) {
    std::vector<Reply> out;
    for (const std::uint8_t byte : bytes) {
        if (m_receiver.feed(byte) == link::FrameReceiver::FeedResult::Reject) {
            m_candidate.clear();
            continue;
        }
        m_candidate.push_back(byte);
        if (!m_receiver.complete()) {
            continue;
        }
        link::LinkMessage message;
        message.checkCrc = true;
        const bool valid = message.parse(m_candidate) && message.verifyCrc();
        m_candidate.clear();
        m_receiver.reset();
        if (valid) {
            handle(message, now, out);
        }
    }
    return out;
}

bool RequestHandler::betweenFrames() const {
    return m_receiver.state() == link::FrameReceiver::State::WaitStart;
}

void RequestHandler::reset() {
    m_receiver.reset();
    m_candidate.clear();
}

bool RequestHandler::chance(double share) {
    if (share <= 0.0) {
        return false;
    }
    const double draw = static_cast<double>(m_random() >> 11U) * 0x1.0p-53;
    return draw < share;
}

std::vector<std::uint8_t> RequestHandler::frameOf(int code, std::uint16_t address, int length,
                                                  std::vector<std::uint8_t> data) {
    link::LinkMessage message;
    message.code = code;
    message.address = address;
    message.length = length;
    message.data = std::move(data);
    // Every confirm made here has a code of the set, a length of 0..255 and, for reads,
    // exactly that many data bytes, so building cannot fail.
    (void)message.build();
    return message.frameBytes;
}

void RequestHandler::handle(const link::LinkMessage& request, TimePoint now,
                            std::vector<Reply>& out) {
    const auto report = [&](RequestOutcome outcome) {
        if (m_trace) {
            m_trace(request, outcome);
        }
    };
    const std::optional<RequestKind> kind = requestKind(request.code);
    if (!kind) {
        report(RequestOutcome::Ignored);
        return;
    }
    if (!kind->isRead && m_plan.writesBeforeSilence) {
        if (*m_plan.writesBeforeSilence == 0) {
            m_plan.silent = true;
        } else {
            --*m_plan.writesBeforeSilence;
        }
    }
    if (m_plan.silent) {
        report(RequestOutcome::Silenced);
        return;
    }
    const auto count = static_cast<std::size_t>(request.length);
    if (!Controller::fits(kind->area, request.address, count)) {
        report(RequestOutcome::BeyondMemory);
        return;
    }
    m_controller.update(now);
    std::vector<std::uint8_t> data;
    if (kind->isRead) {
        (void)m_controller.read(kind->area, request.address, count, data);
    } else {
        (void)m_controller.write(kind->area, request.address, request.data, now);
    }
    if (chance(m_plan.dropShare)) {
        report(RequestOutcome::Dropped);
        return;
    }

    std::uint16_t address = request.address;
    int length = request.length;
    if (m_plan.wrongAddressOnce) {
        m_plan.wrongAddressOnce = false;
        address = static_cast<std::uint16_t>(address + 1U);
    }
    if (m_plan.wrongLengthOnce) {
        m_plan.wrongLengthOnce = false;
        length = length < 255 ? length + 1 : length - 1;
        if (kind->isRead) {
            data.resize(static_cast<std::size_t>(length), 0);
        }
    }
    std::vector<std::uint8_t> frame =
        frameOf(request.code + kConfirmBit, address, length, std::move(data));

    RequestOutcome outcome = RequestOutcome::Answered;
    if (chance(m_plan.corruptShare)) {
        const std::size_t index = 1 + static_cast<std::size_t>(m_random() % (frame.size() - 1));
        frame[index] = static_cast<std::uint8_t>(frame[index] ^ (1U << (m_random() % 8U)));
        outcome = RequestOutcome::Corrupted;
    }
    report(outcome);

    if (m_plan.closeMidFrameOnce) {
        m_plan.closeMidFrameOnce = false;
        frame.resize(frame.size() / 2);
        out.push_back(Reply{std::move(frame), m_plan.replyDelay, true});
        return;
    }
    if (m_plan.byteWiseOnce) {
        m_plan.byteWiseOnce = false;
        for (std::size_t i = 0; i < frame.size(); ++i) {
            out.push_back(Reply{{frame[i]}, i == 0 ? m_plan.replyDelay : m_plan.byteGap, false});
        }
        return;
    }
    out.push_back(Reply{std::move(frame), m_plan.replyDelay, false});
}

}  // namespace qvx::sim
