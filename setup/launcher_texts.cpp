#include "setup/launcher_texts.h"

#include <QCoreApplication>

namespace qvx::setup {

QString languageMarker() {
    return QCoreApplication::translate("LauncherTexts", "ENG");
}

QString germanFolderName() {
    return QCoreApplication::translate("LauncherTexts", "deutsch");
}

QString englishFolderName() {
    return QCoreApplication::translate("LauncherTexts", "english");
}

QLocale::Language userLanguage() {
    const QLocale system = QLocale::system();
    const QStringList languages = system.uiLanguages();
    return languages.isEmpty() ? system.language() : QLocale(languages.first()).language();
}

std::unique_ptr<QTranslator> installLauncherTranslation(QLocale::Language language) {
    auto translator = std::make_unique<QTranslator>();
    const QString table =
        language == QLocale::German ? QStringLiteral("qvxsetup_de") : QStringLiteral("qvxsetup_en");
    if (!translator->load(table, QStringLiteral(":/qvxsetup/i18n")) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return nullptr;
    }
    return translator;
}

}  // namespace qvx::setup
