#include "ui/TrackSelector.h"

#include "app/SettingsFile.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/DiscLoading.h"
#include "platform/TitleEncoding.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/controls/DragMove.h"
#include "ui/controls/Fonts.h"
#include "ui/controls/Colours.h"

#include <QEvent>

#include <algorithm>

TForm5 *Form5 = nullptr;

namespace {

QGroupBox *makeGroup(QWidget *parent, QRect geometry, const QString &title) {
    auto *box = new QGroupBox(title, parent);
    box->setGeometry(geometry);
    box->setFont(makeFont(kPGothic, 11, true));
    return box;
}

TLabel *makeField(QWidget *parent, QRect geometry, const std::string &caption) {
    auto *label = new TLabel(parent);
    label->setGeometry(geometry);
    label->setColor(kLime);
    label->setFontColor(Qt::black);
    label->setFont(makeFont(kPGothic, 13, true));
    label->setCaption(caption);
    return label;
}

QPushButton *makeButton(QWidget *parent, QRect geometry, const QString &caption, const QString &hint) {
    auto *button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    button->setFont(makeFont(kPGothic, 12, true));
    button->setToolTip(hint);
    return button;
}

std::string titleField(int track) { return titles::encode(QLatin1Char(' ') + titles::decode(CD_Database->SG1->Cells(1, track))); }

}  // namespace

TForm5::TForm5(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setUpBorderlessWindow(this, QStringLiteral("Form5"), {297, 87}, makeFont(kPGothic, 12));
    move(322, 270);
    createControls();
    connectHandlers();
    Form5 = this;
    runGuarded([this] { FormCreate(this); });
}

void TForm5::createControls() {
    Panel1 = new TPanel(this);
    Panel1->setGeometry(2, 2, 293, 49);
    Panel1->setCursor(Qt::ArrowCursor);
    GroupBox3 = makeGroup(Panel1, {3, 1, 213, 44}, QStringLiteral("SELECT"));
    TrackBar1 = new QSlider(Qt::Horizontal, GroupBox3);
    TrackBar1->setGeometry(4, 10, 203, 30);
    TrackBar1->setRange(1, 10);
    TrackBar1->setValue(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(1);
    TrackBar1->setPageStep(1);
    TrackBar1->setFocusPolicy(Qt::NoFocus);
    BitBtn2 = makeButton(Panel1, {218, 27, 70, 18}, QStringLiteral("Close"), tr("TrackSelecterを閉じる"));
    BitBtn1 = makeButton(Panel1, {218, 5, 70, 18}, QStringLiteral("Do Play"), tr("Track再生"));
    setTabOrder(BitBtn2, BitBtn1);
    // Until the first refresh with a loaded disc there is no track to offer.
    TrackBar1->setEnabled(false);
    BitBtn1->setEnabled(false);

    Panel2 = new TPanel(this);
    Panel2->setGeometry(2, 52, 293, 33);
    Panel2->setCursor(Qt::ArrowCursor);
    GroupBox1 = makeGroup(Panel2, {3, 1, 33, 29}, QStringLiteral("TR"));
    TRACK = makeField(GroupBox1, {3, 11, 25, 14}, " 00");
    GroupBox2 = makeGroup(Panel2, {38, 1, 251, 29}, QStringLiteral("TITLE"));
    TR_NAME = makeField(GroupBox2, {5, 11, 240, 14}, " --------------------");
}

void TForm5::connectHandlers() {
    connect(TrackBar1, &QSlider::valueChanged, this, [this] {
        if (!m_settingFromCode) runGuarded([this] { TrackBar1Change(TrackBar1); });
    });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { runGuarded([this] { BitBtn1Click(BitBtn1); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { runGuarded([this] { BitBtn2Click(BitBtn2); }); });
}

void TForm5::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) runGuarded([this] { FormActivate(this); });
}

void TForm5::FormCreate(QObject *) {
    SettingsFile settings(QStringLiteral("ROTOR.INI"));
    move(settings.ReadNumber("Select", "Pos(X)", 10), settings.ReadNumber("Select", "Pos(Y)", 100));
}

void TForm5::FormActivate(QObject *) {
    m_settingFromCode = true;
    struct Done {
        bool &flag;
        ~Done() { flag = false; }
    } done{m_settingFromCode};
    // Before the first disc has been loaded TrackCount is 0, which the slider (minimum 1) cannot
    // take: the selector then offers no track at all instead of a track 1 that does not exist.
    const bool haveTracks = TrackCount >= 1;
    TrackBar1->setEnabled(haveTracks);
    BitBtn1->setEnabled(haveTracks);
    if (!haveTracks) {
        TRACK->setCaption(" ");
        TR_NAME->setCaption(" ");
        return;
    }
    TrackBar1->setMaximum(TrackCount);
    TrackBar1->setValue(std::clamp(CurrentTrack, TrackBar1->minimum(), TrackBar1->maximum()));
    TRACK->setCaption(" " + twoDigits(CurrentTrack));
    TR_NAME->setCaption(titleField(TrackBar1->value()));
}

void TForm5::TrackBar1Change(QObject *) {
    TRACK->setCaption(" " + twoDigits(TrackBar1->value()));
    TR_NAME->setCaption(titleField(TrackBar1->value()));
}

void TForm5::BitBtn1Click(QObject *Sender) {
    TMediaPlayer *device = Form1->MediaPlayer1;
    // No disc has been loaded yet: there is no track to play.
    if (!TrackBar1->isEnabled()) return;
    device->Stop();
    Form1->Timer1->setEnabled(false);
    // Playing from a pause makes the transport active again, as the grid press does.
    Form1->MediaPlayer1->Tag = 1;
    Form1->PM_Play->setCheckMark(true);
    Form1->PM_Stop->setCheckMark(false);
    Form1->PM_Pause->setCheckMark(false);
    Form1->PA_RepeatExit(Sender);
    Form1->PA_ShffExit(Sender);
    CurrentTrack = TrackBar1->value();
    device->SetPosition(tmsf::pack(CurrentTrack, 0, 0, 0));
    device->Play();
    Form1->numberGrid(device->Tracks());
    ShownTrack = CurrentTrack;
    Form1->selectGridTrack(CurrentTrack);
    setApplicationTitle(QStringLiteral("CD-Tunewick32 Track : ") + QString::fromStdString(twoDigits(CurrentTrack)));
    Form1->Timer1->setEnabled(true);
    LCD_DISPLAY->LB_TITLE->setCaption("TITLE");
    if (LCD_DISPLAY->LB_OVER->Tag != 0) LCD_DISPLAY->LB_NAMEClick(Sender);
    ShowTrackTitle();
}

void TForm5::BitBtn2Click(QObject *) {
    Form1->PM_LINE->setVisible(true);
    Form1->PM_SEL->setVisible(true);
    close();
}
