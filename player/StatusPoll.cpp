// The status poll: every 250 ms the player follows the device and carries out the play modes.
#include "catalogue/DiscLoading.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string format(const char *pattern, int a, int b) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, pattern, a, b);
    return buffer;
}

QString trackTitle(int track) {
    return QStringLiteral("CD-Tunewick32 Track : ") + QString::fromStdString(twoDigits(track));
}

// What one tick learned from the device about the time.
struct TickTime {
    uint32_t pos = 0;
    std::string trackText;
    int remaining = 0;  // whole seconds left in the track that was current before this tick
};

}  // namespace

void TForm1::Timer1Timer(QObject *Sender) {
    TMediaPlayer *device = MediaPlayer1;

    // 1. No disc, or the door is open.
    if (const int mode = device->Mode(); mode == mpOpen || mode == mpNotReady) {
        if (device->Tag != 0)
            EjectCD(Sender);
        else if (SG_TRACK->Tag == 1 || RepeatOn || ShuffleOn || CurrentTrack != 1)
            forgetDisc(Sender);
        LCD_DISPLAY->LB_OVER->Tag = 1;
        SG_TRACK->Tag = 0;
        device->CheckLateFailure();
        return;
    }

    // 2. A new disc.
    if (SG_TRACK->Tag == 0) {
        SG_TRACK->Tag = 1;
        SG_TRACK->setEnabled(true);
        LoadDisc();
        LCD_DISPLAY->LB_NAME->show();
    }

    // 3. Re-initialise the transport bar after a reset.
    if (device->Tag == 0) {
        device->setEnabledButtons(buttonSet({btPlay, btEject}));
        device->Tag = 1;
        PM_Stop->setCheckMark(true);
    }

    // 4. The current track changed.
    if (ShownTrack != CurrentTrack) {
        setApplicationTitle(trackTitle(CurrentTrack));
        if (!ShuffleOn) numberGrid(device->Tracks());
        ShownTrack = CurrentTrack;
        selectGridTrack(CurrentTrack);
        Form5->FormActivate(Sender);
        ShowTrackTitle();
    }

    // 5. Time. A tick that finds the power off is one that was suspended in a marquee's wait while
    // the program was told to quit: the device is stopped and closed by now, so nothing of the
    // track may count as run out and no repeat, shuffle or end-of-disc action may start.
    if (PA_POWER->Tag != 1) return;
    TickTime time;
    time.pos = device->Position();
    uint32_t len = device->TrackLength(CurrentTrack);
    time.trackText = twoDigits(tmsf::track(time.pos));
    time.remaining = (msf::minutes(len) * 60 + msf::seconds(len)) -
                     (tmsf::minutes(time.pos) * 60 + tmsf::seconds(time.pos));

    // 6. Playing: show the time and follow the device.
    bool discEnded = false;
    if (device->Mode() == mpPlaying) {
        std::string timeText;
        if (TimeMode != 0) {
            LCD_DISPLAY->LB_TITLE3->setCaption("REMAIN");
            timeText = format("-%2.2d:%2.2d", time.remaining / 60, time.remaining % 60);
            if (TimeMode == 2) {
                int left = ShuffleOn ? TrackCount - PlayOrderPos + 1 : TrackCount - tmsf::track(time.pos) + 1;
                time.trackText = "-" + twoDigits(left);
            }
        }
        if (TimeMode == 0) {
            LCD_DISPLAY->LB_TITLE3->setCaption("TIME");
            timeText = format(" %2.2d:%2.2d", tmsf::minutes(time.pos), tmsf::seconds(time.pos));
        }
        LCD_DISPLAY->LB_TRACK->setCaption(time.trackText);
        LCD_DISPLAY->LB_TIME->setCaption(timeText);
        CurrentTrack = tmsf::track(time.pos);
    } else if (device->Tag != 2) {
        // 7. Not playing and not paused: the end of the disc? Play stops after the last audio
        // track, also on a disc whose data track comes after it.
        setApplicationTitle(QStringLiteral("CD-Tunewick32"));
        if (time.remaining <= 0 && (device->LastAudioTrack() == CurrentTrack ||
                                    PlayOrder[std::clamp(device->Tracks(), 0, 100)] == CurrentTrack)) {
            discEnded = true;
            CurrentTrack = 1;
            ShownTrack = -1;
            device->Tag = 0;
            device->SetPosition(tmsf::pack(1, 0, 0, 0));
            SG_TRACK->setCurrent(0, 0);
            // Repeat, and a shuffle order with entries left, go on whether the device stopped at
            // the disc's end or a tick caught the track's last fraction first: repeat seeks back
            // below, the shuffle step plays the next entry.
            const bool modeGoesOn = RepeatOn || (ShuffleOn && PlayOrderPos < device->Tracks());
            if (EndlessOn || modeGoesOn) {
                if (!ShuffleOn) PlayCD(Sender);
            } else {
                StopCD(Sender);
            }
        }
    }

    // 8. Repeat.
    if (RepeatOn && (CurrentTrack != RepeatTrack || time.remaining <= 0)) {
        ShownTrack = -1;
        device->SetPosition(tmsf::pack(RepeatTrack, 0, 0, 0));
        device->Play();
    }

    // 9. Shuffle.
    if (ShuffleOn) shuffleStep(Sender, time.remaining, discEnded);
}

