#include "ui/Form1.h"

#include "catalogue/CatalogueEditor.h"
#include "catalogue/DiscLoading.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "ui/AboutBox.h"
#include "ui/ErrorDisplay.h"
#include "ui/HandlerBinding.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"
#include "ui/ToolGlyphs.h"
#include "ui/TrackSelector.h"
#include "ui/controls/Accessible.h"
#include "ui/controls/DragMove.h"
#include "ui/controls/Fonts.h"
#include "ui/controls/Colours.h"

#include <QPainter>
#include <QShowEvent>
#include <QStyleOptionToolButton>
#include <QStylePainter>

#include <algorithm>

TForm1 *Form1 = nullptr;

namespace {

QString g_applicationTitle = QStringLiteral("CD-Tunewick32");

// The white rectangle with a black outline that frames the track grid.
class TShape : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

// A flat picture button that draws its picture centred across and at the bottom: one pixel above
// the bottom edge, or from the top when the picture fills the button's height.
class TSpeedButton : public QToolButton {
public:
    using QToolButton::QToolButton;

    QRect pictureRect() const {
        const QSize size = iconSize();
        return {(width() - size.width()) / 2, std::max(0, height() - size.height() - 1), size.width(), size.height()};
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        option.icon = QIcon();
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
        const QPoint shift = isDown() ? QPoint(1, 1) : QPoint();
        const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
        painter.drawPixmap(pictureRect().translated(shift), icon().pixmap(iconSize(), devicePixelRatio(), mode));
    }
};

QToolButton *makeToolButton(QWidget *parent, QRect geometry, const QIcon &icon, QSize iconSize, const QString &hint) {
    auto *button = new TSpeedButton(parent);
    button->setGeometry(geometry);
    button->setAutoRaise(true);
    button->setIcon(icon);
    button->setIconSize(iconSize);
    button->setToolTip(hint);
    deferAccessibleClicks(button);     // the version box and the editor are modal
    button->setAccessibleName(hint);  // a picture alone says nothing to a screen reader
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
    return button;
}

}  // namespace

void setApplicationTitle(const QString &title) {
    g_applicationTitle = title;
    if (Form1) Form1->setWindowTitle(title);
}

QString applicationTitle() { return g_applicationTitle; }

TForm1::TForm1(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setUpBorderlessWindow(this, QStringLiteral("CD-Tunewick32"), {333, 61}, makeFont(kSystemFont, 13));
    move(416, 228);
    createControls();
    createMenu();
    connectHandlers();
    Form1 = this;
    runGuarded([this] { FormCreate(this); });
}

TPanel *TForm1::makeFunctionButton(QWidget *parent, QRect geometry, const QString &caption, const QString &hint) {
    auto *panel = new TPanel(parent);
    panel->setGeometry(geometry);
    panel->setCaption(caption);
    panel->setHint(hint);
    panel->setFont(makeFont(kGothic, 12, true));
    panel->setFontColor(kWhite);
    panel->HelpContext = 1000;
    return panel;
}

