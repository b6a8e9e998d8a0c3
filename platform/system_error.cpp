#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace qvx::platform {

std::string systemErrorText(int code) {
    if (code == 0) {
        code = errno;
    }
    // strerror() invents "Unknown error N" for codes it does not know; the name lookup
    // tells known codes apart.
    if (::strerrorname_np(code) == nullptr) {
        return {};
    }
    char buffer[256];
    return ::strerror_r(code, buffer, sizeof buffer);
}

}  // namespace qvx::platform
