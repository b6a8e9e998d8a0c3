#include "connection/connection_procedure.h"

#include "connection/connection_texts.h"
#include "connection/gateway_login.h"
#include "connection/modem_dialing.h"
#include "platform/user_text.h"

namespace qvx::connection {

namespace {

constexpr int kFinalWaitSteps = 10;  // 1 s in steps of 100 ms

/// Gives a data connection that is still coming up its last second; true once it stands.
bool awaitDataConnection(link::DeviceLink& link, const UiPump& pump) {
    const unsigned failedBefore = link.failedAttempts();
    for (int step = 0;
         step < kFinalWaitSteps && !link.isConnected() && link.failedAttempts() == failedBefore;
         ++step) {
        sleepStep(pump);
    }
    return link.isConnected();
}

bool dialThroughTheModem(link::DeviceLink& link, const UiPump& pump, ConnectionUi& ui) {
    ui.showDialingNotice(dialingNoticeText(link.modem().callNumber));
    const bool ok = DialModem(link, pump);
    ui.hideDialingNotice();
    if (!ok) {
        ui.showMessage(platform::userText(texts::kModemFailed),
                       platform::userText(texts::kConnectionInterrupted));
    }
    return ok;
}

}  // namespace

ConnectionResult runConnectionProcedure(link::DeviceLink& link, std::string_view passphrase, ConnectionUi& ui) {
    const UiPump pump = [&ui] { ui.pump(); };
    ConnectionResult result;
    if (!GatewayLogin(link, link.host(), passphrase, link.basePort(), link.port(), pump)) {
        ui.showMessage(platform::userText(texts::kLoginFailed),
                       platform::userText(texts::kConnectionInterrupted));
        return result;
    }
    // The modem is dialled only through a standing data connection, so a slow one is waited
    // for first: deciding earlier would skip the dialling and read through an undialled modem.
    if (!awaitDataConnection(link, pump)) {
        ui.showMessage(platform::userText(texts::kGatewayUnreachable),
                       platform::userText(texts::kError));
        return result;
    }
    if (!link.tcpConnection() && !dialThroughTheModem(link, pump, ui)) {
        return result;
    }

    // A data port busy with another client accepts the connection but never answers: such a
    // link is not taken for online. The first read waits out its retries while the windows
    // stay alive.
    runPumped([&link, &result] { result.controller = readControllerIdentity(link); }, pump);
    if (!result.controller) {
        link.closeSocket();
        ui.showMessage(platform::userText(texts::kControllerSilent),
                       platform::userText(texts::kConnectionInterrupted));
        return result;
    }

    readCalibrationForDisplay(link);
    const link::CalibrationTable& table = link.calibration();
    result.readTolerances = true;
    // A stored table of more than 62 points reaches into the tolerance cells.
    if (table.storedCount() > link::CalibrationTable::kMaxPoints &&
        !ui.askYesNo(platform::userText(texts::kLastPointOverwritten),
                     platform::userText(texts::kWarning))) {
        result.readTolerances = false;
    }
    if (result.readTolerances) {
        (void)link.readToleranceValues(result.underTolerance, result.overTolerance);
    }
    result.online = true;
    return result;
}

std::string connectionStatusText(const link::DeviceLink& link, bool pollOk) {
    if (!pollOk) {
        return platform::userText(texts::kOffline);
    }
    if (link.tcpConnection()) {
        return platform::userText(texts::kOnlinePrefix) + link.host() + ", " +
               std::to_string(link.port());
    }
    return platform::userText(texts::kOnlinePrefix) + link.modem().callNumber;
}

}  // namespace qvx::connection