void TForm1::createControls() {
    Panel1 = new TPanel(this);
    Panel1->setGeometry(2, 2, 251, 36);
    LB_POWER = new TLabel(Panel1);
    LB_POWER->setGeometry(4, 6, 51, 23);
    LB_POWER->setColor(Qt::black);
    Shape1 = new TShape(Panel1);
    Shape1->setGeometry(59, 3, 190, 29);
    PA_POWER = makeFunctionButton(Panel1, {6, 7, 48, 20}, QStringLiteral("POWER"), {});
    SG_TRACK = new TTrackGrid(Panel1);
    SG_TRACK->setGeometry(61, 5, 186, 26);
    SG_TRACK->setFont(makeFont(kGothic, 11, true));
    SG_TRACK->setColor(Qt::black);
    SG_TRACK->setEnabled(false);
    SG_TRACK->setFocusPolicy(Qt::ClickFocus);
    SG_TRACK->setAccessibleName(tr("トラック番号"));

    Panel3 = new TPanel(this);
    Panel3->setGeometry(1, 38, 253, 21);
    MediaPlayer1 = new TMediaPlayer(Panel3);
    MediaPlayer1->setGeometry(0, 0, 253, 20);
    MediaPlayer1->setEnabled(false);
    MediaPlayer1->setEnabledButtons(0);
    PA_SUTTER = new TPanel(Panel3);
    PA_SUTTER->setGeometry(142, 1, 82, 18);
    PA_SUTTER->setColor(kSilver);
    LB_Tunewick = new TLabel(PA_SUTTER);
    LB_Tunewick->setGeometry(3, 2, 75, 14);
    LB_Tunewick->setCaption("CD-Tunewick");
    LB_Tunewick->setColor(kSilver);
    LB_Tunewick->setFontColor(kGrey);
    LB_Tunewick->setFont(makeFont(QStringLiteral("Arial"), 11));
    SBT_ABOUT = makeToolButton(PA_SUTTER, {60, 1, 20, 16}, aboutGlyph(), {12, 12}, tr("バージョン情報"));
    SBT_DATA = makeToolButton(PA_SUTTER, {5, 1, 25, 16}, dataGlyph(), {16, 16}, tr("ﾃﾞｰﾀﾍﾞｰｽ編集"));
    SBT_HELP = makeToolButton(PA_SUTTER, {39, 1, 20, 16}, helpGlyph(), {12, 12}, tr("ヘルプを表示"));

    Panel2 = new TPanel(this);
    Panel2->setGeometry(254, 2, 77, 57);
    PA_DISP = makeFunctionButton(Panel2, {3, 4, 71, 15}, QStringLiteral("DISPLAY"), tr("ﾃﾞｨｽﾌﾟﾚｲ表示"));
    PA_ICON = makeFunctionButton(Panel2, {3, 22, 35, 15}, QStringLiteral("HIDE"), tr("Tunewickを隠す"));
    PA_Repeat = makeFunctionButton(Panel2, {3, 39, 35, 15}, QStringLiteral("REP"), tr("ﾘﾋﾟｰﾄﾌﾟﾚｲ"));
    PA_Repeat->hide();
    PA_Shff = makeFunctionButton(Panel2, {39, 39, 35, 15}, QStringLiteral("SHF"), tr("ｼｬｯﾌﾙﾌﾟﾚｲ"));
    PA_Shff->hide();
    PA_MINI = makeFunctionButton(Panel2, {39, 22, 35, 15}, QStringLiteral("ICON"), tr("最小化する"));
    for (QWidget *w : {static_cast<QWidget *>(Panel1), static_cast<QWidget *>(Panel2), static_cast<QWidget *>(Panel3)})
        w->setCursor(Qt::ArrowCursor);
    for (TPanel *button : {PA_POWER, PA_DISP, PA_Repeat, PA_Shff}) markAsSwitch(button);
    PA_SUTTER->setAccessibleName(tr("シャッター"));

    Timer1 = new TTimer(this);
    Timer1->setInterval(250);
}

void TForm1::createMenu() {
    PM1 = new QMenu(this);
    auto item = [this](const QString &caption) {
        auto *action = new TMenuItem(caption, PM1);
        PM1->addAction(action);
        return action;
    };
    auto separator = [this] {
        auto *action = new TMenuItem(QString(), PM1);
        action->setSeparator(true);
        PM1->addAction(action);
        return action;
    };
    PM_RESIZE = item(tr("Tunewick を表示"));
    PM_RESIZE->setVisible(false);
    PM_SEL = item(tr("TrackSelecter を表示"));
    PM_LINE = separator();
    PM_Play = item(tr("再　　　生　（Ｐｌａｙ）"));
    PM_Pause = item(tr("一時停止　（Ｐａｕｓｅ）"));
    PM_Stop = item(tr("停　　　止　（Ｓｔｏｐ） "));
    PM_Stop->setCheckMark(true);
    PM_EJECT = item(tr("取  出  し　（Ｅｊｅｃｔ）"));
    PM_N3 = separator();
    PM_REPEAT = item(tr("リピートプレイ"));
    PM_REPEAT->setEnabled(false);
    PM_SHFF = item(tr("シャッフルプレイ"));
    PM_SHFF->setEnabled(false);
    N1 = separator();
    PM_DISP = item(tr("ディスプレイ表示"));
    PM_LOOP = item(tr("エンドレス再生"));
    PM_DEEMPH = item(tr("プリエンファシス補正"));
    PM_ONLINE = item(tr("MusicBrainz でタイトルを検索"));
    PM_ACCURATERIP = item(tr("AccurateRip で照合"));
    N2 = separator();
    PM_HELP = item(tr("ヘルプ表示"));
    PM_VER = item(tr("バージョン情報"));
    N4 = separator();
    PM_EXIT = item(tr("CD-Tunewick 終了"));
}

