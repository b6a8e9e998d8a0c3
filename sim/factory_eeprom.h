#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qvx::sim::factory {

/// Threshold voltages of the input record and the working memory, in record order
/// (Aus|Auf, Auf|C, C|B, B|A, A|Zu), mV. The travel between 1200 and 3800 mV passes them all.
inline constexpr std::array<float, 5> kThresholdsMv{1100.0F, 1500.0F, 2300.0F, 3100.0F, 3600.0F};
/// Week of manufacture, year − 2000, serial number.
inline constexpr std::uint8_t kWeek = 23;
inline constexpr std::uint8_t kYear = 24;
inline constexpr std::uint8_t kSerial = 42;

/// One support point of the factory calibration table.
struct SupportPoint {
    float mv;  ///< sensor voltage, mV
    float mm;  ///< finger opening at that voltage, mm
};
/// The factory calibration table: voltages rise and openings fall with the point number.
inline constexpr std::array<SupportPoint, 6> kCalibration{{
    {1000.0F, 30.0F},
    {1600.0F, 24.6F},
    {2200.0F, 18.9F},
    {2800.0F, 12.8F},
    {3400.0F, 6.5F},
    {4000.0F, 0.0F},
}};
/// Under- and over-tolerance of the factory setting, mV.
inline constexpr float kUnderToleranceMv = 50.0F;
inline constexpr float kOverToleranceMv = 50.0F;

/// Writes the factory image: every cell erased (0xFF) except the input record and working
/// memory, limit flags and reset cell (0), service data, the calibration table (version 1,
/// mV mode, point 1 selected), the tolerance cells and the controller's point and span
/// tables. The span must hold the whole EEPROM.
void writeFactoryEeprom(std::span<std::uint8_t> eeprom);

}  // namespace qvx::sim::factory
