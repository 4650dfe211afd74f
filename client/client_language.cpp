#include "client/client_language.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

namespace {

// Built from translations/kivolcli_en.ts into the program's resources.
const QString EnglishTranslation = QStringLiteral(":/i18n/kivolcli_en.qm");

// The English translation, loaded once and owned by the application object.
QTranslator* English()
{
    static QPointer<QTranslator> translator;
    if (!translator) {
        auto* loaded = new QTranslator(QCoreApplication::instance());
        if (!loaded->load(EnglishTranslation)) {
            delete loaded;
            return nullptr;
        }
        translator = loaded;
    }
    return translator;
}

}  // namespace

std::optional<TClientLanguage> ReadClientLanguage(const QString& text)
{
    if (text == QStringLiteral("ja"))
        return TClientLanguage::Japanese;
    if (text == QStringLiteral("en"))
        return TClientLanguage::English;
    return std::nullopt;
}

TClientLanguage EnvironmentLanguage()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray locale = qgetenv(variable);
        if (locale.isEmpty())
            continue;
        // "en", "en_US.UTF-8", "en_GB@euro": the language part is "en".
        const bool english = locale == "en" || locale.startsWith("en_") || locale.startsWith("en.") ||
                             locale.startsWith("en@");
        return english ? TClientLanguage::English : TClientLanguage::Japanese;
    }
    return TClientLanguage::Japanese;
}

bool UseClientLanguage(TClientLanguage language)
{
    QTranslator* english = English();
    if (language == TClientLanguage::Japanese) {
        if (english)
            QCoreApplication::removeTranslator(english);
        return true;
    }
    return english && QCoreApplication::installTranslator(english);
}
