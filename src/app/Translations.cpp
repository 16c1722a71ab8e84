#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace tavolin {
namespace {

// The translators installed last; replaced on every call.
std::unique_ptr<QTranslator>& QtTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

std::unique_ptr<QTranslator>& OwnTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

}  // namespace

UiLanguage LanguageForLocaleName(const QString& name) {
    const QString language = name.section(QLatin1Char('.'), 0, 0)
                                 .section(QLatin1Char('@'), 0, 0)
                                 .section(QLatin1Char('_'), 0, 0)
                                 .toLower();
    if (language.isEmpty() || language == QLatin1String("c") ||
        language == QLatin1String("posix") || language == QLatin1String("de")) {
        return UiLanguage::German;
    }
    return UiLanguage::English;
}

UiLanguage LanguageFromEnvironment(const EnvironmentLookup& env) {
    auto variable = [&env](const char* name) {
        const auto value = env ? env(name) : std::nullopt;
        return value ? QString::fromLocal8Bit(QByteArray::fromStdString(*value)) : QString();
    };
    // LANGUAGE only counts with a real locale set, as gettext does.
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = variable(name);
        if (!locale.isEmpty()) break;
    }
    if (LanguageForLocaleName(locale) == UiLanguage::German &&
        locale.section(QLatin1Char('_'), 0, 0).toLower() != QLatin1String("de")) {
        return UiLanguage::German;  // C, POSIX or nothing: the program's own language
    }
    const QString first = variable("LANGUAGE").section(QLatin1Char(':'), 0, 0);
    return LanguageForLocaleName(first.isEmpty() ? locale : first);
}

bool InstallTranslations(QCoreApplication& app, UiLanguage language) {
    for (auto* slot : {&QtTranslator(), &OwnTranslator()}) {
        if (*slot) app.removeTranslator(slot->get());
        slot->reset();
    }
    bool ok = true;
    if (language == UiLanguage::German) {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(QStringLiteral("qtbase_de"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            app.installTranslator(qt.get());
            QtTranslator() = std::move(qt);
        } else {
            ok = false;
        }
    } else {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        auto own = std::make_unique<QTranslator>();
        if (own->load(QStringLiteral(":/i18n/tavolin_en.qm"))) {
            app.installTranslator(own.get());
            OwnTranslator() = std::move(own);
        } else {
            ok = false;
        }
    }
    return ok;
}

}  // namespace tavolin
