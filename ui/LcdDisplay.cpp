#include "ui/LcdDisplay.h"

#include "app/SettingsFile.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/DiscLoading.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "ui/DoubleByte.h"
#include "ui/ErrorDisplay.h"
#include "ui/HandlerBinding.h"
#include "ui/Form1.h"
#include "ui/TrackSelector.h"
#include "ui/controls/DragMove.h"
#include "ui/controls/Fonts.h"
#include "ui/controls/Colours.h"


TLCD_DISPLAY *LCD_DISPLAY = nullptr;

namespace {

const std::string kNoTrackTitle(16, '-');

TLabel *makeLabel(QWidget *parent, QPoint at, QSize size, const std::string &caption, const QColor &colour,
                  int pixels, bool underline, bool autoSize) {
    auto *label = new TLabel(parent);
    label->setGeometry(QRect(at, size));
    label->setFont(makeFont(kGothic, pixels, true, underline));
    label->setFontColor(colour);
    label->setCaption(caption);
    label->setAutoSize(autoSize);
    return label;
}

TPanel *makeSmallPanel(QWidget *parent, int left, int width, const QString &hint) {
    auto *panel = new TPanel(parent);
    panel->setGeometry(left, 39, width, 8);
    panel->setHint(hint);
    return panel;
}

std::string currentTrackTitle() {
    std::string title = CD_Database->SG1->Cells(1, CurrentTrack);
    return title.empty() ? kNoTrackTitle : title;
}

}  // namespace

TLCD_DISPLAY::TLCD_DISPLAY(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setUpBorderlessWindow(this, QStringLiteral("DISPLAY"), {390, 52}, makeFont(kSystemFont, 13));
    createControls();
    connectHandlers();
    LCD_DISPLAY = this;
    runGuarded([this] { FormCreate(this); });
}

void TLCD_DISPLAY::createControls() {
    Panel1 = new TPanel(this);
    Panel1->setGeometry(1, 1, 388, 49);
    Panel1->setBevelOuter(bvNone);
    Panel1->HelpContext = 1000;
    Panel1->setCursor(Qt::ArrowCursor);
    Panel2 = new TPanel(Panel1);
    Panel2->setGeometry(4, 2, 379, 35);
    Panel2->setBevelOuter(bvLowered);
    Panel2->setColor(kLime);
    Panel2->setFont(makeFont(kGothic, 23, true));

    LB_TITLE = makeLabel(Panel2, {6, 1}, {29, 11}, "DISK", kGreen, 11, true, true);
    LB_TITLE->hide();
    LB_OVER = makeLabel(Panel2, {50, 1}, {29, 11}, "over", kRed, 11, false, true);
    LB_OVER->setColor(kLime);
    LB_OVER->hide();
    LB_MODE = makeLabel(Panel2, {138, 1}, {8, 11}, "", kGreen, 11, false, true);
    LB_MODE->setColor(kLime);
    LB_TITLE2 = makeLabel(Panel2, {282, 1}, {36, 11}, "TRACK", kGreen, 11, true, true);
    LB_TITLE2->setColor(kLime);
    LB_TITLE2->hide();
    LB_TITLE3 = makeLabel(Panel2, {328, 1}, {29, 11}, "TIME", kGreen, 11, true, true);
    LB_TITLE3->hide();
    LB_NAME = makeLabel(Panel2, {10, 15}, {251, 17}, "", Qt::black, 16, false, false);
    LB_NAME->hide();
    LB_TRACK = makeLabel(Panel2, {280, 15}, {30, 17}, "", kNavy, 16, false, false);
    LB_TRACK->setAlignment(Qt::AlignRight | Qt::AlignTop);
    LB_TIME = makeLabel(Panel2, {316, 15}, {59, 17}, "", kNavy, 16, false, false);
    LB_TIME->setAlignment(Qt::AlignRight | Qt::AlignTop);
    // The fields that change while playing paint the lime under them themselves.
    for (TLabel *field : {LB_NAME, LB_TRACK, LB_TIME}) field->setFace(kLime);

    PA_TITLE = makeSmallPanel(Panel1, 6, 41, tr("タイトル表示の変更"));
    PA_REMEIN = makeSmallPanel(Panel1, 50, 41, tr("時間表示の変更"));
    Panel3 = makeSmallPanel(Panel1, 295, 41, tr("Track Selecter を表示"));
    PA_COM = makeSmallPanel(Panel1, 341, 42, tr("Tunewick表示"));
    for (TPanel *panel : {PA_TITLE, PA_REMEIN, PA_COM}) panel->HelpContext = 1000;
}

void TLCD_DISPLAY::connectHandlers() {
    bindHandler(PA_TITLE, &TPanel::clicked, this, &TLCD_DISPLAY::PA_TITLEClick);
    bindHandler(PA_REMEIN, &TPanel::clicked, this, &TLCD_DISPLAY::PA_REMEINClick);
    bindHandler(Panel3, &TPanel::clicked, this, &TLCD_DISPLAY::Panel3Click);
    bindHandler(PA_COM, &TPanel::clicked, this, &TLCD_DISPLAY::PA_COMClick);
    bindHandler(LB_NAME, &TLabel::clicked, this, &TLCD_DISPLAY::LB_NAMEClick);
    bindHandler(LB_TITLE, &TLabel::clicked, this, &TLCD_DISPLAY::LB_NAMEClick);
    bindHandler(LB_TIME, &TLabel::clicked, this, &TLCD_DISPLAY::PA_REMEINClick);
}

QImage TLCD_DISPLAY::renderFace() const {
    QImage image(Panel2->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    Panel2->render(&image);
    return image;
}

void TLCD_DISPLAY::FormCreate(QObject *) {
    SettingsFile settings(QStringLiteral("ROTOR.INI"));
    move(settings.ReadNumber("LCD", "Pos(X)", 50), settings.ReadNumber("LCD", "Pos(Y)", 50));
}

void TLCD_DISPLAY::PA_TITLEClick(QObject *) {
    LB_OVER->Tag = 1;
    if (LB_TITLE->Caption() == "TITLE") {
        ReadDiscTitle();
    } else if (LB_TITLE->Caption() == "DISK" && Form1->MediaPlayer1->Mode() == mpPlaying) {
        LB_TITLE->setCaption("TITLE");
        ShowScrollTitle(currentTrackTitle());
    } else {
        LB_OVER->Tag = 1;
        ReadDiscTitle();
    }
}

void TLCD_DISPLAY::LB_NAMEClick(QObject *) {
    if (LB_TITLE->Caption() == "DISK") return ReadDiscTitle();
    LB_TITLE->setCaption("TITLE");
    ShowScrollTitle(currentTrackTitle());
}

void TLCD_DISPLAY::PA_REMEINClick(QObject *) {
    TimeMode = TimeMode + 1;
    if (TimeMode == 3) TimeMode = 0;
}

void TLCD_DISPLAY::PA_COMClick(QObject *) {
    Form1->show();
    Form1->PM_DISP->setEnabled(true);
    Form1->PM_RESIZE->setVisible(false);
    Form1->PM_LINE->setVisible(false);
}

void TLCD_DISPLAY::Panel3Click(QObject *Sender) { Form1->PM_SELClick(Sender); }
