#include "tests/player/EngineFixture.h"

#include "player/PlayerState.h"
#include "player/Shuffle.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"

#include <algorithm>
#include <numeric>

namespace {

using Modes = EngineFixture;

std::vector<int> order(int n) { return std::vector<int>(PlayOrder + 1, PlayOrder + 1 + n); }

bool isPermutation(std::vector<int> entries) {
    std::sort(entries.begin(), entries.end());
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i] != static_cast<int>(i) + 1) return false;
    return true;
}

void expectSwitchLook(TPanel *panel, TMenuItem *item, bool on, const QString &hint) {
    EXPECT_EQ(panel->BevelInner(), on ? bvLowered : bvNone);
    EXPECT_EQ(panel->FontColor(), on ? QColor(0, 128, 0) : QColor(255, 255, 255));
    EXPECT_EQ(panel->Hint(), hint);
    EXPECT_EQ(item->Checked(), on);
}

TEST_F(Modes, ShuffleWhilePlayingKeepsTheTrackPlayingAsTheFirstEntry) {
    load(twelveTrackDisc());
    pressGridTrack(5);
    tick(2);
    drive.clearLog();
    Form1->PA_ShffClick(Form1->PA_Shff);
    EXPECT_EQ(PlayOrder[1], 5);
    EXPECT_TRUE(isPermutation(order(12)));
    EXPECT_EQ(PlayOrderPos, 1);
    EXPECT_EQ(ShownTrack, -1);
    EXPECT_TRUE(drive.log().empty()) << "track 5 plays on";
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPause, btStop, btEject}));
    EXPECT_EQ(LCD_DISPLAY->LB_MODE->Caption(), "SHFFLE");
    expectSwitchLook(Form1->PA_Shff, Form1->PM_SHFF, true, QStringLiteral("ｼｬｯﾌﾙ解除"));
    tick();
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPause, btStop, btEject}));
}

TEST_F(Modes, ShuffleWhileStoppedPlaysTheFirstEntry) {
    load(twelveTrackDisc());
    Form1->PA_ShffClick(Form1->PA_Shff);
    EXPECT_TRUE(isPermutation(order(12)));
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_EQ(Form1->MediaPlayer1->Position(), tmsf::pack(PlayOrder[1], 0, 0, 0));
    EXPECT_EQ(Form1->MediaPlayer1->Tag, 1);
}

TEST_F(Modes, OneTrackDiscWhilePlayingHasTheCurrentTrackAsItsOrder) {
    PlayOrder[2] = 7;  // left over from a longer disc
    load(platform::SimulatedDisc::ofSeconds({30}));
    Form1->PM_PlayClick(Form1->PM_Play);
    tick();
    Form1->PA_ShffClick(Form1->PA_Shff);
    EXPECT_EQ(PlayOrder[1], 1);
    EXPECT_EQ(PlayOrder[2], 7) << "entries above the track count are not drawn";
}

TEST_F(Modes, RepeatAndShuffleReplaceEachOther) {
    load(twelveTrackDisc());
    pressGridTrack(4);
    Form1->PA_ShffClick(Form1->PA_Shff);
    Form1->PA_RepeatClick(Form1->PA_Repeat);
    EXPECT_TRUE(RepeatOn);
    EXPECT_FALSE(ShuffleOn);
    EXPECT_EQ(RepeatTrack, 4);
    EXPECT_EQ(LCD_DISPLAY->LB_MODE->Caption(), "REPEAT");
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPause, btStop, btNext, btPrev, btEject}));
    expectSwitchLook(Form1->PA_Shff, Form1->PM_SHFF, false, QStringLiteral("ｼｬｯﾌﾙﾌﾟﾚｲ"));
    expectSwitchLook(Form1->PA_Repeat, Form1->PM_REPEAT, true, QStringLiteral("ﾘﾋﾟｰﾄ解除"));

    Form1->PA_ShffClick(Form1->PA_Shff);
    EXPECT_TRUE(ShuffleOn);
    EXPECT_FALSE(RepeatOn);
    EXPECT_EQ(RepeatTrack, 0);
    EXPECT_EQ(LCD_DISPLAY->LB_MODE->Caption(), "SHFFLE");
    expectSwitchLook(Form1->PA_Repeat, Form1->PM_REPEAT, false, QStringLiteral("ﾘﾋﾟｰﾄﾌﾟﾚｲ"));
}

TEST_F(Modes, SecondShuffleClickSwitchesOffAndKeepsTheOrder) {
    load(twelveTrackDisc());
    Form1->PA_ShffClick(Form1->PA_Shff);
    std::vector<int> drawn = order(12);
    int position = PlayOrderPos;
    Form1->PA_ShffClick(Form1->PA_Shff);
    EXPECT_FALSE(ShuffleOn);
    EXPECT_EQ(LCD_DISPLAY->LB_MODE->Caption(), "");
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPause, btStop, btNext, btPrev, btEject}));
    EXPECT_EQ(order(12), drawn);
    EXPECT_EQ(PlayOrderPos, position);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying) << "play is not touched";
}

