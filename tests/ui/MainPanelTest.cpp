#include "tests/support/AppFixture.h"

#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"
#include "ui/TrackSelector.h"

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

// A cell after the disc's last track holds no track: the press leaves play as it is.
TEST_F(MainPanel, PressAfterTheLastTrackDoesNothing) {
    showWithDisc(5);
    pressCell(1, 0);
    drive.clearLog();
    pressCell(7, 0);
    EXPECT_EQ(CurrentTrack, 2);
    EXPECT_TRUE(drive.log().empty());
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
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
    };
    for (const auto &[item, caption] : captions) EXPECT_EQ(item->text(), caption);
    EXPECT_TRUE(Form1->PM_Stop->isChecked());
    EXPECT_FALSE(Form1->PM_REPEAT->isEnabled());
    EXPECT_TRUE(Form1->PM_LOOP->isChecked());
    EXPECT_EQ(Form1->PM1->actions().size(), 18);
}

}  // namespace
