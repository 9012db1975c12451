#include "app/SaveOnline.h"
#include "app/SettingsFile.h"
#include "tests/support/AppFixture.h"

#include "player/Commands.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"
#include "ui/TrackSelector.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

namespace {

bool holdsColour(const QImage &image, QColor colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb()) return true;
    return false;
}

class MainPanel : public AppFixture {
protected:
    // Shows the panel as the message loop does, with a disc of `tracks` one-minute tracks listed.
    void showWithDisc(int tracks) {
        insert(platform::SimulatedDisc::uniform(tracks, 60));
        createApp();
        Form1->show();
        tick();
    }
    void pressCell(int col, int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(Form1->SG_TRACK, button, {}, Form1->SG_TRACK->cellRect(col, row).center());
    }
    static int playingTrack() { return tmsf::track(Form1->MediaPlayer1->Position()); }
};

TEST_F(MainPanel, ShowingThePanelSwitchesThePlayerOnOnce) {
    showWithDisc(3);
    EXPECT_EQ(Form1->PA_POWER->Tag, 1);
    EXPECT_EQ(Form1->size(), QSize(333, 61));
    EXPECT_EQ(Form1->pos(), QPoint(100, 100));
    EXPECT_TRUE(Form1->PA_Repeat->isVisibleTo(Form1));
    EXPECT_FALSE(LCD_DISPLAY->isVisible());
    // Hidden and shown again: the power stays on and the LCD keeps its state.
    Form1->hide();
    Form1->show();
    EXPECT_EQ(Form1->PA_POWER->Tag, 1);
    EXPECT_FALSE(LCD_DISPLAY->isVisible());
    EXPECT_EQ(drive.log().front(), "open");
    EXPECT_EQ(std::count(drive.log().begin(), drive.log().end(), "open"), 1);
}

TEST_F(MainPanel, PressOnAGridCellPlaysItsTrack) {
    showWithDisc(20);
    Form1->PA_RepeatClick(Form1->PA_Repeat);
    ASSERT_TRUE(RepeatOn);
    Form5->BitBtn2Click(Form5->BitBtn2);
    pressCell(4, 1);
    EXPECT_EQ(CurrentTrack, 15);
    EXPECT_EQ(playingTrack(), 15);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_EQ(applicationTitle(), QStringLiteral("CD-Tunewick32 Track : 15"));
    EXPECT_TRUE(Form1->PM_Play->isChecked());
    EXPECT_FALSE(Form1->PM_Stop->isChecked());
    EXPECT_FALSE(RepeatOn);
    EXPECT_FALSE(ShuffleOn);
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPause, btStop, btNext, btPrev, btEject}));
    EXPECT_EQ(Form5->TrackBar1->value(), 15);
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE->Caption(), "TITLE");
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainPanel, RightPressRestartsTheCurrentCellsTrack) {
    showWithDisc(5);
    pressCell(2, 0);
    runFor(20000);
    pressCell(4, 0, Qt::RightButton);
    EXPECT_EQ(CurrentTrack, 3);
    EXPECT_EQ(Form1->MediaPlayer1->Position(), tmsf::pack(3, 0, 0, 0));
}

// A cell after the disc's last track holds no track: the press leaves play as it is, and the
// highlight stays on the track that plays. An eject then gives the application its plain title,
// which an error box is captioned with.
TEST_F(MainPanel, PressAfterTheLastTrackAndEjectLeaveNoStaleMarks) {
    showWithDisc(5);
    pressCell(1, 0);
    drive.clearLog();
    pressCell(7, 0);
    EXPECT_EQ(CurrentTrack, 2);
    EXPECT_TRUE(drive.log().empty());
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_EQ(std::pair(Form1->SG_TRACK->Col(), Form1->SG_TRACK->Row()), std::pair(1, 0));

    Form1->PM_EJECTClick(Form1->PM_EJECT);
    EXPECT_EQ(applicationTitle(), QStringLiteral("CD-Tunewick32"));
}

