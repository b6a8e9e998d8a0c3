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
inline constexpr const char* kWriteValuesNotRead =
    "Die Werte wurden nicht in die QVX übernommen, weil der QVX Eingangsspeicher nicht gelesen "
    "werden konnte.";
inline constexpr const char* kWriteValuesNeedsCalibration =
    "Die Werte wurden nicht in die QVX übernommen. Längen lassen sich erst umrechnen, wenn die "
    "Kalibriertabelle mindestens zwei Stützstellen hat.";
inline constexpr const char* kTolerancesRecordNotRead =
    "Die Toleranzprogrammierung wurde nicht ausgeführt, weil der QVX Eingangsspeicher nicht "
    "gelesen werden konnte.";
inline constexpr const char* kTolerancesGripperNotRead =
    "Die Toleranzprogrammierung wurde nicht ausgeführt, weil der aktuelle Greiferwert nicht "
    "gelesen werden konnte.";
inline constexpr const char* kTolerancesStatusNotRead =
    "Die Toleranzprogrammierung wurde nicht ausgeführt, weil die Betriebsart der QVX nicht "
    "gelesen werden konnte.";
inline constexpr const char* kTolerancesNeedsCalibration =
    "Die Toleranzprogrammierung wurde nicht ausgeführt. Längen lassen sich erst umrechnen, wenn "
    "die Kalibriertabelle mindestens zwei Stützstellen hat.";
/// %1: the file name.
inline constexpr const char* kRestoreStatusNotRead =
    "Die Datei %1 wurde nicht eingelesen, weil die Betriebsart der QVX nicht gelesen werden "
    "konnte.\nDie QVX und die Anzeige sind unverändert.";
/// %1: one line per threshold, "transition : value and unit".
inline constexpr const char* kThresholdsClamped =
    "Einige Werte liegen außerhalb des Messbereichs von 0 bis 5000 mV und wurden auf dessen "
    "Grenze gesetzt.\nIn die QVX übernommen wurde:\n%1";
/// %1: the file name, %2: the file's length unit, %3: the length unit shown.
inline constexpr const char* kRestoreUnitQuestion =
    "Die Datei %1 gibt ihre Werte in %2 an, das Programm zeigt Längen in %3.\nÄltere Dateien "
    "nennen auch für 1/10 '' die Einheit mm.\n\nIn welcher Einheit sind die Werte der Datei "
    "angegeben?";
inline constexpr const char* kUnitMm = "mm";
inline constexpr const char* kUnitTenthInch = "1/10 ''";

}  // namespace qvx::views::texts

