#include "sim/modem.h"

#include <algorithm>
#include <cctype>

namespace qvx::sim {

namespace {

constexpr std::size_t kMaxLine = 200;  // a longer line is cut, as a modem's buffer cuts it
constexpr char kOk[] = "\r\nOK\r\n";
constexpr char kConnectLine[] = "CONNECT 9600\r\n";

}  // namespace

ModemEmulator::ModemEmulator(ModemBehaviour behaviour, ModemTiming timing)
    : m_behaviour(behaviour), m_timing(timing) {}

void ModemEmulator::hangUp() {
    m_state = State::Command;
    m_line.clear();
}

std::optional<TimePoint> ModemEmulator::pendingUntil() const {
    if (m_state != State::Dialing) {
        return std::nullopt;
    }
    return m_resultAt;
}

void ModemEmulator::advance(TimePoint now) {
    if (m_state == State::Dialing && now >= m_resultAt) {
        m_state = m_willConnect ? State::Connected : State::Command;
    }
}

void ModemEmulator::receive(std::span<const std::uint8_t> bytes, TimePoint now,
                            std::vector<ModemText>& out) {
    for (const std::uint8_t byte : bytes) {
        if (m_state != State::Command) {
            continue;  // a modem setting up or holding a call takes no commands
        }
        if (byte == '\r') {
            onLine(now, out);
            m_line.clear();
        } else if (byte != '\n' && m_line.size() < kMaxLine) {
            m_line.push_back(static_cast<char>(std::toupper(byte)));
        }
    }
}

void ModemEmulator::onLine(TimePoint now, std::vector<ModemText>& out) {
    // Like a modem hunting for the attention prefix, anything before "AT" is line noise.
    const auto first = m_line.find("AT");
    if (first == std::string::npos) {
        return;
    }
    if (m_line.size() <= first + 2 || m_line[first + 2] != 'D') {
        out.push_back({now, kOk});
        return;
    }
    const TimePoint result = now + m_timing.dialDelay;
    m_state = State::Dialing;
    switch (m_behaviour) {
        case ModemBehaviour::Answer:
            m_resultAt = result;
            m_willConnect = true;
            out.push_back({result, std::string("\r\n") + kConnectLine});
            break;
        case ModemBehaviour::Busy:
            m_resultAt = result;
            m_willConnect = false;
            out.push_back({result, "\r\nBUSY\r\n"});
            break;
        case ModemBehaviour::NoAnswer:
            m_resultAt = now + m_timing.noCarrierAfter;
            m_willConnect = false;
            out.push_back({m_resultAt, "\r\nNO CARRIER\r\n"});
            break;
        case ModemBehaviour::EmptyLineFirst:
            m_resultAt = result + m_timing.emptyLineGap;
            m_willConnect = true;
            out.push_back({result, "\r\n"});
            out.push_back({m_resultAt, kConnectLine});
            break;
    }
}

}  // namespace qvx::sim