// Playing a chosen track from a pause makes the transport active again: the menu no longer
// shows Pause checked, and the poll's end-of-disc step runs, so that endless play replays.
TEST_F(MainPanel, GridPressAndDoPlayEndAPause) {
    showWithDisc(3);
    ASSERT_TRUE(EndlessOn);
    pressCell(0, 0);
    PauseCD();
    pressCell(1, 0);
    EXPECT_EQ(Form1->MediaPlayer1->Tag, 1);
    EXPECT_TRUE(Form1->PM_Play->isChecked());
    EXPECT_FALSE(Form1->PM_Pause->isChecked());
    tick(4 * 121);
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);

    PauseCD();
    Form5->FormActivate(Form5);
    Form5->TrackBar1->setValue(3);
    Form5->BitBtn1Click(Form5->BitBtn1);
    EXPECT_EQ(Form1->MediaPlayer1->Tag, 1);
    EXPECT_FALSE(Form1->PM_Pause->isChecked());
    EXPECT_EQ(playingTrack(), 3);
}

// The function buttons' white captions stand on the classic button face (silver) whatever the
// desktop's palette; the shutter's tool pictures stand at the bottom of their buttons; the
// window's own surface shows the drag pointer.
TEST_F(MainPanel, ButtonsAreReadableAndPicturesSitAtTheBottom) {
    const QPalette desktop = QApplication::palette();
    QPalette light = desktop;
    light.setColor(QPalette::Button, QColor(239, 239, 239));
    QApplication::setPalette(light);
    createApp();
    QApplication::setPalette(desktop);
    Form1->show();
    Form1->LB_TunewickClick(Form1->LB_Tunewick);
    const QImage panel = Form1->grab().toImage();
    for (TPanel *button : {Form1->PA_MINI, Form1->PA_ICON, Form1->PA_DISP, Form1->Panel2}) {
        const QPoint inside = button->mapTo(Form1, QPoint(2, 2));
        EXPECT_EQ(panel.pixelColor(inside), QColor(192, 192, 192)) << button->Caption().toStdString();
    }
    for (TPanel *lcdPanel : {LCD_DISPLAY->PA_TITLE, LCD_DISPLAY->PA_COM}) EXPECT_EQ(lcdPanel->Color(), QColor(192, 192, 192));
    EXPECT_EQ(Form5->Panel1->Color(), QColor(192, 192, 192));

    for (QToolButton *tool : {Form1->SBT_HELP, Form1->SBT_ABOUT}) {
        const QImage picture = tool->icon().pixmap(tool->iconSize()).toImage();
        int pictureTop = picture.height();
        for (int y = 0; y < picture.height() && pictureTop == picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (qAlpha(picture.pixel(x, y)) > 0) pictureTop = y;
        const QRect area(tool->mapTo(Form1, QPoint(0, 0)), tool->size());
        const QColor face = panel.pixelColor(area.topLeft() + QPoint(1, 1));
        int shownTop = -1;
        for (int y = area.top(); y <= area.bottom() && shownTop < 0; ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (panel.pixelColor(x, y) != face) shownTop = y - area.top();
        // The picture's last row lies one pixel above the button's bottom edge.
        EXPECT_EQ(shownTop - pictureTop + tool->iconSize().height(), tool->height() - 1);
    }
    EXPECT_EQ(Form1->cursor().shape(), Qt::DragMoveCursor);
}

TEST_F(MainPanel, PressRenumbersCellsThatShufflePlayEmptied) {
    showWithDisc(6);
    Form1->SG_TRACK->setCell(2, 0, "");
    Form1->SG_TRACK->setCell(4, 0, "");
    pressCell(0, 0);
    for (int t = 1; t <= 6; ++t) EXPECT_EQ(Form1->SG_TRACK->Cells(t - 1, 0), twoDigits(t));
}

TEST_F(MainPanel, DisplayHideAndShowPanelMenuRules) {
    showWithDisc(3);
    EXPECT_FALSE(Form1->PA_ICON->isEnabled());  // HIDE only while the LCD is on screen
    for (TMenuItem *item : {Form1->PM_RESIZE, Form1->PM_LINE, Form1->PM_Play, Form1->PM_EJECT})
        EXPECT_FALSE(item->isVisible());
    QTest::mouseClick(Form1->PA_DISP, Qt::LeftButton);
    EXPECT_TRUE(LCD_DISPLAY->isVisible());
    EXPECT_TRUE(Form1->PM_DISP->isChecked());
    EXPECT_EQ(Form1->PA_DISP->Hint(), QStringLiteral("ﾃﾞｨｽﾌﾟﾚｲ消去"));
    QTest::mouseClick(Form1->PA_ICON, Qt::LeftButton);
    EXPECT_FALSE(Form1->isVisible());
    EXPECT_FALSE(Form1->PM_DISP->isEnabled());
    for (TMenuItem *item : {Form1->PM_RESIZE, Form1->PM_LINE, Form1->PM_N3, Form1->PM_Play, Form1->PM_Stop,
                            Form1->PM_Pause, Form1->PM_EJECT})
        EXPECT_TRUE(item->isVisible());
    Form1->PM_RESIZE->trigger();
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_TRUE(Form1->PM_DISP->isEnabled());
    EXPECT_FALSE(Form1->PM_RESIZE->isVisible());
    EXPECT_FALSE(Form1->PM_LINE->isVisible());
    EXPECT_TRUE(Form1->PM_Play->isVisible());  // until the next resize in the normal state
    EXPECT_EQ(Form1->PA_POWER->Tag, 1);
}

TEST_F(MainPanel, ShutterOffersTheEditorOnlyOnceADiscIsListed) {
    createApp();
    Form1->show();  // no disc: the grid is empty
    QTest::mouseClick(Form1->LB_Tunewick, Qt::LeftButton);
    EXPECT_TRUE(Form1->SBT_HELP->isVisibleTo(Form1));
    EXPECT_TRUE(Form1->SBT_ABOUT->isVisibleTo(Form1));
    EXPECT_FALSE(Form1->SBT_DATA->isVisibleTo(Form1));
    EXPECT_EQ(Form1->PA_SUTTER->BevelOuter(), bvLowered);
    // The marks are drawn only when the buttons are first painted: they must be there then.
    EXPECT_TRUE(holdsColour(Form1->SBT_ABOUT->grab().toImage(), QColor(255, 0, 0)));
    EXPECT_TRUE(holdsColour(Form1->SBT_HELP->grab().toImage(), QColor(255, 255, 0)));
    QTest::mouseClick(Form1->PA_SUTTER, Qt::LeftButton, {}, QPoint(40, 16));
    EXPECT_FALSE(Form1->SBT_HELP->isVisibleTo(Form1));
    EXPECT_TRUE(Form1->LB_Tunewick->isVisibleTo(Form1));
    EXPECT_EQ(Form1->PA_SUTTER->BevelOuter(), bvRaised);

    insert(platform::SimulatedDisc::uniform(2, 60));
    tick();
    QTest::mouseClick(Form1->LB_Tunewick, Qt::LeftButton);
    EXPECT_TRUE(Form1->SBT_DATA->isVisibleTo(Form1));
}

TEST_F(MainPanel, HelpOpensTheTopicAndClosesTheShutter) {
    std::vector<int> contexts;
    setHelpHook([&](const QString &, int context) { contexts.push_back(context); });
    createApp();
    Form1->show();
    Form1->LB_TunewickClick(Form1->LB_Tunewick);
    Form1->SBT_HELP->click();
    Form1->PM_HELP->trigger();
    EXPECT_EQ(contexts, (std::vector<int>{1000, 1000}));
    EXPECT_TRUE(Form1->LB_Tunewick->isVisibleTo(Form1));
}

// Help never does nothing: a page that is not there is named in a message.
TEST_F(MainPanel, HelpWithoutItsPageNamesTheMissingFile) {
    setHelpHook({});
    QString said;
    answerModal = [&](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) said = box->text();
        return int(QDialog::Accepted);
    };
    createApp();
    HelpFile = QStringLiteral("/nonexistent/help/ROTOR.html");
    Form1->PM_HELP->trigger();
    EXPECT_TRUE(said.contains(QStringLiteral("/nonexistent/help/ROTOR.html"))) << said.toStdString();
}

TEST_F(MainPanel, DraggingTheMarginMovesTheWindow) {
    createApp();
    Form1->show();
    QPoint start = Form1->pos();
    QTest::mousePress(Form1, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseMove(Form1, QPoint(31, 21));
    QTest::mouseRelease(Form1, Qt::LeftButton, {}, QPoint(31, 21));
    EXPECT_EQ(Form1->pos(), start + QPoint(30, 20));
    // A press on a function button minimises instead of moving.
    QTest::mouseClick(Form1->PA_MINI, Qt::LeftButton);
    EXPECT_EQ(Form1->pos(), start + QPoint(30, 20));
}

TEST_F(MainPanel, PopupMenuCaptionsAndStartingState) {
    createApp();
    const std::vector<std::pair<TMenuItem *, QString>> captions = {
        {Form1->PM_Play, QStringLiteral("再　　　生　（Ｐｌａｙ）")},
        {Form1->PM_Stop, QStringLiteral("停　　　止　（Ｓｔｏｐ） ")},
        {Form1->PM_EJECT, QStringLiteral("取  出  し　（Ｅｊｅｃｔ）")},
        {Form1->PM_EXIT, QStringLiteral("CD-Tunewick 終了")},
        {Form1->PM_ONLINE, QStringLiteral("MusicBrainz でタイトルを検索")},
        {Form1->PM_ACCURATERIP, QStringLiteral("AccurateRip で照合")},
    };
    for (const auto &[item, caption] : captions) EXPECT_EQ(item->text(), caption);
    EXPECT_TRUE(Form1->PM_Stop->isChecked());
    EXPECT_FALSE(Form1->PM_REPEAT->isEnabled());
    EXPECT_TRUE(Form1->PM_LOOP->isChecked());
    EXPECT_TRUE(Form1->PM_DEEMPH->isChecked()) << "de-emphasis is on at first";
    EXPECT_EQ(Form1->PM1->actions().indexOf(Form1->PM_DEEMPH), Form1->PM1->actions().indexOf(Form1->PM_LOOP) + 1);
    EXPECT_FALSE(Form1->PM_ONLINE->isChecked()) << "on before the user was asked";
    EXPECT_EQ(Form1->PM1->actions().indexOf(Form1->PM_ACCURATERIP), Form1->PM1->actions().indexOf(Form1->PM_ONLINE) + 1);
    // The design's 18, the de-emphasis and two online switches, opening an image, the drives and a separator.
    EXPECT_EQ(Form1->PM1->actions().size(), 24);
}

// AccurateRip is asked once, with what goes out over plain HTTP; ROTOR.INI keeps the answer, and
// the menu switch changes it.
TEST_F(MainPanel, AccurateRipIsAskedOnceAndKeptInTheSettings) {
    int questions = 0;
    QString question;
    answerModal = [&](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (!box) return int(QDialog::Rejected);
        ++questions;
        question = box->text();
        for (QAbstractButton *button : box->buttons())
            if (button->text() == QStringLiteral("はい(&Y)")) button->click();
        return 0;
    };
    createApp();
    const auto stored = [] { return SettingsFile(QStringLiteral("ROTOR.INI")).ReadText("Online", "AccurateRip", "-"); };
    EXPECT_FALSE(Form1->PM_ACCURATERIP->isChecked());
    EXPECT_EQ(stored(), "-");
    EXPECT_TRUE(accurateRipAllowed());
    EXPECT_TRUE(accurateRipAllowed());
    EXPECT_EQ(questions, 1);
    for (const char *said : {"HTTP", "ディスク ID", "User-Agent", "Cookie"})
        EXPECT_TRUE(question.contains(QString::fromUtf8(said))) << "the question does not name " << said;
    EXPECT_EQ(stored(), "1");
    EXPECT_TRUE(Form1->PM_ACCURATERIP->isChecked());
    Form1->PM_ACCURATERIP->trigger();
    EXPECT_FALSE(Form1->PM_ACCURATERIP->isChecked());
    EXPECT_EQ(stored(), "0");
    EXPECT_FALSE(accurateRipAllowed());
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(SettingsFile(QStringLiteral("ROTOR.INI")).ReadText("Online", "MusicBrainz", "-"), "-")
        << "the title look-up's consent was touched";
}

}  // namespace
