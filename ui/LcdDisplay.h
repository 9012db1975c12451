#pragma once

#include "ui/controls/Label.h"
#include "ui/controls/Panel.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <string>

// The always-on-top green display: the title line (disc or track title, scrolled when long), the
// track number and the time, small captions, the play-mode tag, the red "over" mark, and four
// small panels along the bottom edge that serve as buttons. It shares the main panel's menu.
class TLCD_DISPLAY : public QWidget {
    Q_OBJECT
public:
    explicit TLCD_DISPLAY(QWidget *parent = nullptr);

    TPanel *Panel1;
    TPanel *Panel2;
    TLabel *LB_TITLE;   // title mode: "DISK" or "TITLE"
    TLabel *LB_OVER;    // the "over" mark; its Tag is the marquee counter
    TLabel *LB_MODE;
    TLabel *LB_TITLE2;
    TLabel *LB_TITLE3;  // "TIME" or "REMAIN"
    TLabel *LB_NAME;    // the title line
    TLabel *LB_TRACK;
    TLabel *LB_TIME;
    TPanel *PA_TITLE;
    TPanel *PA_REMEIN;
    TPanel *Panel3;
    TPanel *PA_COM;

    void FormCreate(QObject *Sender);
    void PA_TITLEClick(QObject *Sender);
    void LB_NAMEClick(QObject *Sender);
    void PA_REMEINClick(QObject *Sender);
    void PA_COMClick(QObject *Sender);
    void Panel3Click(QObject *Sender);

    // The lime face with its labels as they stand, drawn into an image; works while the window
    // is hidden (for tests and pictures of the display).
    QImage renderFace() const;

protected:

private:
    void createControls();
    void connectHandlers();
};

extern TLCD_DISPLAY *LCD_DISPLAY;

// Shows `text` (code page 932 bytes) on the title line; a text of 28 bytes or more scrolls once
// through, one character per ScrollDelay, then shows its head with the "over" mark. Waits in WaitMs,
// so ticks and clicks run inside it; a newer call takes the line over.
void ShowScrollTitle(const std::string &text);

// Test seam: called with each window of text that the marquee puts on the title line.
void setTitleLineObserver(std::function<void(const std::string &)> observer);