// The disc went while the transport was reset (in the tick after the disc's end, or before the
// poll had set the transport up), so no eject forgot it: its current track, repeat track or shuffle
// order must not carry over to the next disc, nor its numbers in the grid past a shorter disc's end.
void TForm1::forgetDisc(QObject *Sender) {
    CurrentTrack = 1;
    ShownTrack = -1;
    blankTrackGrid();
    PA_RepeatExit(Sender);
    PA_ShffExit(Sender);
    MediaPlayer1->setEnabledButtons(buttonSet({btEject}));
}

void TForm1::shuffleStep(QObject *Sender, int remaining, bool discEnded) {
    TMediaPlayer *device = MediaPlayer1;
    int entry = PlayOrder[std::clamp(PlayOrderPos, 0, 100)];
    bool ranOut = entry < CurrentTrack || (remaining <= 0 && entry == CurrentTrack);
    // The device stopped at the end of the disc: the entry has run out as well, and play goes on
    // with the order instead of standing still.
    if (discEnded) ranOut = true;
    if (device->Tracks() >= PlayOrderPos && ranOut) {
        if (entry >= 1 && entry <= 100) SG_TRACK->setCell((entry - 1) % 10, (entry - 1) / 10, "");
        if (PlayOrderPos < device->Tracks()) {
            int next = PlayOrder[PlayOrderPos + 1];
            device->Pause();
            device->SetPosition(tmsf::pack(next, 0, 0, 0));
            if (discEnded)
                PlayCD(Sender);
            else
                device->Play();
            PlayOrderPos = PlayOrderPos + 1;
            return;
        }
        // After the last entry there is nothing to seek to: the end of the order follows at once.
        PlayOrderPos = PlayOrderPos + 1;
    }
    if (device->Tracks() < PlayOrderPos) endOfShuffle(Sender);
}

void TForm1::endOfShuffle(QObject *Sender) {
    TMediaPlayer *device = MediaPlayer1;
    numberGrid(device->Tracks());
    ShownTrack = CurrentTrack;
    if (EndlessOn) {
        // The last entry may still be in its final fraction of a second: a new order drawn while
        // it plays would take it as its first entry and leave it at the next tick, unplayed. The
        // new order is drawn as if stopped and starts at the start of its first entry.
        device->Stop();
        PA_ShffExit(Sender);
        PA_ShffClick(Sender);
        return;
    }
    device->SetPosition(tmsf::pack(1, 0, 0, 0));
    device->Stop();
    PA_ShffExit(Sender);
    device->setEnabledButtons(buttonSet({btPlay, btEject}));
}
