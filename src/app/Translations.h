#pragma once
// The language of the user interface. The program's texts are written in German; an English
// translation ships inside the program. The locale decides: German for German locales and for
// the C/POSIX locale (no LANG at all), English for every other language. With German, Qt's own
// German texts are loaded as well, so the file and colour dialogs speak German too.

#include <QLocale>
#include <QString>

#include "platform/linux/Environment.h"

class QCoreApplication;

namespace tavolin {

enum class UiLanguage { German, English };

/// The language for a locale name as LC_ALL, LC_MESSAGES or LANG give it ("de_AT.UTF-8",
/// "en_GB", "C", "POSIX", empty).
UiLanguage LanguageForLocaleName(const QString& name);

/// The language the environment (the process's, read once) asks for: the first of LANGUAGE
/// (its first entry), LC_ALL, LC_MESSAGES, LANG that is set and not empty.
UiLanguage LanguageFromEnvironment(const EnvironmentLookup& env);

/// Installs the translators for language into the application and makes its locale the
/// default (dates, month names); replaces any installed earlier. False when a translation
/// that should be there could not be loaded (the texts then stay German).
bool InstallTranslations(QCoreApplication& app, UiLanguage language);

}  // namespace tavolin
