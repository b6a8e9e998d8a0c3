#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

namespace qvx::platform {

/// Owns a file descriptor (negative: none) and closes it when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    [[nodiscard]] int get() const { return m_fd; }
    /// Closes now; false when closing reported an error (a late write failure, errno set).
    [[nodiscard]] bool close();

private:
    int m_fd;
};

/// Writes all bytes, going on after partial writes and interruptions; false on an error
/// (errno tells which).
[[nodiscard]] bool writeAll(int fd, std::span<const std::uint8_t> bytes);
[[nodiscard]] bool writeAll(int fd, std::string_view text);

}  // namespace qvx::platform
