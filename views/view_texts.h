#pragma once

// The German texts of the views, in one place for the views and their tests.

namespace qvx::views::texts {

// Navigation of the fixed pane and the view titles.
inline constexpr const char* kProgramming = "Programmieren";
inline constexpr const char* kOperatingState = "Betriebszustand";
inline constexpr const char* kRecording = "Aufnahme";
inline constexpr const char* kCalibration = "Kalibrierung";
inline constexpr const char* kService = "Service";
inline constexpr const char* kCalibrationWarning = "Änderungen an diesen Werten führt zu einer veränderten Kalibrierung";
inline constexpr const char* kAttention = "Achtung !";

// Service view.
inline constexpr const char* kServiceAddress = "Ip - Addresse :";
inline constexpr const char* kServiceSerial = "Serien Nr.      :";
inline constexpr const char* kServiceWeek = "Woche          :";
inline constexpr const char* kServiceYear = "Jahr               :";
inline constexpr const char* kServiceRequest =
    "Bitte halten Sie auch folgende Information bereit :  Greifertyp und Sensor.\nBitte versuchen Sie mittels der "
    "Funktion ' Aufnahme ' das Problem zu dokumentieren.";
inline constexpr const char* kServiceContact =
    "Varnok Service\n"
    "Kundendienst Greifersensorik\n"
    "Telefon:  +49 (0) 000 000000-0\n"
    "E-Mail:   service@varnok.example";

}  // namespace qvx::views::texts
