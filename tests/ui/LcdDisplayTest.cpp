#include "tests/support/AppFixture.h"

#include "catalogue/CatalogueEditor.h"
#include "platform/Cp932.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"
#include "ui/controls/Fonts.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QMenu>
#include <QFontMetrics>
#include <QTest>

namespace {

const QColor kLime(0, 255, 0);
const QColor kGreen(0, 128, 0);
const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);

// 40 single-byte characters: long enough to scroll.
const std::string kLongTrackTitle = "The long and winding road to the station";
const std::string kLongDiscTitle = "Greatest hits of the eighties, volume two";

class LcdDisplay : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        installFontSubstitutions();
        ScrollDelay = 250;
    }

    // A 12-track disc with a catalogue file: disc title, then the track titles.
    void loadDisc(const std::string &discTitle, const std::vector<std::string> &trackTitles) {
        insert(twelveTrackDisc());
        startApp();
        std::vector<std::string> lines{discTitle};
        lines.insert(lines.end(), trackTitles.begin(), trackTitles.end());
        writeCatalogue(Form1->MediaPlayer1->Length(), lines);
        tick();
        ASSERT_EQ(TrackCount, 12);
        ASSERT_EQ(modalCount, 0);
    }

    std::vector<std::string> titlesWith(int track, const std::string &title) {
        std::vector<std::string> titles(12);
        for (int k = 1; k <= 12; ++k) titles[static_cast<size_t>(k - 1)] = "Track title " + std::to_string(k);
        titles[static_cast<size_t>(track - 1)] = title;
        return titles;
    }

    // What the title line shows from index `from` of the observed windows on.
    std::vector<std::string> shownSince(size_t from) {
        return {titleLine.begin() + static_cast<long>(from), titleLine.end()};
    }
};

std::string head28(const std::string &s) { return s.substr(0, 28); }

// --- layout ---

struct LabelCase {
    const char *name;
    TLabel *TLCD_DISPLAY::*label;
    QPoint at;
    QSize fixedSize;  // empty: sized to its text
    int pixels;
    QColor colour;
    bool underline;
    bool limeBackground;
    bool shown;
};

TEST_F(LcdDisplay, WindowAndLabelsAreCreatedAsLaidOut) {
    createApp();
    EXPECT_EQ(LCD_DISPLAY->windowTitle(), QStringLiteral("DISPLAY"));
    EXPECT_EQ(LCD_DISPLAY->size(), QSize(390, 52));
    EXPECT_TRUE(LCD_DISPLAY->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(LCD_DISPLAY->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(LCD_DISPLAY->pos(), QPoint(50, 50));
    EXPECT_EQ(LCD_DISPLAY->Panel1->geometry(), QRect(1, 1, 388, 49));
    EXPECT_EQ(LCD_DISPLAY->Panel1->BevelOuter(), bvNone);
    EXPECT_EQ(LCD_DISPLAY->Panel2->geometry(), QRect(4, 2, 379, 35));
    EXPECT_EQ(LCD_DISPLAY->Panel2->BevelOuter(), bvLowered);
    EXPECT_EQ(LCD_DISPLAY->Panel2->Color(), kLime);

    const LabelCase cases[] = {
        {"LB_TITLE", &TLCD_DISPLAY::LB_TITLE, {6, 1}, {}, 11, kGreen, true, false, false},
        {"LB_OVER", &TLCD_DISPLAY::LB_OVER, {50, 1}, {}, 11, kRed, false, true, false},
        {"LB_MODE", &TLCD_DISPLAY::LB_MODE, {138, 1}, {}, 11, kGreen, false, true, true},
        {"LB_TITLE2", &TLCD_DISPLAY::LB_TITLE2, {282, 1}, {}, 11, kGreen, true, true, false},
        {"LB_TITLE3", &TLCD_DISPLAY::LB_TITLE3, {328, 1}, {}, 11, kGreen, true, false, false},
        {"LB_NAME", &TLCD_DISPLAY::LB_NAME, {10, 15}, {251, 17}, 16, Qt::black, false, false, false},
        {"LB_TRACK", &TLCD_DISPLAY::LB_TRACK, {280, 15}, {30, 17}, 16, kNavy, false, false, true},
        {"LB_TIME", &TLCD_DISPLAY::LB_TIME, {316, 15}, {59, 17}, 16, kNavy, false, false, true},
    };
    for (const LabelCase &c : cases) {
        SCOPED_TRACE(c.name);
        TLabel *label = LCD_DISPLAY->*c.label;
        EXPECT_EQ(label->parentWidget(), LCD_DISPLAY->Panel2);
        EXPECT_EQ(label->pos(), c.at);
        if (!c.fixedSize.isEmpty()) {
            EXPECT_EQ(label->size(), c.fixedSize);
        }
        EXPECT_EQ(label->font().pixelSize(), c.pixels);
        EXPECT_TRUE(label->font().bold());
        EXPECT_EQ(label->font().underline(), c.underline);
        EXPECT_EQ(label->FontColor(), c.colour);
        if (c.limeBackground) {
            EXPECT_EQ(label->Color(), kLime);
        }
        EXPECT_EQ(!label->isHidden(), c.shown);
    }
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE->Caption(), "DISK");
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE2->Caption(), "TRACK");
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE3->Caption(), "TIME");
    EXPECT_EQ(LCD_DISPLAY->LB_OVER->Caption(), "over");
    EXPECT_EQ(LCD_DISPLAY->LB_OVER->Tag, 0);
}

