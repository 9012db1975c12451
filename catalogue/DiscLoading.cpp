#include "catalogue/DiscLoading.h"

#include "catalogue/CatalogueEditor.h"
#include "catalogue/CatalogueFile.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

namespace {

const std::string kNoDiscTitle(23, '-');
const std::string kDeclinedTitle(18, '-');
const std::string kNoTrackTitle(16, '-');

bool catalogueFileExists() { return QFileInfo::exists(DiscFilePath); }

// The registration question; true for Yes.
bool askToRegister() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("情報"),
                    QStringLiteral("このＣＤのデータはありません。\rデータベースに登録しますか？"), QMessageBox::NoButton,
                    Form1);
    QPushButton *yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    execModal(&box);
    return box.clickedButton() == yes;
}

void registerDisc() {
    execModal(CD_Database);
    DiscTitle = CD_Database->Edit1->Text();
    if (!catalogueFileExists()) catalogue::writeFile(DiscFilePath, {DiscTitle});
    if (LCD_DISPLAY->LB_TITLE->Caption() == "DISK")
        ReadDiscTitle();
    else
        ShowTrackTitle();
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
    std::snprintf(buffer, sizeof buffer, " %2.2d:%2.2d", msf::minutes(length), msf::seconds(length));
    LCD_DISPLAY->LB_TIME->setCaption(buffer);
    TrackCount = tracks;
    LCD_DISPLAY->LB_TRACK->setCaption(twoDigits(tracks));
    DiscFilePath = QDir(catalogue::catalogueFolder()).filePath(catalogue::fileNameForLength(length));
    LoadCatalogueGrid();
    if (catalogueFileExists()) return ReadDiscTitle();

    // No catalogue file yet: no poll runs while the question and the editor are open.
    Form1->Timer1->setEnabled(false);
    struct RestartPoll {
        ~RestartPoll() { Form1->Timer1->setEnabled(true); }
    } restartPoll;
    if (askToRegister())
        registerDisc();
    else
        CD_Database->Edit1->setText(kDeclinedTitle);
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
