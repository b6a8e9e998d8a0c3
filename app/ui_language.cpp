#include "app/ui_language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include "platform/user_text.h"
#include "resources/ui_text.h"

namespace qvx::app {

namespace {

/// Where an installed program finds its translations, beside the one built into it.
QString installedTranslations() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("../share/qvx/translations"));
}

bool install(const QString& name, const QStringList& folders) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    for (const QString& folder : folders) {
        if (translator->load(name, folder)) {
            return QCoreApplication::installTranslator(translator);
        }
    }
    delete translator;
    return false;
}

std::string translate(const char* german) {
    return uiText(german).toStdString();
}

}  // namespace

std::optional<UiLanguage> languageFromCode(std::string_view code) {
    const QString lower =
        QString::fromUtf8(code.data(), static_cast<qsizetype>(code.size())).toLower();
    if (lower == QLatin1String("de")) {
        return UiLanguage::German;
    }
    if (lower == QLatin1String("en")) {
        return UiLanguage::English;
    }
    return std::nullopt;
}

UiLanguage languageFromUiLanguages(const QStringList& uiLanguages) {
    for (const QString& name : uiLanguages) {
        const QString code = name.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0);
        if (const auto language = languageFromCode(code.toStdString())) {
            return *language;
        }
    }
    return UiLanguage::German;
}

bool installLanguage(UiLanguage language) {
    const QString qtTranslations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool complete = true;
    if (language == UiLanguage::German) {
        complete = install(QStringLiteral("qtbase_de"), {qtTranslations});
    } else {
        // Qt's own texts are English already; the program's come from its translation.
        complete = install(QStringLiteral("qvx_controller_en"),
                           {installedTranslations(), QStringLiteral(":/qvx/i18n")});
    }
    platform::setTextTranslator(&translate);
    return complete;
}

}  // namespace qvx::app