TEST_F(LcdDisplay, SmallPanelsSitOnTheBottomEdgeWithTheirHints) {
    createApp();
    struct Case {
        TPanel *panel;
        int left, width;
        QString hint;
    } cases[] = {
        {LCD_DISPLAY->PA_TITLE, 6, 41, QStringLiteral("タイトル表示の変更")},
        {LCD_DISPLAY->PA_REMEIN, 50, 41, QStringLiteral("時間表示の変更")},
        {LCD_DISPLAY->Panel3, 295, 41, QStringLiteral("Track Selecter を表示")},
        {LCD_DISPLAY->PA_COM, 341, 42, QStringLiteral("Tunewick表示")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.hint.toStdString());
        EXPECT_EQ(c.panel->parentWidget(), LCD_DISPLAY->Panel1);
        EXPECT_EQ(c.panel->geometry(), QRect(c.left, 39, c.width, 8));
        EXPECT_TRUE(c.panel->Caption().isEmpty());
        EXPECT_EQ(c.panel->toolTip(), c.hint);
    }
}

// --- fonts and the drawn face ---

TEST_F(LcdDisplay, TitleLineUsesTheFixedPitchGothicAndATwentyEightByteTitleFits) {
    createApp();
    const QFont font = LCD_DISPLAY->LB_NAME->font();
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("IPAGothic"));
    EXPECT_EQ(QFontInfo(LCD_DISPLAY->LB_TITLE->font()).family(), QStringLiteral("IPAGothic"));
    EXPECT_EQ(QFontInfo(Form5->TR_NAME->font()).family(), QStringLiteral("IPAPGothic"));
    const QFontMetrics metrics(font);
    const char *titles[] = {
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ01",                    // 28 half-width
        "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌ",                    // 28 half-width katakana
        "日本語のタイトル十四文字です",                  // 14 full-width
        "Best of ベストアルバム 2024!",                    // mixed
    };
    for (const char *utf8 : titles) {
        SCOPED_TRACE(utf8);
        const std::string bytes = cp932::fromUtf8(utf8);
        ASSERT_EQ(bytes.size(), 28u);
        EXPECT_LE(metrics.horizontalAdvance(cp932::decode(bytes)), 251);
    }
}

// Pixels of `colour` in `image` inside `area`, and their bounding box.
QRect pixelsOf(const QImage &image, const QColor &colour, const QRect &area = {}) {
    QRect box;
    const QRect r = area.isNull() ? image.rect() : area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == colour) box |= QRect(x, y, 1, 1);
    return box;
}

