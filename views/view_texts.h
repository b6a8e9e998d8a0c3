#pragma once

#include <array>

#include "platform/user_text.h"

// The German texts of the views, in one place for the views and their tests.

namespace qvx::views::texts {

// Navigation of the fixed pane and the view titles.
inline constexpr const char* kProgramming = QT_TRANSLATE_NOOP("qvx", "Programmieren");
inline constexpr const char* kOperatingState = QT_TRANSLATE_NOOP("qvx", "Betriebszustand");
inline constexpr const char* kRecording = QT_TRANSLATE_NOOP("qvx", "Aufnahme");
inline constexpr const char* kCalibration = QT_TRANSLATE_NOOP("qvx", "Kalibrierung");
inline constexpr const char* kService = QT_TRANSLATE_NOOP("qvx", "Service");
inline constexpr const char* kCalibrationWarning =
    QT_TRANSLATE_NOOP("qvx", "Änderungen an diesen Werten führt zu einer veränderten Kalibrierung");
inline constexpr const char* kAttention = QT_TRANSLATE_NOOP("qvx", "Achtung !");

// Fixed pane: the working memory, the lamps and the gauge.
/// The gripper positions above the output lamps, left to right; the gauge's ends.
inline constexpr std::array<const char*, 5> kPositions{
    QT_TRANSLATE_NOOP("qvx", "Auf"), QT_TRANSLATE_NOOP("qvx", "C"), QT_TRANSLATE_NOOP("qvx", "B"),
    QT_TRANSLATE_NOOP("qvx", "A"), QT_TRANSLATE_NOOP("qvx", "Zu")};
inline constexpr const char* kOpenPosition = kPositions[0];
inline constexpr const char* kClosedPosition = kPositions[4];
inline constexpr const char* kWorkingMemory = QT_TRANSLATE_NOOP("qvx", "QVX Arbeitsspeicher");
inline constexpr const char* kOnline = QT_TRANSLATE_NOOP("qvx", "Online");
/// The connection lamp before the first connection.
inline constexpr const char* kOfflineLamp = QT_TRANSLATE_NOOP("qvx", "Offline");
inline constexpr const char* kModeRange = QT_TRANSLATE_NOOP("qvx", "Modus : Bereich");
inline constexpr const char* kModeSwitchPoint = QT_TRANSLATE_NOOP("qvx", "Modus : Schaltpunkt");

// Service view.
inline constexpr const char* kServiceAddress = QT_TRANSLATE_NOOP("qvx", "Ip - Addresse :");
inline constexpr const char* kServiceSerial = QT_TRANSLATE_NOOP("qvx", "Serien Nr.      :");
inline constexpr const char* kServiceWeek = QT_TRANSLATE_NOOP("qvx", "Woche          :");
inline constexpr const char* kServiceYear = QT_TRANSLATE_NOOP("qvx", "Jahr               :");
inline constexpr const char* kServiceRequest =
    QT_TRANSLATE_NOOP("qvx",
                      "Bitte halten Sie auch folgende Information bereit :  Greifertyp und "
                      "Sensor.\nBitte versuchen Sie mittels der "
                      "Funktion ' Aufnahme ' das Problem zu dokumentieren.");
inline constexpr const char* kServiceContact =
    QT_TRANSLATE_NOOP("qvx",
                      "Varnok Service\n"
                      "Kundendienst Greifersensorik\n"
                      "Telefon:  +49 (0) 000 000000-0\n"
                      "E-Mail:   service@varnok.example");

// Programming view.
inline constexpr const char* kProgramName = "qvx_controller";
/// Teach buttons by transition, left to right.
inline constexpr std::array<const char*, 5> kTransitions{
    QT_TRANSLATE_NOOP("qvx", "Aus<-->Auf"), QT_TRANSLATE_NOOP("qvx", "Auf<-->C"),
    QT_TRANSLATE_NOOP("qvx", "C<-->B"), QT_TRANSLATE_NOOP("qvx", "B<-->A"),
    QT_TRANSLATE_NOOP("qvx", "A<-->Zu")};
inline constexpr const char* kTeachCurrent =
    QT_TRANSLATE_NOOP("qvx", "Aktuellen Greiferwert lernen");
inline constexpr const char* kInputMemory = QT_TRANSLATE_NOOP("qvx", "QVX Eingangsspeicher");
inline constexpr const char* kSaveAs = QT_TRANSLATE_NOOP("qvx", "Speichern als");
inline constexpr const char* kSwitchPointMode = QT_TRANSLATE_NOOP("qvx", "Schaltpunkt");
inline constexpr const char* kRangeMode = QT_TRANSLATE_NOOP("qvx", "Bereich");
inline constexpr const char* kWriteValues = QT_TRANSLATE_NOOP("qvx", "Werte in QVX übernehmen");
inline constexpr const char* kProgramTolerances =
    QT_TRANSLATE_NOOP("qvx", "Toleranzprogrammierung");
inline constexpr const char* kSaveProgramming = QT_TRANSLATE_NOOP("qvx", "Programmierung sichern");
inline constexpr const char* kRestoreProgramming =
    QT_TRANSLATE_NOOP("qvx", "Programmierung wieder einlesen");
inline constexpr const char* kEntryMv = QT_TRANSLATE_NOOP("qvx", "Werte Eingabe in mV");
inline constexpr const char* kEntryMm = QT_TRANSLATE_NOOP("qvx", "Werte Eingabe in mm");
inline constexpr const char* kEntryTenthInch = QT_TRANSLATE_NOOP("qvx", "Werte Eingabe in 1/10 ''");
inline constexpr const char* kUnderToleranceMv = QT_TRANSLATE_NOOP("qvx", "Untertoleranz in mV");
inline constexpr const char* kUnderToleranceMm = QT_TRANSLATE_NOOP("qvx", "Untertoleranz in mm");
inline constexpr const char* kOverToleranceMv = QT_TRANSLATE_NOOP("qvx", "Übertoleranz in mV");
inline constexpr const char* kOverToleranceMm = QT_TRANSLATE_NOOP("qvx", "Übertoleranz in mm");
inline constexpr const char* kEnterNumber =
    QT_TRANSLATE_NOOP("qvx", "Geben Sie bitte eine Zahl ein.");
inline constexpr const char* kOrderWarning =
    QT_TRANSLATE_NOOP("qvx",
                      "Die eingegebenen Werte können zu einem fehlerhaften Arbeiten führen ! "
                      "Wollen Sie fortfahren ?");
inline constexpr const char* kProgrammingFilter =
    QT_TRANSLATE_NOOP("qvx", "Qvx Konfigurationsdateien (*.qvx)");
inline constexpr const char* kOverwriteCaption =
    QT_TRANSLATE_NOOP("qvx", "Speichern unter bestätigen");
/// %1: the file name.
inline constexpr const char* kOverwriteQuestion =
    QT_TRANSLATE_NOOP("qvx", "%1 ist bereits vorhanden.\nMöchten Sie sie ersetzen?");
inline constexpr const char* kSaveFailed =
    QT_TRANSLATE_NOOP("qvx", "Die Datei %1 konnte nicht geschrieben werden.");
inline constexpr const char* kSaveNotRead = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Programmierung kann nicht gesichert werden, weil die Werte der QVX nicht gelesen "
    "werden konnten.");
