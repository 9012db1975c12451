#include "tests/catalogue/CatalogueFixture.h"

#include "catalogue/CatalogueEditor.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/DiscLoading.h"
#include "player/PlayerState.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {

using DiscLoading = CatalogueFixture;

const std::string kDash16(16, '-');
const std::string kDash18(18, '-');
const std::string kDash23(23, '-');

std::vector<std::string> trackTitles(int tracks) {
    std::vector<std::string> titles;
    for (int t = 1; t <= tracks; ++t) titles.push_back(CD_Database->SG1->Cells(1, t));
    return titles;
}

// --- reading a catalogue file -------------------------------------------------------------

struct ReadingCase {
    const char *name;
    std::vector<std::string> file;
    std::string discTitle;
    std::vector<std::string> tracks;  // one per track of a 3-track disc
};

TEST_F(DiscLoading, ReadsTheDiscTitleAndOneTitlePerTrack) {
    const std::string odd = "\xED\x40\x81";  // an NEC duplicate, then a lone lead byte
    const std::vector<ReadingCase> cases = {
        {"title line alone", {"Disc"}, "Disc", {"", "", ""}},
        {"empty file", {}, "", {"", "", ""}},
        {"fewer track lines", {"Disc", "One"}, "Disc", {"One", "", ""}},
        {"more track lines", {"Disc", "One", "Two", "Three", "Four", "Five"}, "Disc", {"One", "Two", "Three"}},
        {"bytes that are no characters", {odd, "\xFF\x80", sjis("曲")}, odd, {"\xFF\x80", sjis("曲"), ""}},
    };
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({61, 62, 63});
    for (const ReadingCase &c : cases) {
        SCOPED_TRACE(c.name);
        writeCatalogue(lengthOf(disc), c.file);
        load(disc);
        EXPECT_EQ(modalCount, 0);
        EXPECT_EQ(DiscTitle, c.discTitle);
        EXPECT_EQ(CD_Database->Edit1->Text(), c.discTitle);
        EXPECT_EQ(trackTitles(3), c.tracks);
        EXPECT_EQ(CD_Database->SG1->Cells(1, 4), "") << "a line beyond the last track is shown";
        EXPECT_EQ(LCD_DISPLAY->LB_TITLE->Caption(), "DISK");
        eject();
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(DiscLoading, FillsTimesTotalsAndTheLcd) {
    platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({247, 61});
    disc.trackFrames[0] += 40;
    writeCatalogue(lengthOf(disc), {"Disc"});
    load(disc);
    EXPECT_EQ(CD_Database->SG1->Cells(2, 1), "   04:07");
    EXPECT_EQ(CD_Database->SG1->Cells(2, 2), "   01:00");  // the last track is one frame short
    EXPECT_EQ(CD_Database->LB1->text(), QStringLiteral(" TOTAL: 02Tracks, 05:08min "));
    EXPECT_GE(CD_Database->LB1->width(), CD_Database->LB1->sizeHint().width());
    EXPECT_EQ(LCD_DISPLAY->LB_TIME->Caption(), " 05:08");
    EXPECT_EQ(LCD_DISPLAY->LB_TRACK->Caption(), "02");
    EXPECT_EQ(TrackCount, 2);
}

TEST_F(DiscLoading, ANextDiscWithFewerLinesNeverShowsThePreviousTitles) {
    const platform::SimulatedDisc first = platform::SimulatedDisc::uniform(5, 100);
    const platform::SimulatedDisc second = platform::SimulatedDisc::uniform(5, 120);
    writeCatalogue(lengthOf(first), {"First", "a", "b", "c", "d", "e"});
    writeCatalogue(lengthOf(second), {"Second", "x"});
    load(first);
    eject();
    load(second);
    EXPECT_EQ(trackTitles(5), (std::vector<std::string>{"x", "", "", "", ""}));
    EXPECT_EQ(DiscTitle, "Second");
}

TEST_F(DiscLoading, UntitledTrackShowsSixteenDashesInTrackTitleMode) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({30, 30});
    writeCatalogue(lengthOf(disc), {"Only the disc"});
    load(disc);
    LCD_DISPLAY->LB_TITLE->setCaption("TITLE");
    Form1->PM_PlayClick(Form1->PM_Play);
    titleLine.clear();
    ShowTrackTitle();
    ASSERT_FALSE(titleLine.empty());
    EXPECT_EQ(titleLine.back(), kDash16);
}

// --- the file's name ----------------------------------------------------------------------

TEST_F(DiscLoading, TheFileIsNamedByTheLengthFramesIncluded) {
    // 45:30 and 12 or 13 frames; the device gives one frame less than the tracks hold.
    const struct {
        int frames;
        const char *name;
    } cases[] = {{12, "794157.CDL"}, {13, "859693.CDL"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        platform::SimulatedDisc disc;
        disc.trackFrames = {100000, (45 * 60 + 30) * 75 + c.frames + 1 - 100000};
        writeCatalogue(lengthOf(disc), {"x"});
        load(disc);
        EXPECT_EQ(QFileInfo(DiscFilePath).fileName().toStdString(), c.name);
        EXPECT_EQ(QFileInfo(DiscFilePath).absolutePath(), QFileInfo(catalogueFolder()).absoluteFilePath());
        eject();
    }
}

TEST_F(DiscLoading, DiscsOfTheSameLengthShareOneFile) {
    const platform::SimulatedDisc one = platform::SimulatedDisc::ofSeconds({100, 200});
    const platform::SimulatedDisc other = platform::SimulatedDisc::ofSeconds({250, 40, 10});
    ASSERT_EQ(lengthOf(one), lengthOf(other));
    writeCatalogue(lengthOf(one), {"Shared", "t1"});
    load(one);
    const QString firstPath = DiscFilePath;
    eject();
    load(other);
    EXPECT_EQ(DiscFilePath, firstPath);
    EXPECT_EQ(DiscTitle, "Shared");
    EXPECT_EQ(modalCount, 0);
}

// --- registration -------------------------------------------------------------------------

TEST_F(DiscLoading, TheQuestionIsAnInformationBoxWithYesDefaultAndNoOnEsc) {
    bool pollStopped = false;
    answerModal = [&](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        EXPECT_NE(box, nullptr);
        if (!box) return 0;
        pollStopped = !Form1->Timer1->Enabled();
        EXPECT_EQ(box->windowTitle(), QStringLiteral("情報"));
        EXPECT_EQ(box->icon(), QMessageBox::Information);
        EXPECT_EQ(box->text(), QStringLiteral("このＣＤのデータはありません。\nデータベースに登録しますか？"));
        const QList<QAbstractButton *> buttons = box->buttons();
        EXPECT_EQ(buttons.size(), 2);
        EXPECT_EQ(box->defaultButton() ? box->defaultButton()->text() : QString(), QStringLiteral("はい(&Y)"));
        EXPECT_EQ(box->escapeButton() ? box->escapeButton()->text() : QString(), QStringLiteral("いいえ(&N)"));
        return 0;
    };
    load(platform::SimulatedDisc::ofSeconds({10, 20}));
    EXPECT_EQ(modalCount, 1);
    EXPECT_TRUE(pollStopped);
    EXPECT_TRUE(Form1->Timer1->Enabled());
}

TEST_F(DiscLoading, DecliningWritesNothingAndAsksAgainNextTime) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20});
    // Pressing No and closing the box some other way both decline.
    int question = 0;
    answerModal = [&](QDialog *dialog) {
        EXPECT_TRUE(isQuestion(dialog));
        if (question++ == 0) {
            EXPECT_TRUE(press(dialog, QStringLiteral("いいえ(&N)")));
        }
        return 0;
    };
    DiscTitle = "before";
    load(disc);
    EXPECT_EQ(fileBytes(lengthOf(disc)), "<none>");
    EXPECT_EQ(CD_Database->Edit1->Text(), kDash18);
    EXPECT_EQ(DiscTitle, "before");
    EXPECT_TRUE(Form1->Timer1->Enabled());
    eject();
    load(disc);
    EXPECT_EQ(modalCount, 2);
    EXPECT_EQ(fileBytes(lengthOf(disc)), "<none>");
    EXPECT_EQ(CD_Database->Edit1->Text(), kDash18);
}

