#include "connection/gateway_login.h"

#include <chrono>
#include <span>
#include <string>
#include <thread>

#include "platform/ini_file.h"

namespace qvx::connection {

namespace {

constexpr std::size_t kMaxPassphraseBytes = 197;
constexpr int kConnectSteps = 100;       // 10 s in steps of 100 ms
constexpr int kReplyPauseMs = 3000;      // the gateway answers at once and closes after 3 s
constexpr int kSettleSteps = 20;         // 2 s in steps of 100 ms
constexpr int kLoginReplyWaitMs = 5000;

bool sendText(link::DeviceLink& link, const std::string& text) {
    return link.write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool cancelled(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(); }

}  // namespace

std::string loginText(std::string_view passphrase) {
    std::string text(platform::truncateUtf8(passphrase, kMaxPassphraseBytes));
    text += "\n\r";
    return text;
}

bool GatewayLogin(link::DeviceLink& link, std::string_view address, std::string_view passphrase, int loginPort,
                  int dataPort, const UiPump& pump, const std::atomic<bool>* cancel) {
    using namespace std::chrono_literals;
    link.setPort(loginPort);
    link.setHost(address);
    link.setReplyWait(kLoginReplyWaitMs);
    const unsigned failedBefore = link.failedAttempts();
    if (!link.connectWithStoredSettings()) {
        return false;
    }
    // A refused or unreachable gateway ends the wait as soon as the attempt has failed.
    for (int step = 0; step < kConnectSteps && !link.isConnected() && link.failedAttempts() == failedBefore &&
                    !cancelled(cancel);
         ++step) {
        std::this_thread::sleep_for(100ms);
    }
    if (!link.isConnected() || cancelled(cancel)) {
        link.closeSocket();  // a connection that came up after the cancel is not kept
        return false;
    }

    link.setTextMode(true);
    (void)sendText(link, loginText(passphrase));
    for (int step = 0; step < kReplyPauseMs / 100 && !cancelled(cancel); ++step) {
        std::this_thread::sleep_for(100ms);
    }
    const bool accepted = link.lineBuffer() == "+OK";
    link.closeSocket();
    link.setTextMode(false);
    link.clearLineBuffer();
    link.setLineComplete(false);
    if (!accepted || cancelled(cancel)) {
        return false;
    }

    for (int step = 0; step < kSettleSteps && link.isConnected() && !cancelled(cancel); ++step) {
        sleepStep(pump);
    }
    // The link keeps the data port from here on, so the status line names the port the
    // program is connected to.
    link.setPort(dataPort);
    if (!link.setPeer(dataPort, link.host(), false)) {
        return false;
    }
    const unsigned failedBeforeData = link.failedAttempts();
    const bool started = link.requestConnect();
    if (started) {
        for (int step = 0; step < kSettleSteps && !link.isConnected() &&
                           link.failedAttempts() == failedBeforeData && !cancelled(cancel);
             ++step) {
            sleepStep(pump);
        }
    }
    return started;
}

}  // namespace qvx::connection
