#include "gateway/channel_trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "platform/file_descriptor.h"

namespace qvx::gateway {

namespace {

std::string timeStamp(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto micros = duration_cast<microseconds>(time.time_since_epoch()).count();
    const auto seconds = static_cast<std::time_t>(micros / 1'000'000);
    const auto fraction = micros % 1'000'000;
    std::tm local{};
    (void)::localtime_r(&seconds, &local);
    std::array<char, 96> text{};  // room for any int the fields could hold
    std::snprintf(text.data(), text.size(), "%04d-%02d-%02d %02d:%02d:%02d.%06lld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<long long>(fraction));
    return text.data();
}

}  // namespace

std::string traceLines(std::chrono::system_clock::time_point time, TraceDirection direction,
                       std::span<const std::uint8_t> bytes) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    const std::string stamp = timeStamp(time);
    const std::string_view mark = direction == TraceDirection::ToDevice ? " TX>" : " RX<";
    std::string text;
    for (std::size_t start = 0; start < bytes.size(); start += kTraceBytesPerLine) {
        text += stamp;
        text += mark;
        for (const std::uint8_t byte :
             bytes.subspan(start).first(std::min(kTraceBytesPerLine, bytes.size() - start))) {
            text += ' ';
            text += kDigits[byte >> 4];
            text += kDigits[byte & 0x0F];
        }
        text += '\n';
    }
    return text;
}

std::unique_ptr<ChannelTrace> ChannelTrace::open(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0640);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<ChannelTrace>(new ChannelTrace(fd));
}

ChannelTrace::~ChannelTrace() {
    ::close(m_fd);
}

void ChannelTrace::record(TraceDirection direction, std::span<const std::uint8_t> bytes) const {
    (void)platform::writeAll(m_fd, traceLines(std::chrono::system_clock::now(), direction, bytes));
}

}  // namespace qvx::gateway
