#include "language/language.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace kestrava::language {

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

namespace {

// Replaces what was installed under `key` with the catalogue in `file`, or with none when
// there is no such file (a catalogue's source language: its strings are used as written).
void install(const QString &key, const QString &file)
{
    static QHash<QString, std::shared_ptr<QTranslator>> installed;
    if (const std::shared_ptr<QTranslator> earlier = installed.take(key))
        QCoreApplication::removeTranslator(earlier.get());
    if (!QFile::exists(file))
        return;
    auto translator = std::make_shared<QTranslator>();
    if (translator->load(file) && QCoreApplication::installTranslator(translator.get()))
        installed.insert(key, translator);
}

} // namespace

void speak(const QString &catalogue, Language language)
{
    install(catalogue, QStringLiteral(":/i18n/%1_%2.qm").arg(catalogue, languageCode(language)));
    // Qt's own texts (a message box's buttons, a text field's menu) from the catalogue Qt ships
    // (Debian's qt6-translations-l10n); without it they stay English.
    install(QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                                          + QStringLiteral("/qtbase_%1.qm").arg(languageCode(language)));
}

} // namespace kestrava::language
