#pragma once

#include <string>
#include <string_view>

#include "connection/link_recovery.h"
#include "connection/sleep_pumping.h"
#include "link/device_link.h"

namespace qvx::connection {

/// What the connection procedure needs from the user interface.
class ConnectionUi {
public:
    virtual ~ConnectionUi() = default;
    /// A message box with one OK button and no owner window.
    virtual void showMessage(std::string_view text, std::string_view caption) = 0;
    /// A Yes/No question; true only for Yes.
    [[nodiscard]] virtual bool askYesNo(std::string_view text, std::string_view caption) = 0;
    /// Shows the dialling notice with its text, and hides it again.
    virtual void showDialingNotice(std::string_view text) = 0;
    virtual void hideDialingNotice() = 0;
    /// Dispatches pending user-interface messages.
    virtual void pump() = 0;
};

/// What the device image gets from a successful connection.
struct ConnectionResult {
    bool online = false;          ///< connected and prepared: the polling thread may start
    bool readTolerances = false;  ///< the tolerances were to be read
    float underTolerance = 0.0F;  ///< display value read at start-up, 0 if not read
    float overTolerance = 0.0F;
    std::optional<ServiceData> controller;  ///< identity of the controller that answered
};

/// The procedure after the connection dialog was confirmed: gateway login, the data
/// connection, modem dialling for the modem type, then the calibration table and the
/// tolerances. Every failure leaves the program offline after telling the user; a data
/// connection behind which nothing answers is closed again.
[[nodiscard]] ConnectionResult runConnectionProcedure(link::DeviceLink& link, std::string_view passphrase,
                                                      ConnectionUi& ui);

/// "Online, Verbunden mit <host>, <port>" (modem: the number) while polling succeeds,
/// else "Offline.".
[[nodiscard]] std::string connectionStatusText(const link::DeviceLink& link, bool pollOk);

}  // namespace qvx::connection