TEST_F(LcdDisplay, FaceDrawsTitleOverTrackAndTimeInTheirPlaces) {
    createApp();
    TLCD_DISPLAY *lcd = LCD_DISPLAY;
    lcd->LB_NAME->setCaption(cp932::fromUtf8("日本語のタイトル十四文字です"));
    lcd->LB_NAME->show();
    lcd->LB_OVER->show();
    lcd->LB_TRACK->setCaption("-05");
    lcd->LB_TIME->setCaption("-03:12");
    const QImage face = lcd->renderFace();
    ASSERT_EQ(face.size(), QSize(379, 35));

    const QRect over = pixelsOf(face, kRed);
    ASSERT_FALSE(over.isNull());
    EXPECT_TRUE(QRect(50, 1, 29, 12).contains(over)) << over.x() << "," << over.y();

    // The title's glyphs lie on the title line, up to its last character, and none are cut off.
    const QRect title = pixelsOf(face, Qt::black, QRect(0, 13, 275, 22));
    ASSERT_FALSE(title.isNull());
    EXPECT_GE(title.left(), 10);
    EXPECT_GT(title.right(), 10 + 251 - 40);
    EXPECT_LT(title.right(), 10 + 251);

    // Track number and time are navy and right-aligned in their fields.
    const QRect track = pixelsOf(face, kNavy, QRect(270, 13, 44, 22));
    const QRect time = pixelsOf(face, kNavy, QRect(314, 13, 65, 22));
    ASSERT_FALSE(track.isNull());
    ASSERT_FALSE(time.isNull());
    EXPECT_GE(track.left(), 280);
    EXPECT_GE(track.right(), 280 + 30 - 9);
    EXPECT_LE(track.right(), 309);
    EXPECT_GE(time.left(), 316);
    EXPECT_GE(time.right(), 316 + 59 - 9);
    EXPECT_LE(time.right(), 374);
}

// --- title handlers ---

TEST_F(LcdDisplay, TitleButtonNeverScrollsALongTrackTitle) {
    loadDisc("Disc", titlesWith(1, kLongTrackTitle));
    Form1->PM_PlayClick(Form1->PM_Play);
    LCD_DISPLAY->LB_TITLE->setCaption("DISK");
    const size_t before = titleLine.size();
    LCD_DISPLAY->PA_TITLEClick(LCD_DISPLAY->PA_TITLE);
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE->Caption(), "TITLE");
    // The head, one window, and the head again: no run through the whole title.
    EXPECT_EQ(shownSince(before),
              (std::vector<std::string>{head28(kLongTrackTitle), head28(kLongTrackTitle), head28(kLongTrackTitle)}));
    EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), head28(kLongTrackTitle));
    EXPECT_FALSE(LCD_DISPLAY->LB_OVER->isHidden());
    EXPECT_EQ(LCD_DISPLAY->LB_OVER->Tag, 0);
    EXPECT_TRUE(errors.empty());
}

class LcdTitleButtonStopped : public LcdDisplay, public ::testing::WithParamInterface<const char *> {};

TEST_P(LcdTitleButtonStopped, EndsInDiscTitleModeWithoutScrolling) {
    loadDisc(kLongDiscTitle, titlesWith(3, "Third"));
    CurrentTrack = 3;
    LCD_DISPLAY->LB_TITLE->setCaption(GetParam());
    const size_t before = titleLine.size();
    LCD_DISPLAY->PA_TITLEClick(LCD_DISPLAY->PA_TITLE);
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE->Caption(), "DISK");
    EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), head28(kLongDiscTitle));
    EXPECT_FALSE(LCD_DISPLAY->LB_OVER->isHidden());
    EXPECT_EQ(shownSince(before).size(), 3u);
    EXPECT_TRUE(errors.empty());
}

INSTANTIATE_TEST_SUITE_P(FromEitherMode, LcdTitleButtonStopped, ::testing::Values("DISK", "TITLE"));

TEST_F(LcdDisplay, TitleClickInTrackModeWhileStoppedShowsTheCurrentTracksTitle) {
    loadDisc("Disc", titlesWith(3, "Third song"));
    ASSERT_NE(Form1->MediaPlayer1->Mode(), mpPlaying);
    CurrentTrack = 3;
    LCD_DISPLAY->LB_TITLE->setCaption("TITLE");
    LCD_DISPLAY->LB_NAMEClick(LCD_DISPLAY->LB_NAME);
    EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), "Third song");
    EXPECT_TRUE(LCD_DISPLAY->LB_OVER->isHidden());

    // A track without a title shows the dashes.
    CD_Database->SG1->setCell(1, 3, "");
    LCD_DISPLAY->LB_NAMEClick(LCD_DISPLAY->LB_NAME);
    EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), std::string(16, '-'));
}

