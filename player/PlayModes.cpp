// The repeat, shuffle, endless and de-emphasis switches of the main panel and its menu.
#include "app/SettingsFile.h"
#include "platform/Deemphasis.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "player/Shuffle.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/controls/Colours.h"

namespace {

void setSwitchLook(TPanel *panel, bool on, const QString &hint) {
    panel->setBevelInner(on ? bvLowered : bvNone);
    panel->setFontColor(on ? kGreen : kWhite);
    panel->setHint(hint);
}

// The eject blanks the grid with single spaces: a blank first cell lists no disc either.
bool discListed() {
    const std::string &first = Form1->SG_TRACK->Cells(0, 0);
    return first.find_first_not_of(' ') != std::string::npos;
}

}  // namespace

void TForm1::PA_RepeatClick(QObject *Sender) {
    if (!discListed()) return;
    if (RepeatOn) return PA_RepeatExit(Sender);
    PM_REPEAT->setCheckMark(true);
    setSwitchLook(PA_Repeat, true, QStringLiteral("ﾘﾋﾟｰﾄ解除"));
    PA_ShffExit(Sender);
    RepeatTrack = CurrentTrack;
    RepeatOn = true;
    ShuffleOn = false;
    LCD_DISPLAY->LB_MODE->setCaption("REPEAT");
    PlayCD(Sender);
}

void TForm1::PA_ShffClick(QObject *Sender) {
    if (!discListed()) return;
    if (ShuffleOn) return PA_ShffExit(Sender);
    // With the door open the grid may still list the last disc, but there is nothing to shuffle:
    // an order drawn from no tracks would leave shuffle on with an order of no disc.
    if (MediaPlayer1->Tracks() < 1) return;
    setSwitchLook(PA_Shff, true, QStringLiteral("ｼｬｯﾌﾙ解除"));
    PM_SHFF->setCheckMark(true);
    std::mt19937 random = clockSeededGenerator();
    int n = MediaPlayer1->Tracks();
    bool playing = MediaPlayer1->Mode() == mpPlaying;
    drawShuffleOrder(PlayOrder, std::min(n, 100), playing ? CurrentTrack : 0, random);
    PA_RepeatExit(Sender);
    LCD_DISPLAY->LB_MODE->setCaption("SHFFLE");
    ShuffleOn = true;
    PlayOrderPos = 1;
    ShownTrack = -1;
    if (MediaPlayer1->Mode() != mpPlaying) {
        MediaPlayer1->SetPosition(tmsf::pack(PlayOrder[1], 0, 0, 0));
        PlayCD(Sender);
    }
    MediaPlayer1->setEnabledButtons(buttonSet({btPause, btStop, btEject}));
}

void TForm1::PA_RepeatExit(QObject *) {
    setSwitchLook(PA_Repeat, false, QStringLiteral("ﾘﾋﾟｰﾄﾌﾟﾚｲ"));
    RepeatTrack = 0;
    RepeatOn = false;
    PM_REPEAT->setCheckMark(false);
    LCD_DISPLAY->LB_MODE->setCaption("");
}

void TForm1::PA_ShffExit(QObject *) {
    setSwitchLook(PA_Shff, false, QStringLiteral("ｼｬｯﾌﾙﾌﾟﾚｲ"));
    ShuffleOn = false;
    PM_SHFF->setCheckMark(false);
    LCD_DISPLAY->LB_MODE->setCaption("");
    MediaPlayer1->setEnabledButtons(buttonSet({btPause, btStop, btNext, btPrev, btEject}));
}

void TForm1::PM_LOOPClick(QObject *) {
    EndlessOn = !EndlessOn;
    PM_LOOP->setCheckMark(EndlessOn);
}

// Remembered at once rather than at the close, which writes its own set of keys.
void TForm1::PM_DEEMPHClick(QObject *) {
    platform::setDeemphasisEnabled(!platform::deemphasisEnabled());
    PM_DEEMPH->setCheckMark(platform::deemphasisEnabled());
    SettingsFile(QStringLiteral("ROTOR.INI")).WriteFlag("Tunewick", "Deemphasis", platform::deemphasisEnabled());
}
