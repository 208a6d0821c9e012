#include "process/language.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QTranslator>

#include <memory>

namespace kestrava::process {

namespace {

std::optional<Language> languageNamed(const QString &name)
{
    if (name == u"es")
        return Language::Spanish;
    if (name == u"en")
        return Language::English;
    return std::nullopt;
}

} // namespace

QCommandLineOption languageOption()
{
    return {QStringLiteral("lang"),
            QStringLiteral("The windows' language: es (Spanish, the default) or en (English). "
                           "KESTRAVA_LANG does the same; this option wins."),
            QStringLiteral("es|en")};
}

std::optional<Language> chosenLanguage(const QString &flagValue, QString &error)
{
    if (!flagValue.isEmpty()) {
        const std::optional<Language> named = languageNamed(flagValue);
        if (!named)
            error = QStringLiteral("--lang takes es or en, not \"%1\"").arg(flagValue);
        return named;
    }
    const QString fromEnvironment = qEnvironmentVariable("KESTRAVA_LANG");
    if (fromEnvironment.isEmpty())
        return Language::Spanish;
    const std::optional<Language> named = languageNamed(fromEnvironment);
    if (!named)
        error = QStringLiteral("KESTRAVA_LANG takes es or en, not \"%1\"").arg(fromEnvironment);
    return named;
}

QString languageCode(Language language)
{
    return language == Language::English ? QStringLiteral("en") : QStringLiteral("es");
}

void speak(const QString &catalogue, Language language)
{
    static QHash<QString, std::shared_ptr<QTranslator>> installed;
    if (const std::shared_ptr<QTranslator> earlier = installed.take(catalogue))
        QCoreApplication::removeTranslator(earlier.get());
    const QString file = QStringLiteral(":/i18n/%1_%2.qm").arg(catalogue, languageCode(language));
    if (!QFile::exists(file))
        return; // the catalogue's source language: its strings are used as written
    auto translator = std::make_shared<QTranslator>();
    if (translator->load(file) && QCoreApplication::installTranslator(translator.get()))
        installed.insert(catalogue, translator);
}

} // namespace kestrava::process
