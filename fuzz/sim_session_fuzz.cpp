// One line of the simulated controller on arbitrary received bytes: the AT modem in front (its
// command parser and the command watch while a call is up), the request handler behind it and
// the status reports, with time moving forward as the input says.
//
// Input: [config] then chunks of [count] [step] [count bytes]. Config bit 0 puts a modem in
// front, bits 1-2 choose how its calls go, bit 3 turns on a status report every 100 ms, bit 4
// closes the line (reset) after every chunk whose step is odd. A step moves the time forward
// by 20 ms per unit before the chunk is received; afterwards whatever is due is taken.
//
// Properties:
// - output comes out in the order it is due and never before it is due; once what is due is
//   taken, nothing is due any more (a server sleeping until the next due time never spins);
// - no piece of output is longer than one frame, and everything queued comes out in the end;
// - without a modem frames are always active, and every status report is a valid frame.

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
#include "sim/modem.h"
#include "sim/session.h"

namespace {

using namespace qvx::sim;
using qvx::link::kMaxFrameSize;
using qvx::link::LinkMessage;
using namespace std::chrono_literals;

const TimePoint kStart = TimePoint{} + 1h;

class Line {
public:
    Line(Controller& controller, const SessionConfig& config)
        : m_session(controller, config, 1, kStart),
          m_modem(config.modem),
          m_status(config.statusEvery.count() > 0) {}

    Session& session() { return m_session; }

    void take(TimePoint now) {
        for (const Emission& emission : m_session.takeDue(now)) {
            QVX_FUZZ_CHECK(emission.due <= now);
            QVX_FUZZ_CHECK(emission.due >= m_lastDue);
            QVX_FUZZ_CHECK(emission.bytes.size() <= kMaxFrameSize);
            m_lastDue = emission.due;
            if (!m_modem && m_status && isStatusReport(emission.bytes)) {
                LinkMessage status;
                status.checkCrc = true;
                QVX_FUZZ_CHECK(status.parse(emission.bytes));
                QVX_FUZZ_CHECK(status.frameBytes.size() == emission.bytes.size());
            }
        }
        const std::optional<TimePoint> next = m_session.nextDue();
        QVX_FUZZ_CHECK(!next || *next > now);
        QVX_FUZZ_CHECK(m_modem || m_session.framesActive());
    }

    void closed(TimePoint now) {
        m_session.reset(now);
        m_lastDue = now;
    }

private:
    static bool isStatusReport(const std::vector<std::uint8_t>& bytes) {
        return bytes.size() >= 2 && bytes[0] == qvx::link::kStartMark &&
               bytes[1] == static_cast<std::uint8_t>(qvx::link::MessageCode::StatusInfo);
    }

    Session m_session;
    bool m_modem;
    bool m_status;
    TimePoint m_lastDue = kStart;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    if (input.empty()) {
        return 0;
    }
    const unsigned config = input[0];
    input = input.subspan(1);

    SessionConfig sessionConfig;
    sessionConfig.modem = (config & 0x01U) != 0;
    sessionConfig.modemBehaviour = static_cast<ModemBehaviour>((config >> 1U) & 0x03U);
    sessionConfig.modemTiming = ModemTiming{300ms, 2000ms, 200ms};
    sessionConfig.statusEvery = (config & 0x08U) != 0 ? 100ms : 0ms;
    const bool closeOnOddSteps = (config & 0x10U) != 0;

    Controller controller(ControllerConfig{}, kStart);
    Line line(controller, sessionConfig);
    TimePoint now = kStart;
    while (input.size() >= 2) {
        const std::size_t count = std::min<std::size_t>(input[0], input.size() - 2);
        const unsigned step = input[1];
        const std::span<const std::uint8_t> chunk = input.subspan(2, count);
        input = input.subspan(2 + count);

        now += std::chrono::milliseconds(20 * step);
        line.take(now);
        line.session().receive(chunk, now);
        line.take(now);
        if (closeOnOddSteps && (step & 1U) != 0) {
            line.closed(now);
        }
    }
    // An hour later every modem result and reply has come out.
    now += 1h;
    line.take(now);
    return 0;
}
