#include "tests/catalogue/CatalogueFixture.h"

#include "catalogue/CatalogueEditor.h"
#include "catalogue/DiscLoading.h"
#include "player/PlayerState.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QApplication>
#include <QTest>

#include <sys/resource.h>

#include <csignal>
#include <functional>

namespace {

using Editor = CatalogueFixture;

const std::string kDash16(16, '-');

// Shows the editor from the main panel; `edit` runs while it is on screen.
void editFromPanel(std::function<int(QDialog *)> &answer, const std::function<void()> &edit) {
    answer = [edit](QDialog *dialog) {
        EXPECT_EQ(dialog, CD_Database);
        CD_Database->show();
        edit();
        return int(QDialog::Rejected);
    };
    Form1->SBT_DATAClick(Form1->SBT_DATA);
}

void type(int track, const QString &text) { CD_Database->SG1->item(track, 1)->setText(text); }

TEST_F(Editor, ActivationSizesTheGridAndSelectsThePlayingTrack) {
    const platform::SimulatedDisc ten = platform::SimulatedDisc::uniform(10, 60);
    const platform::SimulatedDisc fifteen = platform::SimulatedDisc::uniform(15, 61);
    writeCatalogue(lengthOf(ten), {"Ten"});
    writeCatalogue(lengthOf(fifteen), {"Fifteen"});
    load(ten);
    CD_Database->show();
    EXPECT_EQ(CD_Database->SG1->RowCount(), 11);
    CD_Database->BitBtn1Click(CD_Database->BitBtn1);
    eject();
    load(fifteen);
    Form1->PM_PlayClick(Form1->PM_Play);
    CurrentTrack = 12;
    CD_Database->show();
    EXPECT_EQ(CD_Database->SG1->RowCount(), 16);
    EXPECT_EQ(CD_Database->SG1->Row(), 12);
    EXPECT_EQ(CD_Database->SG1->Col(), 1);
    EXPECT_EQ(CD_Database->SG1->Cells(0, 0), "");
    EXPECT_EQ(CD_Database->SG1->Cells(1, 0), sjis("   　    　   曲　     　目"));
    EXPECT_EQ(CD_Database->SG1->Cells(1, 0).size(), 27u);
    EXPECT_EQ(CD_Database->SG1->Cells(2, 0), sjis("  時  間"));
    EXPECT_EQ(CD_Database->SG1->Cells(0, 1), "  01");
    EXPECT_EQ(CD_Database->SG1->Cells(0, 15), "  15");
    EXPECT_EQ(CD_Database->Edit1->Text(), "Fifteen");
}

TEST_F(Editor, TypingGoesIntoTheSelectedCellAndFixedCellsStayAsTheyAre) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(3, 60);
    writeCatalogue(lengthOf(disc), {"D"});
    load(disc);
    CD_Database->show();
    TCatalogueGrid *grid = CD_Database->SG1;
    // The in-place editor opens as soon as a title cell is selected; keys go to it.
    grid->setCurrentCell(2, 1);
    QWidget *editor = grid->indexWidget(grid->currentIndex());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("ab"));
    grid->commitEditor();
    EXPECT_EQ(grid->Cells(1, 2), "ab");
    // Fixed cells never become current: not from code, not by the keys, not by a press.
    for (auto [row, col] : {std::pair{0, 1}, std::pair{3, 0}}) {
        grid->setCurrentCell(row, col);
        EXPECT_EQ(std::pair(grid->Row(), grid->Col()), std::pair(2, 1)) << row << "," << col;
    }
    grid->setFocus();
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Home}) {
        QTest::keyClick(grid, key);
        EXPECT_EQ(grid->Col(), 1);
    }
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(3, 0)).center());
    EXPECT_EQ(std::pair(grid->Row(), grid->Col()), std::pair(2, 1));
    EXPECT_EQ(CD_Database->SG1->Cells(0, 3), "  03");
    EXPECT_EQ(CD_Database->SG1->Cells(1, 0), sjis("   　    　   曲　     　目"));
}

// The header row stays in view while the rows scroll.
TEST_F(Editor, TheHeaderRowStaysInViewOnALongDisc) {
    load(platform::SimulatedDisc::uniform(15, 60));
    CD_Database->show();
    TCatalogueGrid *grid = CD_Database->SG1;
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    ASSERT_GT(grid->verticalScrollBar()->value(), 0);
    const QImage shown = grid->grab().toImage();
    const int titleColumnStart = grid->frameWidth() + 40 + 4;  // in the header's leading blanks
    EXPECT_EQ(shown.pixelColor(titleColumnStart, grid->frameWidth() + 2), QColor(0, 255, 0));
    // The title field is made in the title's face; the buttons keep the desktop's.
    EXPECT_EQ(CD_Database->BitBtn2->font(), QApplication::font(CD_Database->BitBtn2));
}

