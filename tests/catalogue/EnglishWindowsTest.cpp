#include "tests/catalogue/CatalogueFixture.h"

#include "catalogue/CatalogueEditor.h"
#include "catalogue/CatalogueFile.h"
#include "platform/backends/CueSheet.h"
#include "player/PlayerState.h"
#include "ui/AboutBox.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"
#include "ui/controls/AccessibleTransportBar.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QTranslator>

namespace {

// The windows as an English desktop gets them: the translation the build made is installed
// before they are created, as start-up does.
class EnglishWindows : public CatalogueFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_translator.load(QStringLiteral("cd-tunewick32_en"), QStringLiteral(TRANSLATIONS_DIR)));
        QCoreApplication::installTranslator(&m_translator);
        CatalogueFixture::SetUp();
    }
    void TearDown() override {
        CatalogueFixture::TearDown();
        QCoreApplication::removeTranslator(&m_translator);
    }

private:
    QTranslator m_translator;
};

QStringList menuTexts() {
    QStringList texts;
    for (QAction *action : Form1->PM1->actions())
        if (action->isVisible() && !action->isSeparator()) texts << action->text();
    return texts;
}

TEST_F(EnglishWindows, EveryWindowSpeaksEnglish) {
    QString question;
    QStringList buttons;
    answerModal = [&](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            question = box->windowTitle() + QLatin1Char('|') + box->text();
            for (QAbstractButton *button : box->buttons()) buttons << button->text();
        }
        press(dialog, QStringLiteral("&No"));
        return 0;
    };
    load(platform::SimulatedDisc::ofSeconds({10, 20}));
    EXPECT_EQ(question, QStringLiteral("Information|There are no titles for this CD.\nAdd it to the database?"));
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}));

    EXPECT_EQ(menuTexts(), (QStringList{QStringLiteral("Show Track Selector"), QStringLiteral("Play"), QStringLiteral("Pause"),
                                        QStringLiteral("Stop"), QStringLiteral("Eject"), QStringLiteral("Repeat play"),
                                        QStringLiteral("Shuffle play"), QStringLiteral("Display"), QStringLiteral("Endless play"), QStringLiteral("De-emphasis"), QStringLiteral("Look up titles on MusicBrainz"), QStringLiteral("Verify with AccurateRip"),
                                        QStringLiteral("Open Disc Image..."), QStringLiteral("Drive"),
                                        QStringLiteral("Help"), QStringLiteral("About"), QStringLiteral("Exit CD-Tunewick")}));
    EXPECT_EQ(Form1->PA_DISP->Hint(), QStringLiteral("Show the display"));
    Form1->PA_DISPClick(Form1->PA_DISP);
    EXPECT_EQ(Form1->PA_DISP->Hint(), QStringLiteral("Hide the display"));
    Form1->PA_RepeatClick(Form1->PA_Repeat);
    EXPECT_EQ(Form1->PA_Repeat->Hint(), QStringLiteral("Repeat off"));
    EXPECT_EQ(Form1->PA_SUTTER->accessibleName(), QStringLiteral("Shutter"));
    EXPECT_EQ(transportButtonName(btNext), QStringLiteral("Next track"));
    EXPECT_EQ(LCD_DISPLAY->PA_TITLE->Hint(), QStringLiteral("Switch the title shown"));
    EXPECT_EQ(AboutBox->windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(AboutBox->Comments->Text(), QStringLiteral("CD player for Linux"));
    EXPECT_EQ(CD_Database->BitBtn2->text(), QStringLiteral("&Save"));
    CD_Database->layOutGrid();
    EXPECT_EQ(CD_Database->SG1->cellText(2, 0), QStringLiteral("  Time"));
    EXPECT_EQ(Form5->BitBtn1->toolTip(), QStringLiteral("Play the track"));

    // Messages of the file, drive and rip layers.
    QDir(catalogueFolder()).mkpath(QStringLiteral("9.CDL"));
    try {
        catalogue::readFile(QDir(catalogueFolder()).filePath(QStringLiteral("9.CDL")));
        ADD_FAILURE() << "a folder was read as a catalogue file";
    } catch (const std::exception &e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot read ", 0), 0u) << e.what();
    }
    Form1->MediaPlayer1->Close();
    try {
        Form1->MediaPlayer1->Play();
        ADD_FAILURE() << "a closed device played";
    } catch (const std::exception &e) {
        EXPECT_STREQ(e.what(), "No MCI device");
    }
    std::string reason;
    EXPECT_FALSE(platform::CueSheet::parse("TRACK 01 AUDIO\n", reason));
    EXPECT_EQ(reason, "Cannot read line 1 of the cue sheet: No FILE before TRACK");
}

}  // namespace
