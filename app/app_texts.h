#pragma once

// The German texts of the application frame.

namespace qvx::app::texts {

inline constexpr const char* kHelpMissing =
    "Die Hilfedatei %1 konnte nicht geöffnet werden.\nBitte prüfen Sie, ob sie im Arbeitsverzeichnis liegt.";
/// The supervisor access code: the whole command line in any letter case.
inline constexpr const char* kSupervisorCode = "TORVELMANDIGRASP";

/// The notice after a restored link reached another controller: %1 its serial number, %2 the
/// one before.
inline constexpr const char* kLinkRestored = "Verbindung wiederhergestellt";
inline constexpr const char* kAnotherController =
    "Ein anderer Controller ist verbunden (Seriennummer %1, zuvor %2).\nKalibriertabelle und "
    "Toleranzen wurden neu gelesen.";
inline constexpr const char* kAnotherControllerNoTolerances =
    "Ein anderer Controller ist verbunden (Seriennummer %1, zuvor %2).\nDie Kalibriertabelle wurde "
    "neu gelesen; sie reicht in die Zellen der Toleranzen, die deshalb nicht gelesen wurden.";

}  // namespace qvx::app::texts
