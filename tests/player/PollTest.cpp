#include "tests/player/EngineFixture.h"

#include "player/Commands.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/controls/Timer.h"

#include <algorithm>
#include <set>

namespace {

using Poll = EngineFixture;

TEST_F(Poll, DoorOpenedWhilePlayingEjectsOnceAndKeepsTheTitleLineStill) {
    load(twelveTrackDisc());
    Form1->PM_PlayClick(Form1->PM_Play);
    tick(2);
    drive.clearLog();
    drive.openDoor();
    for (int i = 0; i < 5; ++i) {
        tick();
        EXPECT_EQ(LCD_DISPLAY->LB_OVER->Tag, 1);
        EXPECT_EQ(Form1->SG_TRACK->Tag, 0);
        EXPECT_EQ(Form1->MediaPlayer1->Tag, 0);
    }
    EXPECT_EQ(count("eject"), 1);
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btEject}));
    drive.closeDoor();
    tick();
    EXPECT_EQ(Form1->SG_TRACK->Tag, 1) << "the disc is loaded again";
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPlay, btEject}));
    EXPECT_TRUE(errors.empty());
}

// Paused on the last track in its last second: the device says it is not playing and the track
// has run out, but a paused player neither rewinds nor drops the track from the title.
TEST_F(Poll, PausedKeepsTheTrackTitleAndSkipsTheEndOfTheDisc) {
    load(platform::SimulatedDisc::ofSeconds({2, 2}));
    Form1->PM_PlayClick(Form1->PM_Play);
    tick(9);
    ASSERT_EQ(CurrentTrack, 2);
    drive.advance(1700);  // 1.95 s into the last track
    Form1->PM_PauseClick(Form1->PM_Pause);
    drive.clearLog();
    tick(6);
    EXPECT_EQ(applicationTitle(), QStringLiteral("CD-Tunewick32 Track : 02"));
    EXPECT_EQ(CurrentTrack, 2);
    EXPECT_EQ(Form1->MediaPlayer1->Tag, 2);
    EXPECT_TRUE(drive.log().empty()) << "no rewind to track 1";
}

struct EndCase {
    const char *name;
    bool endless, repeat;
    int mode;             // device mode a few ticks later
    int track;            // device track then
    bool repeatAfter;
};

TEST_F(Poll, EndOfTheDiscReplaysOrStopsAtTrackOne) {
    const EndCase cases[] = {
        {"endless", true, false, mpPlaying, 1, false},
        {"not endless", false, false, mpStopped, 1, false},
        {"endless repeating the last track", true, true, mpPlaying, 3, true},
    };
    for (const EndCase &c : cases) {
        SCOPED_TRACE(c.name);
        insert(platform::SimulatedDisc::ofSeconds({2, 2, 2}));
        if (Form1 == nullptr || Form1->PA_POWER->Tag == 0) startApp();
        tick();
        EndlessOn = c.endless;
        pressGridTrack(3);
        if (c.repeat) Form1->PA_RepeatClick(Form1->PA_Repeat);
        // A whole-second last track never reaches 0 while it plays: the device stops at the end.
        drive.advance(2100);
        tick();
        EXPECT_EQ(Form1->MediaPlayer1->Mode(), c.mode);
        EXPECT_EQ(deviceTrack(), c.track);
        EXPECT_EQ(RepeatOn, c.repeatAfter);
        if (!c.endless) {
            EXPECT_EQ(CurrentTrack, 1);
            EXPECT_TRUE(Form1->PM_Stop->Checked());
            EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPlay, btEject}));
        }
        Form1->PM_StopClick(Form1->PM_Stop);
    }
    EXPECT_TRUE(errors.empty());
}

struct RepeatEndCase {
    const char *name;
    int frames;           // frame part of the repeated track's length
    int ticksInNextTrack;  // ticks that find the device in the following track
};

