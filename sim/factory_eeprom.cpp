#include "sim/factory_eeprom.h"

#include <algorithm>
#include <cstddef>

#include "link/calibration_table.h"
#include "sim/encoding.h"
#include "sim/memory_map.h"

namespace qvx::sim::factory {

namespace {

// The stored words are the desktop program's own conversions of the values, so it shows the
// factory voltages exactly as it would after programming them itself.
std::uint16_t rawOf(float mv) {
    std::uint16_t raw = 0xFFFF;
    (void)link::CalibrationTable::mvToRaw(mv, raw);
    return raw;
}

std::uint16_t micrometresOf(float mm) {
    std::uint16_t micrometres = 0;
    (void)link::CalibrationTable::lengthToMicrometres(mm, micrometres);
    return micrometres;
}

}  // namespace

void writeFactoryEeprom(std::span<std::uint8_t> eeprom) {
    using namespace memory;
    using encoding::putWord;
    std::fill(eeprom.begin(), eeprom.end(), std::uint8_t{0xFF});

    for (std::size_t j = 0; j < kThresholdsMv.size(); ++j) {
        putWord(eeprom, kInputRecord + 2 * j, rawOf(kThresholdsMv[j]));
        putWord(eeprom, kSwitchPoints + 2 * j, rawOf(kThresholdsMv[j]));
    }
    eeprom[kLimitFlags] = 0;
    eeprom[kServiceWeek] = kWeek;
    eeprom[kServiceYear] = kYear;
    eeprom[kServiceSerial] = kSerial;
    eeprom[kResetCell] = 0;

    const std::size_t n = kCalibration.size();
    eeprom[kCalibrationHeader] = link::CalibrationTable::kFormatVersion;
    eeprom[kCalibrationHeader + 1] = 1;  // mV mode
    eeprom[kCalibrationCount] = static_cast<std::uint8_t>(n);
    eeprom[kCalibrationHeader + 3] = 1;  // first point selected
    for (std::size_t i = 0; i < n; ++i) {
        putWord(eeprom, kCalibrationPoints + 4 * i, rawOf(kCalibration[i].mv));
        putWord(eeprom, kCalibrationPoints + 4 * i + 2, micrometresOf(kCalibration[i].mm));
    }

    putWord(eeprom, kOverTolerance, rawOf(kOverToleranceMv));
    putWord(eeprom, kUnderTolerance, rawOf(kUnderToleranceMv));
    // The tables list the points from the last down; the span tables from the last down to
    // the second, one span per segment below each point.
    for (std::size_t k = 0; k < n; ++k) {
        putWord(eeprom, kPointTable + 2 * k, rawOf(kCalibration[n - 1 - k].mv));
    }
    for (std::size_t k = 0; k + 1 < n; ++k) {
        putWord(eeprom, kUnderSpanTable + 2 * k, rawOf(kUnderToleranceMv));
        putWord(eeprom, kOverSpanTable + 2 * k, rawOf(kOverToleranceMv));
    }
}

}  // namespace qvx::sim::factory