// Calibration view.
namespace qvx::views::texts {

/// Caption of the message boxes of the calibration and recording views: the program title.
inline constexpr const char* kMessageTitle = "qvx_controller";
inline constexpr const char* kCalCount = "Anzahl Stützstellen";
inline constexpr const char* kCalNumber = "Nr.";
inline constexpr const char* kCalPrevious = "&Zurück";
inline constexpr const char* kCalNext = "&Vor";
inline constexpr const char* kCalLength = "Länge";
inline constexpr const char* kCalVoltage = "Spannung";
inline constexpr const char* kCalLearn = "&Lern";
inline constexpr const char* kCalSave = "Kalibrierungsdaten im QVX sichern";
inline constexpr const char* kCalShortenBy = "um";
inline constexpr const char* kCalUnitMm = "mm";
inline constexpr const char* kCalUnitTenthInch = "* 1/10 ''";
inline constexpr const char* kCalUnitMv = "mV";
inline constexpr const char* kCalShortenMm = "mm Wert";
inline constexpr const char* kCalShortenTenthInch = "1/10 '' Wert";
inline constexpr const char* kCalShortenTailMm = "mm veringern";
inline constexpr const char* kCalShortenTailTenthInch = "* 1/10 '' veringern";
inline constexpr const char* kCalPointsGroup = "Stützstellen";
inline constexpr const char* kCalDeriveGroup = "Neue Stützstelle aus verkürzter Länge";
inline constexpr const char* kCalHint =
    "Hinweis: Die Spannungswerte müssen mit der Nummer der Stützstelle steigen. Stützstelle 1 "
    "ist die offene Stellung des Greifers, die höchste Stützstelle die geschlossene.\n"
    "Anzahl und Längen werden eingetippt; die Nummer der Stützstelle wird mit \"Vor\" und "
    "\"Zurück\" gewählt.";
inline constexpr const char* kCalCountTooSmall = "Bitte geben Sie eine Anzahl >= 2 ein.";
/// %d is the most support points a table holds.
inline constexpr const char* kCalTableFull =
    "Fehler !\n\nDie Operation konnte nicht erfolgreich beendet werden.\nGrund : Das Programm "
    "müßte jetzt eine weitere Stützstelle hinzufügen.\nDies ist nicht möglich, da nur maximal "
    "%d Stützstellen erlaubt sind !";
inline constexpr const char* kCalNotANumber = "Geben Sie bitte eine Zahl ein.";
inline constexpr const char* kCalNotAWholeNumber = "Geben Sie bitte eine positive ganze Zahl ein.";
inline constexpr const char* kCalLengthRangeMm =
    "Die Länge kann nicht gespeichert werden.\nBitte geben Sie eine Länge von 0 bis 65,535 mm ein.";
inline constexpr const char* kCalLengthRangeTenthInch =
    "Die Länge kann nicht gespeichert werden.\nBitte geben Sie eine Länge von 0 bis 25,801 * 1/10 '' "
    "ein.";
inline constexpr const char* kCalVoltageRange =
    "Die Spannung kann nicht gespeichert werden.\nBitte geben Sie eine Spannung von 0 bis 5000 mV "
    "ein.";
inline constexpr const char* kCalSaveFailed =
    "Die Kalibrierung konnte nicht vollständig in der QVX gespeichert werden.\nBitte prüfen Sie "
    "die Verbindung und speichern Sie erneut.";
inline constexpr const char* kCalShortenRangeMm =
    "Die neue Stützstelle kann nicht angelegt werden: ihre Länge läge außerhalb von 0 bis "
    "65,535 mm.";
inline constexpr const char* kCalShortenRangeTenthInch =
    "Die neue Stützstelle kann nicht angelegt werden: ihre Länge läge außerhalb von 0 bis "
    "25,801 * 1/10 ''.";
inline constexpr const char* kCalSaveNoPoints =
    "Die Kalibrierung kann nicht in der QVX gespeichert werden, weil die Tabelle keine "
    "Stützstellen enthält.\nBitte geben Sie zuerst die Anzahl der Stützstellen ein (mindestens "
    "2).";

}  // namespace qvx::views::texts

