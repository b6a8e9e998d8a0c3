#pragma once

#include "platform/user_text.h"

// The German texts of the connection procedure, in one place for the dialogs and the tests.

namespace qvx::connection::texts {

inline constexpr const char* kLoginFailed =
    QT_TRANSLATE_NOOP("qvx", "Fehler beim Überprüfen des Passwortes");
inline constexpr const char* kConnectionInterrupted =
    QT_TRANSLATE_NOOP("qvx", "Verbindung unterbrochen");
inline constexpr const char* kGatewayUnreachable =
    QT_TRANSLATE_NOOP("qvx", "Die Verbindung zum Gateway konnte nicht aufgebaut werden !");
inline constexpr const char* kError = QT_TRANSLATE_NOOP("qvx", "Fehler");
inline constexpr const char* kModemFailed =
    QT_TRANSLATE_NOOP("qvx",
                      "Fehler beim Verbinden mit dem Modem.\nBitte überprüfen Sie die Verbindung "
                      "und die Einträge in der "
                      "Datei Qvx.ini.\n");
inline constexpr const char* kLastPointOverwritten = QT_TRANSLATE_NOOP(
    "qvx",
    "Der letzte Stützpunkt wird durch die Toleranz überschrieben. Möchten Sie weitermachen ?");
inline constexpr const char* kWarning = QT_TRANSLATE_NOOP("qvx", "Warnung");
inline constexpr const char* kDialing = QT_TRANSLATE_NOOP("qvx", "Wähle");
inline constexpr const char* kOnlinePrefix = QT_TRANSLATE_NOOP("qvx", "Online, Verbunden mit ");
inline constexpr const char* kOffline = QT_TRANSLATE_NOOP("qvx", "Offline.");
inline constexpr const char* kControllerSilent = QT_TRANSLATE_NOOP(
    "qvx",
    "Der Controller antwortet nicht. Der Datenport ist vielleicht von einem anderen Programm "
    "belegt (das Gateway bedient nur einen Client zur Zeit), oder hinter dem Gateway antwortet "
    "nichts.");

// The link's own reports, for the status bar and the diagnostic log.
inline constexpr const char* kRecoveryLoginFailed =
    QT_TRANSLATE_NOOP("qvx", "Anmeldung am Gateway fehlgeschlagen: ");
inline constexpr const char* kRecoveryDataPortFailed =
    QT_TRANSLATE_NOOP("qvx", "Datenport nicht erreichbar: ");
inline constexpr const char* kRecoveryDialFailed =
    QT_TRANSLATE_NOOP("qvx", "Wählen fehlgeschlagen: ");
inline constexpr const char* kConnected = QT_TRANSLATE_NOOP("qvx", "Verbunden mit ");
inline constexpr const char* kConnectionLost = QT_TRANSLATE_NOOP("qvx", "Verbindung verloren: ");
inline constexpr const char* kControllerGone =
    QT_TRANSLATE_NOOP("qvx", "Der Controller antwortet nicht mehr.");
inline constexpr const char* kReconnecting =
    QT_TRANSLATE_NOOP("qvx", "Verbindungsversuch: Anmeldung am Gateway ");
inline constexpr const char* kReconnected =
    QT_TRANSLATE_NOOP("qvx", "Verbindung wiederhergestellt: ");
inline constexpr const char* kNextAttemptIn =
    QT_TRANSLATE_NOOP("qvx", "Nächster Verbindungsversuch in ");
inline constexpr const char* kDisconnectedByUser =
    QT_TRANSLATE_NOOP("qvx", "Verbindung vom Benutzer getrennt.");

// The connection dialog.
inline constexpr const char* kDialogTitle = QT_TRANSLATE_NOOP("qvx", "Neue Verbindung");
inline constexpr const char* kModem = QT_TRANSLATE_NOOP("qvx", "Modem");
inline constexpr const char* kNetwork = QT_TRANSLATE_NOOP("qvx", "Netzwerk");
inline constexpr const char* kAutoReconnect =
    QT_TRANSLATE_NOOP("qvx", "Verbindung automatisch wiederherstellen");
inline constexpr const char* kCallNumber = QT_TRANSLATE_NOOP("qvx", "Telefonnummer");
inline constexpr const char* kIpAddress = QT_TRANSLATE_NOOP("qvx", "Ip - Addresse");
inline constexpr const char* kPortNumber = QT_TRANSLATE_NOOP("qvx", "Portnummer");
inline constexpr const char* kReplyWait = QT_TRANSLATE_NOOP("qvx", "Timeout - Wert");
inline constexpr const char* kPassword = QT_TRANSLATE_NOOP("qvx", "Passwort");
/// The title of the notice shown while the modem dials.
inline constexpr const char* kDialingTitle = QT_TRANSLATE_NOOP("qvx", "Dialing");
inline constexpr const char* kCancel = QT_TRANSLATE_NOOP("qvx", "Abbrechen");
/// %1: the most characters the field takes.
inline constexpr const char* kTooLong =
    QT_TRANSLATE_NOOP("qvx", "Geben Sie bitte nicht mehr als %1 Zeichen ein.");
inline constexpr const char* kNotAWholeNumber =
    QT_TRANSLATE_NOOP("qvx", "Geben Sie bitte eine ganze Zahl ein.");
/// %1, %2: the smallest and the largest value.
inline constexpr const char* kWholeNumberRange =
    QT_TRANSLATE_NOOP("qvx", "Geben Sie bitte eine ganze Zahl zwischen %1 und %2 ein.");

}  // namespace qvx::connection::texts
