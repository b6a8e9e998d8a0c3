#include "platform/file_descriptor.h"

#include <unistd.h>

#include <cerrno>

namespace qvx::platform {

FileDescriptor::~FileDescriptor() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool FileDescriptor::close() {
    return ::close(std::exchange(m_fd, -1)) == 0;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

bool writeAll(int fd, std::string_view text) {
    return writeAll(fd, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace qvx::platform