inline constexpr const char* kRestoreUnreadable =
    QT_TRANSLATE_NOOP("qvx", "Die Datei %1 konnte nicht gelesen werden.");
inline constexpr const char* kRestoreNoProgramming =
    QT_TRANSLATE_NOOP("qvx", "Die Datei %1 enthält keine Programmierung.");
/// %1: the file name, %2: the key.
inline constexpr const char* kRestoreBadValue =
    QT_TRANSLATE_NOOP("qvx", "Die Datei %1 enthält bei \"%2\" keine gültige Zahl.");
inline constexpr const char* kRestoreNeedsCalibration = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Datei %1 enthält Längen. Die Kalibriertabelle braucht dafür mindestens zwei "
    "Stützpunkte.");
inline constexpr const char* kWriteValuesNotRead = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Werte wurden nicht in die QVX übernommen, weil der QVX Eingangsspeicher nicht gelesen "
    "werden konnte.");
inline constexpr const char* kWriteValuesNeedsCalibration = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Werte wurden nicht in die QVX übernommen. Längen lassen sich erst umrechnen, wenn die "
    "Kalibriertabelle mindestens zwei Stützstellen hat.");
inline constexpr const char* kTolerancesRecordNotRead = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Toleranzprogrammierung wurde nicht ausgeführt, weil der QVX Eingangsspeicher nicht "
    "gelesen werden konnte.");
inline constexpr const char* kTolerancesGripperNotRead = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Toleranzprogrammierung wurde nicht ausgeführt, weil der aktuelle Greiferwert nicht "
    "gelesen werden konnte.");
