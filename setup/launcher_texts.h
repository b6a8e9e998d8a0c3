#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>
#include <memory>

namespace qvx::setup {

/// Text 1 of the active string table: "GER" in the German table, "ENG" in the English one.
[[nodiscard]] QString languageMarker();
/// Text 2: the folder of the German installer, "deutsch".
[[nodiscard]] QString germanFolderName();
/// Text 3: the folder of the English installer, "english".
[[nodiscard]] QString englishFolderName();

/// The language the user reads: that of the first user-interface language of the system
/// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG on Linux).
[[nodiscard]] QLocale::Language userLanguage();

/// Loads and installs the German string table for German and the English one for every other
/// language. The table stays active while the returned translator lives; null if the embedded
/// table could not be loaded, in which case the English source texts apply.
[[nodiscard]] std::unique_ptr<QTranslator> installLauncherTranslation(QLocale::Language language);

}  // namespace qvx::setup
