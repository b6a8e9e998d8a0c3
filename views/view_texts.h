#pragma once

#include <array>

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

// Programming view.
inline constexpr const char* kProgramName = "qvx_controller";
/// Teach buttons by transition, left to right.
inline constexpr std::array<const char*, 5> kTransitions{"Aus<-->Auf", "Auf<-->C", "C<-->B",
                                                         "B<-->A", "A<-->Zu"};
inline constexpr const char* kTeachCurrent = "Aktuellen Greiferwert lernen";
inline constexpr const char* kInputMemory = "QVX Eingangsspeicher";
inline constexpr const char* kSaveAs = "Speichern als";
inline constexpr const char* kSwitchPointMode = "Schaltpunkt";
inline constexpr const char* kRangeMode = "Bereich";
inline constexpr const char* kWriteValues = "Werte in QVX übernehmen";
inline constexpr const char* kProgramTolerances = "Toleranzprogrammierung";
inline constexpr const char* kSaveProgramming = "Programmierung sichern";
inline constexpr const char* kRestoreProgramming = "Programmierung wieder einlesen";
inline constexpr const char* kEntryMv = "Werte Eingabe in mV";
inline constexpr const char* kEntryMm = "Werte Eingabe in mm";
inline constexpr const char* kEntryTenthInch = "Werte Eingabe in 1/10 ''";
inline constexpr const char* kUnderToleranceMv = "Untertoleranz in mV";
inline constexpr const char* kUnderToleranceMm = "Untertoleranz in mm";
inline constexpr const char* kOverToleranceMv = "Übertoleranz in mV";
inline constexpr const char* kOverToleranceMm = "Übertoleranz in mm";
inline constexpr const char* kEnterNumber = "Geben Sie bitte eine Zahl ein.";
inline constexpr const char* kOrderWarning =
    "Die eingegebenen Werte können zu einem fehlerhaften Arbeiten führen ! "
    "Wollen Sie fortfahren ?";
inline constexpr const char* kProgrammingFilter = "Qvx Konfigurationsdateien (*.qvx)";
inline constexpr const char* kOverwriteCaption = "Speichern unter bestätigen";
/// %1: the file name.
inline constexpr const char* kOverwriteQuestion =
    "%1 ist bereits vorhanden.\nMöchten Sie sie ersetzen?";
inline constexpr const char* kSaveFailed = "Die Datei %1 konnte nicht geschrieben werden.";
inline constexpr const char* kSaveNotRead =
    "Die Programmierung kann nicht gesichert werden, weil die Werte der QVX nicht gelesen "
    "werden konnten.";
inline constexpr const char* kRestoreUnreadable = "Die Datei %1 konnte nicht gelesen werden.";
inline constexpr const char* kRestoreNoProgramming = "Die Datei %1 enthält keine Programmierung.";
/// %1: the file name, %2: the key.
inline constexpr const char* kRestoreBadValue =
    "Die Datei %1 enthält bei \"%2\" keine gültige Zahl.";
inline constexpr const char* kRestoreNeedsCalibration =
    "Die Datei %1 enthält Längen. Die Kalibriertabelle braucht dafür mindestens zwei "
    "Stützpunkte.";

}  // namespace qvx::views::texts
