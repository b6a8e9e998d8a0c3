#pragma once

// The German texts of the connection procedure, in one place for the dialogs and the tests.

namespace qvx::connection::texts {

inline constexpr const char* kLoginFailed = "Fehler beim Überprüfen des Passwortes";
inline constexpr const char* kConnectionInterrupted = "Verbindung unterbrochen";
inline constexpr const char* kGatewayUnreachable = "Die Verbindung zum Gateway konnte nicht aufgebaut werden !";
inline constexpr const char* kError = "Fehler";
inline constexpr const char* kModemFailed =
    "Fehler beim Verbinden mit dem Modem.\nBitte überprüfen Sie die Verbindung und die Einträge in der "
    "Datei Qvx.ini.\n";
inline constexpr const char* kLastPointOverwritten =
    "Der letzte Stützpunkt wird durch die Toleranz überschrieben. Möchten Sie weitermachen ?";
inline constexpr const char* kWarning = "Warnung";
inline constexpr const char* kDialing = "Wähle";
inline constexpr const char* kOnlinePrefix = "Online, Verbunden mit ";
inline constexpr const char* kOffline = "Offline.";
inline constexpr const char* kControllerSilent =
    "Der Controller antwortet nicht. Der Datenport ist vielleicht von einem anderen Programm "
    "belegt (das Gateway bedient nur einen Client zur Zeit), oder hinter dem Gateway antwortet "
    "nichts.";

// The link's own reports, for the status bar and the diagnostic log.
inline constexpr const char* kRecoveryLoginFailed = "Anmeldung am Gateway fehlgeschlagen: ";
inline constexpr const char* kRecoveryDataPortFailed = "Datenport nicht erreichbar: ";
inline constexpr const char* kRecoveryDialFailed = "Wählen fehlgeschlagen: ";
inline constexpr const char* kConnected = "Verbunden mit ";
inline constexpr const char* kConnectionLost = "Verbindung verloren: ";
inline constexpr const char* kControllerGone = "Der Controller antwortet nicht mehr.";
inline constexpr const char* kReconnecting = "Verbindungsversuch: Anmeldung am Gateway ";
inline constexpr const char* kReconnected = "Verbindung wiederhergestellt: ";
inline constexpr const char* kNextAttemptIn = "Nächster Verbindungsversuch in ";
inline constexpr const char* kDisconnectedByUser = "Verbindung vom Benutzer getrennt.";

}  // namespace qvx::connection::texts
