#include "sim/session.h"

#include <algorithm>
#include <cctype>

#include "link/link_message.h"
#include "link/message_table.h"
#include "sim/memory_map.h"

namespace qvx::sim {

namespace {

constexpr std::size_t kMaxIdleText = 200;
constexpr std::uint32_t kStatusFirst = memory::kRamGripper;
constexpr std::size_t kStatusBytes = memory::kRamStatus - memory::kRamGripper + 1;

}  // namespace

Session::Session(Controller& controller, const SessionConfig& config, std::uint64_t faultSeed,
                 TimePoint now)
    : m_controller(controller),
      m_config(config),
      m_handler(controller, faultSeed),
      m_nextStatus(now + config.statusEvery) {
    if (config.modem) {
        m_modem.emplace(config.modemBehaviour, config.modemTiming);
    }
}

bool Session::framesActive() const {
    return !m_modem || m_modem->connected();
}

void Session::advance(TimePoint now) {
    const bool before = framesActive();
    if (m_modem) {
        m_modem->advance(now);
    }
    if (!before && framesActive()) {
        m_nextStatus = now + m_config.statusEvery;
    }
}

void Session::enqueue(TimePoint due, std::vector<std::uint8_t> bytes, bool closeAfter) {
    // Nothing overtakes what was queued before it: frames never interleave.
    if (!m_queue.empty()) {
        due = std::max(due, m_queue.back().due);
    }
    m_queue.push_back({due, std::move(bytes), closeAfter});
}

void Session::queueReplies(std::vector<Reply> replies, TimePoint now) {
    for (Reply& reply : replies) {
        const TimePoint after = m_queue.empty() ? now : std::max(now, m_queue.back().due);
        enqueue(after + reply.gapBefore, std::move(reply.bytes), reply.closeAfter);
    }
}

void Session::receive(std::span<const std::uint8_t> bytes, TimePoint now) {
    advance(now);
    if (!m_modem) {
        queueReplies(m_handler.receive(bytes, now), now);
        return;
    }
    std::vector<ModemText> texts;
    for (const std::uint8_t byte : bytes) {
        const std::span<const std::uint8_t> one(&byte, 1);
        if (!m_modem->connected()) {
            m_modem->receive(one, now, texts);
            continue;
        }
        if (watchForCommand(byte, now)) {
            continue;
        }
        queueReplies(m_handler.receive(one, now), now);
    }
    for (ModemText& text : texts) {
        enqueue(text.due, std::vector<std::uint8_t>(text.text.begin(), text.text.end()), false);
    }
}

bool Session::watchForCommand(std::uint8_t byte, TimePoint now) {
    if (!m_handler.betweenFrames() || byte == link::kStartMark) {
        m_idleText.clear();
        return false;
    }
    if (byte != '\r') {
        if (byte != '\n' && m_idleText.size() < kMaxIdleText) {
            m_idleText.push_back(static_cast<char>(std::toupper(byte)));
        }
        return false;
    }
    const bool command = m_idleText.rfind("AT", 0) == 0;
    if (command) {
        m_modem->hangUp();
        m_handler.reset();
        m_queue.clear();
        std::vector<ModemText> texts;
        m_idleText.push_back('\r');
        m_modem->receive(
            std::span(reinterpret_cast<const std::uint8_t*>(m_idleText.data()), m_idleText.size()),
            now, texts);
        for (ModemText& text : texts) {
            enqueue(text.due, std::vector<std::uint8_t>(text.text.begin(), text.text.end()), false);
        }
    }
    m_idleText.clear();
    return command;
}

std::vector<Emission> Session::takeDue(TimePoint now) {
    advance(now);
    if (framesActive() && m_config.statusEvery.count() > 0 && now >= m_nextStatus) {
        m_controller.update(now);
        std::vector<std::uint8_t> data;
        (void)m_controller.read(Area::Ram, kStatusFirst, kStatusBytes, data);
        link::LinkMessage status;
        status.code = static_cast<int>(link::MessageCode::StatusInfo);
        status.address = static_cast<std::uint16_t>(kStatusFirst);
        status.length = static_cast<int>(kStatusBytes);
        status.data = std::move(data);
        if (status.build()) {
            enqueue(now, std::move(status.frameBytes), false);
        }
        m_nextStatus = now + m_config.statusEvery;  // reports missed while busy are not made up
    }
    std::vector<Emission> due;
    while (!m_queue.empty() && m_queue.front().due <= now) {
        due.push_back(std::move(m_queue.front()));
        m_queue.pop_front();
    }
    return due;
}

std::optional<TimePoint> Session::nextDue() const {
    std::optional<TimePoint> next;
    const auto consider = [&](TimePoint t) { next = next ? std::min(*next, t) : t; };
    if (!m_queue.empty()) {
        consider(m_queue.front().due);
    }
    if (framesActive() && m_config.statusEvery.count() > 0) {
        consider(m_nextStatus);
    }
    if (m_modem) {
        if (const auto until = m_modem->pendingUntil()) {
            consider(*until);
        }
    }
    return next;
}

void Session::reset(TimePoint now) {
    m_queue.clear();
    m_handler.reset();
    if (m_modem) {
        m_modem->hangUp();
    }
    m_idleText.clear();
    m_nextStatus = now + m_config.statusEvery;
}

}  // namespace qvx::sim
