// The player's keys against the mouse: a key leaves the player as the same press of the mouse
// leaves it; digits choose a track as a remote does.
#include "tests/support/AppFixture.h"

#include "desktop/MediaControls.h"
#include "player/PlayerState.h"
#include "ui/Form1.h"
#include "ui/Keyboard.h"
#include "ui/LcdDisplay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

namespace {

struct Press {
    const char *what;
    QList<int> keys;
    std::function<void()> mouse;
};

auto bar(TMPBtnType kind) {
    return [kind] {
        TMediaPlayer *b = Form1->MediaPlayer1;
        const int left = transportButtonLeft(kind, b->width(), b->VisibleButtons());
        QTest::mouseClick(b, Qt::LeftButton, {}, {left + transportButtonWidth(b->width(), b->VisibleButtons()) / 2, 9});
    };
}
auto panel(TPanel *TForm1::*member) { return [member] { QTest::mouseClick(Form1->*member, Qt::LeftButton); }; }
auto cell(int track) {
    return [track] {
        QTest::mouseClick(Form1->SG_TRACK, Qt::LeftButton, {}, Form1->SG_TRACK->cellRect((track - 1) % 10, (track - 1) / 10).center());
    };
}

std::string playerState(const std::vector<std::string> &driveLog) {
    std::string state = std::to_string(CurrentTrack) + " mode " + std::to_string(Form1->MediaPlayer1->Mode()) + "/" + std::to_string(Form1->MediaPlayer1->Tag) + " " +
                        std::to_string(Form1->MediaPlayer1->EnabledButtons()) + " repeat " + std::to_string(RepeatTrack) +
                        std::to_string(RepeatOn) + std::to_string(ShuffleOn) + std::to_string(LcdVisible) +
                        applicationTitle().toStdString() + LCD_DISPLAY->LB_MODE->Caption();
    for (const std::string &entry : driveLog) state += " | " + entry;
    return state;
}

class Keys : public AppFixture {
protected:
    void showWithDisc() {
        insert(twelveTrackDisc());
        createApp();
        Form1->show();
        tick();
        Form1->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
    }
    std::vector<std::string> run(const std::vector<Press> &presses, bool byKey) {
        showWithDisc();
        std::vector<std::string> states;
        for (const Press &press : presses) {
            if (!byKey) press.mouse();
            for (int key : byKey ? press.keys : QList<int>())
                QTest::sendKeyEvent(QTest::Click, QApplication::activeWindow(), Qt::Key(key), QString(), {});
            if (byKey) playPendingTrack();  // the end of the remote's pause
            tick();
            states.push_back(press.what + (": " + playerState(drive.log())));
        }
        return states;
    }
};

TEST_F(Keys, EachKeyLeavesThePlayerAsTheSamePressOfTheMouse) {
    const std::vector<Press> presses = {
        {"Space plays", {Qt::Key_Space}, bar(btPlay)}, {"N", {Qt::Key_N}, bar(btNext)},
        {"Right", {Qt::Key_Right}, bar(btNext)}, {"Left", {Qt::Key_Left}, bar(btPrev)},
        {"Space pauses", {Qt::Key_Space}, bar(btPause)}, {"Space resumes", {Qt::Key_Space}, bar(btPlay)},
        {"L repeats and plays", {Qt::Key_L}, panel(&TForm1::PA_Repeat)},
        {"P under repeat", {Qt::Key_P}, bar(btPrev)},
        {"media Play/Pause", {Qt::Key_MediaTogglePlayPause}, bar(btPause)},
        {"S stops, repeat goes off", {Qt::Key_S}, bar(btStop)}, {"media Play", {Qt::Key_MediaPlay}, bar(btPlay)},
        {"R shuffles", {Qt::Key_R}, panel(&TForm1::PA_Shff)}, {"N is off under shuffle", {Qt::Key_N}, bar(btNext)},
        {"D shows the LCD", {Qt::Key_D}, panel(&TForm1::PA_DISP)},
        {"1 2 play track 12, shuffle goes off", {Qt::Key_1, Qt::Key_2}, cell(12)},
        {"5 then Enter", {Qt::Key_5, Qt::Key_Enter}, cell(5)}, {"7 then the pause", {Qt::Key_7}, cell(7)},
        {"E ejects", {Qt::Key_E}, bar(btEject)}, {"Space without a disc", {Qt::Key_Space}, bar(btPlay)},
    };
    const std::vector<std::string> byKey = run(presses, true);
    TearDown();
    drive = platform::SimulatedDrive();
    SetUp();
    const std::vector<std::string> byMouse = run(presses, false);
    ASSERT_EQ(byKey.size(), byMouse.size());
    for (size_t i = 0; i < byKey.size(); ++i) EXPECT_EQ(byKey[i], byMouse[i]);
}

TEST_F(Keys, DigitsShowWhileTheyWaitAndANumberOfNoTrackBeeps) {
    int beeps = 0;
    setBeepHook([&] { ++beeps; });
    showWithDisc();
    const std::string cellBefore = Form1->SG_TRACK->Cells(0, 0);
    QTest::keyClick(Form1, Qt::Key_3);
    Form1->Timer1->OnTimer();  // a poll tick rewrites the fields: the digit stays
    EXPECT_EQ(Form1->SG_TRACK->Cells(0, 0), "3-");
    EXPECT_EQ(LCD_DISPLAY->LB_TRACK->Caption(), "3-");
    QTest::keyClick(Form1, Qt::Key_Escape);
    playPendingTrack();
    EXPECT_EQ(Form1->SG_TRACK->Cells(0, 0), cellBefore);
    EXPECT_EQ(LCD_DISPLAY->LB_TRACK->Caption(), "12");
    for (int key : {Qt::Key_3, Qt::Key_0, Qt::Key_0, Qt::Key_Return}) QTest::keyClick(Form1, Qt::Key(key));
    EXPECT_EQ(beeps, 2);
    EXPECT_NE(Form1->MediaPlayer1->Mode(), mpPlaying);
    setBeepHook({});
}

// A digit waits for a second one, and any other action forgets it: the waiting digit never plays
// after the action.
TEST_F(Keys, AnyOtherActionForgetsTheWaitingDigit) {
    showWithDisc();
    auto *controls = new MediaControls(Form1);
    MprisPlayer *mpris = controls->findChild<MprisPlayer *>();
    ASSERT_NE(mpris, nullptr);
    struct Case {
        const char *what;
        int digit;
        std::function<void()> action;
        int trackAfter;
    };
    const Case cases[] = {
        {"5, then the mouse on Play", Qt::Key_5, bar(btPlay), 1},
        {"3, then the mouse on cell 07", Qt::Key_3, cell(7), 7},
        {"4, then MPRIS Stop", Qt::Key_4,
         [&] {
             mpris->Stop();
             QApplication::processEvents();
         },
         7},
        {"6, then MPRIS Next", Qt::Key_6,
         [&] {
             mpris->Play();
             QApplication::processEvents();
             mpris->Next();
             QApplication::processEvents();
         },
         8},
    };
    for (const Case &c : cases) {
        QTest::keyClick(Form1, Qt::Key(c.digit));
        ASSERT_FALSE(pendingTrackDigits().isEmpty()) << c.what;
        c.action();
        tick();
        EXPECT_EQ(pendingTrackDigits(), QString()) << c.what;
        playPendingTrack(); // the end of the remote's pause
        tick();
        EXPECT_EQ(CurrentTrack, c.trackAfter) << c.what;
    }
}

// The remote's pause runs on the real timer: a digit alone plays its track a second after it was
// typed, not sooner, and not never.
TEST_F(Keys, ADigitAlonePlaysItsTrackASecondLater) {
    showWithDisc();
    TTimer::holdAllTimers(false);
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(Form1, Qt::Key_7);
    QTest::qWait(500);
    if (clock.elapsed() < 900) {
        EXPECT_EQ(pendingTrackDigits(), QStringLiteral("7")) << "the pause ended within half a second";
        EXPECT_NE(CurrentTrack, 7);
    }
    EXPECT_TRUE(QTest::qWaitFor([] { return pendingTrackDigits().isEmpty(); }, 3000))
        << "the pause never ended";
    EXPECT_GE(clock.elapsed(), 900) << "a coarse timer may fire 5% early, no more";
    tick();
    EXPECT_EQ(CurrentTrack, 7);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
}

}  // namespace