inline constexpr const char* kTolerancesStatusNotRead = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Toleranzprogrammierung wurde nicht ausgeführt, weil die Betriebsart der QVX nicht "
    "gelesen werden konnte.");
inline constexpr const char* kTolerancesNeedsCalibration = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Toleranzprogrammierung wurde nicht ausgeführt. Längen lassen sich erst umrechnen, wenn "
    "die Kalibriertabelle mindestens zwei Stützstellen hat.");
/// %1: the file name.
inline constexpr const char* kRestoreStatusNotRead = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Datei %1 wurde nicht eingelesen, weil die Betriebsart der QVX nicht gelesen werden "
    "konnte.\nDie QVX und die Anzeige sind unverändert.");
/// %1: one line per threshold, "transition : value and unit".
inline constexpr const char* kThresholdsClamped = QT_TRANSLATE_NOOP(
    "qvx",
    "Einige Werte liegen außerhalb des Messbereichs von 0 bis 5000 mV und wurden auf dessen "
    "Grenze gesetzt.\nIn die QVX übernommen wurde:\n%1");
/// %1: the file name, %2: the file's length unit, %3: the length unit shown.
inline constexpr const char* kRestoreUnitQuestion = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Datei %1 gibt ihre Werte in %2 an, das Programm zeigt Längen in %3.\nÄltere Dateien "
    "nennen auch für 1/10 '' die Einheit mm.\n\nIn welcher Einheit sind die Werte der Datei "
    "angegeben?");
inline constexpr const char* kUnitMm = QT_TRANSLATE_NOOP("qvx", "mm");
inline constexpr const char* kUnitTenthInch = QT_TRANSLATE_NOOP("qvx", "1/10 ''");

}  // namespace qvx::views::texts

// Calibration view.
namespace qvx::views::texts {

/// Caption of the message boxes of the calibration and recording views: the program title.
inline constexpr const char* kMessageTitle = "qvx_controller";
inline constexpr const char* kCalCount = QT_TRANSLATE_NOOP("qvx", "Anzahl Stützstellen");
inline constexpr const char* kCalNumber = QT_TRANSLATE_NOOP("qvx", "Nr.");
inline constexpr const char* kCalPrevious = QT_TRANSLATE_NOOP("qvx", "&Zurück");
inline constexpr const char* kCalNext = QT_TRANSLATE_NOOP("qvx", "&Vor");
inline constexpr const char* kCalLength = QT_TRANSLATE_NOOP("qvx", "Länge");
inline constexpr const char* kCalVoltage = QT_TRANSLATE_NOOP("qvx", "Spannung");
inline constexpr const char* kCalLearn = QT_TRANSLATE_NOOP("qvx", "&Lern");
inline constexpr const char* kCalSave =
    QT_TRANSLATE_NOOP("qvx", "Kalibrierungsdaten im QVX sichern");
inline constexpr const char* kCalShortenBy = QT_TRANSLATE_NOOP("qvx", "um");
inline constexpr const char* kCalUnitMm = QT_TRANSLATE_NOOP("qvx", "mm");
inline constexpr const char* kCalUnitTenthInch = QT_TRANSLATE_NOOP("qvx", "* 1/10 ''");
inline constexpr const char* kCalUnitMv = QT_TRANSLATE_NOOP("qvx", "mV");
inline constexpr const char* kCalShortenMm = QT_TRANSLATE_NOOP("qvx", "mm Wert");
inline constexpr const char* kCalShortenTenthInch = QT_TRANSLATE_NOOP("qvx", "1/10 '' Wert");
inline constexpr const char* kCalShortenTailMm = QT_TRANSLATE_NOOP("qvx", "mm veringern");
inline constexpr const char* kCalShortenTailTenthInch =
    QT_TRANSLATE_NOOP("qvx", "* 1/10 '' veringern");
inline constexpr const char* kCalPointsGroup = QT_TRANSLATE_NOOP("qvx", "Stützstellen");
inline constexpr const char* kCalDeriveGroup =
    QT_TRANSLATE_NOOP("qvx", "Neue Stützstelle aus verkürzter Länge");
inline constexpr const char* kCalHint = QT_TRANSLATE_NOOP(
    "qvx",
    "Hinweis: Die Spannungswerte müssen mit der Nummer der Stützstelle steigen. Stützstelle 1 "
    "ist die offene Stellung des Greifers, die höchste Stützstelle die geschlossene.\n"
    "Anzahl und Längen werden eingetippt; die Nummer der Stützstelle wird mit \"Vor\" und "
    "\"Zurück\" gewählt.");
inline constexpr const char* kCalCountTooSmall =
    QT_TRANSLATE_NOOP("qvx", "Bitte geben Sie eine Anzahl >= 2 ein.");
/// %d is the most support points a table holds.
inline constexpr const char* kCalTableFull = QT_TRANSLATE_NOOP(
    "qvx",
    "Fehler !\n\nDie Operation konnte nicht erfolgreich beendet werden.\nGrund : Das Programm "
    "müßte jetzt eine weitere Stützstelle hinzufügen.\nDies ist nicht möglich, da nur maximal "
    "%d Stützstellen erlaubt sind !");
inline constexpr const char* kCalNotANumber =
    QT_TRANSLATE_NOOP("qvx", "Geben Sie bitte eine Zahl ein.");
inline constexpr const char* kCalNotAWholeNumber =
    QT_TRANSLATE_NOOP("qvx", "Geben Sie bitte eine positive ganze Zahl ein.");
inline constexpr const char* kCalLengthRangeMm =
    QT_TRANSLATE_NOOP("qvx",
                      "Die Länge kann nicht gespeichert werden.\nBitte geben Sie eine Länge von 0 "
                      "bis 65,535 mm ein.");
inline constexpr const char* kCalLengthRangeTenthInch =
    QT_TRANSLATE_NOOP("qvx",
                      "Die Länge kann nicht gespeichert werden.\nBitte geben Sie eine Länge von 0 "
                      "bis 25,801 * 1/10 '' "
                      "ein.");
inline constexpr const char* kCalVoltageRange = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Spannung kann nicht gespeichert werden.\nBitte geben Sie eine Spannung von 0 bis 5000 mV "
    "ein.");
