// What a screen reader finds in the windows: the names, roles and states of the self-drawn
// controls, and their press actions taking the same paths as mouse clicks.
#include "tests/support/AppFixture.h"

#include "catalogue/CatalogueEditor.h"
#include "player/PlayerState.h"
#include "ui/AboutBox.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDialog>

namespace {

// "テスト盤" in code page 932: double-byte characters whose trail bytes are also lead bytes.
const std::string kDoubleByteTitle = "\x83\x65\x83\x58\x83\x67\x94\xd5";

QAccessibleInterface *ifaceOf(QObject *object) { return QAccessible::queryAccessibleInterface(object); }

// Presses through the interface's action, then runs the event queue, where the click is posted.
void press(QAccessibleInterface *iface) {
    ASSERT_NE(iface, nullptr);
    ASSERT_NE(iface->actionInterface(), nullptr);
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

class Accessible : public AppFixture {
protected:
    // The panel on screen with a 12-track disc loaded whose catalogue names it in double-byte text.
    void showWithDisc(const platform::SimulatedDisc &disc = twelveTrackDisc()) {
        insert(disc);
        createApp();
        Form1->show();
        writeCatalogue(Form1->MediaPlayer1->Length(), {kDoubleByteTitle});
        tick();
        ASSERT_EQ(TrackCount, 12);
    }
    static QAccessibleInterface *transportButton(TMPBtnType kind) { return ifaceOf(Form1->MediaPlayer1)->child(kind); }
};

TEST_F(Accessible, LabelsAndPanelButtonsSayWhatTheyShowAndActLikeClicks) {
    showWithDisc();
    QAccessibleInterface *name = ifaceOf(LCD_DISPLAY->LB_NAME);
    EXPECT_EQ(name->role(), QAccessible::StaticText);
    EXPECT_EQ(name->text(QAccessible::Name), QStringLiteral("テスト盤"));

    QAccessibleInterface *rep = ifaceOf(Form1->PA_Repeat);
    EXPECT_EQ(rep->role(), QAccessible::CheckBox);
    EXPECT_EQ(rep->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::toggleAction()});
    EXPECT_EQ(rep->text(QAccessible::Name), QStringLiteral("REP"));
    EXPECT_TRUE(rep->state().checkable);
    EXPECT_FALSE(rep->state().checked);
    press(rep);
    EXPECT_TRUE(RepeatOn);
    EXPECT_TRUE(rep->state().checked);
    rep->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    EXPECT_FALSE(RepeatOn);
    press(rep);
    EXPECT_EQ(rep->text(QAccessible::Description), QStringLiteral("ﾘﾋﾟｰﾄ解除"));
    EXPECT_FALSE(ifaceOf(Form1->PA_MINI)->state().checkable);  // ICON is a plain button
    EXPECT_EQ(ifaceOf(Form1->PA_MINI)->role(), QAccessible::Button);

    // HIDE is disabled while the LCD is hidden: its action does nothing, as a click does nothing.
    QAccessibleInterface *hide = ifaceOf(Form1->PA_ICON);
    EXPECT_TRUE(hide->state().disabled);
    press(hide);
    EXPECT_TRUE(Form1->isVisible());

    // The LCD's small panels have no caption: they are named by their hints.
    EXPECT_EQ(ifaceOf(LCD_DISPLAY->PA_REMEIN)->text(QAccessible::Name), QStringLiteral("時間表示の変更"));
    // A panel that only holds controls is no button and offers nothing to press.
    EXPECT_EQ(ifaceOf(Form1->Panel1)->role(), QAccessible::Pane);
    EXPECT_TRUE(ifaceOf(Form1->Panel1)->actionInterface()->actionNames().isEmpty());
    // A label that runs a command can be pressed; the shutter opens.
    press(ifaceOf(Form1->LB_Tunewick));
    EXPECT_TRUE(Form1->SBT_HELP->isVisibleTo(Form1));
    EXPECT_EQ(ifaceOf(Form1->SBT_HELP)->text(QAccessible::Name), QStringLiteral("ヘルプを表示"));

    EXPECT_EQ(ifaceOf(LCD_DISPLAY)->role(), QAccessible::Window);
    EXPECT_EQ(ifaceOf(LCD_DISPLAY)->text(QAccessible::Name), QStringLiteral("DISPLAY"));
    EXPECT_EQ(ifaceOf(AboutBox)->role(), QAccessible::Dialog);
}

// The shutter's buttons open modal dialogs: their press action returns before the dialog runs, so
// that the reader is not held until it closes. The editor names its title field and both grids
// have names; the cell editor that opens in the editor's grid names its track.
TEST_F(Accessible, DialogButtonsReturnAtOnceAndTheEditorsFieldsHaveNames) {
    showWithDisc();
    std::vector<QDialog *> opened;
    answerModal = [&](QDialog *dialog) {
        opened.push_back(dialog);
        return int(QDialog::Rejected);
    };
    for (QWidget *button : {static_cast<QWidget *>(Form1->SBT_ABOUT), static_cast<QWidget *>(Form1->SBT_DATA)}) {
        press(ifaceOf(Form1->LB_Tunewick));  // opens the shutter; a dialog's end closes it
        QAccessibleInterface *iface = ifaceOf(button);
        ASSERT_EQ(iface->role(), QAccessible::Button);
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_TRUE(opened.empty()) << "the dialog ran inside the action call";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        EXPECT_EQ(opened.size(), 1u);
        opened.clear();
    }
    EXPECT_EQ(ifaceOf(Form1->SG_TRACK)->text(QAccessible::Name), QStringLiteral("トラック番号"));
    CD_Database->show();
    EXPECT_EQ(ifaceOf(CD_Database->Edit1)->text(QAccessible::Name), QStringLiteral("TITLE"));
    EXPECT_EQ(ifaceOf(CD_Database->SG1)->text(QAccessible::Name), QStringLiteral("トラックのタイトル"));
    CD_Database->SG1->setCurrentCell(3, 1);
    CD_Database->SG1->editItem(CD_Database->SG1->item(3, 1));
    QWidget *cellEditor = CD_Database->SG1->indexWidget(CD_Database->SG1->currentIndex());
    ASSERT_NE(cellEditor, nullptr);
    EXPECT_EQ(ifaceOf(cellEditor)->text(QAccessible::Name), QStringLiteral("トラック 3 のタイトル"));
    CD_Database->hide();
}

TEST_F(Accessible, TransportButtonsFollowTheEnabledSetAndClickThroughTheBar) {
    showWithDisc();
    const QStringList names{"再生", "一時停止", "停止", "次の曲", "前の曲", "コマ送り", "コマ戻し", "録音", "取り出し"};
    QAccessibleInterface *bar = ifaceOf(Form1->MediaPlayer1);
    ASSERT_EQ(bar->childCount(), 9);
    for (int kind = 0; kind < 9; ++kind) {
        EXPECT_EQ(bar->child(kind)->text(QAccessible::Name), names[kind]);
        EXPECT_EQ(bar->child(kind)->role(), QAccessible::Button);
        EXPECT_EQ(bar->indexOfChild(bar->child(kind)), kind);
    }
    EXPECT_FALSE(transportButton(btPlay)->state().disabled);
    EXPECT_TRUE(transportButton(btPause)->state().disabled);

    // Play through the bar's click path, whose handler runs the panel's command.
    std::vector<TMPBtnType> clicked;
    Form1->MediaPlayer1->OnClick = [&clicked, panel = Form1->MediaPlayer1->OnClick](QObject *sender, TMPBtnType button,
                                                                                   bool &doDefault) {
        clicked.push_back(button);
        panel(sender, button, doDefault);
    };
    press(transportButton(btPlay));
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_EQ(Form1->MediaPlayer1->EnabledButtons(), buttonSet({btPause, btStop, btNext, btPrev, btEject}));
    EXPECT_TRUE(transportButton(btPlay)->state().disabled);
    EXPECT_EQ(clicked, std::vector<TMPBtnType>{btPlay});

    // Step lies under the shutter: never usable, whatever the set says.
    Form1->MediaPlayer1->setEnabledButtons(kAllButtons);
    EXPECT_TRUE(transportButton(btStep)->state().disabled);
    Form1->MediaPlayer1->setEnabled(false);
    EXPECT_TRUE(transportButton(btEject)->state().disabled);
    press(transportButton(btEject));
    EXPECT_EQ(clicked, std::vector<TMPBtnType>{btPlay});
}

TEST_F(Accessible, TrackGridIsATableOfTheListedTracks) {
    platform::SimulatedDisc disc = twelveTrackDisc();
    disc.preemphasis.assign(12, false);
    disc.preemphasis[11] = true;
    showWithDisc(disc);
    QAccessibleInterface *grid = ifaceOf(Form1->SG_TRACK);
    ASSERT_EQ(grid->role(), QAccessible::Table);
    QAccessibleTableInterface *table = grid->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->columnCount(), 10);
    EXPECT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("01"));
    EXPECT_EQ(table->cellAt(1, 1)->text(QAccessible::Name), QStringLiteral("12 プリエンファシス")) << "a flagged track";
    EXPECT_EQ(table->cellAt(2, 0), nullptr);
    EXPECT_EQ(grid->indexOfChild(table->cellAt(1, 1)), 11);

    press(table->cellAt(0, 4));
    EXPECT_EQ(CurrentTrack, 5);
    EXPECT_TRUE(table->cellAt(0, 4)->tableCellInterface()->isSelected());
    EXPECT_EQ(table->selectedCells(), QList<QAccessibleInterface *>{table->cellAt(0, 4)});

    // A cell past the last track holds no text, and pressing it plays nothing, as a click does.
    QAccessibleInterface *empty = table->cellAt(1, 2);
    EXPECT_EQ(empty->text(QAccessible::Name), QString());
    press(empty);
    EXPECT_EQ(CurrentTrack, 5);

    // An eject blanks every cell: the table is empty until the next disc is listed.
    Form1->PM_EJECTClick(Form1->PM_EJECT);
    EXPECT_EQ(table->rowCount(), 0);
    EXPECT_EQ(grid->childCount(), 0);
}

}  // namespace
