#include "tests/support/AppFixture.h"

#include "platform/TitleEncoding.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "ui/DoubleByte.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/controls/Timer.h"

#include <QTimer>

#include <numeric>
#include <stdexcept>

namespace {

// Full-width "ア": lead 0x83, trail 0x41. "撃" 0x8C 0x82 has a trail byte in the lead range.
const std::string kA = "\x83\x41";
const std::string kGeki = "\x8C\x82";

std::string repeat(const std::string &s, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += s;
    return out;
}

// A text shows no half character: it does not begin with a trail byte (judged in its source) and
// does not end with a lead byte whose trail was cut off.
bool wholeCharacters(const std::string &window) {
    for (size_t at = 0; at < window.size();) {
        bool lead = (static_cast<unsigned char>(window[at]) >= 0x81 && static_cast<unsigned char>(window[at]) <= 0x9F) ||
                    static_cast<unsigned char>(window[at]) >= 0xE0;
        if (lead && at + 1 == window.size()) return false;
        at += lead ? 2 : 1;
    }
    return true;
}

class Marquee : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        startApp();
        ScrollDelay = 0;
    }
    // The windows of one scroll, without the head shown before and after it.
    std::vector<std::string> scroll(const std::string &title) {
        titleLine.clear();
        waits.clear();
        ShowScrollTitle(title);
        std::vector<std::string> windows = titleLine;
        if (!windows.empty()) windows.erase(windows.begin());
        if (title.size() >= 28 && !windows.empty()) windows.pop_back();
        return windows;
    }
    bool overShown() const { return !LCD_DISPLAY->LB_OVER->isHidden(); }
};

struct ScrollCase {
    const char *name;
    std::string title;
    size_t windows;
};

TEST_F(Marquee, ScrollsOnceThroughTitlesOf28BytesOrMore) {
    const ScrollCase cases[] = {
        {"28 single bytes", std::string(28, 'x'), 30},
        {"60 single bytes", std::string(60, 'y'), 62},
        {"14 double bytes", repeat(kA, 14), 16},
        {"14 double bytes with high trail bytes", repeat(kGeki, 14), 16},
    };
    for (const ScrollCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> windows = scroll(c.title);
        EXPECT_EQ(windows.size(), c.windows);
        EXPECT_EQ(waits.size(), c.windows);
        EXPECT_EQ(windows.back().substr(0, 3), ">> ");
        EXPECT_EQ(windows, marqueeWindows(c.title));
        EXPECT_TRUE(overShown());
        EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), titleHead(c.title));
        EXPECT_EQ(LCD_DISPLAY->LB_OVER->Tag, 0);
    }
}

TEST_F(Marquee, ShortAndEmptyTitlesAreShownWhole) {
    for (const std::string &title : {std::string(27, 'z'), repeat(kA, 13) + "z", std::string()}) {
        LCD_DISPLAY->LB_OVER->show();
        EXPECT_TRUE(scroll(title).empty());
        EXPECT_TRUE(waits.empty());
        EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), title);
        EXPECT_FALSE(overShown());
    }
}

// Single and double bytes mixed at every offset: no window, first or last, shows half a character.
TEST_F(Marquee, MixedTextNeverShowsHalfACharacter) {
    for (int singles = 0; singles < 4; ++singles) {
        for (const std::string &dbcs : {kA, kGeki}) {
            std::string title = std::string(static_cast<size_t>(singles), 'm');
            while (title.size() < 40) title += dbcs + (title.size() % 3 ? "" : "q");
            SCOPED_TRACE(title.size());
            std::vector<std::string> windows = scroll(title);
            ASSERT_FALSE(windows.empty());
            EXPECT_EQ(windows, marqueeWindows(title));
            std::string t = title + " >> " + title;
            size_t from = 0;
            for (const std::string &w : windows) {
                from = t.find(w, from);
                ASSERT_NE(from, std::string::npos);
                EXPECT_FALSE(IsTrailByte(t, static_cast<int>(from) + 1)) << "begins with a trail byte";
                EXPECT_TRUE(wholeCharacters(w)) << w;
                ++from;
                EXPECT_GE(w.size(), 27u);
            }
            EXPECT_TRUE(wholeCharacters(titleHead(title)));
        }
    }
}

TEST_F(Marquee, TitleContainingTheStopMarkStopsEarly) {
    std::string title = "abcde>>" + std::string(30, 'f');
    std::vector<std::string> windows = scroll(title);
    EXPECT_EQ(windows.size(), 6u);
    EXPECT_EQ(windows.back().substr(0, 2), ">>");
    EXPECT_TRUE(overShown());
}

// A newer title takes the line over: the interrupted marquee stops without touching the display.
TEST_F(Marquee, ACallDuringARunningMarqueeTakesOver) {
    const std::string older(40, 'o');
    const std::string newer(35, 'n');
    int waitCount = 0;
    setWaitHook([&](int) {
        if (++waitCount == 3) ShowScrollTitle(newer);
    });
    titleLine.clear();
    ShowScrollTitle(older);
    // older: head, windows 1..3; newer: head, its first window, then its head again with "over".
    ASSERT_EQ(titleLine.size(), 7u);
    EXPECT_EQ(titleLine[4], titleHead(newer));
    EXPECT_EQ(titleLine[5], newer.substr(0, 28));
    EXPECT_EQ(titleLine[6], titleHead(newer));
    EXPECT_EQ(waitCount, 4);
    EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), titleHead(newer));
    EXPECT_TRUE(overShown());
    EXPECT_EQ(LCD_DISPLAY->LB_OVER->Tag, 0);
}