inline constexpr const char* kCalSaveFailed = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Kalibrierung konnte nicht vollständig in der QVX gespeichert werden.\nBitte prüfen Sie "
    "die Verbindung und speichern Sie erneut.");
inline constexpr const char* kCalShortenRangeMm = QT_TRANSLATE_NOOP(
    "qvx",
    "Die neue Stützstelle kann nicht angelegt werden: ihre Länge läge außerhalb von 0 bis "
    "65,535 mm.");
inline constexpr const char* kCalShortenRangeTenthInch = QT_TRANSLATE_NOOP(
    "qvx",
    "Die neue Stützstelle kann nicht angelegt werden: ihre Länge läge außerhalb von 0 bis "
    "25,801 * 1/10 ''.");
inline constexpr const char* kCalSaveNoPoints = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Kalibrierung kann nicht in der QVX gespeichert werden, weil die Tabelle keine "
    "Stützstellen enthält.\nBitte geben Sie zuerst die Anzahl der Stützstellen ein (mindestens "
    "2).");

}  // namespace qvx::views::texts

// Recording view.
namespace qvx::views::texts {

inline constexpr const char* kRecTitle = QT_TRANSLATE_NOOP("qvx", "Aufnahme");
inline constexpr const char* kRecTimeAxis = QT_TRANSLATE_NOOP("qvx", "Zeit in 1/1000 Sekunden");
inline constexpr const char* kRecStart = QT_TRANSLATE_NOOP("qvx", "Aufnahme starten");
inline constexpr const char* kRecRunning = QT_TRANSLATE_NOOP("qvx", "Aufnahme läuft");
inline constexpr const char* kRecReread =
    QT_TRANSLATE_NOOP("qvx", "bestehende Aufnahme neu einlesen");
inline constexpr const char* kRecReading = QT_TRANSLATE_NOOP("qvx", "Aufnahme wird eingelesen");
inline constexpr const char* kRecExportCsv = QT_TRANSLATE_NOOP("qvx", "Als CSV exportieren");
inline constexpr const char* kRecSaveImage = QT_TRANSLATE_NOOP("qvx", "Als Bild speichern");
inline constexpr const char* kRecExportCsvCaption =
    QT_TRANSLATE_NOOP("qvx", "Aufnahme als CSV-Datei exportieren");
inline constexpr const char* kRecSaveImageCaption =
    QT_TRANSLATE_NOOP("qvx", "Aufnahme als Bild speichern");
inline constexpr const char* kRecCsvFilter = QT_TRANSLATE_NOOP("qvx", "CSV-Dateien (*.csv)");
inline constexpr const char* kRecImageFilter =
    QT_TRANSLATE_NOOP("qvx", "PNG-Bilder (*.png);;SVG-Grafiken (*.svg)");
/// %1 is the file's path.
inline constexpr const char* kRecWriteFailed =
    QT_TRANSLATE_NOOP("qvx", "Die Datei \"%1\" konnte nicht geschrieben werden.");
inline constexpr const char* kRecCancel = QT_TRANSLATE_NOOP("qvx", "Abbrechen");
/// %1: the samples read, %2: the samples of a whole recording.
inline constexpr const char* kRecIncomplete = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Aufnahme konnte nicht vollständig aus dem QVX gelesen werden: die QVX antwortet nicht "
    "oder zu langsam.\nGelesen wurden %1 von %2 Messpunkten; die Aufnahme ist als unvollständig "
    "gekennzeichnet.");
