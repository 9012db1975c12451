#include "tests/support/AppFixture.h"

#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"

#include <QDialog>

namespace {

using StartAndPoll = AppFixture;

TEST_F(StartAndPoll, FirstTickWithADiscLoadsItAndNumbersTheGrid) {
    insert(twelveTrackDisc());
    startApp();
    EXPECT_EQ(Form1->PA_POWER->Tag, 1);
    EXPECT_EQ(CurrentTrack, 1);
    tick();
    EXPECT_EQ(modalCount, 1);  // the registration question, declined
    EXPECT_EQ(TrackCount, 12);
    EXPECT_EQ(Form1->SG_TRACK->Tag, 1);
    EXPECT_EQ(Form1->SG_TRACK->Cells(0, 0), "01");
    EXPECT_EQ(Form1->SG_TRACK->Cells(1, 1), "12");
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPlay, btEject}));
    EXPECT_EQ(Form1->MediaPlayer1->Tag, 1);
    EXPECT_EQ(ShownTrack, 1);
    // Stopped: the same tick puts the plain title back.
    EXPECT_EQ(applicationTitle(), QStringLiteral("CD-Tunewick32"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(StartAndPoll, PlayingFollowsTheDeviceIntoTheNextTrack) {
    insert(platform::SimulatedDisc::ofSeconds({3, 5, 4}));
    startApp();
    tick();
    Form1->PM_PlayClick(Form1->PM_Play);
    tick(4);
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_EQ(LCD_DISPLAY->LB_TIME->Caption(), " 00:01");
    tick(10);
    EXPECT_EQ(CurrentTrack, 2);
    tick();
    EXPECT_EQ(ShownTrack, 2);
    EXPECT_EQ(applicationTitle(), QStringLiteral("CD-Tunewick32 Track : 02"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(StartAndPoll, EndOfDiscReplaysWithEndlessPlay) {
    insert(platform::SimulatedDisc::ofSeconds({2, 2}));
    startApp();
    tick();
    Form1->PM_PlayClick(Form1->PM_Play);
    tick(17);  // 4.25 s: the disc ran out during the last quarter second
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_EQ(tmsf::track(Form1->MediaPlayer1->Position()), 1);
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
