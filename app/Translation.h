#pragma once

#include <QString>

class QTranslator;

// The interface language. The program's own texts are Japanese; an English translation is loaded
// for a desktop that speaks any other language.
enum class InterfaceLanguage { Japanese, English };

// The language for a locale given as its environment variables (LANGUAGE, LC_ALL, LC_MESSAGES,
// LANG). Japanese when the messages locale is unset, C or POSIX (as gettext, which then also
// ignores LANGUAGE), or names Japanese; English for every other language. LANGUAGE's first
// Japanese or English entry outranks the locale; other languages in it are passed over.
InterfaceLanguage interfaceLanguageFor(const QString &language, const QString &lcAll, const QString &lcMessages,
                                       const QString &lang);
// The same for this process's environment.
InterfaceLanguage interfaceLanguage();

// Loads the translation for this process's language into `translator`: false for Japanese (no
// translation) and when the translation file cannot be found. Needs no application object.
bool loadInterfaceTranslation(QTranslator &translator);

// Loads Qt's own translation for this process's language (the file dialog's and the standard
// buttons' texts), from Qt's translations folder: false for English, whose texts Qt has already,
// and when the file is missing (the package qt6-translations-l10n).
bool loadQtTranslation(QTranslator &translator);

// Installs both translations into the application, before any window is made.
void installInterfaceTranslation();