inline constexpr const char* kRecNothingRead = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Aufnahme konnte nicht aus dem QVX gelesen werden: die QVX antwortet nicht.\nEine zuvor "
    "gelesene Aufnahme bleibt erhalten.");
/// Beside the plot of an incomplete recording. %1: the samples read, %2: of a whole one.
inline constexpr const char* kRecIncompleteMark =
    QT_TRANSLATE_NOOP("qvx", "Aufnahme unvollständig: %1 von %2 Messpunkten gelesen");

// Link health: the status bar and the diagnostic log window.
inline constexpr const char* kLinkNotConnected = QT_TRANSLATE_NOOP("qvx", "Nicht verbunden");
inline constexpr const char* kLinkEndpoint = QT_TRANSLATE_NOOP("qvx", "Gateway %1, Datenport %2");
inline constexpr const char* kLinkRate = QT_TRANSLATE_NOOP("qvx", "%1 Zyklen/s");
inline constexpr const char* kLinkCounters =
    QT_TRANSLATE_NOOP("qvx", "Wiederholungen %1, Zeitüberschreitungen %2, Prüfsummenfehler %3");
inline constexpr const char* kLinkLastError = QT_TRANSLATE_NOOP("qvx", "Letzter Fehler um %1: %2");
inline constexpr const char* kLinkNoError = QT_TRANSLATE_NOOP("qvx", "Kein Fehler");
inline constexpr const char* kLinkNextAttempt =
    QT_TRANSLATE_NOOP("qvx", "Neuer Verbindungsversuch in %1 s (%2 fehlgeschlagen)");
inline constexpr const char* kLogWindowTitle = QT_TRANSLATE_NOOP("qvx", "Diagnoseprotokoll");
inline constexpr const char* kLogDebug =
    QT_TRANSLATE_NOOP("qvx", "Debug (jeder Rahmen hexadezimal)");
inline constexpr const char* kLogClear = QT_TRANSLATE_NOOP("qvx", "Leeren");
inline constexpr const char* kLogSave = QT_TRANSLATE_NOOP("qvx", "Speichern...");
inline constexpr const char* kLogDropped = QT_TRANSLATE_NOOP("qvx", "%1 Zeilen verworfen");
inline constexpr const char* kLogSaveFailed =
    QT_TRANSLATE_NOOP("qvx", "Das Protokoll konnte nicht in %1 gespeichert werden.");
inline constexpr const char* kLogFileFilter =
    QT_TRANSLATE_NOOP("qvx", "Textdateien (*.txt);;Alle Dateien (*)");

}  // namespace qvx::views::texts

// Device backup: the two commands of the "Datei" menu and the safety copies.
namespace qvx::views::texts {

inline constexpr const char* kBackupSaveAction =
    QT_TRANSLATE_NOOP("qvx", "Gerätesicherung speichern...");
inline constexpr const char* kBackupRestoreAction =
    QT_TRANSLATE_NOOP("qvx", "Gerätesicherung wiederherstellen...");
inline constexpr const char* kBackupSaveCaption =
    QT_TRANSLATE_NOOP("qvx", "Gerätesicherung speichern");
inline constexpr const char* kBackupRestoreCaption =
    QT_TRANSLATE_NOOP("qvx", "Gerätesicherung wiederherstellen");
inline constexpr const char* kBackupNotConnected = QT_TRANSLATE_NOOP(
    "qvx",
    "Es besteht keine Verbindung zur QVX.\nDie Gerätesicherung ist nur mit einer verbundenen "
    "QVX möglich.");
/// %1: the part that could not be read.
inline constexpr const char* kBackupNotRead = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Gerätesicherung wurde nicht gespeichert, weil die QVX nicht vollständig gelesen werden "
    "konnte (%1).");
