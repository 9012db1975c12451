#pragma once

#include "ui/TransportBar.h"
#include "ui/controls/Label.h"
#include "ui/controls/MenuItem.h"
#include "ui/controls/Panel.h"
#include "ui/controls/Timer.h"
#include "ui/controls/TrackGrid.h"

#include <QMenu>
#include <QToolButton>
#include <QWidget>

// The main panel: a borderless black strip with the power button, the track grid, the transport
// bar under its shutter, the function buttons and the popup menu that the other windows share.
// It owns the CD audio device (MediaPlayer1) and the status poll (Timer1). Its handlers are
// spread over the files of the player engine and of this window, each next to what it does.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);

    // --- controls, in creation order ---
    TPanel *Panel1;
    TLabel *LB_POWER;
    QWidget *Shape1;
    TPanel *PA_POWER;
    TTrackGrid *SG_TRACK;
    TPanel *Panel3;
    TMediaPlayer *MediaPlayer1;
    TPanel *PA_SUTTER;
    TLabel *LB_Tunewick;
    QToolButton *SBT_ABOUT;
    QToolButton *SBT_DATA;
    QToolButton *SBT_HELP;
    TPanel *Panel2;
    TPanel *PA_DISP;
    TPanel *PA_ICON;
    TPanel *PA_Repeat;
    TPanel *PA_Shff;
    TPanel *PA_MINI;
    TTimer *Timer1;

    QMenu *PM1;
    TMenuItem *PM_RESIZE;
    TMenuItem *PM_SEL;
    TMenuItem *PM_LINE;
    TMenuItem *PM_Play;
    TMenuItem *PM_Pause;
    TMenuItem *PM_Stop;
    TMenuItem *PM_EJECT;
    TMenuItem *PM_N3;
    TMenuItem *PM_REPEAT;
    TMenuItem *PM_SHFF;
    TMenuItem *N1;
    TMenuItem *PM_DISP;
    TMenuItem *PM_LOOP;
    TMenuItem *PM_DEEMPH;
    TMenuItem *PM_ONLINE;
    TMenuItem *PM_ACCURATERIP;
    TMenuItem *N2;
    TMenuItem *PM_HELP;
    TMenuItem *PM_VER;
    TMenuItem *N4;
    TMenuItem *PM_EXIT;

    // --- start-up and shutdown ---
    void FormCreate(QObject *Sender);
    void FormShow(QObject *Sender);
    void FormClose(QObject *Sender);

    // --- power and transport ---
    void PA_POWERClick(QObject *Sender);
    void MediaPlayer1Click(QObject *Sender, TMPBtnType Button, bool &DoDefault);
    void PM_PlayClick(QObject *Sender);
    void PM_StopClick(QObject *Sender);
    void PM_PauseClick(QObject *Sender);
    void PM_EJECTClick(QObject *Sender);
    void PM_EXITClick(QObject *Sender);

    // --- status poll ---
    void Timer1Timer(QObject *Sender);

    // --- play modes ---
    void PA_RepeatClick(QObject *Sender);
    void PA_ShffClick(QObject *Sender);
    void PA_RepeatExit(QObject *Sender);
    void PA_ShffExit(QObject *Sender);
    void PM_LOOPClick(QObject *Sender);
    // Switches the de-emphasis of tracks mastered with pre-emphasis off or on (some discs carry
    // the flag wrongly); the drive follows at once, and ROTOR.INI keeps the choice.
    void PM_DEEMPHClick(QObject *Sender);

    // --- titles from the internet ---
    void PM_ONLINEClick(QObject *Sender);
    // Switches the AccurateRip check of saved tracks on or off; ROTOR.INI keeps the choice.
    void PM_ACCURATERIPClick(QObject *Sender);

    // --- the panel's own ---
    void PA_DISPClick(QObject *Sender);
    void PA_ICONClick(QObject *Sender);
    void PA_MINIClick(QObject *Sender);
    void LB_TunewickClick(QObject *Sender);
    void PA_SUTTERClick(QObject *Sender);
    void SBT_ABOUTClick(QObject *Sender);
    void SBT_DATAClick(QObject *Sender);
    void SBT_HELPClick(QObject *Sender);
    void PM_HELPClick(QObject *Sender);
    void PM_SELClick(QObject *Sender);
    void PM_RESIZEClick(QObject *Sender);
    void FormResize(QObject *Sender);
    void SG_TRACKMouseUp(QObject *Sender, Qt::MouseButton Button);

    // Numbers the grid cells of tracks 1..count ("%2.2d").
    void numberGrid(int count);
    // Makes the grid cell of `track` the current one.
    void selectGridTrack(int track);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void shuffleStep(QObject *Sender, int remaining, bool discEnded);
    void endOfShuffle(QObject *Sender);
    void forgetDisc(QObject *Sender);
    void createControls();
    void createMenu();
    void connectHandlers();
    TPanel *makeFunctionButton(QWidget *parent, QRect geometry, const QString &caption, const QString &hint);
};

extern TForm1 *Form1;

// The application title: the text of the program's task-bar entry (the main panel's window title).
void setApplicationTitle(const QString &title);
QString applicationTitle();