void TForm1::connectHandlers() {
    for (auto [panel, handler] : {std::pair{PA_POWER, &TForm1::PA_POWERClick}, {PA_DISP, &TForm1::PA_DISPClick},
                                  {PA_ICON, &TForm1::PA_ICONClick}, {PA_MINI, &TForm1::PA_MINIClick},
                                  {PA_Repeat, &TForm1::PA_RepeatClick}, {PA_Shff, &TForm1::PA_ShffClick},
                                  {PA_SUTTER, &TForm1::PA_SUTTERClick}})
        bindHandler(panel, &TPanel::clicked, this, handler);
    bindHandler(LB_Tunewick, &TLabel::clicked, this, &TForm1::LB_TunewickClick);
    bindHandler(SBT_ABOUT, &QToolButton::clicked, this, &TForm1::SBT_ABOUTClick);
    bindHandler(SBT_DATA, &QToolButton::clicked, this, &TForm1::SBT_DATAClick);
    bindHandler(SBT_HELP, &QToolButton::clicked, this, &TForm1::SBT_HELPClick);
    connect(SG_TRACK, &TTrackGrid::pressed, this,
            [this](Qt::MouseButton button) { runGuarded([&] { SG_TRACKMouseUp(SG_TRACK, button); }); });
    MediaPlayer1->OnClick = [this](QObject *sender, TMPBtnType button, bool &doDefault) {
        MediaPlayer1Click(sender, button, doDefault);
    };
    Timer1->OnTimer = [this] { runGuarded([this] { Timer1Timer(Timer1); }); };
    for (auto [item, handler] :
         {std::pair{PM_RESIZE, &TForm1::PM_RESIZEClick}, {PM_SEL, &TForm1::PM_SELClick}, {PM_Play, &TForm1::PM_PlayClick},
          {PM_Pause, &TForm1::PM_PauseClick}, {PM_Stop, &TForm1::PM_StopClick}, {PM_EJECT, &TForm1::PM_EJECTClick},
          {PM_REPEAT, &TForm1::PA_RepeatClick}, {PM_SHFF, &TForm1::PA_ShffClick}, {PM_DISP, &TForm1::PA_DISPClick},
          {PM_LOOP, &TForm1::PM_LOOPClick}, {PM_ONLINE, &TForm1::PM_ONLINEClick},
          {PM_ACCURATERIP, &TForm1::PM_ACCURATERIPClick}, {PM_HELP, &TForm1::PM_HELPClick},
          {PM_VER, &TForm1::SBT_ABOUTClick}, {PM_EXIT, &TForm1::PM_EXITClick}, {PM_DEEMPH, &TForm1::PM_DEEMPHClick}})
        bindHandler(item, &QAction::triggered, this, handler);
}

// --- events ---

void TForm1::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) runGuarded([this] { FormShow(this); });
}

void TForm1::closeEvent(QCloseEvent *event) {
    runGuarded([this] { FormClose(this); });
    QWidget::closeEvent(event);
}

void TForm1::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    runGuarded([this] { FormResize(this); });
}

void TForm1::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) runGuarded([this] { FormResize(this); });
}

// --- the panel's own handlers ---

void TForm1::PA_DISPClick(QObject *) {
    if (!LcdVisible) {
        PA_DISP->setBevelInner(bvLowered);
        PA_DISP->setFontColor(kGreen);
        PA_DISP->setHint(tr("ﾃﾞｨｽﾌﾟﾚｲ消去"));
        PA_ICON->setEnabled(true);
        PA_ICON->setFontColor(kWhite);
        PA_ICON->setShowHint(true);
        LCD_DISPLAY->show();
        PM_DISP->setCheckMark(true);
        LcdVisible = true;
    } else {
        PA_DISP->setBevelInner(bvNone);
        PA_DISP->setFontColor(kWhite);
        PA_DISP->setHint(tr("ﾃﾞｨｽﾌﾟﾚｲ表示"));
        PA_ICON->setEnabled(false);
        PA_ICON->setFontColor(kGrey);
        PA_ICON->setShowHint(false);
        LCD_DISPLAY->hide();
        PM_DISP->setCheckMark(false);
        LcdVisible = false;
    }
}

void TForm1::PA_ICONClick(QObject *) {
    hide();
    PM_DISP->setEnabled(false);
    for (TMenuItem *item : {PM_RESIZE, PM_LINE, PM_N3, PM_Play, PM_Stop, PM_Pause, PM_EJECT}) item->setVisible(true);
}

// The panel holds the program's task-bar entry; the other windows on screen follow it.
void TForm1::PA_MINIClick(QObject *) { showMinimized(); }

void TForm1::PM_RESIZEClick(QObject *Sender) { LCD_DISPLAY->PA_COMClick(Sender); }

