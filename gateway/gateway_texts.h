#pragma once

#include <string_view>

// The gateway's own texts, exactly as operators and scripts see them (UTF-8).
namespace qvx::gateway::texts {

// Serial channel: "COMPort <" + port name + one of the endings below + system error text.
inline constexpr std::string_view kComPortPrefix = "COMPort <";
inline constexpr std::string_view kCannotOpenSuffix = "> kann nicht geöffnet werden: ";
inline constexpr std::string_view kConfigurationFailedSuffix = "> Konfiguration fehlgeschlagen: ";
inline constexpr std::string_view kCannotReadSuffix = "> kann nicht gelesen werden: ";
inline constexpr std::string_view kCannotWriteSuffix = "> kann nicht beschrieben werden: ";
// A port that failed (or was missing) and has been opened again: prefix + name + this.
inline constexpr std::string_view kPortBackSuffix = "> ist wieder verfügbar.";
// A line that took no byte for a whole second: prefix + name + this.
inline constexpr std::string_view kWriteStalledSuffix =
    "> nimmt seit 1000 ms keine Daten an, Daten werden verworfen.";
// A port held by another process: appended to the open failure, with its process id and name.
inline constexpr std::string_view kHeldByPrefix = " (belegt von Prozess ";
inline constexpr std::string_view kHeldBySuffix = ")";

// Console line of a serial channel that has no owner to take its bytes.
inline constexpr std::string_view kReceivedFromSerial = "Daten von RS232 empfangen: ";

// Line prefixes of the gateway log: "Gatway-Server Nr. " + channel number + ": " for a
// channel, kSecurityPrefix for the login listener.
inline constexpr std::string_view kChannelPrefix = "Gatway-Server Nr. ";
inline constexpr std::string_view kChannelPrefixEnd = ": ";
inline constexpr std::string_view kSecurityPrefix = "Gatway-Security: ";

// A channel's start-up line: one of the two beginnings + listen address + kPortPart + data
// port + kComPortPart + COM port name.
inline constexpr std::string_view kInitialisationOk = " Initialisierung OK: IP = ";
inline constexpr std::string_view kInitialisationFailed = " Initialisierung fehlgeschlagen: IP = ";
inline constexpr std::string_view kPortPart = ", Port=";
inline constexpr std::string_view kComPortPart = ",COMPort=";

// The login listener's start-up line + listen address.
inline constexpr std::string_view kSecurityInitialisationOk = " Initialisierung Security OK: IP = ";
inline constexpr std::string_view kSecurityInitialisationFailed =
    " Initialisierung Security fehlgeschlagen: IP = ";

// A listener that cannot be had: kListenerPrefix + port + kListenerAddressPart + address +
// kListenerFailedPart + the reason (a system text or one of the reasons below).
inline constexpr std::string_view kListenerPrefix = "TCP-Port ";
inline constexpr std::string_view kListenerAddressPart = " auf IP = ";
inline constexpr std::string_view kListenerFailedPart = " kann nicht geöffnet werden: ";
inline constexpr std::string_view kPortZeroReason = "Port 0 ist nicht zulässig";
inline constexpr std::string_view kNoListenerEntryReason =
    "alle 5 Einträge der Listener-Tabelle sind belegt";

// Sessions: the text + the peer's dotted address (kRefusedSuffix ends the refusal).
inline constexpr std::string_view kConnectedWith = "Verbindung hergestellt mit Remote-Address = ";
inline constexpr std::string_view kConnectionTo = "Verbindung zu Remote-Address = ";
inline constexpr std::string_view kRefusedSuffix = " abgelehnt.";
inline constexpr std::string_view kDisconnectedFrom =
    "Verbindung unterbrochen zu Remote-Address = ";
// Stands for a peer address that could not be read.
inline constexpr std::string_view kUnknownAddress = "<unbekannt>";
// An accept that failed although the listener stands (out of descriptors, for instance):
// the text + system text.
inline constexpr std::string_view kAcceptFailed = "Verbindungsannahme fehlgeschlagen: ";

// A COM port that cannot be opened when its channel starts: prefix + name + this. The channel
// listens all the same and opens the port when the device appears.
inline constexpr std::string_view kAwaitingDeviceSuffix =
    "> ist nicht verfügbar; er wird geöffnet, sobald das Gerät erscheint.";
// A session in which nothing moved for IdleTimeout seconds: prefix + seconds + middle +
// address + suffix.
inline constexpr std::string_view kIdlePrefix = "Keine Daten seit ";
inline constexpr std::string_view kIdleMiddle = " s, Verbindung zu Remote-Address = ";
inline constexpr std::string_view kIdleSuffix = " wird geschlossen.";
// A Trace file that cannot be opened: prefix + path + suffix + system text.
inline constexpr std::string_view kTraceFilePrefix = "Trace-Datei <";
inline constexpr std::string_view kTraceOpenFailedSuffix = "> kann nicht geöffnet werden: ";

// Start of a channel, written by the service through the channel's log.
inline constexpr std::string_view kGatewayStarted = "Gateway gestartet.";
inline constexpr std::string_view kGatewayStartFailed = "Gateway konnte nicht gestartet werden.";

// The login exchange: the two replies, sent without any terminator.
inline constexpr std::string_view kReplyOk = "+OK";
inline constexpr std::string_view kReplyInvalid = "+ERR PASSWORD INVALID";
inline constexpr std::string_view kAuthenticated = "Remote Partner authenficated. Passphrase OK.";
inline constexpr std::string_view kNotAuthenticated =
    "Remote Partner not authenficated. Passphrase INVALID.";
inline constexpr std::string_view kLoginLineTimeout =
    "Keine Passphrase rechtzeitig empfangen, Verbindung wird geschlossen.";
inline constexpr std::string_view kPasswordTooLong =
    "Das Password ist länger als 51 Bytes und kann nie passen: keine Anmeldung möglich.";
// A stale authorisation: kStalePrefix + address + kStaleSuffix. The suffix names where the
// entry is purged, as operators' log filters know it.
inline constexpr std::string_view kStalePrefix = "Remote IPAddress ";
inline constexpr std::string_view kStaleSuffix = " veraltet.\tFile GatewaySecurity Line 449";

// A Secured that is no whole decimal number: security is on. Prefix + the value as written +
// suffix.
inline constexpr std::string_view kSecuredNotANumberPrefix =
    "Der Wert von Secured ist keine Zahl: \"";
inline constexpr std::string_view kSecuredNotANumberSuffix =
    "\"; die Passphrase-Prüfung ist eingeschaltet.";
// A Password of the service store that cannot be read: it is kept and every login is refused
// until an operator mends it.
inline constexpr std::string_view kPasswordUnreadable =
    "Das gespeicherte Password ist länger als 99 Bytes und bleibt unverändert: keine Anmeldung "
    "möglich.";

// Console mode: "Debugging " / "Stopping " + display name + ".\n".
inline constexpr std::string_view kDisplayName = "TCP/IP-RS2323 Gateway";
inline constexpr std::string_view kDebugging = "Debugging ";
inline constexpr std::string_view kStopping = "Stopping ";

// Installing, removing, starting and stopping the service. The texts are printf formats with
// %s for the display name or a system text, in the order the format names them; a system
// text has no trailing line break.
inline constexpr const char* kUnableToInstall = "Unable to install %s - %s\n";
inline constexpr const char* kOpenManagerFailed = "OpenSCManager failed - %s\n";
inline constexpr const char* kInstalled = "%s installed.\n";
inline constexpr const char* kCreateFailed = "CreateService failed - %s\n";
inline constexpr const char* kOpenServiceFailed = "OpenService failed - %s\n";
inline constexpr const char* kStoppingService = "Stopping %s.";
inline constexpr const char* kPendingDot = ".";
inline constexpr const char* kStopped = "\n%s stopped.\n";
inline constexpr const char* kFailedToStop = "\n%s failed to stop.\n";
inline constexpr const char* kRemoved = "%s removed.\n";
inline constexpr const char* kDeleteFailed = "DeleteService failed - %s\n";
inline constexpr const char* kStartingUp = "Starting up %s.";
inline constexpr const char* kStartCallFailed = "\n%s failed to start: %s\n";
inline constexpr const char* kStarted = "\n%s started.\n";
inline constexpr const char* kFailedToStart = "\n%s failed to start.\n";
// -p has nothing to give a systemd unit: the service runs as the -l account without one.
inline constexpr const char* kPasswordRefused =
    "%s not installed: a password (-p) has no meaning for a systemd service; give the account "
    "with -l only.\n";
// System texts of our own where no errno value says it.
inline constexpr std::string_view kInvalidAccount = "The account name is invalid or does not exist";
inline constexpr std::string_view kUnusablePath = "The program path cannot be written into a unit";
inline constexpr std::string_view kNoServiceManager =
    "The service process could not connect to the service manager: NOTIFY_SOCKET is not set";
inline constexpr std::string_view kForegroundHint = "; -d or -f runs the gateway in the foreground";
inline constexpr std::string_view kNoSignalHandling =
    "The stop request of the service manager cannot be received";

// -h and --help: every switch with a line each.
inline constexpr std::string_view kHelp =
    "Usage: qvx_gateway [switch]\n"
    "TCP/IP-RS2323 Gateway: relays the data port of each channel to its serial port.\n"
    "  (no switch)      run as the systemd service (only systemd starts it so)\n"
    "  -d               run in the foreground, log on the console; Ctrl+C or SIGTERM stops\n"
    "  -f               run in the foreground without console, log to the system log;\n"
    "                   SIGTERM, SIGHUP or SIGINT stops\n"
    "  -i               install and enable the systemd service qvx_gateway.service\n"
    "  -l ACCOUNT       with -i: run the service as ACCOUNT, with the serial group dialout\n"
    "  -p PASSWORD      with -i: refused, a systemd service runs without a password\n"
    "  -u               stop the service if it runs, disable and remove it\n"
    "  -s               start the installed service and wait until it runs\n"
    "  -e               stop the installed service and wait until it has stopped\n"
    "  --check-config [service]\n"
    "                   show the settings of qvx_gateway.ini (with \"service\": of the\n"
    "                   service store) without opening anything; exit 0 when usable, else 1\n"
    "  -h, --help       show this text\n"
    "Exit codes of the other switches: 1 for success, 0 for failure.\n";

// Event log entries of the service.
inline constexpr std::string_view kEventInstalled = "Service installed";
inline constexpr std::string_view kEventStarted = "Service gestartet";
inline constexpr std::string_view kEventStartFailed = "Service konnte nicht gestartet werden.";
inline constexpr std::string_view kEventStopped = "Service beendet";
inline constexpr std::string_view kEventStopFailed = "Service konnte nicht beendet werden.";
inline constexpr std::string_view kEventStatusFailed = "SetServiceStatus() failed";

}  // namespace qvx::gateway::texts
