#include "tools/ctl_commands.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "link/device_memory_map.h"

namespace qvx::tools {

namespace mm = link::memory_map;

namespace {

std::string formatFixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string hexByte(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

std::string hexWord(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
    return text;
}

std::string millivolts(int raw) {
    return formatFixed(link::CalibrationTable::rawToMv(static_cast<std::uint16_t>(raw)), 2) + " mV";
}

bool status(link::DeviceLink& link, std::ostream& out, std::string& error) {
    int outputs = 0;
    std::array<int, 5> points{};
    float gripper = 0;
    float supply = 0;
    float temperature = 0;
    int statusByte = 0;
    int limits = 0;
    if (!link.readOutputStatus(outputs) || !link.readSwitchPoints(points) || !link.readGripperValue(gripper, 1) ||
        !link.readSupplyVoltage(supply) || !link.readTemperature(temperature) || !link.readStatusByte(statusByte) ||
        !link.readLimitFlags(limits)) {
        error = "the controller did not answer every read";
        return false;
    }
    out << "output status: " << hexByte(outputs) << '\n';
    for (std::size_t k = 0; k < points.size(); ++k) {
        out << "switch point " << k + 1 << ": " << millivolts(points[k]) << '\n';
    }
    out << "gripper value: " << formatFixed(gripper, 2) << " mV\n";
    out << "supply voltage: " << formatFixed(supply, 2) << " V\n";
    out << "temperature: " << formatFixed(temperature, 1) << " °C\n";
    out << "status byte: " << hexByte(statusByte) << '\n';
    out << "limit flags: " << hexByte(limits) << '\n';
    return true;
}

bool service(link::DeviceLink& link, std::ostream& out, std::string& error) {
    int week = 0;
    int year = 0;
    int serial = 0;
    if (!link.readServiceData(week, year, serial)) {
        error = "reading the service data failed";
        return false;
    }
    out << "week: " << week << "\nyear: " << year << "\nserial number: " << serial << '\n';
    return true;
}

bool printWords(std::ostream& out, const char* name, const std::array<int, 5>& values) {
    for (std::size_t k = 0; k < values.size(); ++k) {
        out << name << ' ' << k + 1 << ": " << hexWord(values[k]) << " (" << millivolts(values[k]) << ")\n";
    }
    return true;
}

bool switchPoints(link::DeviceLink& link, std::ostream& out, std::string& error) {
    std::array<int, 5> points{};
    if (!link.readSwitchPoints(points)) {
        error = "reading the switch points failed";
        return false;
    }
    return printWords(out, "switch point", points);
}

bool inputRecord(link::DeviceLink& link, const CtlOptions& options, std::ostream& out, std::string& error) {
    if (!options.arguments.empty()) {
        if (options.arguments.size() != 5) {
            error = "input-record takes no values or exactly five";
            return false;
        }
        std::array<int, 5> values{};
        for (std::size_t k = 0; k < 5; ++k) {
            const auto value = parseNumber(options.arguments[k], 0, 0xFFFF);
            if (!value) {
                error = "'" + options.arguments[k] + "' is not a 16-bit word";
                return false;
            }
            values[k] = static_cast<int>(*value);
        }
        if (!link.writeInputRecord(values)) {
            error = "writing the input record failed";
            return false;
        }
    }
    std::array<int, 5> record{};
    if (!link.readInputRecord(record)) {
        error = "reading the input record failed";
        return false;
    }
    return printWords(out, "input value", record);
}

bool calibration(link::DeviceLink& link, std::ostream& out, std::string& error) {
    if (!link.readCalibration()) {
        error = "reading the calibration table failed (no answer, erased or newer table)";
        return false;
    }
    const link::CalibrationTable& table = link.calibration();
    out << "support points: " << table.getCount() << '\n';
    out << "stored count: " << static_cast<int>(table.storedCount()) << '\n';
    out << "selected point: " << table.getIndex() << '\n';
    for (std::uint32_t p = 1; p <= table.getCount(); ++p) {
        link::CalibrationPoint point;
        if (table.getPoint(p, point)) {
            out << "point " << p << ": " << formatFixed(point.mv, 2) << " mV " << formatFixed(point.mm, 3) << " mm\n";
        }
    }
    return true;
}

bool tolerances(link::DeviceLink& link, std::ostream& out, std::string& error) {
    float under = 0;
    float over = 0;
    if (!link.readToleranceValues(under, over)) {
        error = "reading the tolerances failed";
        return false;
    }
    out << "under tolerance: " << formatFixed(under, 2) << " mV\n";
    out << "over tolerance: " << formatFixed(over, 2) << " mV\n";
    return true;
}

bool readMemory(link::DeviceLink& link, const CtlOptions& options, bool eeprom, std::ostream& out,
                std::string& error) {
    if (options.arguments.size() != 2) {
        error = options.command + " takes ADDR and COUNT";
        return false;
    }
    const auto address = parseNumber(options.arguments[0], 0, 0xFFFF);
    const auto count = parseNumber(options.arguments[1], 0, 0x10000);
    if (!address || !count) {
        error = "ADDR must be 0..0xFFFF and COUNT 0..65536";
        return false;
    }
    if (!link.lockEngine()) {
        error = "the link is busy";
        return false;
    }
    const auto addr = static_cast<std::uint32_t>(*address);
    const auto n = static_cast<std::size_t>(*count);
    const bool ok = eeprom ? link.readEeprom(addr, n) : link.readRam(addr, n);
    const std::vector<std::uint8_t> bytes = eeprom ? link.eepromBuffer() : link.ramBuffer();
    link.unlockEngine();
    if (!ok) {
        error = "the read got no complete answer";
        return false;
    }
    out << hexDump(bytes) << '\n';
    return true;
}

bool writeMemory(link::DeviceLink& link, const CtlOptions& options, bool eeprom, std::string& error) {
    if (options.arguments.size() < 2) {
        error = options.command + " takes ADDR and at least one byte";
        return false;
    }
    const auto address = parseNumber(options.arguments[0], 0, 0xFFFF);
    const auto bytes = parseHexBytes(std::span(options.arguments).subspan(1));
    if (!address || !bytes) {
        error = "ADDR must be 0..0xFFFF and every byte two hexadecimal digits";
        return false;
    }
    if (!link.lockEngine()) {
        error = "the link is busy";
        return false;
    }
    const auto addr = static_cast<std::uint32_t>(*address);
    const bool ok = eeprom ? link.writeEeprom(addr, *bytes) : link.writeRam(addr, *bytes);
    link.unlockEngine();
    if (!ok) {
        error = "the write was not confirmed";
    }
    return ok;
}

bool record(link::DeviceLink& link, const CtlOptions& options, std::ostream& out, std::string& error) {
    using namespace std::chrono_literals;
    if (options.startRecording) {
        if (!link.startRecording()) {
            error = "starting the recording failed";
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        bool finished = false;
        while (!finished) {
            if (std::chrono::steady_clock::now() > deadline) {
                error = "the recording did not finish within 60 s";
                return false;
            }
            std::this_thread::sleep_for(100ms);
            if (!link.readRecordingFinished(finished)) {
                error = "polling the recording state failed";
                return false;
            }
        }
    }
    constexpr std::size_t kSamples = mm::kRecordingSamples;
    constexpr std::size_t kChunk = 20;
    std::vector<float> gripper(kSamples);
    std::vector<float> supply(kSamples);
    std::vector<int> outputs(kSamples);
    // The recording is read in millivolts whatever the table's display mode is.
    link.calibration().setMode(link::CalibrationMode::Millivolt);
    for (std::size_t first = 0; first < kSamples; first += kChunk) {
        if (!link.readRecordingGripper(gripper, first, kChunk) || !link.readRecordingSupply(supply, first, kChunk) ||
            !link.readRecordingOutputs(outputs, first, kChunk)) {
            error = "reading the recording failed at sample " + std::to_string(first);
            return false;
        }
    }
    std::ofstream csv(options.csvFile, std::ios::trunc);
    csv << "time_ms,gripper_mV,ub_V,outputs\n";
    constexpr int kSampleIntervalMs = 30;
    for (std::size_t i = 0; i < kSamples; ++i) {
        csv << i * kSampleIntervalMs << ',' << formatFixed(gripper[i], 2) << ',' << formatFixed(supply[i], 3) << ','
            << outputs[i] << '\n';
    }
    csv.close();
    if (!csv) {
        error = "cannot write " + options.csvFile;
        return false;
    }
    out << "samples: " << kSamples << "\nfile: " << options.csvFile << '\n';
    return true;
}

bool poll(link::DeviceLink& link, const CtlOptions& options, std::ostream& out, std::string& error) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
    long cycles = 0;
    long failed = 0;
    while (std::chrono::steady_clock::now() < end) {
        int outputs = 0;
        std::array<int, 5> points{};
        float mv = 0.0F;
        const bool ok = link.readOutputStatus(outputs) && link.readSwitchPoints(points) && link.readGripperValue(mv, 1);
        ++cycles;
        if (!ok) {
            ++failed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(options.intervalMs));
    }
    out << "cycles: " << cycles << "\nfailed: " << failed << '\n';
    if (failed > 0) {
        error = std::to_string(failed) + " of " + std::to_string(cycles) + " polling cycles failed";
        return false;
    }
    return true;
}

}  // namespace

std::string hexDump(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text.push_back(' ');
        }
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::span<const std::string> texts) {
    std::vector<std::uint8_t> bytes;
    for (const std::string& text : texts) {
        std::uint8_t value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
        if (text.size() != 2 || ec != std::errc() || end != text.data() + text.size()) {
            return std::nullopt;
        }
        bytes.push_back(value);
    }
    return bytes;
}

bool runCtlCommand(link::DeviceLink& link, const CtlOptions& options, std::ostream& out, std::string& error) {
    const std::string& command = options.command;
    if (command == "status") {
        return status(link, out, error);
    }
    if (command == "service") {
        return service(link, out, error);
    }
    if (command == "switch-points") {
        return switchPoints(link, out, error);
    }
    if (command == "input-record") {
        return inputRecord(link, options, out, error);
    }
    if (command == "calibration") {
        return calibration(link, out, error);
    }
    if (command == "tolerances") {
        return tolerances(link, out, error);
    }
    if (command == "read-eeprom" || command == "read-ram") {
        return readMemory(link, options, command == "read-eeprom", out, error);
    }
    if (command == "write-eeprom" || command == "write-ram") {
        return writeMemory(link, options, command == "write-eeprom", error);
    }
    if (command == "record") {
        return record(link, options, out, error);
    }
    if (command == "poll") {
        return poll(link, options, out, error);
    }
    error = "unknown command " + command;
    return false;
}

}  // namespace qvx::tools
