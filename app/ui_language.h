#pragma once

#include <QStringList>
#include <optional>
#include <string_view>

namespace qvx::app {

/// The languages the desktop program speaks. Its texts are written in German.
enum class UiLanguage { German, English };

/// The language of a `--lang` value: "de" or "en" in any letter case; nullopt for any other.
[[nodiscard]] std::optional<UiLanguage> languageFromCode(std::string_view code);

/// The first of the user's interface languages, most preferred first as QLocale::uiLanguages
/// lists them ("de-DE", "en_GB", ...), that the program speaks; German when it speaks none.
[[nodiscard]] UiLanguage languageFromUiLanguages(const QStringList& uiLanguages);

/// Shows the program's texts and Qt's own (standard buttons, file dialogs) in `language`, in
/// the Qt-free layers too. Call once, after the QApplication is made and before any window or
/// thread. False when a translation is missing: the texts it holds stay German.
bool installLanguage(UiLanguage language);

}  // namespace qvx::app