TEST_F(Editor, SavingAnEmptyTitleWritesAnEmptyLineAndClosingFillsTheField) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(2, 60);
    writeCatalogue(lengthOf(disc), {"Old", "a", "b"});
    load(disc);
    editFromPanel(answerModal, [&] {
        CD_Database->Edit1->QLineEdit::setText(QString());
        CD_Database->BitBtn2->click();
        EXPECT_TRUE(CD_Database->isVisible());
        EXPECT_EQ(fileBytes(lengthOf(disc)), "\r\na\r\nb\r\n");
        CD_Database->BitBtn1->click();
        EXPECT_FALSE(CD_Database->isVisible());
    });
    EXPECT_EQ(CD_Database->Edit1->Text(), kDash16);
    EXPECT_EQ(DiscTitle, kDash16);
    EXPECT_EQ(fileBytes(lengthOf(disc)), "\r\na\r\nb\r\n");
    EXPECT_TRUE(errors.empty());
}

TEST_F(Editor, TheCloseBoxClosesWithoutTheFillAndEscDoesNotClose) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(2, 60);
    writeCatalogue(lengthOf(disc), {"Old"});
    load(disc);
    CD_Database->show();
    CD_Database->Edit1->QLineEdit::setText(QString());
    QTest::keyClick(CD_Database, Qt::Key_Escape);
    EXPECT_TRUE(CD_Database->isVisible());
    CD_Database->close();
    EXPECT_FALSE(CD_Database->isVisible());
    EXPECT_EQ(CD_Database->result(), QDialog::Rejected);
    EXPECT_EQ(CD_Database->Edit1->Text(), "");
    EXPECT_FALSE(CD_Database->BitBtn1->isDefault() || CD_Database->BitBtn1->autoDefault());
    EXPECT_FALSE(CD_Database->BitBtn2->isDefault() || CD_Database->BitBtn2->autoDefault());
}

TEST_F(Editor, LinesNotEditedAreWrittenBackByteForByte) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(3, 60);
    const std::string title = "\xED\x40\xFA\x40 \x87\x90";  // NEC-selected IBM, IBM and NEC duplicates
    const std::string first = "\xFF\xFE\x80\xA0 \x81";       // no characters; a lone lead byte at the end
    const std::string third = "\x82\xA0\xFC\xFC";
    writeCatalogue(lengthOf(disc), {title, first, "\x87\x90\xED\x40", third, "beyond the last track"});
    load(disc);
    CD_Database->show();
    // Second codes of a character show as the character.
    EXPECT_EQ(CD_Database->Edit1->text(), QStringLiteral("纊ⅰ ≒"));
    // The in-place editor passes over the odd line without a change.
    CD_Database->SG1->setCurrentCell(1, 1);
    CD_Database->SG1->commitEditor();
    CD_Database->SG1->setCurrentCell(2, 1);
    type(2, CD_Database->SG1->cellText(1, 2) + QStringLiteral("新"));
    CD_Database->BitBtn2->click();
    // Exactly one line per track: the line past the last track is dropped. The edited line takes
    // the codes iconv gives its characters.
    EXPECT_EQ(fileBytes(lengthOf(disc)),
              title + "\r\n" + first + "\r\n\x81\xE0\xFA\x5C" + sjis("新") + "\r\n" + third + "\r\n");
    EXPECT_TRUE(errors.empty());
}

// A pasted line break or 0x1A would split the file's line or end the file: every control
// character of a paste into the title field or a title cell becomes a blank, the field shows it,
// and the file keeps one line per track. Lines not edited keep their bytes.
TEST_F(Editor, PastedControlCharactersBecomeBlanksAndTheFileKeepsItsLines) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(3, 60);
    writeCatalogue(lengthOf(disc), {"Old", "a", "b\x7f\x01", "c"});
    load(disc);
    CD_Database->show();
    QGuiApplication::clipboard()->setText(QStringLiteral("ab\r\ncd\x1a\tef"));
    const QString blanked = QStringLiteral("ab  cd  ef");
    CD_Database->Edit1->QLineEdit::setText(QString());
    CD_Database->Edit1->setFocus();
    QTest::keyClick(CD_Database->Edit1, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(CD_Database->Edit1->text(), blanked);
    TCatalogueGrid *grid = CD_Database->SG1;
    grid->setCurrentCell(1, 1);
    auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(grid->currentIndex()));
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(editor->text(), blanked);
    CD_Database->BitBtn2->click();
    EXPECT_EQ(fileBytes(lengthOf(disc)), "ab  cd  ef\r\nab  cd  ef\r\nb\x7f\x01\r\nc\r\n");
    EXPECT_TRUE(errors.empty());
}

