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
    const platform::IniFile file(path);
    link.setUseCrcCheck(file.readInt(kGlobals, "UseCrcCheck", 0) != 0);
    link.setReplyWait(file.readInt(kGlobals, "RcvTimeOut", 5000));
    link.setInternTimeout(file.readInt(kGlobals, "InternTimeOut", 5000));
    link.setHost(file.readString(kGlobals, "TCP_IP_ADDRESS", "localhost", kTextBuffer));
    link.setPort(file.readInt(kGlobals, "Port", 5101));
    link.setBasePort(file.readInt(kGlobals, "BasePort", 5100));
    // A negative retry count would read as four billion attempts, and a block length outside
    // 1..255 does not fit the frame's length byte: such values fall back to the defaults.
    const std::int32_t retries = file.readInt(kGlobals, "Max_Retry", 5);
    link.setMaxRetry(retries >= 0 && retries <= 100 ? static_cast<unsigned>(retries) : 5U);
    const std::int32_t blockLength = file.readInt(kGlobals, "Max_BlockLength", 32);
    link.setMaxBlockLength(blockLength >= 1 && blockLength <= 255 ? static_cast<unsigned>(blockLength) : 32U);

    link::ModemSettings& modem = link.modem();
    modem.initString = file.readString(kModem, "Initstring", "AT&FX0E0", kTextBuffer) + "\r\n";
    modem.dialString = file.readString(kModem, "Dialstring", "ATDT", kTextBuffer);
    modem.okString = file.readString(kModem, "Okstring", "OK", kTextBuffer);
    modem.connectString = file.readString(kModem, "Connectstring", "CONNECT", kTextBuffer);
    modem.callNumber = file.readString(kModem, "Callnumber", "", kTextBuffer);
    modem.initTimeout = static_cast<unsigned>(file.readInt(kModem, "InitTimeout", 1000));
    modem.dialTimeout = static_cast<unsigned>(file.readInt(kModem, "DialTimeout", 40000));

    link.setTcpConnection(file.readString(kGlobals, "Connectiontype", "TCPIP", kTextBuffer) == "TCPIP");
    const std::string unit = upperCased(file.readString(kGlobals, "BaseUnit", "mV", kUnitBuffer));
    link.calibration().setMode(unit == "MM" || unit == "INCH" ? link::CalibrationMode::Calibrated
                                                              : link::CalibrationMode::Millivolt);
}

bool WriteConnectionSettings(const link::DeviceLink& link, const std::filesystem::path& path) {
    const platform::IniFile file(path);
    const link::ModemSettings& modem = link.modem();
    std::string init = modem.initString;
    init.resize(init.size() >= 2 ? init.size() - 2 : 0);  // the CR LF added when reading

    bool ok = file.writeString(kGlobals, "TCP_IP_ADDRESS", link.host());
    ok = file.writeInt(kGlobals, "BasePort", static_cast<std::uint32_t>(link.basePort())) && ok;
    ok = file.writeInt(kGlobals, "Port", link.port()) && ok;
    ok = file.writeInt(kGlobals, "RcvTimeOut", link.replyWait()) && ok;
    ok = file.writeInt(kGlobals, "InternTimeOut", link.internTimeout()) && ok;
    ok = file.writeInt(kGlobals, "Max_Retry", link.maxRetry()) && ok;
    ok = file.writeInt(kGlobals, "Max_BlockLength", link.maxBlockLength()) && ok;
    ok = file.writeString(kGlobals, "UseCrcCheck", link.useCrcCheck() ? "1" : "0") && ok;
    ok = file.writeString(kModem, "Initstring", init) && ok;
    ok = file.writeString(kModem, "Dialstring", modem.dialString) && ok;
    ok = file.writeString(kModem, "Okstring", modem.okString) && ok;
    ok = file.writeString(kModem, "Connectstring", modem.connectString) && ok;
    ok = file.writeString(kModem, "Callnumber", modem.callNumber) && ok;
    ok = file.writeInt(kModem, "InitTimeout", modem.initTimeout) && ok;
    ok = file.writeInt(kModem, "DialTimeout", modem.dialTimeout) && ok;
    ok = file.writeString(kGlobals, "Connectiontype", link.tcpConnection() ? "TCPIP" : "MODEM") && ok;
    return ok;
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