// With a frame part the repeated track reaches 0 remaining seconds in its last fraction of a
// second and is sought back before its end; a whole-second track is sought back only once the
// device has moved into the next track.
TEST_F(Poll, RepeatActsAtTheEndOfTheRepeatedTrack) {
    const RepeatEndCase cases[] = {{"frame part", 37, 0}, {"whole seconds", 0, 1}};
    for (const RepeatEndCase &c : cases) {
        SCOPED_TRACE(c.name);
        platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({3, 4, 3});
        disc.trackFrames[1] += c.frames;
        insert(disc);
        if (Form1 == nullptr || Form1->PA_POWER->Tag == 0) startApp();
        tick();
        pressGridTrack(2);
        Form1->PA_RepeatClick(Form1->PA_Repeat);
        int inNext = 0;
        std::set<int> tracks;
        for (int i = 0; i < 60; ++i) {  // 15 s: more than three passes of the track
            tick();
            tracks.insert(deviceTrack());
            if (CurrentTrack == 3) ++inNext;
        }
        EXPECT_EQ(inNext, 3 * c.ticksInNextTrack) << "ticks spent in the next track over three passes";
        EXPECT_EQ(tracks.count(1), 0u);
        EXPECT_TRUE(RepeatOn);
        EXPECT_EQ(RepeatTrack, 2);
        Form1->PM_StopClick(Form1->PM_Stop);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(Poll, RepeatFollowsNextAndPrevious) {
    load(platform::SimulatedDisc::ofSeconds({20, 20, 20, 20}));
    pressGridTrack(2);
    Form1->PA_RepeatClick(Form1->PA_Repeat);
    tick(2);
    Form1->MediaPlayer1->click(btNext);
    tick(4);
    EXPECT_EQ(RepeatTrack, 3);
    EXPECT_EQ(CurrentTrack, 3);
    EXPECT_EQ(deviceTrack(), 3) << "the new repeated track plays on";
    Form1->MediaPlayer1->click(btPrev);  // back to the start of track 3
    Form1->MediaPlayer1->click(btPrev);  // within its first second: track 2
    Form1->MediaPlayer1->click(btPrev);  // no tick yet: CurrentTrack still says 3
    EXPECT_EQ(RepeatTrack, 1) << "the repeated track went below the first track";
    tick(2);
    EXPECT_EQ(RepeatTrack, 1);
    EXPECT_EQ(deviceTrack(), 1) << "repeat seeks to the track it now repeats";
}

TEST_F(Poll, TimeModesShowElapsedRemainingAndTracksLeft) {
    struct Case {
        int mode;
        const char *caption, *track, *time;
    };
    const Case cases[] = {{0, "TIME", "08", " 00:02"}, {1, "REMAIN", "08", "-03:12"}, {2, "REMAIN", "-05", "-03:12"}};
    load(twelveTrackDisc());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        TimeMode = c.mode;
        pressGridTrack(8);  // 194 s
        tick(8);
        EXPECT_EQ(LCD_DISPLAY->LB_TITLE3->Caption(), c.caption);
        EXPECT_EQ(LCD_DISPLAY->LB_TRACK->Caption(), c.track);
        EXPECT_EQ(LCD_DISPLAY->LB_TIME->Caption(), c.time);
    }
}

TEST_F(Poll, FirstTickAfterATrackChangeCountsAgainstThePreviousTrack) {
    load(platform::SimulatedDisc::ofSeconds({3, 10, 5}));
    TimeMode = 1;
    Form1->PM_PlayClick(Form1->PM_Play);
    std::vector<std::string> times;
    while (CurrentTrack == 1) {
        tick();
        times.push_back(LCD_DISPLAY->LB_TIME->Caption());
        ASSERT_LT(times.size(), 20u);
    }
    EXPECT_EQ(times.back(), "-00:03") << "track 2 at 0 s against track 1's 3 s";
    tick(4);
    EXPECT_EQ(LCD_DISPLAY->LB_TIME->Caption(), "-00:09");
}

// Tracks with a frame part: the shuffle jump always comes in an entry's last fraction of a second,
// so the device is never found in a track outside the order.
platform::SimulatedDisc fourFramedTracks() {
    platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({3, 3, 3, 3});
    for (int &frames : disc.trackFrames) frames += 37;
    return disc;
}

TEST_F(Poll, ShuffleWithoutEndlessPlaysTheOrderOnceThenStopsAtTrackOne) {
    load(fourFramedTracks());
    EndlessOn = false;
    PlayOrder[5] = 2;  // a stale entry of a longer order right after this one
    Form1->PA_ShffClick(Form1->PA_Shff);
    const std::vector<int> drawn(PlayOrder + 1, PlayOrder + 5);
    std::vector<int> played;
    for (int i = 0; i < 120 && ShuffleOn; ++i) {
        tick();
        if (played.empty() || played.back() != deviceTrack()) played.push_back(deviceTrack());
        if (!ShuffleOn) break;
        // Finished entries show an empty cell; the grid is not renumbered meanwhile.
        for (int k = 1; k <= 4; ++k) {
            int t = PlayOrder[k];
            EXPECT_EQ(Form1->SG_TRACK->Cells(t - 1, 0), k < PlayOrderPos ? "" : twoDigits(t)) << "entry " << k;
        }
    }
    ASSERT_FALSE(ShuffleOn);
    std::vector<int> expected = drawn;
    if (expected.back() != 1) expected.push_back(1);
    EXPECT_EQ(played, expected) << "the stale entry after the order must never be played";
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpStopped);
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPlay, btEject}));
    EXPECT_EQ(gridCells(4), (std::vector<std::string>{"01", "02", "03", "04"}));
    EXPECT_EQ(LCD_DISPLAY->LB_MODE->Caption(), "");
    EXPECT_TRUE(errors.empty());
}

