#pragma once

#include <string_view>

// The gateway's own texts, exactly as operators and scripts see them (UTF-8).
namespace qvx::gateway::texts {

// Serial channel: "COMPort <" + port name + one of the endings below + system error text.
inline constexpr std::string_view kComPortPrefix = "COMPort <";
inline constexpr std::string_view kCannotOpenSuffix = "> kann nicht geöffnet werden: ";
inline constexpr std::string_view kConfigurationFailedSuffix = "> Konfiguration fehlgeschlagen: ";
inline constexpr std::string_view kCannotReadSuffix = "> kann nicht gelesen werden: ";

// Console line of a serial channel that has no owner to take its bytes.
inline constexpr std::string_view kReceivedFromSerial = "Daten von RS232 empfangen: ";

}  // namespace qvx::gateway::texts