// Recording view.
namespace qvx::views::texts {

inline constexpr const char* kRecTitle = "Aufnahme";
inline constexpr const char* kRecTimeAxis = "Zeit in 1/1000 Sekunden";
inline constexpr const char* kRecStart = "Aufnahme starten";
inline constexpr const char* kRecRunning = "Aufnahme läuft";
inline constexpr const char* kRecReread = "bestehende Aufnahme neu einlesen";
inline constexpr const char* kRecReading = "Aufnahme wird eingelesen";
inline constexpr const char* kRecExportCsv = "Als CSV exportieren";
inline constexpr const char* kRecSaveImage = "Als Bild speichern";
inline constexpr const char* kRecExportCsvCaption = "Aufnahme als CSV-Datei exportieren";
inline constexpr const char* kRecSaveImageCaption = "Aufnahme als Bild speichern";
inline constexpr const char* kRecCsvFilter = "CSV-Dateien (*.csv)";
inline constexpr const char* kRecImageFilter = "PNG-Bilder (*.png);;SVG-Grafiken (*.svg)";
/// %1 is the file's path.
inline constexpr const char* kRecWriteFailed = "Die Datei \"%1\" konnte nicht geschrieben werden.";
inline constexpr const char* kRecCancel = "Abbrechen";
/// %1: the samples read, %2: the samples of a whole recording.
inline constexpr const char* kRecIncomplete =
    "Die Aufnahme konnte nicht vollständig aus dem QVX gelesen werden: die QVX antwortet nicht "
    "oder zu langsam.\nGelesen wurden %1 von %2 Messpunkten; die Aufnahme ist als unvollständig "
    "gekennzeichnet.";
inline constexpr const char* kRecNothingRead =
    "Die Aufnahme konnte nicht aus dem QVX gelesen werden: die QVX antwortet nicht.\nEine zuvor "
    "gelesene Aufnahme bleibt erhalten.";
/// Beside the plot of an incomplete recording. %1: the samples read, %2: of a whole one.
inline constexpr const char* kRecIncompleteMark =
    "Aufnahme unvollständig: %1 von %2 Messpunkten gelesen";

// Link health: the status bar and the diagnostic log window.
inline constexpr const char* kLinkNotConnected = "Nicht verbunden";
inline constexpr const char* kLinkEndpoint = "Gateway %1, Datenport %2";
inline constexpr const char* kLinkRate = "%1 Zyklen/s";
inline constexpr const char* kLinkCounters = "Wiederholungen %1, Zeitüberschreitungen %2, Prüfsummenfehler %3";
inline constexpr const char* kLinkLastError = "Letzter Fehler um %1: %2";
inline constexpr const char* kLinkNoError = "Kein Fehler";
inline constexpr const char* kLinkNextAttempt = "Neuer Verbindungsversuch in %1 s (%2 fehlgeschlagen)";
inline constexpr const char* kLogWindowTitle = "Diagnoseprotokoll";
inline constexpr const char* kLogDebug = "Debug (jeder Rahmen hexadezimal)";
inline constexpr const char* kLogClear = "Leeren";
inline constexpr const char* kLogSave = "Speichern...";
inline constexpr const char* kLogDropped = "%1 Zeilen verworfen";
inline constexpr const char* kLogSaveFailed = "Das Protokoll konnte nicht in %1 gespeichert werden.";
inline constexpr const char* kLogFileFilter = "Textdateien (*.txt);;Alle Dateien (*)";

}  // namespace qvx::views::texts

