#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

// Opening a serial device for the gateway alone, and finding who holds one that is taken.
namespace qvx::gateway {

/// The device path of a port name: "COMn:" (also "COMn", any case, n from 1) is the n-th
/// standard serial port "/dev/ttyS<n-1>"; any other name is a path used as given (a pty
/// slave such as "/dev/pts/3" works).
[[nodiscard]] std::string devicePathForPort(std::string_view portName);

/// Opens `path` for reading and writing, non-blocking, and takes it for this process alone: an
/// advisory exclusive lock (flock), which a second gateway or a terminal program that locks
/// its port respects, and the terminal's exclusive mode (TIOCEXCL), which makes every further
/// open fail for processes without administrator rights. A device that is locked or in
/// exclusive mode already fails with EBUSY. Returns the descriptor, or -1 with `error` set.
[[nodiscard]] int openExclusive(const std::string& path, int& error);

/// Leaves the exclusive mode and closes. A pseudo-terminal keeps the mode past the close for as
/// long as its other side is open, which would lock out the gateway's own next open.
void closeExclusive(int fd);

/// A process that has a device open.
struct PortHolder {
    pid_t pid = 0;
    std::string name;  // its command name, as /proc/<pid>/comm gives it
};

/// The first process other than `excluded` that has the character device at `path` open,
/// found through /proc (only processes this one may inspect). nullopt when none is found.
[[nodiscard]] std::optional<PortHolder> findPortHolder(const std::string& path, pid_t excluded);

/// " (belegt von Prozess <pid> <name>)" for the holder of `path`, or an empty text when no
/// other process is found holding it.
[[nodiscard]] std::string portHolderText(const std::string& path);

}  // namespace qvx::gateway