TEST_F(LcdDisplay, ClickOnTheTitleLineDuringAScrollShowsOneWindowThenTheHead) {
    loadDisc("Disc", titlesWith(1, kLongTrackTitle));
    CurrentTrack = 1;
    LCD_DISPLAY->LB_TITLE->setCaption("TITLE");
    LCD_DISPLAY->LB_OVER->Tag = 0;
    size_t clickedAt = 0;
    int waitCount = 0;
    const size_t start = titleLine.size();
    setWaitHook([&](int ms) {
        waits.push_back(ms);
        runFor(ms);
        // In the third step of the scroll the user clicks the title line.
        if (++waitCount == 3) {
            clickedAt = titleLine.size();
            LCD_DISPLAY->LB_NAMEClick(LCD_DISPLAY->LB_NAME);
        }
    });
    LCD_DISPLAY->LB_NAMEClick(LCD_DISPLAY->LB_NAME);
    ASSERT_GT(clickedAt, 0u);
    EXPECT_EQ(std::vector<std::string>(titleLine.begin() + static_cast<long>(start),
                                       titleLine.begin() + static_cast<long>(clickedAt)),
              (std::vector<std::string>{head28(kLongTrackTitle), kLongTrackTitle.substr(0, 28),
                                        kLongTrackTitle.substr(1, 28), kLongTrackTitle.substr(2, 28)}));
    // The click's marquee: its head, one window, the head with "over"; the scroll stops there.
    EXPECT_EQ(shownSince(clickedAt),
              (std::vector<std::string>{head28(kLongTrackTitle), head28(kLongTrackTitle), head28(kLongTrackTitle)}));
    EXPECT_EQ(waitCount, 4);
    EXPECT_FALSE(LCD_DISPLAY->LB_OVER->isHidden());
    EXPECT_EQ(LCD_DISPLAY->LB_OVER->Tag, 0);

    // On the idle line a click scrolls the whole title once through: L + 2 windows.
    const size_t before = titleLine.size();
    LCD_DISPLAY->LB_NAMEClick(LCD_DISPLAY->LB_NAME);
    EXPECT_EQ(shownSince(before).size(), 1 + kLongTrackTitle.size() + 2 + 1);
}

// --- time, panel and selector buttons ---

TEST_F(LcdDisplay, TimeButtonAndTimeLabelCycleTheThreeTimeModes) {
    createApp();
    LCD_DISPLAY->show();
    const int first = TimeMode;
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        if (i == 1)
            QTest::mouseClick(LCD_DISPLAY->LB_TIME, Qt::LeftButton);
        else
            QTest::mouseClick(LCD_DISPLAY->PA_REMEIN, Qt::LeftButton);
        seen.push_back(TimeMode);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(TimeMode, first);
}

TEST_F(LcdDisplay, TimeAndTrackAreShownWhilePlaying) {
    insert(platform::SimulatedDisc::ofSeconds({192, 60, 60, 60, 60}));
    startApp();
    tick();
    Form1->PM_PlayClick(Form1->PM_Play);
    tick(5);
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE3->Caption(), "TIME");
    EXPECT_EQ(LCD_DISPLAY->LB_TIME->Caption(), " 00:01");
    LCD_DISPLAY->PA_REMEINClick(LCD_DISPLAY->PA_REMEIN);
    LCD_DISPLAY->PA_REMEINClick(LCD_DISPLAY->PA_REMEIN);
    tick();
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE3->Caption(), "REMAIN");
    EXPECT_EQ(LCD_DISPLAY->LB_TIME->Caption(), "-03:11");
    EXPECT_EQ(LCD_DISPLAY->LB_TRACK->Caption(), "-05");
}

