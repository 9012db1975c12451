// The whole program over a drive that misbehaves: stalls, failed commands, a disc pulled out while
// it plays, the door opened in the middle of a title scroll. The player must reset the way it does
// for an ejected disc (one eject, the next disc loads) and no exception may reach the event loop.
#include "tests/support/AppFixture.h"

#include "player/PlayerState.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

class DriveFaults : public AppFixture {
protected:
    int ejects() const { return static_cast<int>(std::count(drive.log().begin(), drive.log().end(), "eject")); }
    void play() { Form1->PM_PlayClick(Form1->PM_Play); }
    std::string log() const {
        std::string text;
        for (const std::string &entry : drive.log()) text += entry + "; ";
        return text;
    }
    int shownSeconds() const {
        const std::string time = LCD_DISPLAY->LB_TIME->Caption();
        return time.size() == 6 ? std::stoi(time.substr(1, 2)) * 60 + std::stoi(time.substr(4, 2)) : -1;
    }
};

// A drive stuck in retries for five seconds: the poll keeps running, the time holds, then the play
// goes on from where it stood.
TEST_F(DriveFaults, StallOfFiveSecondsHoldsTheTimeAndPlayGoesOn) {
    insert(platform::SimulatedDisc::ofSeconds({30, 30}));
    startApp();
    tick();
    play();
    tick(8);
    const int before = shownSeconds();
    ASSERT_GE(before, 1);
    drive.stall(5000);
    play();  // a seek-and-play that the drive now takes five seconds to start
    tick(20);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    tick(12);
    EXPECT_GT(shownSeconds(), 0);
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_EQ(ejects(), 0);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// A command the drive refuses is reported once, clearly, and the next one works.
TEST_F(DriveFaults, RefusedPlayIsReportedAndTheNextPlayWorks) {
    insert(platform::SimulatedDisc::ofSeconds({10, 10}));
    startApp();
    tick();
    drive.failNext(platform::SimulatedDrive::Op::Play);
    play();
    tick(2);
    EXPECT_LE(errors.size(), 1u);
    for (const std::string &message : errors) EXPECT_FALSE(message.empty());
    errors.clear();
    play();
    tick(8);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_GE(shownSeconds(), 1);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// The disc vanishes while playing and another goes in: one reset, then the new disc is listed.
TEST_F(DriveFaults, DiscPulledWhilePlayingThenAnotherDiscLoads) {
    insert(twelveTrackDisc());
    startApp();
    tick();
    play();
    tick(6);
    drive.pullDisc();
    tick(4);
    EXPECT_EQ(ejects(), 1);
    EXPECT_EQ(Form1->SG_TRACK->Tag, 0);
    EXPECT_EQ(Form1->SG_TRACK->Cells(0, 0), " ");
    insert(platform::SimulatedDisc::ofSeconds({40, 50, 60}));
    tick(2);
    EXPECT_EQ(ejects(), 1) << "a second reset for the same pull";
    EXPECT_EQ(TrackCount, 3);
    EXPECT_EQ(Form1->SG_TRACK->Cells(2, 0), "03");
    EXPECT_EQ(Form1->SG_TRACK->Cells(3, 0), " ");
    play();
    tick(8);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// The door opens while a title scrolls: the player resets, no exception escapes, and closing the
// door with the disc in lists it again. The scroll's waits run the poll's ticks inside them, as the
// real event loop does. Cases: the disc title as the disc loads, and a track title that a click on
// the title line scrolls while the track plays.
struct ScrollCase {
    const char *name;
    std::vector<std::string> catalogue;
    bool trackTitles;  // plays and scrolls the track title
    int resets;
};

class DoorDuringScroll : public DriveFaults, public ::testing::WithParamInterface<ScrollCase> {};

TEST_P(DoorDuringScroll, ResetsOnceAndTheDiscLoadsAgain) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({60, 60});
    insert(disc);
    startApp();
    writeCatalogue(Form1->MediaPlayer1->Length(), GetParam().catalogue);
    nestedTicks = true;
    std::size_t openAt = 0;
    setTitleLineObserver([&](const std::string &text) {
        titleLine.push_back(text);
        // Ten steps into the first scroll of a long title, the door opens.
        if (openAt == 0 && text.size() >= 27 && titleLine.size() >= 10) {
            bool scrolling = std::count_if(titleLine.end() - 10, titleLine.end(),
                                           [](const std::string &t) { return t.size() >= 27; }) == 10;
            if (scrolling) {
                drive.openDoor();
                openAt = titleLine.size();
            }
        }
    });
    tick();
    if (GetParam().trackTitles) {
        play();
        tick();
        ASSERT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
        LCD_DISPLAY->LB_TITLE->setCaption("TITLE");
        LCD_DISPLAY->LB_NAMEClick(LCD_DISPLAY);  // a click on the title line scrolls the track's title
    }
    tick(16);
    ASSERT_NE(openAt, 0u) << "no title scrolled; shown: " << (titleLine.empty() ? "" : titleLine.back()) << " " << titleLine.size() << " " << LCD_DISPLAY->LB_TITLE->Caption() << " " << log();
    EXPECT_EQ(ejects(), GetParam().resets) << log();
    EXPECT_EQ(Form1->SG_TRACK->Tag, 0);
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btEject}));
    setTitleLineObserver({});
    nestedTicks = false;
    drive.insert(disc);
    tick(3);
    EXPECT_EQ(ejects(), GetParam().resets) << log();
    EXPECT_EQ(TrackCount, 2);
    EXPECT_EQ(Form1->SG_TRACK->Tag, 1);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

std::string longTitle() { return "A title far too long for the twenty-eight bytes of the title line"; }

INSTANTIATE_TEST_SUITE_P(
    Scrolls, DoorDuringScroll,
    // While the disc title scrolls at load, the tick that loads the disc is still running: after the
    // nested tick's reset it re-arms the transport bar, so the next tick resets a second time.
    // The scroll itself runs to its end, as the poll sets the marquee counter to 1 while no disc is
    // ready. Both follow the poll's steps as designed; neither loses anything.
    ::testing::Values(ScrollCase{"DiscTitleAtLoad", {longTitle(), "one", "two"}, false, 2},
                      ScrollCase{"TrackTitleWhilePlaying", {"Disc", longTitle(), "two"}, true, 1}),
    [](const ::testing::TestParamInfo<ScrollCase> &info) { return std::string(info.param.name); });

}  // namespace
