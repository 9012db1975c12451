#include "player/Commands.h"

#include "catalogue/DiscLoading.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"
#include "ui/controls/Colours.h"
#include "ui/controls/Timer.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

std::function<void(int)> &waitHook() {
    static std::function<void(int)> hook;
    return hook;
}

void setTransportMarks(bool play, bool stop, bool pause) {
    Form1->PM_Play->setCheckMark(play);
    Form1->PM_Stop->setCheckMark(stop);
    Form1->PM_Pause->setCheckMark(pause);
}

// Stops and closes the device when it is open; after a failed open there is nothing to stop.
void stopAndCloseDevice() {
    TMediaPlayer *device = Form1->MediaPlayer1;
    if (!device->isEnabled() || !device->isDeviceOpen()) return;
    device->Stop();
    device->Close();
}

void keepRepeatTrackOnDisc(int tracks) { RepeatTrack = std::clamp(RepeatTrack, 1, std::max(tracks, 1)); }

std::function<std::string()> &playRefusal() {
    static std::function<std::string()> reason;
    return reason;
}

}  // namespace

void setPlayRefusal(std::function<std::string()> reason) { playRefusal() = std::move(reason); }

void setWaitHook(std::function<void(int)> hook) { waitHook() = std::move(hook); }

namespace {

// Waits `ms` milliseconds, or until `timer`'s clock runs out when that comes first.
void waitFor(const TTimer *timer, int ms) {
    if (waitHook()) return waitHook()(ms);
    // The wait ends at the first check after the deadline: one millisecond past it. The longest
    // wait is one millisecond short of the largest count, so that adding that millisecond cannot
    // overflow.
    const int interval = std::clamp(ms, 0, std::numeric_limits<int>::max() - 1) + 1;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (timer) QObject::connect(timer, &TTimer::clockRanOut, &loop, &QEventLoop::quit);
    deadline.start(interval);
    loop.exec();
}

}  // namespace

void WaitMs(int ms) { waitFor(nullptr, ms); }

void WaitForTimer(const TTimer &timer, int ms) { waitFor(&timer, ms); }

void PlayCD(QObject *) {
    if (playRefusal())
        if (const std::string why = playRefusal()(); !why.empty()) throw std::runtime_error(why);
    Form1->MediaPlayer1->setEnabledButtons(ShuffleOn ? buttonSet({btPause, btStop, btEject})
                                                     : buttonSet({btPause, btStop, btNext, btPrev, btEject}));
    Form1->Timer1->setEnabled(true);
    setTransportMarks(true, false, false);
    Form1->MediaPlayer1->Tag = 1;
    Form1->MediaPlayer1->Play();
    LCD_DISPLAY->LB_TITLE->setCaption("TITLE");
    ShowTrackTitle();
}

void StopCD(QObject *Sender) {
    uint32_t start = tmsf::pack(CurrentTrack, 0, 0, 0);
    Form1->MediaPlayer1->Stop();
    Form1->MediaPlayer1->Tag = 0;
    Form1->MediaPlayer1->SetPosition(start);
    Form1->PA_RepeatExit(Sender);
    Form1->PA_ShffExit(Sender);
    Form1->MediaPlayer1->setEnabledButtons(buttonSet({btPlay, btEject}));
    setTransportMarks(false, true, false);
    LCD_DISPLAY->LB_TIME->setCaption(" 00:00");
}

void PauseCD() {
    Form1->MediaPlayer1->setEnabledButtons(buttonSet({btPlay, btStop, btEject}));
    Form1->MediaPlayer1->Pause();
    Form1->MediaPlayer1->Tag = 2;
    setTransportMarks(false, false, true);
    Form1->MediaPlayer1->Pause();
}

// CurrentTrack is refreshed only by the next tick, so two presses within a tick (or a press just
// after the device ran on into another track) would move the repeated track past the disc's first
// or last track: it is kept on the disc.
void NextTrack() {
    if (RepeatOn) {
        const int tracks = Form1->MediaPlayer1->Tracks();
        if (tracks > RepeatTrack)
            RepeatTrack = RepeatTrack + 1;
        else
            RepeatTrack = CurrentTrack;
        keepRepeatTrackOnDisc(tracks);
    }
    Form1->MediaPlayer1->Next();
}

