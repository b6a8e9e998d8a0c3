#include "line_probe.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qvx::gateway::test {

std::optional<LineState> probeLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<LineState> state = probeLine(fd);
    ::close(fd);
    return state;
}

std::optional<LineState> probeLine(int fd) {
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0) {
        return std::nullopt;
    }
    LineState state;
    state.outputBaud = t.c_ospeed;
    state.inputBaud = t.c_ispeed;
    state.extraStopBit = (t.c_cflag & CSTOPB) != 0;
    state.hardwareFlowControl = (t.c_cflag & CRTSCTS) != 0;
    state.softwareFlowControl = (t.c_iflag & (IXON | IXOFF | IXANY)) != 0;
    state.inputTranslation =
        (t.c_iflag & (INLCR | IGNCR | ICRNL | ISTRIP | PARMRK | INPCK | BRKINT | IUCLC)) != 0;
    state.outputProcessing = (t.c_oflag & OPOST) != 0;
    state.canonicalOrEcho = (t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN)) != 0;
    state.ignoresModemLines = (t.c_cflag & CLOCAL) != 0;
    state.receiverOn = (t.c_cflag & CREAD) != 0;
    return state;
}

}  // namespace qvx::gateway::test