TEST_F(DiscLoading, RegisteringAndSavingKeepsEveryTitle) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20, 30});
    answerModal = [&](QDialog *dialog) {
        if (isQuestion(dialog)) {
            EXPECT_TRUE(press(dialog, QStringLiteral("はい(&Y)")));
            return 0;
        }
        EXPECT_EQ(dialog, CD_Database);
        EXPECT_FALSE(Form1->Timer1->Enabled());
        CD_Database->show();
        CD_Database->Edit1->QLineEdit::setText(QStringLiteral("新しいディスク"));
        CD_Database->SG1->item(1, 1)->setText(QStringLiteral("One"));
        CD_Database->SG1->item(3, 1)->setText(QStringLiteral("三"));
        CD_Database->BitBtn2Click(CD_Database->BitBtn2);
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    load(disc);
    EXPECT_EQ(modalCount, 2);
    EXPECT_EQ(fileBytes(lengthOf(disc)), sjis("新しいディスク\r\nOne\r\n\r\n三\r\n"));
    EXPECT_EQ(DiscTitle, sjis("新しいディスク"));
    EXPECT_EQ(LCD_DISPLAY->LB_TITLE->Caption(), "DISK");
    EXPECT_TRUE(Form1->Timer1->Enabled());
    EXPECT_TRUE(errors.empty());
}