// Every pass plays each track of its order from its start until its last fraction of a second
// (3 s of 3 s and 37 frames: 12 ticks), the first entry included: the new order is not drawn while the last entry of the
// previous one still plays its final fraction of a second.
TEST_F(Poll, EndlessShufflePlaysEveryTrackOfEachPassAndPlaysOn) {
    load(fourFramedTracks());
    Form1->PA_ShffClick(Form1->PA_Shff);
    int passes = 0;
    std::vector<int> ticksPerEntry = {1, 0, 0, 0};  // the switch starts entry 1 as a jump would, a tick earlier
    for (int i = 0; i < 200; ++i) {
        int before = PlayOrderPos;
        tick();
        ASSERT_TRUE(ShuffleOn);
        ASSERT_LE(PlayOrderPos, 4);
        if (PlayOrderPos < before) {
            ++passes;
            for (int ticks : ticksPerEntry) EXPECT_GE(ticks, 12) << "pass " << passes;
            ticksPerEntry.assign(4, 0);
        }
        ++ticksPerEntry[static_cast<size_t>(PlayOrderPos - 1)];
        EXPECT_EQ(deviceTrack(), PlayOrder[PlayOrderPos]) << "tick " << i;
        EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying) << "tick " << i;
    }
    EXPECT_GE(passes, 2);
    EXPECT_TRUE(errors.empty());
}

// Without endless play the disc's last track, repeated or in the middle of a shuffle order, may
// stop the device before a tick sees its last fraction of a second (no frame part, or one under
// a quarter second): repeat must still repeat, and the order must go on to its end.
TEST_F(Poll, WithoutEndlessTheLastTrackRepeatsAndTheShuffleOrderGoesOn) {
    for (int frames : {0, 10}) {
        SCOPED_TRACE(frames);
        platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({2, 2, 2});
        disc.trackFrames[2] += frames;
        insert(disc);
        if (Form1 == nullptr || Form1->PA_POWER->Tag == 0) startApp();
        tick();
        EndlessOn = false;

        pressGridTrack(3);
        Form1->PA_RepeatClick(Form1->PA_Repeat);
        drive.advance(200);  // no tick falls into the track's last fraction of a second
        std::set<int> heard;
        for (int i = 0; i < 28; ++i) {  // 7 s: three passes
            tick();
            heard.insert(deviceTrack());
        }
        EXPECT_TRUE(RepeatOn);
        EXPECT_EQ(heard, std::set<int>{3});
        EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
        EXPECT_TRUE(Form1->PM_Play->Checked());
        Form1->PM_StopClick(Form1->PM_Stop);

        pressGridTrack(3);
        Form1->PA_ShffClick(Form1->PA_Shff);
        const std::vector<int> order = {3, 1, 2};
        std::copy(order.begin(), order.end(), PlayOrder + 1);
        drive.advance(200);
        std::vector<int> played;
        for (int i = 0; i < 60 && ShuffleOn; ++i) {
            tick();
            if (ShuffleOn && (played.empty() || played.back() != deviceTrack())) played.push_back(deviceTrack());
        }
        EXPECT_EQ(played, order);
        EXPECT_FALSE(ShuffleOn);
        EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpStopped);
        EXPECT_EQ(deviceTrack(), 1);
        Form1->PM_StopClick(Form1->PM_Stop);
    }
    EXPECT_TRUE(errors.empty());
}

// An enhanced CD: two audio tracks, then a data track in a second session. Play ends after the
// last audio track, at the first session's lead-out; the end of the disc is found there.
TEST_F(Poll, AnEnhancedCdEndsAfterItsLastAudioTrack) {
    platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({2, 2, 60});
    disc.dataTrack = {false, false, true};
    disc.sessionGap = 11400;
    for (bool endless : {true, false}) {
        SCOPED_TRACE(endless);
        insert(disc);
        if (Form1 == nullptr || Form1->PA_POWER->Tag == 0) startApp();
        tick();
        EXPECT_EQ(Form1->MediaPlayer1->TrackLength(2), msf::fromFrames(2 * 75 - 1)) << "ends at the session's lead-out";
        EXPECT_EQ(Form1->MediaPlayer1->Length(), msf::fromFrames(4 * 75 + 11400 + 60 * 75 - 1)) << "names the file";
        EndlessOn = endless;
        pressGridTrack(2);
        tick(10);
        EXPECT_EQ(Form1->MediaPlayer1->Mode(), endless ? mpPlaying : mpStopped);
        EXPECT_EQ(deviceTrack(), 1);
        EXPECT_EQ(CurrentTrack, 1);
        EXPECT_EQ(Form1->PM_Play->Checked(), endless);
        EXPECT_EQ(Form1->PM_Stop->Checked(), !endless);
        Form1->PM_StopClick(Form1->PM_Stop);
    }
    EXPECT_TRUE(errors.empty());
}

