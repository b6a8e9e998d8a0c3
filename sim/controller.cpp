#include "sim/controller.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

#include "sim/encoding.h"
#include "sim/factory_eeprom.h"

namespace qvx::sim {

namespace {

using namespace memory;
using std::chrono::milliseconds;

// Noise channels: each measurement draws from its own stream.
constexpr std::uint64_t kGripperNoise = 1;
constexpr std::uint64_t kSupplyNoise = 2;
constexpr std::uint64_t kTemperatureNoise = 3;

constexpr double kGripperNoiseMv = 3.0;      // peak gripper noise, mV
constexpr double kSupplyRippleVolts = 0.05;  // slow supply wander, V
constexpr double kSupplyNoiseVolts = 0.03;   // peak supply noise, V
constexpr double kTemperatureDriftC = 0.3;   // slow temperature wander, °C
constexpr double kTemperatureNoiseC = 0.15;  // peak temperature noise, °C
constexpr double kSupplyPeriodMs = 17000.0;
constexpr double kTemperaturePeriodMs = 60000.0;

// Share of the cycle spent in each stage: open, closing, closed, opening.
constexpr double kOpenUntil = 0.2;
constexpr double kClosingUntil = 0.5;
constexpr double kClosedUntil = 0.7;

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27U)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31U);
}

double smoothStep(double s) {
    return s * s * (3.0 - 2.0 * s);
}

std::size_t sizeOf(Area area) {
    switch (area) {
        case Area::Eeprom:
            return kEepromSize;
        case Area::Program:
            return kProgramSize;
        case Area::Ram:
            break;
    }
    return kRamSize;
}

bool overlaps(std::uint32_t address, std::size_t count, std::uint32_t first, std::size_t size) {
    return count > 0 && address < first + size && first < address + count;
}

std::uint8_t outputBit(int output) {
    return static_cast<std::uint8_t>(1U << static_cast<unsigned>(output + 2));
}

}  // namespace

Controller::Controller(const ControllerConfig& config, TimePoint start)
    : m_config(config),
      m_start(start),
      m_now(start),
      m_eeprom(kEepromSize),
      m_ram(kRamSize, 0),
      m_program(kProgramSize, 0xFF),
      m_lastEepromChange(start) {
    factory::writeFactoryEeprom(m_eeprom);
    constexpr std::string_view kIdentity = "QVX-SIM 1.0";
    std::copy(kIdentity.begin(), kIdentity.end(), m_program.begin());
    update(start);
}

bool Controller::fits(Area area, std::uint32_t address, std::size_t count) {
    const std::size_t size = sizeOf(area);
    return address <= size && count <= size - address;
}

bool Controller::read(Area area, std::uint32_t address, std::size_t count,
                      std::vector<std::uint8_t>& out) const {
    if (!fits(area, address, count)) {
        return false;
    }
    const std::vector<std::uint8_t>& memory =
        area == Area::Eeprom ? m_eeprom : (area == Area::Program ? m_program : m_ram);
    const auto first = memory.begin() + static_cast<std::ptrdiff_t>(address);
    out.assign(first, first + static_cast<std::ptrdiff_t>(count));
    return true;
}

bool Controller::write(Area area, std::uint32_t address, std::span<const std::uint8_t> bytes,
                       TimePoint now) {
    if (!fits(area, address, bytes.size())) {
        return false;
    }
    m_now = std::max(m_now, now);
    std::vector<std::uint8_t>& memory =
        area == Area::Eeprom ? m_eeprom : (area == Area::Program ? m_program : m_ram);
    std::copy(bytes.begin(), bytes.end(), memory.begin() + static_cast<std::ptrdiff_t>(address));
    if (area == Area::Eeprom && !bytes.empty()) {
        eepromChanged(m_now);
        afterEepromWrite(address, bytes.size(), m_now);
    } else if (area == Area::Ram) {
        afterRamWrite(address, bytes.size(), m_now);
    }
    return true;
}

void Controller::afterEepromWrite(std::uint32_t address, std::size_t count, TimePoint now) {
    if (overlaps(address, count, kInputRecord, kRecordSize)) {
        // The controller takes a new programming over whole, also when it arrived in pieces:
        // the last piece leaves the complete record in the working memory.
        std::copy_n(m_eeprom.begin() + kInputRecord, kRecordSize, m_eeprom.begin() + kSwitchPoints);
    }
    if (overlaps(address, count, kResetCell, 1) && m_eeprom[kResetCell] == kResetCommand) {
        m_eeprom[kLimitFlags] = static_cast<std::uint8_t>(m_eeprom[kLimitFlags] & ~kLimitMask);
        m_eeprom[kResetCell] = 0;  // the command is done
    }
    // Outputs and flags follow at once, so a read right after the confirm sees them.
    update(now);
}

