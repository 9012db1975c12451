#include "tests/support/AppFixture.h"

#include "catalogue/CatalogueEditor.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"
#include "ui/controls/Fonts.h"

#include <QTest>

namespace {

class TrackSelector : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        installFontSubstitutions();
    }

    // Loads `disc` with the titles "Song k" and plays from track `track` on (through the grid).
    void playTrack(const platform::SimulatedDisc &disc, int track) {
        insert(disc);
        startApp();
        std::vector<std::string> lines{"Disc"};
        for (size_t k = 1; k <= disc.trackFrames.size(); ++k) lines.push_back("Song " + std::to_string(k));
        writeCatalogue(Form1->MediaPlayer1->Length(), lines);
        tick();
        ASSERT_EQ(TrackCount, static_cast<int>(disc.trackFrames.size()));
        Form1->SG_TRACK->setCurrent((track - 1) % 10, (track - 1) / 10);
        Form1->SG_TRACKMouseUp(Form1->SG_TRACK, Qt::LeftButton);
        tick();
        ASSERT_EQ(CurrentTrack, track);
    }

    int deviceTrack() { return tmsf::track(Form1->MediaPlayer1->Position()); }
};

TEST_F(TrackSelector, ControlsAreCreatedAsLaidOut) {
    createApp();
    TForm5 *f = Form5;
    EXPECT_EQ(f->size(), QSize(297, 87));
    EXPECT_TRUE(f->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(f->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(f->isHidden());
    EXPECT_EQ(f->pos(), QPoint(10, 100));
    struct Case {
        QWidget *control;
        QWidget *parent;
        QRect geometry;
    } cases[] = {
        {f->Panel1, f, {2, 2, 293, 49}},          {f->BitBtn1, f->Panel1, {218, 5, 70, 18}},
        {f->BitBtn2, f->Panel1, {218, 27, 70, 18}}, {f->GroupBox3, f->Panel1, {3, 1, 213, 44}},
        {f->TrackBar1, f->GroupBox3, {4, 10, 203, 30}}, {f->Panel2, f, {2, 52, 293, 33}},
        {f->GroupBox1, f->Panel2, {3, 1, 33, 29}},  {f->TRACK, f->GroupBox1, {3, 11, 25, 14}},
        {f->GroupBox2, f->Panel2, {38, 1, 251, 29}}, {f->TR_NAME, f->GroupBox2, {5, 11, 240, 14}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.control->metaObject()->className());
        EXPECT_EQ(c.control->parentWidget(), c.parent);
        EXPECT_EQ(c.control->geometry(), c.geometry);
    }
    EXPECT_EQ(f->GroupBox3->title(), QStringLiteral("SELECT"));
    EXPECT_EQ(f->GroupBox1->title(), QStringLiteral("TR"));
    EXPECT_EQ(f->GroupBox2->title(), QStringLiteral("TITLE"));
    for (QGroupBox *box : {f->GroupBox1, f->GroupBox2, f->GroupBox3}) {
        EXPECT_EQ(box->font().pixelSize(), 11);
        EXPECT_TRUE(box->font().bold());
    }
    EXPECT_EQ(f->BitBtn1->text(), QStringLiteral("Do Play"));
    EXPECT_EQ(f->BitBtn1->toolTip(), QStringLiteral("Track再生"));
    EXPECT_EQ(f->BitBtn2->text(), QStringLiteral("Close"));
    EXPECT_EQ(f->BitBtn2->toolTip(), QStringLiteral("TrackSelecterを閉じる"));
    for (QPushButton *button : {f->BitBtn1, f->BitBtn2}) {
        EXPECT_EQ(button->font().pixelSize(), 12);
        EXPECT_TRUE(button->font().bold());
    }
    EXPECT_EQ(f->BitBtn2->nextInFocusChain(), f->BitBtn1);  // Close first, then Do Play
    EXPECT_EQ(f->TrackBar1->tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(f->TrackBar1->tickInterval(), 1);
    EXPECT_EQ(f->TrackBar1->pageStep(), 1);
    EXPECT_EQ(f->TrackBar1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(f->TRACK->Caption(), " 00");
    EXPECT_EQ(f->TR_NAME->Caption(), " --------------------");
    EXPECT_EQ(f->TRACK->Color(), QColor(0, 255, 0));
    EXPECT_EQ(f->TR_NAME->Color(), QColor(0, 255, 0));
}

TEST_F(TrackSelector, OpeningWhileTrackFivePlaysShowsTrackFive) {
    playTrack(twelveTrackDisc(), 5);
    Form1->PM_SELClick(Form1->PM_SEL);
    Form5->FormActivate(Form5);
    EXPECT_FALSE(Form5->isHidden());
    EXPECT_EQ(Form5->TrackBar1->minimum(), 1);
    EXPECT_EQ(Form5->TrackBar1->maximum(), 12);
    EXPECT_EQ(Form5->TrackBar1->value(), 5);
    EXPECT_TRUE(Form5->TrackBar1->isEnabled());
    EXPECT_EQ(Form5->TRACK->Caption(), " 05");
    EXPECT_EQ(Form5->TR_NAME->Caption(), " Song 5");
    EXPECT_TRUE(errors.empty());
}

TEST_F(TrackSelector, MovingTheSliderChangesOnlyTheTwoFields) {
    playTrack(twelveTrackDisc(), 5);
    Form1->PM_SELClick(Form1->PM_SEL);
    const QString title = applicationTitle();
    Form5->TrackBar1->setSliderPosition(9);
    EXPECT_EQ(Form5->TRACK->Caption(), " 09");
    EXPECT_EQ(Form5->TR_NAME->Caption(), " Song 9");
    tick(2);
    EXPECT_EQ(CurrentTrack, 5);
    EXPECT_EQ(deviceTrack(), 5);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_EQ(applicationTitle(), title);
    EXPECT_EQ(Form5->TrackBar1->value(), 9);  // no track change, so no refresh
}

TEST_F(TrackSelector, DoPlayPlaysTheChosenTrackWithTheModesOff) {
    playTrack(twelveTrackDisc(), 5);
    Form1->PA_RepeatClick(Form1->PA_Repeat);
    Form1->PA_ShffClick(Form1->PA_Shff);
    ASSERT_TRUE(RepeatOn || ShuffleOn);
    Form1->PM_SELClick(Form1->PM_SEL);
    Form5->FormActivate(Form5);
    Form5->TrackBar1->setSliderPosition(9);
    QTest::mouseClick(Form5->BitBtn1, Qt::LeftButton);

    EXPECT_EQ(CurrentTrack, 9);
    EXPECT_EQ(ShownTrack, 9);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_EQ(deviceTrack(), 9);
    EXPECT_EQ(tmsf::minutes(Form1->MediaPlayer1->Position()), 0);
    EXPECT_EQ(tmsf::seconds(Form1->MediaPlayer1->Position()), 0);
    EXPECT_FALSE(RepeatOn);
    EXPECT_FALSE(ShuffleOn);
    EXPECT_EQ(Form1->SG_TRACK->Col(), 8);
    EXPECT_EQ(Form1->SG_TRACK->Row(), 0);
    EXPECT_EQ(applicationTitle(), QStringLiteral("CD-Tunewick32 Track : 09"));
    EXPECT_TRUE(Form1->PM_Play->Checked());
    EXPECT_FALSE(Form1->PM_Stop->Checked());
    EXPECT_TRUE(Form1->Timer1->Enabled());
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE->Caption(), "TITLE");
    EXPECT_EQ(LCD_DISPLAY->LB_NAME->Caption(), "Song 9");
    EXPECT_FALSE(Form5->isHidden());  // the selector stays open
    tick(2);
    EXPECT_EQ(CurrentTrack, 9);
    EXPECT_TRUE(errors.empty());
}

TEST_F(TrackSelector, PollMovesTheSliderWhileTheSelectorIsHidden) {
    playTrack(platform::SimulatedDisc::ofSeconds({3, 5, 4}), 1);
    ASSERT_TRUE(Form5->isHidden());
    tick(14);
    ASSERT_EQ(CurrentTrack, 2);
    tick();
    EXPECT_EQ(Form5->TrackBar1->value(), 2);
    EXPECT_EQ(Form5->TRACK->Caption(), " 02");
    EXPECT_EQ(Form5->TR_NAME->Caption(), " Song 2");
}

// Close and an eject both give the menu its "TrackSelecter を表示" back.
class TrackSelectorClosing : public TrackSelector, public ::testing::WithParamInterface<bool> {};

TEST_P(TrackSelectorClosing, BringsTheMenuItemBack) {
    playTrack(twelveTrackDisc(), 2);
    Form1->PM_SELClick(Form1->PM_SEL);
    ASSERT_FALSE(Form1->PM_SEL->isVisible());
    if (GetParam())
        QTest::mouseClick(Form5->BitBtn2, Qt::LeftButton);
    else
        Form1->PM_EJECTClick(Form1->PM_EJECT);
    EXPECT_TRUE(Form5->isHidden());
    EXPECT_TRUE(Form1->PM_SEL->isVisible());
    EXPECT_TRUE(Form1->PM_LINE->isVisible());
    EXPECT_EQ(Form1->PM_SEL->text(), QStringLiteral("TrackSelecter を表示"));
    EXPECT_TRUE(errors.empty());
}

INSTANTIATE_TEST_SUITE_P(CloseOrEject, TrackSelectorClosing, ::testing::Bool(),
                         [](const auto &info) { return std::string(info.param ? "Close" : "Eject"); });

TEST_F(TrackSelector, OneTrackDiscGivesARangeOfOne) {
    playTrack(platform::SimulatedDisc::ofSeconds({60}), 1);
    Form5->FormActivate(Form5);
    EXPECT_EQ(Form5->TrackBar1->minimum(), 1);
    EXPECT_EQ(Form5->TrackBar1->maximum(), 1);
    EXPECT_EQ(Form5->TrackBar1->value(), 1);
    EXPECT_EQ(Form5->TRACK->Caption(), " 01");
}

TEST_F(TrackSelector, BeforeTheFirstDiscNoTrackIsOffered) {
    startApp();
    ASSERT_EQ(TrackCount, 0);
    EXPECT_FALSE(Form5->TrackBar1->isEnabled());
    EXPECT_FALSE(Form5->BitBtn1->isEnabled());
    Form1->PM_SELClick(Form1->PM_SEL);
    Form5->FormActivate(Form5);
    EXPECT_FALSE(Form5->TrackBar1->isEnabled());
    EXPECT_FALSE(Form5->BitBtn1->isEnabled());
    EXPECT_EQ(Form5->TRACK->Caption(), " ");
    EXPECT_EQ(Form5->TR_NAME->Caption(), " ");
    // Called anyway, "Do Play" does nothing: the device is not started, the poll keeps running.
    Form5->BitBtn1Click(Form5->BitBtn1);
    EXPECT_NE(Form1->MediaPlayer1->Mode(), mpPlaying);
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_TRUE(Form1->Timer1->Enabled());
    EXPECT_TRUE(errors.empty());

    // The first disc makes the selector offer its tracks.
    insert(twelveTrackDisc());
    tick();
    EXPECT_TRUE(Form5->TrackBar1->isEnabled());
    EXPECT_TRUE(Form5->BitBtn1->isEnabled());
    EXPECT_EQ(Form5->TrackBar1->maximum(), 12);
    EXPECT_EQ(Form5->TRACK->Caption(), " 01");
}

}  // namespace