// Device backup: the two commands of the "Datei" menu and the safety copies.
namespace qvx::views::texts {

inline constexpr const char* kBackupSaveAction = "Gerätesicherung speichern...";
inline constexpr const char* kBackupRestoreAction = "Gerätesicherung wiederherstellen...";
inline constexpr const char* kBackupSaveCaption = "Gerätesicherung speichern";
inline constexpr const char* kBackupRestoreCaption = "Gerätesicherung wiederherstellen";
inline constexpr const char* kBackupNotConnected =
    "Es besteht keine Verbindung zur QVX.\nDie Gerätesicherung ist nur mit einer verbundenen "
    "QVX möglich.";
/// %1: the part that could not be read.
inline constexpr const char* kBackupNotRead =
    "Die Gerätesicherung wurde nicht gespeichert, weil die QVX nicht vollständig gelesen werden "
    "konnte (%1).";
/// %1: the serial number, %2: the file name.
inline constexpr const char* kBackupSaved =
    "Die Gerätesicherung der QVX mit der Serien Nr. %1 wurde in der Datei\n%2\ngespeichert.";
/// %1: the file name.
inline constexpr const char* kBackupNoBackup =
    "Die Datei %1 enthält keine Gerätesicherung.\nEine Programmierung ohne Kalibrierung lässt "
    "sich mit \"Programmierung wieder einlesen\" übernehmen.";
/// %1: the file name.
inline constexpr const char* kBackupChecksumQuestion =
    "Die Prüfsumme der Datei %1 stimmt nicht mit ihrem Inhalt überein: die Datei wurde von Hand "
    "bearbeitet oder ist beschädigt.\n\nWollen Sie sie trotzdem wiederherstellen ?";
/// %1: the part that could not be read.
inline constexpr const char* kBackupControllerNotRead =
    "Die QVX konnte nicht gelesen werden (%1).\nEs wurde nichts geschrieben.";
/// %1: the file name.
inline constexpr const char* kBackupNothingToRestore =
    "Die QVX stimmt bereits mit der Gerätesicherung %1 überein.\nEs wurde nichts geschrieben.";
/// %1: the number of differences.
inline constexpr const char* kBackupDifferences =
    "Die Wiederherstellung ändert %1 Einträge der QVX. Geschrieben wird erst nach Ihrer "
    "Bestätigung.";
/// %1: the serial number of the controller, %2: the one in the file.
inline constexpr const char* kBackupOtherSerial =
    "Achtung: Die Datei stammt von einer anderen QVX (Serien Nr. %2), verbunden ist die QVX mit "
    "der Serien Nr. %1.";
inline constexpr const char* kBackupItem = "Eintrag";
inline constexpr const char* kBackupInController = "Wert in der QVX";
inline constexpr const char* kBackupInFile = "Wert in der Datei";
inline constexpr const char* kBackupResult = "Ergebnis";
inline constexpr const char* kBackupRestoreButton = "Wiederherstellen";
inline constexpr const char* kBackupMatches = "stimmt überein";
inline constexpr const char* kBackupDiffers = "weicht ab";
inline constexpr const char* kBackupPartWritten = "geschrieben";
inline constexpr const char* kBackupPartFailed = "fehlgeschlagen";
inline constexpr const char* kBackupPartNotWritten = "nicht geschrieben";
/// %1: the reason.
inline constexpr const char* kBackupSafetyCopyFailed =
    "Vor dem Schreiben konnte keine Sicherungskopie des bisherigen Stands der QVX angelegt "
    "werden (%1).\nEs wurde nichts geschrieben.";
/// %1: the file restored, %2: the safety copy.
inline constexpr const char* kBackupRestored =
    "Die Gerätesicherung %1 wurde wiederhergestellt. Jeder geänderte Eintrag wurde "
    "zurückgelesen und stimmt überein.\n\nDer vorherige Stand der QVX ist gesichert in:\n%2";
/// %1: the file restored, %2: the safety copy.
inline constexpr const char* kBackupNotPersisted =
    "Die Gerätesicherung %1 wurde geschrieben, aber beim Zurücklesen stimmen nicht alle "
    "Einträge überein (siehe Tabelle). Diese Einträge sind nicht wiederhergestellt.\n\nDer "
    "vorherige Stand der QVX ist gesichert in:\n%2";
/// %1: the file restored, %2: the safety copy, %3: the part whose transfer failed.
inline constexpr const char* kBackupTransferFailed =
    "Die Wiederherstellung der Gerätesicherung %1 wurde abgebrochen: die Übertragung von "
    "\"%3\" ist fehlgeschlagen. Die Teile danach wurden nicht geschrieben (siehe Tabelle).\n\nDer "
    "vorherige Stand der QVX ist gesichert in:\n%2";
/// %1: the file restored, %2: the safety copy, %3: the part that could not be read back.
inline constexpr const char* kBackupReadBackFailed =
    "Die Gerätesicherung %1 wurde geschrieben, konnte aber nicht zurückgelesen werden (%3). Ob "
    "die QVX sie behalten hat, ist nicht bekannt.\n\nDer vorherige Stand der QVX ist gesichert "
    "in:\n%2";
/// %1: the reason.
inline constexpr const char* kCalSafetyCopyFailed =
    "Die Kalibrierung wurde nicht in der QVX gespeichert: vorher konnte keine Sicherungskopie "
    "des bisherigen Stands der QVX angelegt werden (%1).";

}  // namespace qvx::views::texts

