#include "catalogue/DiscLoading.h"

#include "catalogue/CatalogueEditor.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/CoverArt.h"
#include "catalogue/OnlineTitles.h"
#include "catalogue/TitleText.h"
#include "platform/TitleEncoding.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

namespace {

const std::string kNoDiscTitle(23, '-');
const std::string kDeclinedTitle(18, '-');
const std::string kNoTrackTitle(16, '-');
const std::string kEmptyDiscTitle(16, '-');  // an empty title field when the editor closes

// Set when a disc without a catalogue file was loaded while the editor was on screen.
bool s_registrationPending = false;

bool catalogueFileExists() { return QFileInfo::exists(DiscFilePath); }

// The registration question; true for Yes. Esc and the close box answer No.
bool askToRegister() {
    // Two lines: Qt breaks a plain-text line at LF, not at a lone CR.
    QMessageBox box(QMessageBox::Information, QCoreApplication::translate("DiscLoading", "情報"),
                    QCoreApplication::translate("DiscLoading", "このＣＤのデータはありません。\nデータベースに登録しますか？"),
                    QMessageBox::NoButton, Form1);
    QPushButton *yes = box.addButton(QCoreApplication::translate("DiscLoading", "はい(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QCoreApplication::translate("DiscLoading", "いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    execModal(&box);
    return box.clickedButton() == yes;
}

// Closed without 保存, the file gets the title field as the user left it; a disc title found online
// and left untouched was never confirmed, so the file gets the placeholder of an empty field.
void registerDisc() {
    execModal(CD_Database);
    if (!catalogueFileExists() && editorHoldsFoundDiscTitle()) CD_Database->Edit1->setText(kEmptyDiscTitle);
    DiscTitle = CD_Database->Edit1->Text();
    if (!catalogueFileExists()) catalogue::writeFile(DiscFilePath, {CD_Database->discTitleBytes()});
    if (LCD_DISPLAY->LB_TITLE->Caption() == "DISK")
        ReadDiscTitle();
    else
        ShowTrackTitle();
}

// The poll stays off while the question and the editor are open, and runs again afterwards, also
// when the registration fails.
void offerRegistration() {
    Form1->Timer1->setEnabled(false);
    struct RestartPoll {
        ~RestartPoll() { Form1->Timer1->setEnabled(true); }
    } restartPoll;
    startTitleLookup();
    if (askToRegister())
        registerDisc();
    else
        CD_Database->Edit1->setText(kDeclinedTitle);
}

}  // namespace

void LoadDisc() {
    TMediaPlayer *device = Form1->MediaPlayer1;
    uint32_t length = device->Length();
    int tracks = device->Tracks();
    char buffer[64];
    for (int t = 1; t <= tracks; ++t) {
        uint32_t len = device->TrackLength(t);
        std::snprintf(buffer, sizeof buffer, "   %2.2d:%2.2d", msf::minutes(len), msf::seconds(len));
        CD_Database->SG1->setCell(2, t, buffer);
    }
    std::snprintf(buffer, sizeof buffer, " TOTAL: %2.2dTracks, %2.2d:%2.2dmin ", tracks, msf::minutes(length),
                  msf::seconds(length));
    CD_Database->LB1->setText(QString::fromLatin1(buffer));
    CD_Database->LB1->adjustSize();
    std::snprintf(buffer, sizeof buffer, " %2.2d:%2.2d", msf::minutes(length), msf::seconds(length));
    LCD_DISPLAY->LB_TIME->setCaption(buffer);
    TrackCount = tracks;
    LCD_DISPLAY->LB_TRACK->setCaption(twoDigits(tracks));
    DiscFilePath = QDir(catalogue::catalogueFolder()).filePath(catalogue::fileNameForLength(length));
    LoadCatalogueGrid();
    // An editor on screen shows the new disc: its activation will not run again.
    const bool editorShown = CD_Database->isVisible();
    if (editorShown) CD_Database->layOutGrid();
    s_registrationPending = false;
    forgetFoundTitles();
    showCoverOfLoadedDisc();
    if (catalogueFileExists()) return ReadDiscTitle();

    // No catalogue file yet. A second editor cannot open over the one on screen: the question
    // waits until that one has closed.
    if (editorShown) {
        s_registrationPending = true;
        return;
    }
    offerRegistration();
}

void askPendingRegistration() {
    if (!s_registrationPending) return;
    s_registrationPending = false;
    if (Form1->SG_TRACK->Tag != 1 || catalogueFileExists()) return;
    offerRegistration();
}

// Control characters become blanks, as they do in a typed title.
void putTitle(int row, const std::string &utf8) {
    const std::string title = titles::encode(catalogue::blankControlCharacters(QString::fromStdString(utf8)));
    if (row == 0) return CD_Database->Edit1->setText(title);
    CD_Database->SG1->setCell(1, row, title);
}

void fillTitlesTheDiscCarries() {
    const platform::CdDrive *drive = Form1->MediaPlayer1->drive();
    if (!drive || catalogueFileExists()) return;
    const platform::DiscText text = drive->toc().text;
    if (!text.title.empty()) putTitle(0, text.title);
    for (int k = 1; k <= TrackCount && k <= static_cast<int>(text.trackTitles.size()); ++k)
        if (!text.trackTitles[static_cast<size_t>(k - 1)].empty()) putTitle(k, text.trackTitles[static_cast<size_t>(k - 1)]);
}

void ReadDiscTitle() {
    LCD_DISPLAY->LB_TITLE->setCaption("DISK");
    std::optional<std::vector<std::string>> lines = catalogue::readFile(DiscFilePath);
    if (lines)
        DiscTitle = lines->empty() ? std::string() : lines->front();
    else
        DiscTitle = kNoDiscTitle;
    CD_Database->Edit1->setText(DiscTitle);
    ShowScrollTitle(CD_Database->Edit1->Text());
}

void ShowTrackTitle() {
    if (Form1->MediaPlayer1->Mode() != mpPlaying) return;
    if (LCD_DISPLAY->LB_TITLE->Caption() != "TITLE") return;
    LCD_DISPLAY->LB_OVER->Tag = 1;
    std::string title = CD_Database->SG1->Cells(1, CurrentTrack);
    ShowScrollTitle(title.empty() ? kNoTrackTitle : title);
}

// Track lines beyond TrackCount are not shown; the editor's next save writes exactly one line per
// track and so drops them.
void LoadCatalogueGrid() {
    std::optional<std::vector<std::string>> lines = catalogue::readFile(DiscFilePath);
    if (CD_Database->SG1->RowCount() < TrackCount + 1) CD_Database->SG1->setRowCount(TrackCount + 1);
    if (!lines) {
        CD_Database->Edit1->setText(std::string());
        for (int k = 1; k <= TrackCount; ++k) CD_Database->SG1->setCell(1, k, std::string());
        return;
    }
    CD_Database->Edit1->setText(lines->empty() ? std::string() : lines->front());
    for (int k = 1; k <= TrackCount; ++k) {
        size_t line = static_cast<size_t>(k);
        CD_Database->SG1->setCell(1, k, line < lines->size() ? (*lines)[line] : std::string());
    }
}
