#include "tests/player/EngineFixture.h"

#include "player/Commands.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <functional>
#include <limits>

namespace {

using Commands = EngineFixture;

struct CommandCase {
    const char *name;
    bool shuffle;                        // switch shuffle on first (play starts from it)
    std::function<void()> command;
    TButtonSet enabled;
    bool play, stop, pause;              // check marks of PM_Play, PM_Stop, PM_Pause
    int transport;
};

// Each command leaves its own enabled set, check marks and transport state, whatever came before.
TEST_F(Commands, EachCommandSetsButtonsMarksAndTransportState) {
    const TButtonSet playing = buttonSet({btPause, btStop, btNext, btPrev, btEject});
    const CommandCase cases[] = {
        {"play", false, [] { Form1->PM_PlayClick(Form1->PM_Play); }, playing, true, false, false, 1},
        {"play in shuffle", true, [] { Form1->PM_PlayClick(Form1->PM_Play); },
         buttonSet({btPause, btStop, btEject}), true, false, false, 1},
        {"pause", false, [] { Form1->PM_PauseClick(Form1->PM_Pause); }, buttonSet({btPlay, btStop, btEject}), false,
         false, true, 2},
        {"stop", false, [] { Form1->PM_StopClick(Form1->PM_Stop); }, buttonSet({btPlay, btEject}), false, true, false,
         0},
        {"stop in shuffle", true, [] { Form1->PM_StopClick(Form1->PM_Stop); }, buttonSet({btPlay, btEject}), false,
         true, false, 0},
        {"eject", false, [] { Form1->PM_EJECTClick(Form1->PM_EJECT); }, buttonSet({btEject}), false, false, false, 0},
    };
    load(twelveTrackDisc());
    for (const CommandCase &c : cases) {
        SCOPED_TRACE(c.name);
        Form1->PM_PlayClick(Form1->PM_Play);
        if (c.shuffle) Form1->PA_ShffClick(Form1->PA_Shff);
        c.command();
        EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), c.enabled);
        EXPECT_EQ(Form1->PM_Play->Checked(), c.play);
        EXPECT_EQ(Form1->PM_Stop->Checked(), c.stop);
        EXPECT_EQ(Form1->PM_Pause->Checked(), c.pause);
        EXPECT_EQ(Form1->MediaPlayer1->Tag, c.transport);
        if (c.transport == 0) {
            EXPECT_FALSE(ShuffleOn);
            EXPECT_FALSE(RepeatOn);
        }
    }
    EXPECT_TRUE(errors.empty());
}

