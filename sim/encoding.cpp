#include "sim/encoding.h"

#include <algorithm>
#include <cmath>

namespace qvx::sim::encoding {

namespace {

constexpr double kSupplyBaseVolts = 12.0;
constexpr double kSupplyStepsPerVolt = 1369.0;
constexpr long kSupplyBaseWord = 61L * 256L;
constexpr double kTemperatureBaseCelsius = -20.0;
constexpr double kTemperatureStepsPerDegree = 37.0 / 18.0;
constexpr long kTemperatureBaseByte = 10;
constexpr int kMaxCounts = 4095;

}  // namespace

std::uint16_t rawFromCounts(int counts) {
    const auto clamped = static_cast<std::uint32_t>(std::clamp(counts, 0, kMaxCounts));
    return static_cast<std::uint16_t>(~(clamped << 4U) & 0xFFFFU);
}

int countsFromRaw(std::uint16_t raw) {
    return static_cast<int>((~static_cast<std::uint32_t>(raw) >> 4U) & 0xFFFU);
}

std::uint16_t rawFromMv(double mv) {
    const double clamped = std::clamp(std::isfinite(mv) ? mv : 0.0, 0.0, 5000.0);
    return rawFromCounts(static_cast<int>(std::lround(clamped / kMvPerCount)));
}

double mvFromRaw(std::uint16_t raw) {
    return countsFromRaw(raw) * kMvPerCount;
}

std::uint16_t supplyWord(double volts) {
    const double steps =
        std::isfinite(volts) ? (volts - kSupplyBaseVolts) * kSupplyStepsPerVolt : 0.0;
    const long word = std::clamp(std::lround(steps) + kSupplyBaseWord, 0L, 0xFFFFL);
    return static_cast<std::uint16_t>(word);
}

double supplyVolts(std::uint16_t word) {
    return kSupplyBaseVolts +
           static_cast<double>(static_cast<long>(word) - kSupplyBaseWord) / kSupplyStepsPerVolt;
}

std::uint8_t temperatureByte(double celsius) {
    const double steps = std::isfinite(celsius)
                             ? (celsius - kTemperatureBaseCelsius) * kTemperatureStepsPerDegree
                             : 0.0;
    const long byte = std::clamp(std::lround(steps) + kTemperatureBaseByte, 0L, 0xFFL);
    return static_cast<std::uint8_t>(byte);
}

double temperatureCelsius(std::uint8_t byte) {
    return kTemperatureBaseCelsius +
           static_cast<double>(static_cast<long>(byte) - kTemperatureBaseByte) /
               kTemperatureStepsPerDegree;
}

std::uint16_t getWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((bytes[offset] << 8U) | bytes[offset + 1]);
}

void putWord(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t word) {
    bytes[offset] = static_cast<std::uint8_t>(word >> 8U);
    bytes[offset + 1] = static_cast<std::uint8_t>(word & 0xFFU);
}

}  // namespace qvx::sim::encoding
