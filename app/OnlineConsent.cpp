#include "app/OnlineConsent.h"

#include "app/SettingsFile.h"
#include "catalogue/OnlineTitles.h"
#include "ui/Form1.h"
#include "ui/Modal.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

const QString kSettingsFile = QStringLiteral("ROTOR.INI");

// The question's texts.
const char *const kCaption = "タイトルの検索";
const char *const kQuestion =
    "ＣＤのタイトルをインターネットの MusicBrainz (musicbrainz.org) で調べますか？\n"
    "調べるときは、ＣＤの目次から計算したディスク ID を送ります。\n"
    "あとでメニューの「MusicBrainz でタイトルを検索」で切り替えられます。";
const char *const kYes = "はい(&Y)";
const char *const kNo = "いいえ(&N)";

// True for Yes; Esc and the close box answer No.
bool askForConsent() {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kCaption), QString::fromUtf8(kQuestion),
                    QMessageBox::NoButton, Form1);
    QPushButton *yes = box.addButton(QString::fromUtf8(kYes), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QString::fromUtf8(kNo), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    execModal(&box);
    return box.clickedButton() == yes;
}

}  // namespace

std::optional<bool> storedOnlineConsent() {
    const std::string value = SettingsFile(kSettingsFile).ReadText("Online", "MusicBrainz", "");
    if (value == "1") return true;
    if (value == "0") return false;
    return std::nullopt;
}

void setOnlineConsent(bool allowed) {
    SettingsFile(kSettingsFile).WriteText("Online", "MusicBrainz", allowed ? "1" : "0");
    if (Form1) Form1->PM_ONLINE->setCheckMark(allowed);
}

bool onlineLookupAllowed() {
    if (std::optional<bool> stored = storedOnlineConsent()) return *stored;
    const bool allowed = askForConsent();
    setOnlineConsent(allowed);
    return allowed;
}

// Switching the look-up off drops one that is under way.
void TForm1::PM_ONLINEClick(QObject *) {
    const bool allowed = !storedOnlineConsent().value_or(false);
    setOnlineConsent(allowed);
    if (!allowed) forgetFoundTitles();
}