/// %1: the serial number, %2: the file name.
inline constexpr const char* kBackupSaved = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Gerätesicherung der QVX mit der Serien Nr. %1 wurde in der Datei\n%2\ngespeichert.");
/// %1: the file name.
inline constexpr const char* kBackupNoBackup = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Datei %1 enthält keine Gerätesicherung.\nEine Programmierung ohne Kalibrierung lässt "
    "sich mit \"Programmierung wieder einlesen\" übernehmen.");
/// %1: the file name.
inline constexpr const char* kBackupChecksumQuestion = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Prüfsumme der Datei %1 stimmt nicht mit ihrem Inhalt überein: die Datei wurde von Hand "
    "bearbeitet oder ist beschädigt.\n\nWollen Sie sie trotzdem wiederherstellen ?");
/// %1: the part that could not be read.
inline constexpr const char* kBackupControllerNotRead = QT_TRANSLATE_NOOP(
    "qvx", "Die QVX konnte nicht gelesen werden (%1).\nEs wurde nichts geschrieben.");
/// %1: the file name.
inline constexpr const char* kBackupNothingToRestore = QT_TRANSLATE_NOOP(
    "qvx",
    "Die QVX stimmt bereits mit der Gerätesicherung %1 überein.\nEs wurde nichts geschrieben.");
/// %1: the number of differences.
inline constexpr const char* kBackupDifferences = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Wiederherstellung ändert %1 Einträge der QVX. Geschrieben wird erst nach Ihrer "
    "Bestätigung.");
/// %1: the serial number of the controller, %2: the one in the file.
inline constexpr const char* kBackupOtherSerial = QT_TRANSLATE_NOOP(
    "qvx",
    "Achtung: Die Datei stammt von einer anderen QVX (Serien Nr. %2), verbunden ist die QVX mit "
    "der Serien Nr. %1.");
inline constexpr const char* kBackupItem = QT_TRANSLATE_NOOP("qvx", "Eintrag");
inline constexpr const char* kBackupInController = QT_TRANSLATE_NOOP("qvx", "Wert in der QVX");
inline constexpr const char* kBackupInFile = QT_TRANSLATE_NOOP("qvx", "Wert in der Datei");
inline constexpr const char* kBackupResult = QT_TRANSLATE_NOOP("qvx", "Ergebnis");
inline constexpr const char* kBackupRestoreButton = QT_TRANSLATE_NOOP("qvx", "Wiederherstellen");
inline constexpr const char* kBackupMatches = QT_TRANSLATE_NOOP("qvx", "stimmt überein");
inline constexpr const char* kBackupDiffers = QT_TRANSLATE_NOOP("qvx", "weicht ab");
inline constexpr const char* kBackupPartWritten = QT_TRANSLATE_NOOP("qvx", "geschrieben");
inline constexpr const char* kBackupPartFailed = QT_TRANSLATE_NOOP("qvx", "fehlgeschlagen");
inline constexpr const char* kBackupPartNotWritten = QT_TRANSLATE_NOOP("qvx", "nicht geschrieben");
/// %1: the reason.
inline constexpr const char* kBackupSafetyCopyFailed = QT_TRANSLATE_NOOP(
    "qvx",
    "Vor dem Schreiben konnte keine Sicherungskopie des bisherigen Stands der QVX angelegt "
    "werden (%1).\nEs wurde nichts geschrieben.");
/// %1: the file restored, %2: the safety copy.
inline constexpr const char* kBackupRestored = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Gerätesicherung %1 wurde wiederhergestellt. Jeder geänderte Eintrag wurde "
    "zurückgelesen und stimmt überein.\n\nDer vorherige Stand der QVX ist gesichert in:\n%2");
/// %1: the file restored, %2: the safety copy.
inline constexpr const char* kBackupNotPersisted = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Gerätesicherung %1 wurde geschrieben, aber beim Zurücklesen stimmen nicht alle "
    "Einträge überein (siehe Tabelle). Diese Einträge sind nicht wiederhergestellt.\n\nDer "
    "vorherige Stand der QVX ist gesichert in:\n%2");
