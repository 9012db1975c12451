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

// Found by the long random soak: the door opened with no tick since, the grid still lists the disc,
// and SHF drew an order from no tracks, leaving shuffle on with an order of no disc.
TEST_F(StartAndPoll, ShuffleDoesNothingWhileTheDoorIsOpen) {
    insert(twelveTrackDisc());
    startApp();
    tick();
    drive.openDoor();
    Form1->PA_ShffClick(Form1->PA_Shff);
    EXPECT_FALSE(ShuffleOn);
    drive.closeDoor();
    tick();
    EXPECT_FALSE(ShuffleOn);
    EXPECT_TRUE(errors.empty());
}

// Found by the long random soak: a disc that goes while the transport is reset gets no eject, so
// its current track (or modes) carried over to a shorter disc, and so did the grid's numbers past
// the shorter disc's last track.
TEST_F(StartAndPoll, ADiscThatGoesWithoutAnEjectLeavesNothingForTheNextOne) {
    insert(platform::SimulatedDisc::uniform(5, 60));
    startApp();
    tick();
    Form1->SG_TRACK->setCurrent(4, 0);
    Form1->SG_TRACKMouseUp(Form1->SG_TRACK, Qt::LeftButton);
    ASSERT_EQ(CurrentTrack, 5);
    Form1->MediaPlayer1->Tag = 0;  // as the end-of-disc step leaves it
    drive.openDoor();
    tick();
    EXPECT_FALSE(Form1->SG_TRACK->isEnabled());
    insert(platform::SimulatedDisc::uniform(2, 60));
    tick();
    EXPECT_EQ(TrackCount, 2);
    EXPECT_EQ(CurrentTrack, 1);
    for (int t = 1; t <= 5; ++t)
        EXPECT_EQ(Form1->SG_TRACK->Cells(t - 1, 0), t <= 2 ? "0" + std::to_string(t) : " ") << "track " << t;
    EXPECT_TRUE(errors.empty());
}

}  // namespace
