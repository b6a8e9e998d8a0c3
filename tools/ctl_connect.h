#pragma once

#include <string>

#include "link/device_link.h"
#include "tools/ctl_options.h"

namespace qvx::tools {

/// Applies the connection settings (a qvx.ini first, then the command line) and makes the
/// connection the way the desktop program does: login at the gateway when asked, the data
/// connection, and modem dialling for the modem type. False with a one-line reason.
[[nodiscard]] bool connectCtl(link::DeviceLink& link, const CtlOptions& options, std::string& error);

}  // namespace qvx::tools