void Controller::afterRamWrite(std::uint32_t address, std::size_t count, TimePoint now) {
    if (overlaps(address, count, kRamStatus, 1)) {
        const bool startRequested = (m_ram[kRamStatus] & kStatusRecording) != 0;
        if (startRequested && !recording()) {
            startRecording(now);
        } else if (!startRequested && recording()) {
            m_recordingNext.reset();  // abandoned: the samples taken so far stay
        }
    }
    update(now);
}

void Controller::startRecording(TimePoint now) {
    m_recordingStart = now;
    m_recordingNext = 0;
    m_ram[kRamStatus] = static_cast<std::uint8_t>(m_ram[kRamStatus] & ~kStatusRecordingDone);
}

std::optional<TimePoint> Controller::nextSampleDue() const {
    if (!m_recordingNext) {
        return std::nullopt;
    }
    return m_recordingStart + m_config.sampleInterval * static_cast<long>(*m_recordingNext);
}

void Controller::update(TimePoint now) {
    m_now = std::max(m_now, now);
    for (auto due = nextSampleDue(); due && *due <= m_now; due = nextSampleDue()) {
        takeSample(*due);
    }

    const Measurement m = measureAt(m_now);
    encoding::putWord(m_ram, kRamGripper, m.gripperRaw);
    encoding::putWord(m_ram, kRamSupply, m.supply);
    m_ram[kRamTemperature] = m.temperature;
    m_ram[kRamOutputStatus] = outputsFor(m.gripperRaw);

    // The flags compare the values as they are stored, so what the program shows and what
    // raised a flag always agree.
    const double volts = encoding::supplyVolts(m.supply);
    const double celsius = encoding::temperatureCelsius(m.temperature);
    std::uint8_t flags = 0;
    if (volts < m_config.supplyLimits.low) {
        flags |= kLimitSupplyLow;
    }
    if (volts > m_config.supplyLimits.high) {
        flags |= kLimitSupplyHigh;
    }
    if (celsius < m_config.temperatureLimits.low) {
        flags |= kLimitTemperatureLow;
    }
    if (celsius > m_config.temperatureLimits.high) {
        flags |= kLimitTemperatureHigh;
    }
    const auto latched = static_cast<std::uint8_t>(m_eeprom[kLimitFlags] | flags);
    if (latched != m_eeprom[kLimitFlags]) {
        m_eeprom[kLimitFlags] = latched;
        eepromChanged(m_now);
    }
}

void Controller::takeSample(TimePoint t) {
    const std::uint32_t i = *m_recordingNext;
    const Measurement m = measureAt(t);
    encoding::putWord(m_eeprom, kRecordingGripper + 2 * i, m.gripperRaw);
    encoding::putWord(m_eeprom, kRecordingSupply + 2 * i, m.supply);
    encoding::putWord(m_eeprom, kRecordingOutputs + 2 * i, outputsFor(m.gripperRaw));
    eepromChanged(t);
    if (i + 1 < kRecordingSamples) {
        m_recordingNext = i + 1;
        return;
    }
    m_recordingNext.reset();
    m_ram[kRamStatus] =
        static_cast<std::uint8_t>((m_ram[kRamStatus] & ~kStatusRecording) | kStatusRecordingDone);
}

Controller::Measurement Controller::measureAt(TimePoint t) const {
    const double ms =
        static_cast<double>(std::chrono::duration_cast<milliseconds>(t - m_start).count());
    const double volts =
        m_config.supplyVolts +
        kSupplyRippleVolts * std::sin(2.0 * std::numbers::pi * ms / kSupplyPeriodMs) +
        kSupplyNoiseVolts * noise(kSupplyNoise, t);
    const double celsius =
        m_config.temperatureCelsius +
        kTemperatureDriftC * std::sin(2.0 * std::numbers::pi * ms / kTemperaturePeriodMs) +
        kTemperatureNoiseC * noise(kTemperatureNoise, t);
    return {encoding::rawFromMv(gripperMvAt(t)), encoding::supplyWord(volts),
            encoding::temperatureByte(celsius)};
}

