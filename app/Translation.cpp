#include "app/Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// "ja_JP.UTF-8" -> "ja"; "C.UTF-8" -> "C".
QString languageOf(const QString &locale) {
    return locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0).section(QLatin1Char('_'), 0, 0);
}

bool isPlainLocale(const QString &locale) {
    const QString language = languageOf(locale);
    return language.isEmpty() || language == QLatin1String("C") || language == QLatin1String("POSIX");
}

// The translation next to the program in the build tree, or under the installed share folder.
// Before the application object exists (--help) the program's own path is read from /proc.
QString translationFolder() {
    const QDir programDir(QCoreApplication::instance()
                              ? QCoreApplication::applicationDirPath()
                              : QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath());
    const QString installed = programDir.filePath(QStringLiteral("../share/cd-tunewick32/translations"));
    if (QDir(installed).exists()) return installed;
    return programDir.filePath(QStringLiteral("translations"));
}

}  // namespace

InterfaceLanguage interfaceLanguageFor(const QString &language, const QString &lcAll, const QString &lcMessages,
                                       const QString &lang) {
    const QString messages = !lcAll.isEmpty() ? lcAll : !lcMessages.isEmpty() ? lcMessages : lang;
    if (isPlainLocale(messages)) return InterfaceLanguage::Japanese;
    // LANGUAGE lists the preferred languages in order. As gettext does, entries the program has no
    // translation for are passed over: the first Japanese or English entry decides. A list of other
    // languages only still asks for a language that is not Japanese, which English stands in for.
    const QStringList preferred = language.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &entry : preferred) {
        if (languageOf(entry) == QLatin1String("ja")) return InterfaceLanguage::Japanese;
        if (languageOf(entry) == QLatin1String("en")) return InterfaceLanguage::English;
    }
    const QString chosen = preferred.isEmpty() ? languageOf(messages) : languageOf(preferred.first());
    return chosen == QLatin1String("ja") ? InterfaceLanguage::Japanese : InterfaceLanguage::English;
}

InterfaceLanguage interfaceLanguage() {
    return interfaceLanguageFor(qEnvironmentVariable("LANGUAGE"), qEnvironmentVariable("LC_ALL"),
                                qEnvironmentVariable("LC_MESSAGES"), qEnvironmentVariable("LANG"));
}

bool loadInterfaceTranslation(QTranslator &translator) {
    if (interfaceLanguage() == InterfaceLanguage::Japanese) return false;
    return translator.load(QStringLiteral("cd-tunewick32_en"), translationFolder());
}

bool loadQtTranslation(QTranslator &translator) {
    // Qt's own texts are English: only a Japanese interface needs their translation.
    if (interfaceLanguage() == InterfaceLanguage::English) return false;
    return translator.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

void installInterfaceTranslation() {
    for (bool (*load)(QTranslator &) : {&loadInterfaceTranslation, &loadQtTranslation}) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (load(*translator))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}
