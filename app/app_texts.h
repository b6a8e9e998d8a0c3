#pragma once

#include "platform/user_text.h"

// The German texts of the application frame.

namespace qvx::app::texts {

inline constexpr const char* kHelpMissing =
    QT_TRANSLATE_NOOP("qvx",
                      "Die Hilfedatei %1 konnte nicht geöffnet werden.\nBitte prüfen Sie, ob sie "
                      "im Arbeitsverzeichnis liegt.");
/// The supervisor access code: the whole command line in any letter case.
inline constexpr const char* kSupervisorCode = "TORVELMANDIGRASP";

/// The notice after a restored link reached another controller: %1 its serial number, %2 the
/// one before.
inline constexpr const char* kLinkRestored =
    QT_TRANSLATE_NOOP("qvx", "Verbindung wiederhergestellt");
inline constexpr const char* kAnotherController = QT_TRANSLATE_NOOP(
    "qvx",
    "Ein anderer Controller ist verbunden (Seriennummer %1, zuvor %2).\nKalibriertabelle und "
    "Toleranzen wurden neu gelesen.");
inline constexpr const char* kAnotherControllerNoTolerances = QT_TRANSLATE_NOOP(
    "qvx",
    "Ein anderer Controller ist verbunden (Seriennummer %1, zuvor %2).\nDie Kalibriertabelle wurde "
    "neu gelesen; sie reicht in die Zellen der Toleranzen, die deshalb nicht gelesen wurden.");

// The menus and the about box.
inline constexpr const char* kMenuFile = QT_TRANSLATE_NOOP("qvx", "&Datei");
inline constexpr const char* kMenuDefaultUnit = QT_TRANSLATE_NOOP("qvx", "Standardeinheit");
inline constexpr const char* kQuit = QT_TRANSLATE_NOOP("qvx", "&Beenden");
inline constexpr const char* kMenuLink = QT_TRANSLATE_NOOP("qvx", "Verbindung");
inline constexpr const char* kConnectLink = QT_TRANSLATE_NOOP("qvx", "Verbindung herstellen...");
inline constexpr const char* kDisconnectLink = QT_TRANSLATE_NOOP("qvx", "Verbindung trennen");
inline constexpr const char* kHelp = QT_TRANSLATE_NOOP("qvx", "Hilfe");
inline constexpr const char* kAbout = QT_TRANSLATE_NOOP("qvx", "Inf&o über qvx_controller...");
inline constexpr const char* kAboutTitle = QT_TRANSLATE_NOOP("qvx", "Info über qvx_controller");

}  // namespace qvx::app::texts