// The plots' tools and cursor read-out (operating-state and recording view).
namespace qvx::views::texts {

inline constexpr const char* kPlotPause = "Pause";
inline constexpr const char* kPlotResume = "Fortsetzen";
inline constexpr const char* kPlotReset = "Zurücksetzen";
inline constexpr const char* kPlotSnap = "An Schaltflanken einrasten";
inline constexpr const char* kPlotClearCursors = "Cursor entfernen";
inline constexpr const char* kPlotCopy = "Kopieren";
inline constexpr const char* kPlotSaveImage = "Als Bild speichern";
inline constexpr const char* kPlotSaveImageCaption = "Diagramm als Bild speichern";
inline constexpr const char* kPlotImageFilter = "PNG-Bilder (*.png);;SVG-Grafiken (*.svg)";
/// Legend of the output levels, level 1 to 5.
inline constexpr std::array<const char*, 5> kOutputLegend{"1 = Zu", "2 = A", "3 = B", "4 = C",
                                                          "5 = Offen"};
inline constexpr const char* kReadoutNoOutput = "0 = kein Ausgang";
/// %1 the cursor's number, %2 its time with unit, %3 the gripper value, %4 its unit, %5 Ub in
/// V, %6 the output state.
inline constexpr const char* kReadoutCursor =
    "Cursor %1:  t = %2   Greifer %3 %4   Ub %5 V   Ausgang %6";
/// %1 Δt in ms, %2 the gripper difference, %3 its unit, %4 the Ub difference in V.
inline constexpr const char* kReadoutDifference =
    "Cursor 2 − Cursor 1:  Δt = %1 ms   ΔGreifer = %2 %3   ΔUb = %4 V";
/// %1 a cursor line read on the overlaid recording.
inline constexpr const char* kReadoutOverlay = "   Vergleich  %1";
inline constexpr const char* kReadoutHint =
    "Klick setzt Cursor 1 und 2, Ziehen verschiebt Cursor oder Ausschnitt; Mausrad zoomt die "
    "Zeit, Umschalt+Mausrad die Werte; Doppelklick zeigt wieder alles.";

}  // namespace qvx::views::texts

// Recordings opened from files and laid over each other.
namespace qvx::views::texts {

inline constexpr const char* kRecOpen = "Aufnahme öffnen...";
inline constexpr const char* kRecOpenComparison = "Zum Vergleich öffnen...";
inline constexpr const char* kRecRemoveComparison = "Vergleich entfernen";
inline constexpr const char* kRecOpenCaption = "Aufnahme öffnen";
inline constexpr const char* kRecOpenComparisonCaption = "Aufnahme zum Vergleich öffnen";
/// The program and version the exported files name.
inline constexpr const char* kProgramVersion = "qvx_controller " QVX_VERSION;
/// Added to the name of an exported file for its plain-column copy.
inline constexpr const char* kRecPlainSuffix = "_daten";
/// Legend of a recording read from the controller; %1 the time of the transfer.
inline constexpr const char* kRecFromDevice = "Aufnahme vom QVX (%1)";
inline constexpr const char* kRecFromDeviceUntimed = "Aufnahme vom QVX";
/// %1 the file's path.
inline constexpr const char* kRecOpenUnreadable = "Die Datei \"%1\" konnte nicht gelesen werden.";
/// %1 the file's path, %2 the line, %3 what is wrong there.
inline constexpr const char* kRecOpenRefused =
    "Die Datei \"%1\" ist keine Aufnahme, die dieses Programm exportiert hat (Zeile %2: %3).\n"
    "Die angezeigte Aufnahme bleibt unverändert.";
/// %1 the file's path, %2 the largest size in KiB.
inline constexpr const char* kRecOpenTooLarge =
    "Die Datei \"%1\" ist zu groß für eine Aufnahme (mehr als %2 KiB).\nDie angezeigte Aufnahme "
    "bleibt unverändert.";
inline constexpr const char* kRecErrorNoColumns =
    "die Spaltenüberschrift \"time_ms,gripper_mV,ub_V,outputs\" (oder gripper_mm) fehlt";
inline constexpr const char* kRecErrorBadHeader = "eine Kopfzeile ist nicht \"# Name=Wert\"";
inline constexpr const char* kRecErrorUnitMismatch =
    "die Einheit im Kopf passt nicht zur Spaltenüberschrift";
inline constexpr const char* kRecErrorBadNumber = "ein Wert ist keine gültige Zahl";
inline constexpr const char* kRecErrorWrongTime = "die Zeit folgt nicht im Abstand von 30 ms";
inline constexpr const char* kRecErrorWrongFieldCount = "die Zeile hat nicht genau vier Werte";
inline constexpr const char* kRecErrorTooManySamples = "mehr als 640 Messpunkte";
inline constexpr const char* kRecErrorNoSamples = "keine Messpunkte";

}  // namespace qvx::views::texts