struct DiscEndInShuffle {
    const char *name;
    std::vector<int> order;
    int nextTrack;  // the track that plays after the disc's last track stopped the device
};

// Whole-second tracks: the disc's last track is not caught in its last fraction; the device
// stops at the disc's end and shuffle play must go on (with the next entry, or a new order).
TEST_F(Poll, ShuffleGoesOnWhenTheDeviceStopsAtTheDiscsEnd) {
    const DiscEndInShuffle cases[] = {{"last entry", {1, 2, 3}, 0}, {"middle entry", {1, 3, 2}, 2}};
    for (const DiscEndInShuffle &c : cases) {
        SCOPED_TRACE(c.name);
        insert(platform::SimulatedDisc::ofSeconds({2, 2, 2}));
        if (Form1 == nullptr || Form1->PA_POWER->Tag == 0) startApp();
        tick();
        pressGridTrack(1);
        Form1->PA_ShffClick(Form1->PA_Shff);
        std::copy(c.order.begin(), c.order.end(), PlayOrder + 1);
        // Wait for the entry after track 3, or for a new order.
        int last = PlayOrderPos;
        bool movedOn = false;
        for (int i = 0; i < 40 && !movedOn; ++i) {
            tick();
            movedOn = c.nextTrack != 0 ? PlayOrderPos == 3 : PlayOrderPos < last;
            last = PlayOrderPos;
        }
        ASSERT_TRUE(movedOn) << "play stood still with shuffle on";
        tick();
        EXPECT_TRUE(ShuffleOn);
        EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
        EXPECT_EQ(Form1->MediaPlayer1->Tag, 1);
        if (c.nextTrack != 0) {
            EXPECT_EQ(deviceTrack(), c.nextTrack);
        }
        Form1->PM_StopClick(Form1->PM_Stop);
    }
    EXPECT_TRUE(errors.empty());
}

// Ticks run inside a marquee's wait: while a long title scrolls the LCD's time keeps moving.
TEST_F(Poll, TicksKeepTheTimeMovingWhileALongTitleScrolls) {
    const platform::SimulatedDisc disc = twelveTrackDisc();
    writeCatalogue(discLength(disc), {"disc", std::string(60, 'a')});
    load(disc);
    nestedTicks = true;
    std::vector<std::string> times;
    setWaitHook([&](int ms) {
        runFor(ms);
        times.push_back(LCD_DISPLAY->LB_TIME->Caption());
    });
    Form1->PM_PlayClick(Form1->PM_Play);
    times.clear();
    LCD_DISPLAY->LB_NAMEClick(LCD_DISPLAY->LB_NAME);  // scrolls the track title: 62 windows of 250 ms
    ASSERT_EQ(times.size(), 62u);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_EQ(std::set<std::string>(times.begin(), times.end()).size(), 16u) << "one new second every fourth step";
    EXPECT_EQ(LCD_DISPLAY->LB_OVER->Tag, 0);
    EXPECT_TRUE(errors.empty());
}

// The same through the real event loop: the timer's ticks are delivered inside WaitMs.
TEST_F(Poll, TimerTicksRunInsideTheRealWait) {
    const platform::SimulatedDisc disc = twelveTrackDisc();
    writeCatalogue(discLength(disc), {"disc", std::string(40, 'a')});
    load(disc);
    Form1->PM_PlayClick(Form1->PM_Play);
    setWaitHook({});
    ScrollDelay = 10;
    int ticks = 0;
    std::function<void()> poll = Form1->Timer1->OnTimer;
    Form1->Timer1->OnTimer = [&] {
        ++ticks;
        poll();
    };
    TTimer::holdAllTimers(false);
    Form1->Timer1->setEnabled(false);
    Form1->Timer1->setInterval(5);
    Form1->Timer1->setEnabled(true);
    LCD_DISPLAY->LB_NAMEClick(LCD_DISPLAY->LB_NAME);  // 42 real waits of 10 ms
    Form1->Timer1->setEnabled(false);
    TTimer::holdAllTimers(true);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(LCD_DISPLAY->LB_OVER->Tag, 0);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
