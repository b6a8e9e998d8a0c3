#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/ui_language.h"

namespace qvx::app {

/// The desktop program's command line. `--help`, `--version`, `--lang de|en` and `--log FILE`
/// are its own; everything else is compared, as a whole, with the supervisor access code.
struct CommandLine {
    bool help = false;
    bool version = false;
    std::string logFile;            ///< where the diagnostic log is written too; empty: nowhere
    std::optional<UiLanguage> language;  ///< nullopt: the user's interface language
    std::vector<std::string> rest;  ///< the arguments left for the supervisor check
    std::string error;              ///< set when the line cannot be used
};

/// Reads the arguments (without the program name).
[[nodiscard]] CommandLine parseCommandLine(const std::vector<std::string>& arguments);

/// What `--help` prints.
[[nodiscard]] std::string usageText();
/// What `--version` prints.
[[nodiscard]] std::string versionText();

}  // namespace qvx::app