// One press, one action: the bar's own operation must not follow the six commands it handles.
TEST_F(Commands, BarButtonsClearTheDefaultOperationOfTheSixCommands) {
    load(twelveTrackDisc());
    for (TMPBtnType button : {btPlay, btPause, btStop, btNext, btPrev, btStep, btBack, btRecord, btEject}) {
        bool doDefault = true;
        Form1->MediaPlayer1Click(Form1->MediaPlayer1, button, doDefault);
        bool handled = button != btStep && button != btBack && button != btRecord;
        EXPECT_EQ(doDefault, !handled) << "button " << button;
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(Commands, OneNextPressOnTheBarSkipsOneTrack) {
    load(twelveTrackDisc());
    Form1->PM_PlayClick(Form1->PM_Play);
    tick();
    drive.clearLog();
    Form1->MediaPlayer1->click(btNext);
    tick();
    EXPECT_EQ(deviceTrack(), 2);
    EXPECT_EQ(CurrentTrack, 2);
    EXPECT_EQ(count("play " + std::to_string(twelveTrackDisc().toc().startOf(2))), 1);
}

// The menu's pause and the bar's pause reach the drive the same way, and both leave it paused.
TEST_F(Commands, PauseFromMenuAndBarGiveTheSameDeviceOperations) {
    load(twelveTrackDisc());
    std::vector<std::string> logs[2];
    for (int viaBar = 0; viaBar < 2; ++viaBar) {
        Form1->PM_PlayClick(Form1->PM_Play);
        tick(4);
        drive.clearLog();
        if (viaBar)
            Form1->MediaPlayer1->click(btPause);
        else
            Form1->PM_PauseClick(Form1->PM_Pause);
        logs[viaBar] = drive.log();
        uint32_t at = Form1->MediaPlayer1->Position();
        tick(4);
        EXPECT_EQ(Form1->MediaPlayer1->Position(), at) << "the device goes on playing";
        EXPECT_EQ(Form1->MediaPlayer1->Tag, 2);
    }
    EXPECT_EQ(logs[0], std::vector<std::string>{"pause"});
    EXPECT_EQ(logs[1], logs[0]);
}

TEST_F(Commands, PlayAfterPauseResumesWhereItStood) {
    load(twelveTrackDisc());
    Form1->PM_PlayClick(Form1->PM_Play);
    tick(8);
    Form1->PM_PauseClick(Form1->PM_Pause);
    uint32_t at = Form1->MediaPlayer1->Position();
    tick(8);
    Form1->PM_PlayClick(Form1->PM_Play);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_EQ(Form1->MediaPlayer1->Position(), at);
}

struct RepeatCase {
    const char *name;
    bool next;
    int currentTrack, repeatTrack, expected;
};

TEST_F(Commands, NextAndPreviousMoveTheRepeatedTrackWithinTheDisc) {
    const RepeatCase cases[] = {
        {"next on", true, 3, 3, 4},
        {"next at the last track keeps the current one", true, 7, 12, 7},
        {"previous back", false, 4, 4, 3},
        {"previous on track 1 stays at 1", false, 1, 1, 1},
        {"previous on track 1 with another repeated track", false, 1, 5, 1},
    };
    load(twelveTrackDisc());
    for (const RepeatCase &c : cases) {
        SCOPED_TRACE(c.name);
        RepeatOn = true;
        CurrentTrack = c.currentTrack;
        RepeatTrack = c.repeatTrack;
        if (c.next)
            NextTrack();
        else
            PrevTrack();
        EXPECT_EQ(RepeatTrack, c.expected);
    }
    RepeatOn = false;
    RepeatTrack = 9;
    NextTrack();
    EXPECT_EQ(RepeatTrack, 9) << "without repeat the repeated track is left alone";
}

TEST_F(Commands, StopReturnsToTheStartOfTheCurrentTrack) {
    load(twelveTrackDisc());
    pressGridTrack(3);
    tick(10);
    Form1->PM_StopClick(Form1->PM_Stop);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpStopped);
    EXPECT_EQ(Form1->MediaPlayer1->Position(), tmsf::pack(3, 0, 0, 0));
    EXPECT_EQ(LCD_DISPLAY->LB_TIME->Caption(), " 00:00");
}

TEST_F(Commands, EjectWithoutADiscStillStopsEjectsAndBlanks) {
    startApp();
    tick();
    drive.clearLog();
    Form1->PM_EJECTClick(Form1->PM_EJECT);
    EXPECT_EQ(count("stop"), 1);
    EXPECT_EQ(count("eject"), 1);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(Form1->SG_TRACK->Cells(i % 10, i / 10), " ");
    EXPECT_FALSE(Form1->SG_TRACK->isEnabled());
    EXPECT_EQ(LCD_DISPLAY->LB_TRACK->Caption(), " ");
    EXPECT_EQ(LCD_DISPLAY->LB_TIME->Caption(), " ");
    EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), " ");
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE->Caption(), "DISK");
    EXPECT_TRUE(Form1->Timer1->Enabled());
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_EQ(ShownTrack, -1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Commands, EjectOffersTheTrackSelectorAgain) {
    load(twelveTrackDisc());
    Form1->PM_SELClick(Form1->PM_SEL);
    ASSERT_FALSE(Form1->PM_SEL->isVisible());
    ASSERT_TRUE(Form5->isVisible());
    Form1->PM_EJECTClick(Form1->PM_EJECT);
    EXPECT_TRUE(Form1->PM_SEL->isVisible());
    EXPECT_TRUE(Form1->PM_LINE->isVisible());
    EXPECT_FALSE(Form5->isVisible());
}

// A drive found unusable after it opened (a rip whose files do not play, found by the drive's
// worker) is said once, as a failed open is, and again after the next power on.
TEST_F(Commands, ADriveFoundUnusableAfterOpeningIsSaidOncePerPowerOn) {
    startApp();
    drive.failLater("音声ファイルを読めません: bad.flac");
    tick(4);
    EXPECT_EQ(errors, std::vector<std::string>{"音声ファイルを読めません: bad.flac."});
    Form1->MediaPlayer1->Close();
    Form1->MediaPlayer1->Open();
    tick(4);
    EXPECT_EQ(errors.size(), 2u);
}

