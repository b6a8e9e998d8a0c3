#pragma once

#include <cstddef>
#include <cstdint>

/// Where the simulated controller keeps what: the cells the desktop program reads and writes,
/// and the sizes of the three memory areas.
namespace qvx::sim::memory {

/// EEPROM size, bytes: a 64-kbit part, room for every table up to the over-tolerance table
/// at 0x1700 (62 words).
inline constexpr std::size_t kEepromSize = 0x2000;
/// RAM size, bytes.
inline constexpr std::size_t kRamSize = 256;
/// Program memory size, bytes.
inline constexpr std::size_t kProgramSize = 4096;

// --- RAM --------------------------------------------------------------------------------
/// Output status byte; output k (1..5) is bit k + 2.
inline constexpr std::uint32_t kRamOutputStatus = 6;
/// Gripper position, raw position word (big-endian).
inline constexpr std::uint32_t kRamGripper = 32;
/// Supply voltage word (big-endian).
inline constexpr std::uint32_t kRamSupply = 34;
/// Temperature byte.
inline constexpr std::uint32_t kRamTemperature = 36;
/// Status byte: bit 0 range mode, bit 5 recording finished, bit 6 recording running/start.
inline constexpr std::uint32_t kRamStatus = 37;

inline constexpr std::uint8_t kStatusRangeMode = 0x01;
inline constexpr std::uint8_t kStatusRecordingDone = 0x20;
inline constexpr std::uint8_t kStatusRecording = 0x40;

// --- EEPROM -----------------------------------------------------------------------------
/// Input record: five raw words, the thresholds as programmed.
inline constexpr std::uint32_t kInputRecord = 1;
/// Working memory: the five switch points the outputs follow.
inline constexpr std::uint32_t kSwitchPoints = 11;
/// Bytes of one five-word record.
inline constexpr std::uint32_t kRecordSize = 10;
/// Limit flags: bit 0 supply below, 1 supply above, 2 temperature below, 3 temperature above.
inline constexpr std::uint32_t kLimitFlags = 21;
inline constexpr std::uint8_t kLimitSupplyLow = 0x01;
inline constexpr std::uint8_t kLimitSupplyHigh = 0x02;
inline constexpr std::uint8_t kLimitTemperatureLow = 0x04;
inline constexpr std::uint8_t kLimitTemperatureHigh = 0x08;
inline constexpr std::uint8_t kLimitMask = 0x0F;
/// Service data: week of manufacture, year - 2000, serial number.
inline constexpr std::uint32_t kServiceWeek = 22;
inline constexpr std::uint32_t kServiceYear = 23;
inline constexpr std::uint32_t kServiceSerial = 24;
/// Reset cell: writing 255 clears the limit flags.
inline constexpr std::uint32_t kResetCell = 99;
inline constexpr std::uint8_t kResetCommand = 255;
/// Calibration header: version, mode byte, point count, selected point.
inline constexpr std::uint32_t kCalibrationHeader = 100;
inline constexpr std::uint32_t kCalibrationVersion = 100;
inline constexpr std::uint32_t kCalibrationCount = 102;
/// Support point i (1-based) at kCalibrationPoints + 4(i - 1): raw word, then micrometres.
inline constexpr std::uint32_t kCalibrationPoints = 104;
inline constexpr std::uint32_t kMaxSupportPoints = 62;
/// Over- and under-tolerance, raw words of their display values.
inline constexpr std::uint32_t kOverTolerance = 352;
inline constexpr std::uint32_t kUnderTolerance = 354;
/// Recording channels: gripper raw words, supply words, output status words.
inline constexpr std::uint32_t kRecordingGripper = 356;
inline constexpr std::uint32_t kRecordingSupply = 1956;
inline constexpr std::uint32_t kRecordingOutputs = 3556;
/// Samples per recording channel.
inline constexpr std::uint32_t kRecordingSamples = 640;
/// Tables for the controller: support points (raw words, last point first), and per support
/// point from the last down to the second the under- and over-tolerance spans as raw words.
inline constexpr std::uint32_t kPointTable = 0x1500;
inline constexpr std::uint32_t kUnderSpanTable = 0x1600;
inline constexpr std::uint32_t kOverSpanTable = 0x1700;

}  // namespace qvx::sim::memory
