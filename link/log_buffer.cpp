#include "link/log_buffer.h"

#include <cstdio>
#include <ctime>
#include <utility>

namespace qvx::link {

void BufferedLogSink::writeLine(int level, std::string_view line) {
    LogLine entry{std::chrono::system_clock::now(), level, std::string(line)};
    const std::lock_guard guard(m_mutex);
    if (m_lines.size() >= m_capacity) {
        ++m_dropped;
        return;
    }
    m_lines.push_back(std::move(entry));
}

BufferedLogSink::Taken BufferedLogSink::take() {
    Taken taken;
    const std::lock_guard guard(m_mutex);
    taken.lines.assign(std::make_move_iterator(m_lines.begin()),
                       std::make_move_iterator(m_lines.end()));
    m_lines.clear();
    taken.dropped = std::exchange(m_dropped, 0);
    return taken;
}

std::string formatLogLine(const LogLine& line) {
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(line.time);
    const auto millis = duration_cast<milliseconds>(line.time.time_since_epoch()).count() % 1000;
    std::tm local{};
    (void)localtime_r(&seconds, &local);
    char stamp[32];
    const std::size_t n = std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::string text(stamp, n);
    char fraction[8];
    (void)std::snprintf(fraction, sizeof fraction, ".%03d ", static_cast<int>(millis));
    text += fraction;
    text += line.text;
    return text;
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

}  // namespace qvx::link
