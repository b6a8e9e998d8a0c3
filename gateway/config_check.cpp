#include "gateway/config_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>

#include "gateway/login_line.h"
#include "gateway/serial_channel.h"
#include "gateway/serial_device.h"
#include "link/ipv4_endpoint.h"
#include "link/listener_table.h"

namespace qvx::gateway {

namespace {

// Channels that get a listener: the login listener takes one entry of the table.
constexpr std::int32_t kChannelsWithListener = link::ListenerTable::kEntries - 1;

class Report {
public:
    void line(const std::string& text) { m_report.text += text + "\n"; }
    void problem(const std::string& text) {
        line("Problem: " + text);
        m_report.usable = false;
    }
    [[nodiscard]] ConfigReport finish() {
        line(m_report.usable ? "The settings are usable." : "The settings have problems.");
        return m_report;
    }

private:
    ConfigReport m_report;
};

std::string onOff(bool on) {
    return on ? "on" : "off";
}

void describeGlobals(const GlobalSettings& globals, Report& report) {
    report.line("Login port: " + std::to_string(globals.loginPort) + " on " +
                globals.listenAddress);
    report.line("Secured: " + onOff(globals.secured) + ", Password of " +
                std::to_string(globals.password.size()) + " bytes");
    if (globals.loginPort == 0) {
        report.problem("the login port lies outside 1 to 65535");
    }
    if (!link::resolveEndpoint(globals.loginPort, globals.listenAddress)) {
        report.problem("the listen address " + globals.listenAddress + " does not resolve");
    }
    if (globals.securedUnreadable) {
        report.problem("Secured \"" + globals.securedText +
                       "\" is no number; the passphrase check counts as on");
    }
    if (globals.secured && globals.passwordUnreadable) {
        report.problem("the stored Password is longer than 99 bytes; no login can succeed");
    }
    if (globals.secured && globals.password.size() > LoginLineCollector::kMaxLineBytes) {
        report.problem("the Password is longer than 51 bytes; no login can match it");
    }
}

std::string deviceState(const std::string& path, bool& isDevice) {
    struct stat status {};
    isDevice = true;
    if (::stat(path.c_str(), &status) != 0) {
        return "missing, waited for";
    }
    if (!S_ISCHR(status.st_mode)) {
        isDevice = false;
        return "no character device";
    }
    return "present";
}

void describeChannel(std::int32_t n, const ChannelSettings& channel, Report& report) {
    const std::string name = "channel " + std::to_string(n);
    const std::string device = devicePathForPort(channel.comPort);
    bool isDevice = true;
    const std::string state = deviceState(device, isDevice);
    std::string text = "Channel " + std::to_string(n) + ": data port " +
                       std::to_string(channel.dataPort) + ", COMPort " + channel.comPort + " (" +
                       device + ", " + state + "), " + std::to_string(channel.baudRate) +
                       " bit/s " + frameText(channel.byteSize, channel.parity, channel.stopBits) +
                       ", IdleTimeout ";
    text += channel.idleTimeoutSeconds == 0 ? std::string("off")
                                            : std::to_string(channel.idleTimeoutSeconds) + " s";
    text += ", Trace " + (channel.tracePath.empty() ? std::string("off") : channel.tracePath);
    report.line(text);
    if (channel.dataPort == 0) {
        report.problem(name + ": its data port lies outside 1 to 65535");
    }
    if (n > kChannelsWithListener) {
        report.problem(name + ": only channels 1 to 4 get a listener");
    }
    if (channel.baudRate == 0 ||
        !frameControlFlags(channel.byteSize, channel.parity, channel.stopBits)) {
        report.problem(name + ": no serial line runs at " + std::to_string(channel.baudRate) +
                       " bit/s " + frameText(channel.byteSize, channel.parity, channel.stopBits));
    }
    if (!isDevice) {
        report.problem(name + ": " + device + " is no character device");
    }
}

}  // namespace

std::string frameText(std::uint8_t byteSize, std::uint8_t parity, std::uint8_t stopBits) {
    constexpr std::array<char, 5> kParityLetters{'N', 'O', 'E', 'M', 'S'};
    constexpr std::array<const char*, 3> kStopBits{"1", "1.5", "2"};
    std::string text = std::to_string(byteSize);
    text += parity < kParityLetters.size() ? kParityLetters[parity] : '?';
    text += stopBits < kStopBits.size() ? kStopBits[stopBits] : "?";
    return text;
}

ConfigReport checkConfiguration(GatewaySettings& settings) {
    Report report;
    report.line("Settings: " + settings.storePath().string());
    describeGlobals(settings.readGlobalSettings(), report);
    const std::int32_t count = settings.ChannelCount();
    report.line("Channels: " + std::to_string(std::max(count, 0)));
    if (count < 1) {
        report.problem("no channel is configured");
    }
    for (std::int32_t n = 1; n <= count; ++n) {
        describeChannel(n, settings.ReadChannelSettings(n), report);
    }
    return report.finish();
}

}  // namespace qvx::gateway
