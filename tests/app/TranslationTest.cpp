#include "app/Translation.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

// Japanese wherever the design ran (a Japanese desktop, or no locale at all); English for any
// other language. LC_ALL outranks LC_MESSAGES, which outranks LANG; LANGUAGE's first entry with a
// translation outranks them all, except under a C locale, which gettext also keeps untranslated.
TEST(InterfaceLanguage, FollowsTheMessagesLocale) {
    using L = InterfaceLanguage;
    const struct {
        const char *language, *lcAll, *lcMessages, *lang;
        InterfaceLanguage expected;
    } cases[] = {
        {"", "", "", "", L::Japanese},
        {"", "", "", "C", L::Japanese},
        {"", "", "", "C.UTF-8", L::Japanese},
        {"", "", "", "POSIX", L::Japanese},
        {"en", "", "", "C.UTF-8", L::Japanese},
        {"", "", "", "ja_JP.UTF-8", L::Japanese},
        {"", "", "", "ja_JP.eucJP", L::Japanese},
        {"", "", "", "en_US.UTF-8", L::English},
        {"", "", "", "de_DE@euro", L::English},
        {"", "", "", "ko_KR.UTF-8", L::English},
        {"", "ja_JP.UTF-8", "", "en_US.UTF-8", L::Japanese},
        {"", "", "en_GB.UTF-8", "ja_JP.UTF-8", L::English},
        {"", "C", "", "en_US.UTF-8", L::Japanese},
        {"ja:en", "", "", "en_US.UTF-8", L::Japanese},
        {"fr:ja", "", "", "ja_JP.UTF-8", L::Japanese},
        {"fr_FR:de:en_GB", "", "", "ja_JP.UTF-8", L::English},
        {"fr", "", "", "ja_JP.UTF-8", L::English},
        {"::", "", "", "ja_JP.UTF-8", L::Japanese},
    };
    for (const auto &c : cases)
        EXPECT_EQ(interfaceLanguageFor(QString::fromLatin1(c.language), QString::fromLatin1(c.lcAll),
                                       QString::fromLatin1(c.lcMessages), QString::fromLatin1(c.lang)),
                  c.expected)
            << c.language << " / " << c.lcAll << " / " << c.lcMessages << " / " << c.lang;
}

// The file dialog speaks the interface's language throughout: under a Japanese locale Qt's own
// texts ("Look in:", "Open", "Cancel") come in Japanese with the program's; an English interface
// loads no translation of Qt's, whose texts are English already.
TEST(InterfaceLanguage, TheFileDialogSpeaksTheInterfacesLanguage) {
    const QByteArray lang = qgetenv("LANG"), language = qgetenv("LANGUAGE"), all = qgetenv("LC_ALL");
    qunsetenv("LANGUAGE");
    qunsetenv("LC_ALL");
    qputenv("LANG", "en_US.UTF-8");
    QTranslator english;
    EXPECT_FALSE(loadQtTranslation(english));

    qputenv("LANG", "ja_JP.UTF-8");
    installInterfaceTranslation();
    QFileDialog dialog(nullptr, QStringLiteral("ディスクイメージを開く"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList texts;
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        texts << label->text();
    for (const QPushButton *button : dialog.findChild<QDialogButtonBox *>()->findChildren<QPushButton *>())
        texts << button->text();
    for (QTranslator *translator : QCoreApplication::instance()->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    for (const char *english : {"Look in:", "File &name:", "&Open", "Open", "Cancel"})
        EXPECT_FALSE(texts.contains(QString::fromLatin1(english)))
            << english << " among " << texts.join(" | ").toStdString();
    qputenv("LANG", lang);
    qputenv("LANGUAGE", language);
    qputenv("LC_ALL", all);
}

} // namespace