TEST_F(DiscLoading, RegisteringWithoutSavingWritesTheTitleFieldAlone) {
    const struct {
        const char *typed;
        std::string file;
    } cases[] = {{"Typed title", "Typed title\r\n"}, {"", kDash16 + "\r\n"}};
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        QFile::remove(pathOf(lengthOf(disc)));
        answerModal = [&](QDialog *dialog) {
            if (press(dialog, QStringLiteral("はい(&Y)"))) return 0;
            CD_Database->show();
            CD_Database->Edit1->QLineEdit::setText(QString::fromUtf8(c.typed));
            CD_Database->BitBtn1Click(CD_Database->BitBtn1);
            return int(QDialog::Rejected);
        };
        load(disc);
        EXPECT_EQ(fileBytes(lengthOf(disc)), c.file);
        EXPECT_EQ(DiscTitle, c.file.substr(0, c.file.size() - 2));
        eject();
    }
    EXPECT_TRUE(errors.empty());
}

// The titles a disc carries (its sheet or CD-Text) fill the editor at registration; nothing is
// written before a save, and a title code page 932 cannot hold is reported at the save, as a typed one.
TEST_F(DiscLoading, RegistrationStartsFromTheTitlesTheDiscCarries) {
    platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20, 30});
    disc.text = {"テスト盤", {"序曲", "", "한"}};
    answerModal = [&](QDialog *dialog) {
        if (press(dialog, QStringLiteral("はい(&Y)"))) return 0;
        CD_Database->show();
        EXPECT_EQ(CD_Database->Edit1->text(), QStringLiteral("テスト盤"));
        EXPECT_EQ(CD_Database->SG1->cellText(1, 1), QStringLiteral("序曲"));
        EXPECT_EQ(CD_Database->SG1->cellText(1, 2), QString());
        EXPECT_EQ(CD_Database->SG1->cellText(1, 3), QStringLiteral("한"));
        EXPECT_EQ(fileBytes(lengthOf(disc)), "<none>");
        CD_Database->BitBtn2->click();
        EXPECT_EQ(fileBytes(lengthOf(disc)), "<none>") << "the unencodable title is refused, not replaced";
        EXPECT_EQ(errors.size(), 1u);
        CD_Database->SG1->item(3, 1)->setText(QStringLiteral("終"));
        CD_Database->BitBtn2->click();
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    load(disc);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(fileBytes(lengthOf(disc)), sjis("テスト盤\r\n序曲\r\n\r\n終\r\n"));
}

