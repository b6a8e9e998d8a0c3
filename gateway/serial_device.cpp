#include "gateway/serial_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "gateway/gateway_texts.h"

namespace qvx::gateway {

namespace {

bool isComName(std::string_view name, unsigned& number) {
    if (name.size() < 4 || (name[0] != 'C' && name[0] != 'c') ||
        (name[1] != 'O' && name[1] != 'o') || (name[2] != 'M' && name[2] != 'm')) {
        return false;
    }
    std::string_view digits = name.substr(3);
    if (digits.ends_with(':')) {
        digits.remove_suffix(1);
    }
    if (digits.empty() || digits.size() > 3 || digits.front() == '0') {
        return false;
    }
    number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

// The process id a /proc entry stands for, or 0 for entries that are no process.
pid_t processIdOf(const std::filesystem::path& entry) {
    const std::string name = entry.filename().string();
    pid_t pid = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
    return ec == std::errc() && end == name.data() + name.size() ? pid : 0;
}

// True when one of the descriptors of process `folder` refers to the character device `rdev`.
bool holdsDevice(const std::filesystem::path& folder, dev_t rdev) {
    std::error_code error;
    for (const auto& descriptor : std::filesystem::directory_iterator(folder / "fd", error)) {
        struct stat target {};
        if (::stat(descriptor.path().c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
            target.st_rdev == rdev) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string devicePathForPort(std::string_view portName) {
    unsigned number = 0;
    if (isComName(portName, number)) {
        return "/dev/ttyS" + std::to_string(number - 1);
    }
    return std::string(portName);
}

int openExclusive(const std::string& path, int& error) {
    // Non-blocking, so that neither a missing carrier nor a full output buffer can hold a
    // call that a stop has to interrupt; poll() does the waiting.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    // Only a lock held elsewhere refuses the port; a device without lock support still opens.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        error = EBUSY;
        return -1;
    }
    // A device that is no terminal refuses this; its configuration then reports that.
    (void)::ioctl(fd, TIOCEXCL);
    error = 0;
    return fd;
}

void closeExclusive(int fd) {
    (void)::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

std::optional<PortHolder> findPortHolder(const std::string& path, pid_t excluded) {
    struct stat device {};
    if (::stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) {
        return std::nullopt;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const pid_t pid = processIdOf(entry.path());
        if (pid == 0 || pid == excluded || !holdsDevice(entry.path(), device.st_rdev)) {
            continue;
        }
        PortHolder holder{pid, {}};
        std::ifstream comm(entry.path() / "comm");
        std::getline(comm, holder.name);
        return holder;
    }
    return std::nullopt;
}

std::string portHolderText(const std::string& path) {
    const std::optional<PortHolder> holder = findPortHolder(path, ::getpid());
    if (!holder) {
        return {};
    }
    std::string text(texts::kHeldByPrefix);
    text += std::to_string(holder->pid);
    text += ' ';
    text += holder->name;
    text += texts::kHeldBySuffix;
    return text;
}

}  // namespace qvx::gateway
