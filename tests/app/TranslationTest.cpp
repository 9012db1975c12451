#include "app/Translation.h"

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

}  // namespace