// Quitting must work also when the device never opened: the open error is shown once, and the
// exit ends the program (the close handler writes the settings) without a second error.
class QuitAfterFailedOpen : public EngineFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(QuitAfterFailedOpen, EndsTheProgramWithoutAnotherError) {
    drive.failOpen("ドライブがありません");
    startApp();
    ASSERT_EQ(errors, std::vector<std::string>{"ドライブがありません."});
    EXPECT_EQ(Form1->PA_POWER->Tag, 1);
    EXPECT_TRUE(Form1->MediaPlayer1->isEnabled());
    EXPECT_FALSE(Form1->Timer1->Enabled());
    ASSERT_FALSE(QFileInfo::exists(settingsPath()));
    if (GetParam())
        Form1->PA_POWERClick(Form1->PA_POWER);
    else
        Form1->PM_EXITClick(Form1->PM_EXIT);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(Form1->PA_POWER->Tag, 0);
    EXPECT_TRUE(QFileInfo::exists(settingsPath())) << "the main panel was not closed";
}

INSTANTIATE_TEST_SUITE_P(ExitOrPowerOff, QuitAfterFailedOpen, ::testing::Bool());

TEST_F(Commands, PowerOffStopsAndClosesTheDeviceAndEndsTheProgram) {
    load(twelveTrackDisc());
    Form1->PM_PlayClick(Form1->PM_Play);
    tick();
    drive.clearLog();
    Form1->PA_POWERClick(Form1->PA_POWER);
    EXPECT_EQ(drive.log(), (std::vector<std::string>{"stop", "close"}));
    EXPECT_FALSE(Form1->Timer1->Enabled());
    EXPECT_TRUE(LCD_DISPLAY->LB_NAME->isHidden());
    EXPECT_TRUE(QFileInfo::exists(settingsPath()));
    EXPECT_TRUE(errors.empty());
}

// Power off in the middle of a scrolling title: the title line is taken over (one window, one
// wait) while the device is still open, and only then is the device stopped and closed.
TEST_F(Commands, PowerOffDuringAScrollStopsTheMarqueeBeforeClosingTheDevice) {
    const platform::SimulatedDisc disc = twelveTrackDisc();
    writeCatalogue(discLength(disc), {std::string(40, 'D'), std::string(50, 'a')});
    load(disc);
    std::vector<bool> closedAtWait;
    setWaitHook([&](int) {
        closedAtWait.push_back(count("close") > 0);
        if (closedAtWait.size() == 1) Form1->PA_POWERClick(Form1->PA_POWER);
    });
    titleLine.clear();
    LCD_DISPLAY->LB_NAMEClick(LCD_DISPLAY->LB_NAME);  // scroll the long disc title
    ASSERT_EQ(closedAtWait.size(), 2u) << "the outer marquee must stop after the power-off";
    EXPECT_FALSE(closedAtWait[1]) << "the marquee was taken over after the device closed";
    EXPECT_EQ(count("close"), 1);
    EXPECT_EQ(LCD_DISPLAY->LB_OVER->Tag, 0);
    EXPECT_TRUE(errors.empty());
}

// A tick suspended in a marquee's wait while the exit command runs must not act on the device that
// the exit has just closed.
TEST_F(Commands, ExitInsideAMarqueeWaitLeavesTheOuterTickQuiet) {
    const platform::SimulatedDisc disc = twelveTrackDisc();
    writeCatalogue(discLength(disc), {"disc", std::string(40, 'a'), std::string(40, 'b'), std::string(40, 'c')});
    load(disc);
    Form1->PM_PlayClick(Form1->PM_Play);
    Form1->PA_ShffClick(Form1->PA_Shff);
    bool exited = false;
    setWaitHook([&](int) {
        if (exited) return;
        exited = true;
        Form1->PM_EXITClick(Form1->PM_EXIT);
    });
    ShownTrack = -1;  // the next tick refreshes the track title, and scrolls it
    tick();
    ASSERT_TRUE(exited);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(drive.log().back(), "close");
}

// The largest delay the settings can give must wait: an overflowing deadline made Qt refuse the
// timer (a warning, and a wait that never ends). Run in a child: a warning ends it with 3, a timer
// that fires during the wait with 0.
TEST(WaitMsDeathTest, TheLargestDelayWaitsWithoutAnOverflow) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setWaitHook({});
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &) {
                if (type != QtDebugMsg && type != QtInfoMsg) std::_Exit(3);
            });
            QTimer::singleShot(50, [] { std::_Exit(0); });
            WaitMs(std::numeric_limits<int>::max());
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(WaitMs, HandlesAPostedEventAndReturns) {
    setWaitHook({});
    bool handled = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { handled = true; }, Qt::QueuedConnection);
    WaitMs(0);
    EXPECT_TRUE(handled);
}

}  // namespace
