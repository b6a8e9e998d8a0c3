#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

/// How the controller stores its measurements: 16-bit words big-endian, the position as an
/// inverted 12-bit count in bits 4..15, supply and temperature in their own scales.
namespace qvx::sim::encoding {

/// Millivolts of one count of the 12-bit position measurement (full scale 5000 mV at 4095).
inline constexpr double kMvPerCount = 5000.0 / 4095.0;

/// Position count (0..4095, clamped) as the raw position word: inverted, in bits 4..15.
[[nodiscard]] std::uint16_t rawFromCounts(int counts);
/// The position count a raw word holds (0..4095); larger counts mean higher voltages.
[[nodiscard]] int countsFromRaw(std::uint16_t raw);
/// Millivolts (clamped to 0..5000) as the raw position word, to the nearest count.
[[nodiscard]] std::uint16_t rawFromMv(double mv);
/// Millivolts of a raw position word.
[[nodiscard]] double mvFromRaw(std::uint16_t raw);

/// Supply voltage as the supply word: 12 V at 61 * 256, 1/1369 V per step; clamped to the word.
[[nodiscard]] std::uint16_t supplyWord(double volts);
/// Volts of a supply word.
[[nodiscard]] double supplyVolts(std::uint16_t word);

/// Temperature as the temperature byte: -20 °C at 10, 18/37 °C per step; clamped to the byte.
[[nodiscard]] std::uint8_t temperatureByte(double celsius);
/// Degrees Celsius of a temperature byte.
[[nodiscard]] double temperatureCelsius(std::uint8_t byte);

/// Big-endian word at `offset` (the caller keeps offset + 1 inside the span).
[[nodiscard]] std::uint16_t getWord(std::span<const std::uint8_t> bytes, std::size_t offset);
/// Stores a word big-endian at `offset` (the caller keeps offset + 1 inside the span).
void putWord(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t word);

}  // namespace qvx::sim::encoding