TEST_F(LcdDisplay, PanelButtonBringsTheMainPanelBackAndHidesItsMenuItems) {
    startApp();
    Form1->show();
    Form1->PA_DISPClick(Form1->PA_DISP);
    Form1->PA_ICONClick(Form1->PA_ICON);
    ASSERT_TRUE(Form1->isHidden());
    ASSERT_TRUE(Form1->PM_RESIZE->isVisible());
    QTest::mouseClick(LCD_DISPLAY->PA_COM, Qt::LeftButton);
    EXPECT_FALSE(Form1->isHidden());
    EXPECT_TRUE(Form1->PM_DISP->isEnabled());
    EXPECT_FALSE(Form1->PM_RESIZE->isVisible());
    EXPECT_FALSE(Form1->PM_LINE->isVisible());
    EXPECT_TRUE(errors.empty());
}

struct SelectorButtonCase {
    const char *name;
    bool panelHidden;
    bool lineShownAfter;
};

class LcdSelectorButton : public LcdDisplay, public ::testing::WithParamInterface<SelectorButtonCase> {};

TEST_P(LcdSelectorButton, OpensTheSelectorWithTheMenuRules) {
    startApp();
    LCD_DISPLAY->show();
    if (GetParam().panelHidden) Form1->PA_ICONClick(Form1->PA_ICON);
    Form1->PM_LINE->setVisible(true);
    QTest::mouseClick(LCD_DISPLAY->Panel3, Qt::LeftButton);
    EXPECT_FALSE(Form5->isHidden());
    EXPECT_FALSE(Form1->PM_SEL->isVisible());
    EXPECT_EQ(Form1->PM_LINE->isVisible(), GetParam().lineShownAfter);
    EXPECT_TRUE(errors.empty());
}

INSTANTIATE_TEST_SUITE_P(PanelShownOrHidden, LcdSelectorButton,
                         ::testing::Values(SelectorButtonCase{"PanelOnScreen", false, false},
                                           SelectorButtonCase{"PanelHidden", true, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// --- the shared menu ---

// The menu opens on the release; the context-menu request that X11 sends on the press opens
// nothing, so that no control (the grid's scroll bar) shows a menu of its own.
TEST_F(LcdDisplay, RightReleaseAnywhereOnTheLcdOrTheSelectorOpensTheSharedMenu) {
    createApp();
    LCD_DISPLAY->show();
    Form5->show();
    QWidget *targets[] = {LCD_DISPLAY,   LCD_DISPLAY->LB_NAME, LCD_DISPLAY->PA_TITLE, LCD_DISPLAY->Panel1,
                          Form5->Panel2, Form5->BitBtn2,       Form5->TR_NAME,        Form5->GroupBox2};
    for (QWidget *target : targets) {
        SCOPED_TRACE(target->metaObject()->className());
        QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(2, 2), target->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(target, &request);
        EXPECT_FALSE(Form1->PM1->isVisible());
        QTest::mouseRelease(target, Qt::RightButton, {}, QPoint(2, 2));
        EXPECT_TRUE(Form1->PM1->isVisible());
        Form1->PM1->hide();
    }
}

// --- moving the window ---

TEST_F(LcdDisplay, LeftPressOnTheMarginMovesTheWindowButNotOnThePanel) {
    createApp();
    LCD_DISPLAY->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(LCD_DISPLAY));
    const QPoint start = LCD_DISPLAY->pos();
    // The two-pixel strip below Panel1 belongs to the window itself.
    QTest::mousePress(LCD_DISPLAY, Qt::LeftButton, {}, QPoint(100, 51));
    QTest::mouseMove(LCD_DISPLAY, QPoint(120, 61));
    QTest::mouseRelease(LCD_DISPLAY, Qt::LeftButton, {}, QPoint(120, 61));
    EXPECT_EQ(LCD_DISPLAY->pos(), start + QPoint(20, 10));

    // A press on Panel1's own face is the panel's, not a drag.
    const QPoint moved = LCD_DISPLAY->pos();
    QTest::mousePress(LCD_DISPLAY->Panel1, Qt::LeftButton, {}, QPoint(200, 40));
    QTest::mouseMove(LCD_DISPLAY->Panel1, QPoint(230, 45));
    QTest::mouseRelease(LCD_DISPLAY->Panel1, Qt::LeftButton, {}, QPoint(230, 45));
    EXPECT_EQ(LCD_DISPLAY->pos(), moved);
}

}  // namespace