/// %1: the file restored, %2: the safety copy, %3: the part whose transfer failed.
inline constexpr const char* kBackupTransferFailed = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Wiederherstellung der Gerätesicherung %1 wurde abgebrochen: die Übertragung von "
    "\"%3\" ist fehlgeschlagen. Die Teile danach wurden nicht geschrieben (siehe Tabelle).\n\nDer "
    "vorherige Stand der QVX ist gesichert in:\n%2");
/// %1: the file restored, %2: the safety copy, %3: the part that could not be read back.
inline constexpr const char* kBackupReadBackFailed = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Gerätesicherung %1 wurde geschrieben, konnte aber nicht zurückgelesen werden (%3). Ob "
    "die QVX sie behalten hat, ist nicht bekannt.\n\nDer vorherige Stand der QVX ist gesichert "
    "in:\n%2");
/// %1: the reason.
inline constexpr const char* kCalSafetyCopyFailed = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Kalibrierung wurde nicht in der QVX gespeichert: vorher konnte keine Sicherungskopie "
    "des bisherigen Stands der QVX angelegt werden (%1).");

}  // namespace qvx::views::texts

// The plots' tools and cursor read-out (operating-state and recording view).
namespace qvx::views::texts {

inline constexpr const char* kPlotPause = QT_TRANSLATE_NOOP("qvx", "Pause");
inline constexpr const char* kPlotResume = QT_TRANSLATE_NOOP("qvx", "Fortsetzen");
inline constexpr const char* kPlotReset = QT_TRANSLATE_NOOP("qvx", "Zurücksetzen");
inline constexpr const char* kPlotSnap = QT_TRANSLATE_NOOP("qvx", "An Schaltflanken einrasten");
inline constexpr const char* kPlotClearCursors = QT_TRANSLATE_NOOP("qvx", "Cursor entfernen");
inline constexpr const char* kPlotCopy = QT_TRANSLATE_NOOP("qvx", "Kopieren");
inline constexpr const char* kPlotSaveImage = QT_TRANSLATE_NOOP("qvx", "Als Bild speichern");
inline constexpr const char* kPlotSaveImageCaption =
    QT_TRANSLATE_NOOP("qvx", "Diagramm als Bild speichern");
inline constexpr const char* kPlotImageFilter =
    QT_TRANSLATE_NOOP("qvx", "PNG-Bilder (*.png);;SVG-Grafiken (*.svg)");
/// Legend of the output levels, level 1 to 5.
inline constexpr std::array<const char*, 5> kOutputLegend{
    QT_TRANSLATE_NOOP("qvx", "1 = Zu"), QT_TRANSLATE_NOOP("qvx", "2 = A"),
    QT_TRANSLATE_NOOP("qvx", "3 = B"), QT_TRANSLATE_NOOP("qvx", "4 = C"),
    QT_TRANSLATE_NOOP("qvx", "5 = Offen")};
inline constexpr const char* kReadoutNoOutput = QT_TRANSLATE_NOOP("qvx", "0 = kein Ausgang");
/// %1 the cursor's number, %2 its time with unit, %3 the gripper value, %4 its unit, %5 Ub in
/// V, %6 the output state.
inline constexpr const char* kReadoutCursor =
    QT_TRANSLATE_NOOP("qvx", "Cursor %1:  t = %2   Greifer %3 %4   Ub %5 V   Ausgang %6");
/// %1 Δt in ms, %2 the gripper difference, %3 its unit, %4 the Ub difference in V.
inline constexpr const char* kReadoutDifference =
    QT_TRANSLATE_NOOP("qvx", "Cursor 2 − Cursor 1:  Δt = %1 ms   ΔGreifer = %2 %3   ΔUb = %4 V");
/// %1 a cursor line read on the overlaid recording.
inline constexpr const char* kReadoutOverlay = QT_TRANSLATE_NOOP("qvx", "   Vergleich  %1");
inline constexpr const char* kReadoutHint = QT_TRANSLATE_NOOP(
    "qvx",
    "Klick setzt Cursor 1 und 2, Ziehen verschiebt Cursor oder Ausschnitt; Mausrad zoomt die "
    "Zeit, Umschalt+Mausrad die Werte; Doppelklick zeigt wieder alles.");

}  // namespace qvx::views::texts

