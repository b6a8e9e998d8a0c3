#include "sim/pty_port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

#include "platform/system_error.h"

namespace qvx::sim {

namespace {

std::string errorText(const std::string& what) {
    return what + ": " + platform::systemErrorText(errno);
}

}  // namespace

PtyPort::~PtyPort() {
    if (!m_linkPath.empty()) {
        std::array<char, 256> target{};
        const ssize_t n = ::readlink(m_linkPath.c_str(), target.data(), target.size() - 1);
        if (n > 0 && std::string(target.data(), static_cast<std::size_t>(n)) == m_slaveName) {
            ::unlink(m_linkPath.c_str());
        }
    }
    if (m_slave >= 0) {
        ::close(m_slave);
    }
    if (m_master >= 0) {
        ::close(m_master);
    }
}

bool PtyPort::open(const std::string& linkPath, std::string& error) {
    struct stat existing {};
    if (::lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = linkPath + " exists and is not a symbolic link";
        return false;
    }
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        error = errorText("posix_openpt");
        return false;
    }
    std::array<char, 128> name{};
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name.data(), name.size()) != 0) {
        error = errorText("cannot prepare the pty");
        return false;
    }
    m_slaveName = name.data();
    (void)::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_slave = ::open(m_slaveName.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        error = errorText("cannot open " + m_slaveName);
        return false;
    }
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0) {
        error = errorText("tcgetattr");
        return false;
    }
    ::cfmakeraw(&tio);
    (void)::cfsetspeed(&tio, B9600);
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        error = errorText("tcsetattr");
        return false;
    }

    // Link under a temporary name, then rename over the path: a reader never finds it missing.
    const std::string temporary = linkPath + ".new" + std::to_string(::getpid());
    (void)::unlink(temporary.c_str());
    if (::symlink(m_slaveName.c_str(), temporary.c_str()) != 0) {
        error = errorText("cannot create the link " + temporary);
        return false;
    }
    if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        error = errorText("cannot create the link " + linkPath);
        ::unlink(temporary.c_str());
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

}  // namespace qvx::sim