// Lines have no length limit: titles longer than a line edit's default 32,767 characters survive a
// save without edits, in the title field and under the grid's in-place editor.
TEST_F(Editor, LongTitlesAreSavedWhole) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(2, 60);
    const std::string longTitle(40000, 'T');
    const std::string longTrack(50000, 'k');
    writeCatalogue(lengthOf(disc), {longTitle, longTrack, "b"});
    const std::string before = fileBytes(lengthOf(disc));
    load(disc);
    CD_Database->show();
    CD_Database->SG1->setCurrentCell(1, 1);  // opens the in-place editor over the long title
    CD_Database->SG1->commitEditor();
    CD_Database->BitBtn2->click();
    EXPECT_EQ(fileBytes(lengthOf(disc)), before);
    EXPECT_EQ(DiscTitle.size(), longTitle.size());
    EXPECT_TRUE(errors.empty());
}

TEST_F(Editor, ATitleThatCodePage932CannotHoldIsRefusedAndNothingIsWritten) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(8, 60);
    const std::vector<std::string> file = {"Disc", "1", "2", "3", "4", "5", "6", "7", "8"};
    const struct {
        const char *name;
        int track;  // 0: the disc title
        QString typed;
        const char *named;
    } cases[] = {
        {"emoji in the disc title", 0, QStringLiteral("Disc \U0001F3B5"), "ディスクのタイトル"},
        {"hangul in track 7", 7, QStringLiteral("한국"), "トラック 7 のタイトル"},
    };
    load(disc);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        writeCatalogue(lengthOf(disc), file);
        const std::string before = fileBytes(lengthOf(disc));
        CD_Database->show();
        if (c.track == 0)
            CD_Database->Edit1->QLineEdit::setText(c.typed);
        else
            type(c.track, c.typed);
        CD_Database->BitBtn2->click();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find(c.named), std::string::npos) << errors[0];
        EXPECT_EQ(fileBytes(lengthOf(disc)), before);
        EXPECT_TRUE(CD_Database->isVisible());
        EXPECT_EQ(c.track == 0 ? CD_Database->Edit1->text() : CD_Database->SG1->item(c.track, 1)->text(), c.typed);
        CD_Database->close();
    }
}

// Makes every write of more than `bytes` bytes fail with EFBIG, as a full disk would; also for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

TEST_F(Editor, AFailedSaveKeepsThePreviousFileAndTheEdits) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(2, 60);
    const QString longTitle(300, QLatin1Char('L'));
    writeCatalogue(lengthOf(disc), {"Old", "a", "b"});
    const std::string before = fileBytes(lengthOf(disc));
    load(disc);
    CD_Database->show();
    CD_Database->Edit1->QLineEdit::setText(longTitle);
    type(1, QStringLiteral("edited"));
    {
        FileSizeLimit full(64);
        CD_Database->BitBtn2->click();
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("に書き込めません"), std::string::npos) << errors[0];
    EXPECT_EQ(fileBytes(lengthOf(disc)), before);
    EXPECT_EQ(QDir(catalogueFolder()).entryList(QDir::Files).size(), 1);  // no temporary file left
    EXPECT_TRUE(CD_Database->isVisible());
    EXPECT_EQ(CD_Database->Edit1->text(), longTitle);
    EXPECT_EQ(CD_Database->SG1->Cells(1, 1), "edited");

    // A folder that cannot be made: its parent is a regular file.
    errors.clear();
    QFile blocker(QDir(catalogueFolder()).filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    DiscFilePath = blocker.fileName() + QStringLiteral("/x.CDL");
    CD_Database->BitBtn2->click();
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(CD_Database->isVisible());
    EXPECT_EQ(CD_Database->Edit1->text(), longTitle);
}

TEST_F(Editor, ASaveAfterAnEjectKeepsEveryTrackOfTheLastDisc) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(4, 60);
    writeCatalogue(lengthOf(disc), {"D", "a", "b", "c", "d"});
    load(disc);
    eject();
    editFromPanel(answerModal, [&] {
        EXPECT_EQ(CD_Database->SG1->RowCount(), 5);
        type(2, QStringLiteral("B"));
        CD_Database->BitBtn2->click();
        CD_Database->BitBtn1->click();
    });
    EXPECT_EQ(fileBytes(lengthOf(disc)), "D\r\na\r\nB\r\nc\r\nd\r\n");
    EXPECT_TRUE(errors.empty());
}

}  // namespace
