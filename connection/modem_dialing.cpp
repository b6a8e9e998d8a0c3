#include "connection/modem_dialing.h"

#include <span>

#include "connection/connection_texts.h"
#include "platform/user_text.h"

namespace qvx::connection {

namespace {

constexpr std::size_t kMaxDialCommand = 199;

bool sendText(link::DeviceLink& link, const std::string& text) {
    return link.write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

/// Starts a new exchange: text mode with an empty line, then the command.
bool startExchange(link::DeviceLink& link, const std::string& command) {
    link.setTextMode(true);
    link.setLineComplete(false);
    link.clearLineBuffer();
    return sendText(link, command);
}

bool dialogue(link::DeviceLink& link, const UiPump& pump) {
    const link::ModemSettings& modem = link.modem();
    const std::optional<std::string> dial = dialCommand(modem);
    if (!dial || !link.isConnected()) {
        return false;
    }
    if (!startExchange(link, modem.initString)) {
        return false;
    }
    SleepPumping(static_cast<int>(modem.initTimeout), pump);
    if (!link.lineComplete() || link.lineBuffer().find(modem.okString) == std::string::npos) {
        return false;
    }
    if (!startExchange(link, *dial)) {
        return false;
    }
    // A connection that ends meanwhile (the program closing it, the gateway going away) can
    // bring no reply: the wait ends with it.
    for (unsigned step = 0; step < modem.dialTimeout / 100 && link.isConnected(); ++step) {
        sleepStep(pump);
        if (link.lineComplete()) {
            break;
        }
    }
    return link.lineComplete() && link.lineBuffer().find(modem.connectString) != std::string::npos;
}

}  // namespace

std::optional<std::string> dialCommand(const link::ModemSettings& modem) {
    if (modem.callNumber.find_first_of("\r\n") != std::string::npos) {
        return std::nullopt;
    }
    std::string command = modem.dialString + modem.callNumber + "\r\n";
    if (command.size() > kMaxDialCommand) {
        return std::nullopt;
    }
    return command;
}

std::string dialingNoticeText(const std::string& callNumber) {
    return platform::userText(texts::kDialing) + callNumber + " ...";
}

bool DialModem(link::DeviceLink& link, const UiPump& pump) {
    const bool connected = dialogue(link, pump);
    link.clearLineBuffer();
    link.setTextMode(false);
    return connected;
}

}  // namespace qvx::connection
