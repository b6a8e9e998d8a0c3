#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// The texts a user reads are written in German in the code. The desktop program shows them in
// the user's language by installing a translator; every other program shows them as written.

// lupdate collects the texts marked with this macro by its name; Qt defines it the same way.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace qvx::platform {

/// The translation context of every text of the system.
inline constexpr const char* kTextContext = "qvx";

/// Turns a German text into the user's language; must be safe to call from any thread.
using TextTranslator = std::string (*)(const char* german);

/// Installs `translator` (nullptr: none). Called once at start-up, before threads run.
void setTextTranslator(TextTranslator translator);

/// `german` in the user's language: through the installed translator, or unchanged.
[[nodiscard]] std::string userText(const char* german);

/// `german` in the user's language with %1, %2, ... replaced by `arguments` in that order, so a
/// translation may put them where its language wants them.
[[nodiscard]] std::string userText(const char* german,
                                   std::initializer_list<std::string_view> arguments);

}  // namespace qvx::platform
