#pragma once

#include <cstdint>

namespace qvx::link::memory_map {

// RAM cells.
inline constexpr std::uint32_t kOutputStatus = 6;   ///< 1 byte; output k (1-5) at bit k+2
inline constexpr std::uint32_t kGripperValue = 32;  ///< 2 bytes; raw position word
inline constexpr std::uint32_t kSupplyVoltage = 34; ///< 2 bytes; supply voltage word
inline constexpr std::uint32_t kTemperature = 36;   ///< 1 byte; temperature byte
inline constexpr std::uint32_t kStatusByte = 37;    ///< 1 byte; mode and recording bits

// Status byte bits.
inline constexpr int kStatusRangeMode = 0x01;          ///< range mode (1) or switch-point mode (0)
inline constexpr int kStatusRecordingFinished = 0x20;
inline constexpr int kStatusStartRecording = 0x40;

// EEPROM cells and tables.
inline constexpr std::uint32_t kInputRecord = 1;    ///< 5 raw words
inline constexpr std::uint32_t kSwitchPoints = 11;  ///< 5 raw words, the working switch points
inline constexpr std::uint32_t kLimitFlags = 21;    ///< 1 byte, bits 0-3
inline constexpr std::uint32_t kServiceData = 22;   ///< week, year - 2000, serial number
inline constexpr std::uint32_t kResetCell = 99;     ///< 255 written resets the limit flags
inline constexpr std::uint32_t kCalibrationHeader = 100;  ///< version, mode, count, index
inline constexpr std::uint32_t kCalibrationPoints = 104;  ///< 4 bytes per support point
inline constexpr std::uint32_t kOverTolerance = 352;      ///< raw word of the display value
inline constexpr std::uint32_t kUnderTolerance = 354;     ///< raw word of the display value
inline constexpr std::uint32_t kRecordingGripper = 356;   ///< raw position words
inline constexpr std::uint32_t kRecordingSupply = 1956;   ///< supply voltage words
inline constexpr std::uint32_t kRecordingOutputs = 3556;  ///< output status words
inline constexpr std::uint32_t kPointTable = 0x1500;      ///< point raw words, last point first
inline constexpr std::uint32_t kUnderToleranceTable = 0x1600;
inline constexpr std::uint32_t kOverToleranceTable = 0x1700;

/// Sample i of a recording channel is the 16-bit word at base + kRecordingStride * i: every
/// sample takes two bytes, so the 1600 bytes between channel bases hold 800 samples.
inline constexpr std::uint32_t kRecordingStride = 2;
/// Samples one recording holds per channel.
inline constexpr std::uint32_t kRecordingSamples = 640;
/// The tables for the controller are written in pieces of this many bytes.
inline constexpr std::size_t kTableChunk = 16;

}  // namespace qvx::link::memory_map