void PrevTrack() {
    if (RepeatOn) {
        if (CurrentTrack > 1)
            RepeatTrack = RepeatTrack - 1;
        else
            RepeatTrack = CurrentTrack;
        keepRepeatTrackOnDisc(Form1->MediaPlayer1->Tracks());
    }
    Form1->MediaPlayer1->Previous();
}

void EjectCD(QObject *Sender) {
    LCD_DISPLAY->LB_OVER->Tag = 2;
    LCD_DISPLAY->LB_NAME->hide();
    Form1->MediaPlayer1->Stop();
    setTransportMarks(false, false, false);
    CurrentTrack = 1;
    ShownTrack = -1;
    blankTrackGrid();
    setApplicationTitle(QStringLiteral("CD-Tunewick32"));
    Form1->PA_RepeatExit(Sender);
    Form1->PA_ShffExit(Sender);
    Form1->MediaPlayer1->setEnabledButtons(buttonSet({btEject}));
    Form1->MediaPlayer1->Tag = 0;
    Form1->MediaPlayer1->Eject();
    Form1->Timer1->setEnabled(true);
    LCD_DISPLAY->LB_TRACK->setCaption(" ");
    LCD_DISPLAY->LB_TIME->setCaption(" ");
    LCD_DISPLAY->LB_NAME->setCaption(" ");
    LCD_DISPLAY->LB_TITLE->setCaption("DISK");
    LCD_DISPLAY->LB_OVER->hide();
    Form5->BitBtn2Click(Sender);
}

void blankTrackGrid() {
    Form1->SG_TRACK->setCurrent(0, 0);
    Form1->SG_TRACK->setEnabled(false);
    for (int i = 0; i < 100; ++i) Form1->SG_TRACK->setCell(i % 10, i / 10, " ");
}

// --- handlers of the main panel ---

void TForm1::PA_POWERClick(QObject *Sender) {
    if (PA_POWER->Tag == 0) {
        PA_POWER->Tag = 1;
        LB_POWER->setColor(kLime);
        PA_POWER->setFontColor(kGreen);
        LCD_DISPLAY->LB_TITLE3->show();
        LCD_DISPLAY->LB_TITLE2->show();
        LCD_DISPLAY->LB_TITLE->show();
        LCD_DISPLAY->LB_NAME->show();
        MediaPlayer1->setEnabled(true);
        MediaPlayer1->Open();
        CurrentTrack = 1;
        ShownTrack = -1;
        PA_Repeat->show();
        PA_Shff->show();
        PM_REPEAT->setEnabled(true);
        PM_SHFF->setEnabled(true);
        Timer1->setEnabled(true);
        SG_TRACK->setEnabled(true);
        SG_TRACK->setColor(kGreen);
        return;
    }
    Timer1->setEnabled(false);
    LCD_DISPLAY->LB_NAME->hide();
    // Re-showing the title may fail (an unreadable catalogue file); that is shown, and the power
    // still goes off: the user must never be left unable to quit.
    if (LCD_DISPLAY->LB_OVER->Tag == 1) runGuarded([Sender] { LCD_DISPLAY->LB_NAMEClick(Sender); });
    PA_POWER->Tag = 0;
    stopAndCloseDevice();
    close();
}

void TForm1::MediaPlayer1Click(QObject *Sender, TMPBtnType Button, bool &DoDefault) {
    // The command already drives the device; the bar's own operation would repeat it.
    switch (Button) {
    case btPlay: PlayCD(Sender); break;
    case btPause: PauseCD(); break;
    case btStop: StopCD(Sender); break;
    case btNext: NextTrack(); break;
    case btPrev: PrevTrack(); break;
    case btEject: EjectCD(Sender); break;
    default: return;
    }
    DoDefault = false;
}

void TForm1::PM_PlayClick(QObject *Sender) { PlayCD(Sender); }
void TForm1::PM_StopClick(QObject *Sender) { StopCD(Sender); }
void TForm1::PM_PauseClick(QObject *) { PauseCD(); }
void TForm1::PM_EJECTClick(QObject *Sender) { EjectCD(Sender); }

void TForm1::PM_EXITClick(QObject *) {
    PA_POWER->Tag = 0;
    stopAndCloseDevice();
    close();
}
