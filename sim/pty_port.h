#pragma once

#include <string>

namespace qvx::sim {

/// A pseudo-terminal standing in for the controller's serial port: the simulator reads and
/// writes the master side; a symbolic link at a stable path names the slave side for the
/// gateway. The simulator holds a descriptor of the slave itself, so the master never sees a
/// hang-up when the gateway closes the port between sessions. The line is raw (no echo, no
/// line editing, no translation).
class PtyPort {
public:
    PtyPort() = default;
    /// Closes both sides and removes the link if it still names this pty.
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    /// Creates the pty and points `linkPath` at its slave side, replacing an earlier link
    /// there (never a file that is not a link). False with an error text on failure.
    [[nodiscard]] bool open(const std::string& linkPath, std::string& error);

    /// Master side, non-blocking.
    [[nodiscard]] int masterFd() const { return m_master; }
    /// Device name of the slave side (/dev/pts/N).
    [[nodiscard]] const std::string& slaveName() const { return m_slaveName; }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_linkPath;   // the link created by open()
    std::string m_slaveName;  // its target
};

}  // namespace qvx::sim
