#pragma once

#include "ui/controls/Label.h"
#include "ui/controls/Panel.h"

#include <QGroupBox>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

// The track selector: a slider over the disc's tracks, the track number and title in LCD-like
// fields, "Do Play" and "Close". It follows playback whether shown or not.
class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);

    TPanel *Panel1;
    QPushButton *BitBtn1;  // "Do Play"
    QPushButton *BitBtn2;  // "Close"
    QGroupBox *GroupBox3;
    QSlider *TrackBar1;
    TPanel *Panel2;
    QGroupBox *GroupBox1;
    TLabel *TRACK;
    QGroupBox *GroupBox2;
    TLabel *TR_NAME;

    void FormCreate(QObject *Sender);
    void FormActivate(QObject *Sender);
    void TrackBar1Change(QObject *Sender);
    void BitBtn1Click(QObject *Sender);
    void BitBtn2Click(QObject *Sender);

protected:
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void connectHandlers();
    bool m_settingFromCode = false;
};

extern TForm5 *Form5;