double Controller::gripperMvAt(TimePoint t) const {
    if (m_heldGripperMv) {
        return *m_heldGripperMv;
    }
    const long long cycleMs = std::max<long long>(1, m_config.cycle.count());
    const long long ms = std::chrono::duration_cast<milliseconds>(t - m_start).count();
    const double f =
        static_cast<double>(((ms % cycleMs) + cycleMs) % cycleMs) / static_cast<double>(cycleMs);
    double closed = 0.0;  // 0 open, 1 closed
    if (f < kOpenUntil) {
        closed = 0.0;
    } else if (f < kClosingUntil) {
        closed = smoothStep((f - kOpenUntil) / (kClosingUntil - kOpenUntil));
    } else if (f < kClosedUntil) {
        closed = 1.0;
    } else {
        closed = 1.0 - smoothStep((f - kClosedUntil) / (1.0 - kClosedUntil));
    }
    return m_config.openMv + (m_config.closedMv - m_config.openMv) * closed +
           kGripperNoiseMv * noise(kGripperNoise, t);
}

double Controller::noise(std::uint64_t channel, TimePoint t) const {
    // A pure function of seed, channel and millisecond: the same seed gives the same values
    // at the same times however often the controller is updated in between.
    const auto ms =
        static_cast<std::uint64_t>(std::chrono::duration_cast<milliseconds>(t - m_start).count());
    const std::uint64_t h = mix(mix(m_config.seed ^ (channel * 0xD1B54A32D192ED03ULL)) ^ ms);
    return static_cast<double>(h >> 11U) * 0x1.0p-53 * 2.0 - 1.0;
}

std::uint8_t Controller::outputsFor(std::uint16_t gripperRaw) const {
    if ((m_ram[kRamStatus] & kStatusRangeMode) != 0) {
        return rangeOutputs(encoding::mvFromRaw(gripperRaw));
    }
    return switchPointOutputs(encoding::countsFromRaw(gripperRaw));
}

std::uint8_t Controller::switchPointOutputs(int counts) const {
    // Comparing counts, not words: the raw word falls as the voltage rises.
    int passed = 0;
    for (std::uint32_t j = 0; j < 5; ++j) {
        if (counts >= encoding::countsFromRaw(eepromWord(kSwitchPoints + 2 * j))) {
            ++passed;
        }
    }
    // Passing switch point k reaches the position of output k: Auf 1, C 2, B 3, A 4, Zu 5.
    return passed == 0 ? std::uint8_t{0} : outputBit(passed);
}

std::uint8_t Controller::rangeOutputs(double mv) const {
    std::uint8_t outputs = 0;
    for (std::uint32_t j = 0; j < 5; ++j) {
        const double centre = encoding::mvFromRaw(eepromWord(kSwitchPoints + 2 * j));
        const auto [under, over] = spansAt(centre);
        if (centre - under <= mv && mv <= centre + over) {
            outputs |= outputBit(static_cast<int>(j) + 1);
        }
    }
    return outputs;
}

std::pair<double, double> Controller::spansAt(double centreMv) const {
    const std::uint8_t version = m_eeprom[kCalibrationVersion];
    const std::uint32_t n = m_eeprom[kCalibrationCount];
    if (version == 0 || version == 0xFF || n < 2 || n > kMaxSupportPoints) {
        return {encoding::mvFromRaw(eepromWord(kUnderTolerance)),
                encoding::mvFromRaw(eepromWord(kOverTolerance))};
    }
    // Point i (1..n) is entry n − i of the point table; the span of the segment between
    // points i − 1 and i is entry n − i of the span tables.
    const auto pointMv = [&](std::uint32_t i) {
        return encoding::mvFromRaw(eepromWord(kPointTable + 2 * (n - i)));
    };
    std::uint32_t segment = 0;
    for (std::uint32_t i = 2; i <= n && segment == 0; ++i) {
        const double a = pointMv(i - 1);
        const double b = pointMv(i);
        if (std::min(a, b) <= centreMv && centreMv <= std::max(a, b)) {
            segment = i;
        }
    }
    if (segment == 0) {
        // Beyond the table: the end segment nearer to the centre.
        segment = std::abs(centreMv - pointMv(1)) <= std::abs(centreMv - pointMv(n)) ? 2 : n;
    }
    const std::uint32_t entry = n - segment;
    return {encoding::mvFromRaw(eepromWord(kUnderSpanTable + 2 * entry)),
            encoding::mvFromRaw(eepromWord(kOverSpanTable + 2 * entry))};
}

bool Controller::loadEeprom(std::span<const std::uint8_t> image) {
    if (image.size() != m_eeprom.size()) {
        return false;
    }
    std::copy(image.begin(), image.end(), m_eeprom.begin());
    update(m_now);
    return true;
}

void Controller::eepromChanged(TimePoint now) {
    ++m_eepromRevision;
    m_lastEepromChange = now;
}

std::uint16_t Controller::eepromWord(std::uint32_t address) const {
    return encoding::getWord(m_eeprom, address);
}

}  // namespace qvx::sim
