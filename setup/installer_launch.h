#pragma once

#include <QString>
#include <functional>

namespace qvx::setup {

/// The installation language the user chooses.
enum class Language { German = 0, English = 1 };

/// File name of the installer in each language folder.
inline constexpr char kInstallerName[] = "setup.exe";

/// Starts `program` in `workingDirectory`; true when the start succeeded.
using InstallerStarter =
    std::function<bool(const QString& program, const QString& workingDirectory)>;

/// The language preset by the dialog: German when the language marker of the active string
/// table reads "GER" (in any case), English otherwise.
[[nodiscard]] Language presetLanguage(const QString& languageMarker);

/// The folder of the installer: `languageFolder` inside `programDir`. Paths of any length are
/// kept whole.
[[nodiscard]] QString installerFolder(const QString& programDir, const QString& languageFolder);

/// Starts `program` without arguments, detached from this process, with `workingDirectory` as
/// its working directory. Shows nothing; false when the program is missing or cannot start.
[[nodiscard]] bool startInstallerDetached(const QString& program, const QString& workingDirectory);

/// What the launcher does when the dialog has closed with `dialogResult`: after OK it starts
/// setup.exe from the folder of `language` inside `programDir`, with that folder as working
/// directory, through `start`; after Cancel it starts nothing. True when an installer was
/// started.
[[nodiscard]] bool finishLauncher(int dialogResult, Language language, const QString& programDir,
                                  const InstallerStarter& start);

}  // namespace qvx::setup
