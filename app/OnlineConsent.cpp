#include "app/OnlineConsent.h"

#include "app/SettingsFile.h"
#include "catalogue/CoverArt.h"
#include "catalogue/OnlineTitles.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/Modal.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

const QString kSettingsFile = QStringLiteral("ROTOR.INI");

// The question's texts.
const char *const kCaption = QT_TRANSLATE_NOOP("OnlineConsent", "タイトルの検索");
const char *const kQuestion =
    QT_TRANSLATE_NOOP("OnlineConsent", "ＣＤのタイトルをインターネットの MusicBrainz (musicbrainz.org) で調べますか？\n"
    "調べるときは、ＣＤの目次から計算したディスク ID を送ります。\n"
    "タイトルを選んだＣＤのジャケット画像は Cover Art Archive (coverartarchive.org、画像は archive.org) から取得します。\n"
    "あとでメニューの「MusicBrainz でタイトルを検索」で切り替えられます。");
const char *const kYes = QT_TRANSLATE_NOOP("OnlineConsent", "はい(&Y)");
const char *const kNo = QT_TRANSLATE_NOOP("OnlineConsent", "いいえ(&N)");

// The answer of this run is kept beside the windows (which live as long as the run) for when
// ROTOR.INI cannot keep it.
QByteArray answerOfThisRun(const char *key) { return QByteArrayLiteral("consentOfThisRun") + key; }

}  // namespace

bool askConsent(const QString &caption, const QString &question) {
    QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::NoButton, Form1);
    QPushButton *yes = box.addButton(QCoreApplication::translate("OnlineConsent", kYes), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QCoreApplication::translate("OnlineConsent", kNo), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    execModal(&box);
    return box.clickedButton() == yes;
}

std::optional<bool> storedConsent(const char *key) {
    const std::string value = SettingsFile(kSettingsFile).ReadText("Online", key, "");
    if (value == "1") return true;
    if (value == "0") return false;
    const QVariant ofThisRun = Form1 ? Form1->property(answerOfThisRun(key)) : QVariant();
    if (ofThisRun.isValid()) return ofThisRun.toBool();
    return std::nullopt;
}

void storeConsent(const char *key, bool allowed) {
    if (Form1) Form1->setProperty(answerOfThisRun(key), allowed);
    SettingsFile(kSettingsFile).WriteText("Online", key, allowed ? "1" : "0");
}

std::optional<bool> storedOnlineConsent() { return storedConsent("MusicBrainz"); }

void setOnlineConsent(bool allowed) {
    if (Form1) Form1->PM_ONLINE->setCheckMark(allowed);
    storeConsent("MusicBrainz", allowed);
}

// An answer ROTOR.INI cannot keep is said once and holds for this run: the disc's look-up and
// its registration question go on.
bool onlineLookupAllowed() {
    if (std::optional<bool> stored = storedOnlineConsent()) return *stored;
    const bool allowed = askConsent(QCoreApplication::translate("OnlineConsent", kCaption),
                                    QCoreApplication::translate("OnlineConsent", kQuestion));
    try {
        setOnlineConsent(allowed);
    } catch (const std::exception &error) {
        showException(error);
    }
    return allowed;
}

// Switching the look-up off drops the look-up and the cover fetch under way.
void TForm1::PM_ONLINEClick(QObject *) {
    const bool allowed = !storedOnlineConsent().value_or(false);
    if (!allowed) {
        forgetFoundTitles();
        stopFetchingCover();
    }
    setOnlineConsent(allowed);
}
