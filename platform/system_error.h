#pragma once

#include <string>

namespace qvx::platform {

/// The system's message text for an errno value; 0 means the calling thread's last error.
/// A code the system does not know gives an empty text.
std::string systemErrorText(int code);

}  // namespace qvx::platform