// Operating-state view.
namespace qvx::views::texts {

/// The plot channels' names: gripper value, supply voltage, outputs.
inline constexpr std::array<const char*, 3> kPlotChannels{
    QT_TRANSLATE_NOOP("qvx", "Greifer"), QT_TRANSLATE_NOOP("qvx", "Ub"),
    QT_TRANSLATE_NOOP("qvx", "Schaltausgänge")};
inline constexpr const char* kTimeAxisSeconds = QT_TRANSLATE_NOOP("qvx", "Zeit ( in Sekunden )");
inline constexpr const char* kResetValues = QT_TRANSLATE_NOOP("qvx", "Werte zurücksetzen");
inline constexpr const char* kLimitOver = QT_TRANSLATE_NOOP("qvx", "Über");
inline constexpr const char* kLimitUnder = QT_TRANSLATE_NOOP("qvx", "Unter");
inline constexpr const char* kTemperatureGroup = QT_TRANSLATE_NOOP("qvx", "Temperatur in °C");
inline constexpr const char* kVoltageGroup = QT_TRANSLATE_NOOP("qvx", "Spannung in V");

}  // namespace qvx::views::texts

// Recordings opened from files and laid over each other.
namespace qvx::views::texts {

inline constexpr const char* kRecOpen = QT_TRANSLATE_NOOP("qvx", "Aufnahme öffnen...");
inline constexpr const char* kRecOpenComparison =
    QT_TRANSLATE_NOOP("qvx", "Zum Vergleich öffnen...");
inline constexpr const char* kRecRemoveComparison = QT_TRANSLATE_NOOP("qvx", "Vergleich entfernen");
inline constexpr const char* kRecOpenCaption = QT_TRANSLATE_NOOP("qvx", "Aufnahme öffnen");
inline constexpr const char* kRecOpenComparisonCaption =
    QT_TRANSLATE_NOOP("qvx", "Aufnahme zum Vergleich öffnen");
/// The program and version the exported files name.
inline constexpr const char* kProgramVersion = "qvx_controller " QVX_VERSION;
/// Added to the name of an exported file for its plain-column copy.
inline constexpr const char* kRecPlainSuffix = "_daten";
/// Legend of a recording read from the controller; %1 the time of the transfer.
inline constexpr const char* kRecFromDevice = QT_TRANSLATE_NOOP("qvx", "Aufnahme vom QVX (%1)");
inline constexpr const char* kRecFromDeviceUntimed = QT_TRANSLATE_NOOP("qvx", "Aufnahme vom QVX");
/// %1 the file's path.
inline constexpr const char* kRecOpenUnreadable =
    QT_TRANSLATE_NOOP("qvx", "Die Datei \"%1\" konnte nicht gelesen werden.");
/// %1 the file's path, %2 the line, %3 what is wrong there.
inline constexpr const char* kRecOpenRefused = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Datei \"%1\" ist keine Aufnahme, die dieses Programm exportiert hat (Zeile %2: %3).\n"
    "Die angezeigte Aufnahme bleibt unverändert.");
/// %1 the file's path, %2 the largest size in KiB.
inline constexpr const char* kRecOpenTooLarge = QT_TRANSLATE_NOOP(
    "qvx",
    "Die Datei \"%1\" ist zu groß für eine Aufnahme (mehr als %2 KiB).\nDie angezeigte Aufnahme "
    "bleibt unverändert.");
inline constexpr const char* kRecErrorNoColumns = QT_TRANSLATE_NOOP(
    "qvx", "die Spaltenüberschrift \"time_ms,gripper_mV,ub_V,outputs\" (oder gripper_mm) fehlt");
inline constexpr const char* kRecErrorBadHeader =
    QT_TRANSLATE_NOOP("qvx", "eine Kopfzeile ist nicht \"# Name=Wert\"");
inline constexpr const char* kRecErrorUnitMismatch =
    QT_TRANSLATE_NOOP("qvx", "die Einheit im Kopf passt nicht zur Spaltenüberschrift");
inline constexpr const char* kRecErrorBadNumber =
    QT_TRANSLATE_NOOP("qvx", "ein Wert ist keine gültige Zahl");
inline constexpr const char* kRecErrorWrongTime =
    QT_TRANSLATE_NOOP("qvx", "die Zeit folgt nicht im Abstand von 30 ms");
inline constexpr const char* kRecErrorWrongFieldCount =
    QT_TRANSLATE_NOOP("qvx", "die Zeile hat nicht genau vier Werte");
inline constexpr const char* kRecErrorTooManySamples =
    QT_TRANSLATE_NOOP("qvx", "mehr als 640 Messpunkte");
inline constexpr const char* kRecErrorNoSamples = QT_TRANSLATE_NOOP("qvx", "keine Messpunkte");

}  // namespace qvx::views::texts
