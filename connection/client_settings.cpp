#include "connection/client_settings.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/ini_file.h"

namespace qvx::connection {

namespace {

constexpr std::size_t kTextBuffer = 200;  // text settings hold 199 characters
constexpr std::size_t kUnitBuffer = 20;
constexpr const char* kGlobals = "Globals";
constexpr const char* kModem = "Modem";

std::string upperCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

std::filesystem::path clientSettingsPath() {
    std::error_code error;
    return std::filesystem::current_path(error) / "qvx.ini";
}

void ReadConnectionSettings(link::DeviceLink& link, const std::filesystem::path& path) {
    ReadConnectionSettings(link, IniSettingsStore(path));
}

void ReadConnectionSettings(link::DeviceLink& link, const SettingsStore& store) {
    link.setUseCrcCheck(store.readInt(kGlobals, "UseCrcCheck", 0) != 0);
    link.setReplyWait(store.readInt(kGlobals, "RcvTimeOut", 5000));
    link.setInternTimeout(store.readInt(kGlobals, "InternTimeOut", 5000));
    link.setHost(store.readString(kGlobals, "TCP_IP_ADDRESS", "localhost", kTextBuffer));
    link.setPort(store.readInt(kGlobals, "Port", 5101));
    link.setBasePort(store.readInt(kGlobals, "BasePort", 5100));
    // A negative retry count would read as four billion attempts, and a block length outside
    // 1..255 does not fit the frame's length byte: such values fall back to the defaults.
    const std::int32_t retries = store.readInt(kGlobals, "Max_Retry", 5);
    link.setMaxRetry(retries >= 0 && retries <= 100 ? static_cast<unsigned>(retries) : 5U);
    const std::int32_t blockLength = store.readInt(kGlobals, "Max_BlockLength", 32);
    link.setMaxBlockLength(blockLength >= 1 && blockLength <= 255 ? static_cast<unsigned>(blockLength) : 32U);

    link::ModemSettings& modem = link.modem();
    modem.initString = store.readString(kModem, "Initstring", "AT&FX0E0", kTextBuffer) + "\r\n";
    modem.dialString = store.readString(kModem, "Dialstring", "ATDT", kTextBuffer);
    modem.okString = store.readString(kModem, "Okstring", "OK", kTextBuffer);
    modem.connectString = store.readString(kModem, "Connectstring", "CONNECT", kTextBuffer);
    modem.callNumber = store.readString(kModem, "Callnumber", "", kTextBuffer);
    modem.initTimeout = static_cast<unsigned>(store.readInt(kModem, "InitTimeout", 1000));
    modem.dialTimeout = static_cast<unsigned>(store.readInt(kModem, "DialTimeout", 40000));

    link.setTcpConnection(store.readString(kGlobals, "Connectiontype", "TCPIP", kTextBuffer) ==
                          "TCPIP");
    const std::string unit = upperCased(store.readString(kGlobals, "BaseUnit", "mV", kUnitBuffer));
    link.calibration().setMode(unit == "MM" || unit == "INCH" ? link::CalibrationMode::Calibrated
                                                              : link::CalibrationMode::Millivolt);
}

bool WriteConnectionSettings(const link::DeviceLink& link, const std::filesystem::path& path) {
    return WriteConnectionSettings(link, IniSettingsStore(path));
}

bool WriteConnectionSettings(const link::DeviceLink& link, const SettingsStore& store) {
    const link::ModemSettings& modem = link.modem();
    std::string init = modem.initString;
    init.resize(init.size() >= 2 ? init.size() - 2 : 0);  // the CR LF added when reading

    bool ok = store.writeString(kGlobals, "TCP_IP_ADDRESS", link.host());
    ok = store.writeInt(kGlobals, "BasePort", static_cast<std::uint32_t>(link.basePort())) && ok;
    ok = store.writeInt(kGlobals, "Port", link.port()) && ok;
    ok = store.writeInt(kGlobals, "RcvTimeOut", link.replyWait()) && ok;
    ok = store.writeInt(kGlobals, "InternTimeOut", link.internTimeout()) && ok;
    ok = store.writeInt(kGlobals, "Max_Retry", link.maxRetry()) && ok;
    ok = store.writeInt(kGlobals, "Max_BlockLength", link.maxBlockLength()) && ok;
    ok = store.writeString(kGlobals, "UseCrcCheck", link.useCrcCheck() ? "1" : "0") && ok;
    ok = store.writeString(kModem, "Initstring", init) && ok;
    ok = store.writeString(kModem, "Dialstring", modem.dialString) && ok;
    ok = store.writeString(kModem, "Okstring", modem.okString) && ok;
    ok = store.writeString(kModem, "Connectstring", modem.connectString) && ok;
    ok = store.writeString(kModem, "Callnumber", modem.callNumber) && ok;
    ok = store.writeInt(kModem, "InitTimeout", modem.initTimeout) && ok;
    ok = store.writeInt(kModem, "DialTimeout", modem.dialTimeout) && ok;
    ok = store.writeString(kGlobals, "Connectiontype", link.tcpConnection() ? "TCPIP" : "MODEM") &&
         ok;
    return ok;
}

bool readAutoReconnect(const SettingsStore& store) { return store.readInt(kGlobals, "AutoReconnect", 1) != 0; }

bool writeAutoReconnect(const SettingsStore& store, bool on) {
    return store.writeString(kGlobals, "AutoReconnect", on ? "1" : "0");
}

int readInchUnit(const std::filesystem::path& path) {
    const platform::IniFile file(path);
    return upperCased(file.readString(kGlobals, "BaseUnit", "mV", kUnitBuffer)) == "INCH" ? 1 : 0;
}

bool writeBaseUnit(const std::filesystem::path& path, link::CalibrationMode mode, int inchUnit) {
    const char* unit = mode == link::CalibrationMode::Millivolt ? "MV" : (inchUnit == 1 ? "INCH" : "MM");
    return platform::IniFile(path).writeString(kGlobals, "BaseUnit", unit);
}

}  // namespace qvx::connection
