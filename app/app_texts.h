#pragma once

// The German texts of the application frame.

namespace qvx::app::texts {

inline constexpr const char* kHelpMissing =
    "Die Hilfedatei %1 konnte nicht geöffnet werden.\nBitte prüfen Sie, ob sie im Arbeitsverzeichnis liegt.";
/// The supervisor access code: the whole command line in any letter case.
inline constexpr const char* kSupervisorCode = "TORVELMANDIGRASP";

}  // namespace qvx::app::texts