void TForm1::FormResize(QObject *) {
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    for (TMenuItem *item : {PM_RESIZE, PM_LINE, PM_N3, PM_Play, PM_Stop, PM_Pause, PM_EJECT}) item->setVisible(false);
}

void TForm1::LB_TunewickClick(QObject *) {
    PA_SUTTER->setColor(kGrey);
    PA_SUTTER->setBevelOuter(bvLowered);
    LB_Tunewick->hide();
    SBT_ABOUT->show();
    SBT_HELP->show();
    SBT_DATA->setVisible(!SG_TRACK->Cells(0, 0).empty());
}

void TForm1::PA_SUTTERClick(QObject *) {
    SBT_HELP->hide();
    SBT_ABOUT->hide();
    SBT_DATA->hide();
    LB_Tunewick->show();
    PA_SUTTER->setColor(kSilver);
    PA_SUTTER->setBevelOuter(bvRaised);
}

void TForm1::SBT_ABOUTClick(QObject *Sender) {
    execModal(AboutBox);
    PA_SUTTERClick(Sender);
}

void TForm1::SBT_DATAClick(QObject *Sender) {
    execModal(CD_Database);
    PA_SUTTERClick(Sender);
    DiscTitle = CD_Database->Edit1->Text();
    if (LCD_DISPLAY->LB_TITLE->Caption() == "DISK") {
        ShowScrollTitle(DiscTitle);
        ShowScrollTitle(DiscTitle);
    } else {
        ShowTrackTitle();
    }
    askPendingRegistration();
}

void TForm1::SBT_HELPClick(QObject *Sender) {
    showHelpTopic(HelpFile, 1000);
    PA_SUTTERClick(Sender);
}

void TForm1::PM_HELPClick(QObject *) { showHelpTopic(HelpFile, 1000); }

void TForm1::PM_SELClick(QObject *) {
    if (!PM_RESIZE->isVisible()) PM_LINE->setVisible(false);
    PM_SEL->setVisible(false);
    Form5->show();
}

void TForm1::numberGrid(int count) {
    // A screen reader also says which tracks play through the de-emphasis filter.
    const platform::TableOfContents toc =
        MediaPlayer1->drive() ? MediaPlayer1->drive()->toc() : platform::TableOfContents{};
    for (int t = 1; t <= count && t <= 100; ++t) {
        SG_TRACK->setCell((t - 1) % 10, (t - 1) / 10, twoDigits(t));
        SG_TRACK->setCellNote((t - 1) % 10, (t - 1) / 10,
                              toc.hasPreemphasis(t) ? tr("プリエンファシス") : QString());
    }
}

void TForm1::selectGridTrack(int track) {
    if (track < 1 || track > 100) return;
    SG_TRACK->setCurrent((track - 1) % 10, (track - 1) / 10);
}

void TForm1::SG_TRACKMouseUp(QObject *Sender, Qt::MouseButton) {
    if (!SG_TRACK->isEnabled()) return;
    int chosen = SG_TRACK->Col() + 10 * SG_TRACK->Row() + 1;
    // A cell after the disc's last track holds no track: nothing to play, and the highlight goes
    // back to the track that plays.
    if (chosen > MediaPlayer1->Tracks()) return selectGridTrack(CurrentTrack);
    MediaPlayer1->Stop();
    Timer1->setEnabled(false);
    // The press plays, also from a pause: the transport is active again, as after Play, so that
    // the menu, the bar and the poll's end-of-disc step see a playing disc.
    MediaPlayer1->Tag = 1;
    PM_Play->setCheckMark(true);
    PM_Stop->setCheckMark(false);
    PM_Pause->setCheckMark(false);
    PA_RepeatExit(Sender);
    PA_ShffExit(Sender);
    if (PA_ICON->isEnabled() && PA_ICON->isVisible()) PA_ICON->setFocus(Qt::OtherFocusReason);
    CurrentTrack = chosen;
    MediaPlayer1->SetPosition(static_cast<uint32_t>(CurrentTrack & 0xFF));
    MediaPlayer1->Play();
    numberGrid(MediaPlayer1->Tracks());
    setApplicationTitle(QStringLiteral("CD-Tunewick32 Track : ") + QString::fromStdString(twoDigits(CurrentTrack)));
    ShownTrack = CurrentTrack;
    Timer1->setEnabled(true);
    LCD_DISPLAY->LB_TITLE->setCaption("TITLE");
    Form5->FormActivate(Sender);
    if (LCD_DISPLAY->LB_OVER->Tag != 0) LCD_DISPLAY->LB_NAMEClick(Sender);
    ShowTrackTitle();
}