// Control characters in the titles a disc carries become blanks before they reach the editor, so
// that the saved file reads back whole: a 0x1A would end it, a CR move every later title.
TEST_F(DiscLoading, ControlCharactersTheDiscCarriesAreSavedAsBlanks) {
    platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20, 30});
    disc.text = {"Live\x1ATokyo", {"序\r曲", "a\nb\tc", "\x7F終\xC2\x85"}};
    answerModal = [&](QDialog *dialog) {
        if (press(dialog, QStringLiteral("はい(&Y)"))) return 0;
        CD_Database->show();
        EXPECT_EQ(CD_Database->Edit1->text(), QStringLiteral("Live Tokyo"));
        CD_Database->BitBtn2->click();
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    load(disc);
    EXPECT_EQ(fileBytes(lengthOf(disc)), sjis("Live Tokyo\r\n序 曲\r\na b c\r\n 終 \r\n"));
    eject();
    load(disc);
    EXPECT_EQ(DiscTitle, "Live Tokyo");
    EXPECT_EQ(trackTitles(3), (std::vector<std::string>{sjis("序 曲"), "a b c", sjis(" 終 ")}));
    EXPECT_TRUE(errors.empty());
}

TEST_F(DiscLoading, AFailedRegistrationIsShownAndThePollRunsAgain) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20});
    struct Case {
        const char *name;
        bool folderIsAFile;
        QString typed;
        const char *message;
    };
    const Case cases[] = {
        {"folder cannot be made", true, QStringLiteral("Title"), "に書き込めません"},
        {"title not in code page 932", false, QStringLiteral("Title \U0001F3B5"), "ディスクのタイトル"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        QDir(catalogueFolder()).removeRecursively();
        QFile::remove(catalogueFolder());
        if (c.folderIsAFile) {
            QFile blocker(catalogueFolder());
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        }
        answerModal = [&](QDialog *dialog) {
            if (press(dialog, QStringLiteral("はい(&Y)"))) return 0;
            CD_Database->Edit1->QLineEdit::setText(c.typed);
            CD_Database->BitBtn1Click(CD_Database->BitBtn1);
            return int(QDialog::Rejected);
        };
        load(disc);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find(c.message), std::string::npos) << errors[0];
        EXPECT_FALSE(QFileInfo(pathOf(lengthOf(disc))).isFile());
        EXPECT_TRUE(Form1->Timer1->Enabled());
        eject();
    }
    QFile::remove(catalogueFolder());
}

// --- a disc change while the editor is on screen ------------------------------------------

TEST_F(DiscLoading, ADiscChangeUnderTheOpenEditorReloadsItAndAsksAfterItCloses) {
    const platform::SimulatedDisc first = platform::SimulatedDisc::uniform(3, 100);
    const platform::SimulatedDisc second = platform::SimulatedDisc::uniform(5, 90);
    writeCatalogue(lengthOf(first), {"First", "a", "b", "c"});
    load(first);
    std::vector<bool> questions;  // each modal shown: the question (true) or the editor
    answerModal = [&](QDialog *dialog) {
        questions.push_back(isQuestion(dialog));
        if (questions.back()) return press(dialog, QStringLiteral("いいえ(&N)")) ? 0 : -1;
        CD_Database->show();
        if (questions.size() == 1) {
            EXPECT_EQ(CD_Database->Edit1->Text(), "First");
            eject();
            load(second);  // the poll goes on while the editor is shown from the panel
            EXPECT_EQ(questions.size(), 1u) << "a question or a second editor opened over the editor";
            EXPECT_EQ(CD_Database->SG1->RowCount(), 6);
            EXPECT_EQ(CD_Database->SG1->Cells(0, 5), "  05");
            EXPECT_EQ(CD_Database->SG1->Cells(1, 1), "");
            EXPECT_EQ(CD_Database->Edit1->Text(), "");
        }
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    Form1->SBT_DATAClick(Form1->SBT_DATA);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_TRUE(questions[1]);
    EXPECT_EQ(CD_Database->Edit1->Text(), kDash18);
    EXPECT_TRUE(Form1->Timer1->Enabled());
    EXPECT_EQ(fileBytes(lengthOf(second)), "<none>");
    // Asked once: closing the editor again does not ask again.
    Form1->SBT_DATAClick(Form1->SBT_DATA);
    EXPECT_EQ(std::count(questions.begin(), questions.end(), true), 1);
}

}  // namespace
