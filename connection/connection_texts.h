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

}  // namespace qvx::connection::texts
