#pragma once

#include <QCommandLineOption>
#include <QString>

#include <optional>

namespace kestrava::language {

// The language of what a person reads in the windows. The panel's captions are
// Spanish by design, so Spanish is the default whatever the system's locale; the
// locale still decides how numbers are written. The command line, the server and
// the Python package stay English: scripts read them.
enum class Language { Spanish, English };

// --lang es|en, for the panel and for the robot view.
QCommandLineOption languageOption();

// The flag's value when given, else KESTRAVA_LANG's, else Spanish. An unknown name
// gives nothing and a message in `error`.
std::optional<Language> chosenLanguage(const QString &flagValue, QString &error);

// "es" or "en", as --lang takes it.
QString languageCode(Language language);

// Makes `catalogue` ("panel" or "view") speak `language`: installs its translation
// from the program's own resources, or none where the language is the one its
// source is written in, and Qt's own catalogue from Qt's translations folder.
// Replaces what an earlier call installed for the catalogue.
void speak(const QString &catalogue, Language language);

} // namespace kestrava::language