// On the wall clock with the poll at the scroll's pace, each step waits for the poll's clock, so
// that both run in one wake-up: exactly one run of the clock between two steps. The poll switched
// off during a wait does not stall the scroll, which shows all its windows.
TEST_F(Marquee, StepsFollowThePollsClockAndOutliveItsStop) {
    const std::string title(40, 'c');
    setWaitHook({});
    TTimer::holdAllTimers(false);
    ScrollDelay = 10;
    TTimer *poll = Form1->Timer1;
    poll->setInterval(10);
    poll->setEnabled(false);
    poll->setEnabled(true);
    int clockRuns = 0;
    QObject::connect(poll, &TTimer::clockRanOut, poll, [&] { ++clockRuns; });
    std::vector<int> runsBetweenSteps;
    titleLine.clear();
    setTitleLineObserver([&](const std::string &text) {
        titleLine.push_back(text);
        if (poll->Ticking()) runsBetweenSteps.push_back(std::exchange(clockRuns, 0));
        if (titleLine.size() == 20) QTimer::singleShot(2, poll, [poll] { poll->setEnabled(false); });
    });
    ShowScrollTitle(title);

    ASSERT_GE(runsBetweenSteps.size(), 10u);
    // The head and the first window come before the first wait.
    for (size_t step = 2; step < runsBetweenSteps.size(); ++step)
        EXPECT_EQ(runsBetweenSteps[step], 1) << step;
    std::vector<std::string> windows(titleLine.begin() + 1, titleLine.end() - 1);
    EXPECT_EQ(windows, marqueeWindows(title));
    EXPECT_TRUE(overShown());
}

TEST_F(Marquee, PowerFlagZeroEndsTheScrollWithTheHead) {
    setWaitHook([](int) { Form1->PA_POWER->Tag = 0; });
    titleLine.clear();
    ShowScrollTitle(std::string(40, 'p'));
    EXPECT_EQ(titleLine.size(), 3u);  // head, one window, head
    EXPECT_TRUE(overShown());
    Form1->PA_POWER->Tag = 1;
}

TEST(DoubleByte, IsTrailByteChecksItsIndex) {
    const std::string s = "a" + kGeki + kGeki + "b";
    for (int bad : {0, -1, static_cast<int>(s.size()) + 1}) {
        try {
            IsTrailByte(s, bad);
            ADD_FAILURE() << "index " << bad;
        } catch (const std::out_of_range &e) {
            EXPECT_STREQ(e.what(), "Illegal Index");
        }
    }
    const bool expected[] = {false, false, true, false, true, false};
    for (int i = 1; i <= static_cast<int>(s.size()); ++i) EXPECT_EQ(IsTrailByte(s, i), expected[i - 1]) << i;
    EXPECT_FALSE(IsTrailByte(kGeki, 1));
}

// A title in UTF-8 moves one character per step, whatever its bytes: "é" (two bytes) is one narrow
// step, a Hangul syllable (three bytes) one wide step, as a double-byte character is; no window
// is wider than the line's 28 columns, and the scroll ends when the separator reaches the edge.
TEST_F(Marquee, ATitleInUtf8ScrollsByCharacters) {
    const struct {
        const char *name;
        QString title;
    } cases[] = {
        {"Latin with accents", QStringLiteral("Beyoncé, Motörhead, Sigur Rós, Café")},
        {"Hangul", QStringLiteral("가나다라마바사아자차카타파하거너더러머버")},
        {"a byte that forms no character", QStringLiteral("Beyoncé ") + QChar(0xDC80) + QStringLiteral(" Motörhead, Sigur Rós")},
    };
    auto columns = [](const QString &text) {
        return std::accumulate(text.begin(), text.end(), 0, [](int sum, QChar c) {
            return sum + (c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3 ? 2 : 1);
        });
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string title = titles::encode(c.title);
        ASSERT_TRUE(titles::isUtf8(title));
        const std::vector<std::string> windows = scroll(title);
        ASSERT_EQ(windows.size(), static_cast<size_t>(c.title.size() + 2));
        const QString both = c.title + QStringLiteral(" >> ") + c.title;
        for (size_t k = 0; k < windows.size(); ++k) {
            const QString shown = titles::decode(windows[k]);
            EXPECT_TRUE(both.mid(static_cast<qsizetype>(k)).startsWith(shown)) << k;
            EXPECT_GE(columns(shown), 27) << k;
            EXPECT_LE(columns(shown), 28) << k;
        }
        EXPECT_TRUE(titles::decode(windows.back()).startsWith(QStringLiteral(">> ")));
        EXPECT_EQ(windows, marqueeWindows(title));
        EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), titleHead(title));
        EXPECT_TRUE(overShown());
    }
    const std::string shortTitle = titles::encode(QStringLiteral("Café"));
    EXPECT_TRUE(scroll(shortTitle).empty());
    EXPECT_EQ(LCD_DISPLAY->LB_NAME->Text(), QStringLiteral("Café"));
    EXPECT_FALSE(overShown());
}

TEST(DoubleByte, CopyCharsCountsADoubleByteCharacterAsOne) {
    const std::string s = "a" + kA + "bc" + kGeki;
    EXPECT_EQ(CopyChars(s, 1, 2), "a" + kA);
    EXPECT_EQ(CopyChars(s, 2, 1), kA);
    EXPECT_EQ(CopyChars(s, 4, 5), "c" + kGeki);
    EXPECT_EQ(CopyChars(s, 9, 2), "");
    EXPECT_EQ(titleHead(repeat("x", 27) + kA + "y"), repeat("x", 27));
    EXPECT_EQ(titleHead(repeat("x", 28) + kA), repeat("x", 28));
}

}  // namespace