TEST_F(Modes, EndlessMenuItemTogglesAndMirrorsTheFlag) {
    startApp();
    ASSERT_TRUE(EndlessOn);
    ASSERT_TRUE(Form1->PM_LOOP->Checked());
    Form1->PM_LOOPClick(Form1->PM_LOOP);
    EXPECT_FALSE(EndlessOn);
    EXPECT_FALSE(Form1->PM_LOOP->Checked());
    Form1->PM_LOOPClick(Form1->PM_LOOP);
    EXPECT_TRUE(EndlessOn);
    EXPECT_TRUE(Form1->PM_LOOP->Checked());
}

TEST_F(Modes, SwitchesAreHiddenAndInertBeforePowerOn) {
    insert(twelveTrackDisc());
    createApp();
    EXPECT_TRUE(Form1->PA_Repeat->isHidden());
    EXPECT_TRUE(Form1->PA_Shff->isHidden());
    EXPECT_FALSE(Form1->PM_REPEAT->isEnabled());
    EXPECT_FALSE(Form1->PM_SHFF->isEnabled());
    Form1->PA_RepeatClick(Form1->PA_Repeat);
    Form1->PA_ShffClick(Form1->PA_Shff);
    EXPECT_FALSE(RepeatOn);
    EXPECT_FALSE(ShuffleOn);
    EXPECT_TRUE(errors.empty()) << "the closed device is never asked";
    startApp();
    EXPECT_FALSE(Form1->PA_Repeat->isHidden());
    EXPECT_FALSE(Form1->PA_Shff->isHidden());
    EXPECT_TRUE(Form1->PM_REPEAT->isEnabled());
    EXPECT_TRUE(Form1->PM_SHFF->isEnabled());
}

TEST_F(Modes, SwitchesDoNothingOnceTrackOneWasPlayedInShuffle) {
    load(platform::SimulatedDisc::ofSeconds({3, 3, 3, 3}));
    Form1->PA_ShffClick(Form1->PA_Shff);
    while (Form1->SG_TRACK->Cells(0, 0) == "01") {
        tick();
        ASSERT_TRUE(ShuffleOn);
    }
    std::vector<int> drawn = order(4);
    Form1->PA_RepeatClick(Form1->PA_Repeat);
    Form1->PA_ShffClick(Form1->PA_Shff);
    EXPECT_TRUE(ShuffleOn);
    EXPECT_FALSE(RepeatOn);
    EXPECT_EQ(order(4), drawn);
}

// The eject blanks every cell with a space; the switches must see that no disc is listed.
TEST_F(Modes, SwitchesDoNothingAfterAnEject) {
    load(twelveTrackDisc());
    Form1->PM_EJECTClick(Form1->PM_EJECT);
    drive.clearLog();
    Form1->PA_RepeatClick(Form1->PA_Repeat);
    Form1->PA_ShffClick(Form1->PA_Shff);
    EXPECT_FALSE(RepeatOn);
    EXPECT_FALSE(ShuffleOn);
    EXPECT_TRUE(drive.log().empty());
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btEject}));
}

// Each position of the order sees each track about equally often, with the first entry fixed
// when it is given.
TEST(ShuffleDraw, IsAUniformPermutation) {
    constexpr int n = 6;
    constexpr int draws = 30000;
    for (int first : {0, 4}) {
        SCOPED_TRACE(first);
        std::mt19937 random(20240611);
        int counts[n + 1][n + 1] = {};
        int order[101] = {};
        for (int d = 0; d < draws; ++d) {
            drawShuffleOrder(order, n, first, random);
            std::vector<int> entries(order + 1, order + 1 + n);
            ASSERT_TRUE(isPermutation(entries));
            for (int k = 1; k <= n; ++k) ++counts[k][order[k]];
        }
        for (int k = 1; k <= n; ++k) {
            bool fixed = first != 0 && k == 1;
            double expected = fixed ? 0 : first != 0 ? double(draws) / (n - 1) : double(draws) / n;
            for (int t = 1; t <= n; ++t) {
                if (fixed) {
                    EXPECT_EQ(counts[k][t], t == first ? draws : 0);
                } else if (first != 0 && t == first) {
                    EXPECT_EQ(counts[k][t], 0);
                } else {
                    EXPECT_NEAR(counts[k][t], expected, expected * 0.1) << "position " << k << " track " << t;
                }
            }
        }
    }
}

TEST(ShuffleDraw, NoTracksDrawsNothing) {
    std::mt19937 random(1);
    int order[101] = {0, 3, 1, 2};
    drawShuffleOrder(order, 0, 0, random);
    EXPECT_EQ(order[1], 3);
    EXPECT_EQ(order[3], 2);
}

}  // namespace
