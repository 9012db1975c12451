#include "catalogue/OnlineTitles.h"

#include "app/OnlineConsent.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/DiscLoading.h"
#include "platform/SourceSwitch.h"
#include "player/PlayerState.h"
#include "ui/Form1.h"
#include "ui/ReleaseChoice.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

const char *const kLookingUp = QT_TRANSLATE_NOOP("OnlineTitles", "MusicBrainz でタイトルを調べています…");

std::unique_ptr<online::TitleLookup> s_lookup;

// The look-up of the loaded disc: where it stands and what it found.
struct Found {
    QString discFile;                            // the catalogue file of the disc looked up
    bool running = false;
    std::optional<online::LookupResult> result;
    std::optional<online::Release> chosen;
    bool choiceOffered = false;
    std::optional<std::string> discTitlePut;     // the disc title put into the editor
};
Found s_found;

bool editorWaitsForTitles() {
    return CD_Database && CD_Database->isVisible() && s_found.discFile == DiscFilePath &&
           !QFileInfo::exists(DiscFilePath);
}

void showNote(const QString &note) { CD_Database->Edit1->setPlaceholderText(note); }

// The release's titles go where the editor is still empty: what the disc carries or the user
// typed stays. putTitle blanks their control characters.
void putFoundTitles(const online::Release &release) {
    if (CD_Database->Edit1->text().isEmpty()) {
        putTitle(0, release.title.toStdString());
        s_found.discTitlePut = CD_Database->Edit1->Text();
    }
    const int tracks = std::min(TrackCount, static_cast<int>(release.trackTitles.size()));
    for (int k = 1; k <= tracks; ++k)
        if (CD_Database->SG1->cellText(1, k).isEmpty())
            putTitle(k, release.trackTitles[static_cast<size_t>(k - 1)].toStdString());
}

// Several releases: the user picks one, or none, once per disc.
void offerChoice() {
    if (!editorWaitsForTitles() || s_found.chosen || s_found.choiceOffered) return;
    s_found.choiceOffered = true;
    const int picked = chooseRelease(s_found.result->releases);
    if (picked < 0 || !editorWaitsForTitles()) return;
    s_found.chosen = s_found.result->releases[static_cast<size_t>(picked)];
    putFoundTitles(*s_found.chosen);
}

void takeResult(const online::LookupResult &result) {
    s_found.running = false;
    s_found.result = result;
    if (result.releases.size() == 1) s_found.chosen = result.releases.front();
    // Out of the network's callback before a window may open.
    QTimer::singleShot(0, CD_Database, [] { fillTitlesFoundOnline(); });
}

}  // namespace

void setTitleLookup(std::unique_ptr<online::TitleLookup> lookup) {
    forgetFoundTitles();
    s_lookup = std::move(lookup);
}

void startTitleLookup() {
    forgetFoundTitles();
    const platform::CdDrive *drive = Form1->MediaPlayer1->drive();
    // The demo disc is the program's own: no service knows it, and its titles come with it.
    const bool demoDisc = platform::sourceSwitch() && platform::sourceSwitch()->choice() == "demo";
    if (!s_lookup || !drive || demoDisc || QFileInfo::exists(DiscFilePath) || !onlineLookupAllowed()) return;
    s_found.discFile = DiscFilePath;
    s_found.running = true;
    s_lookup->start(drive->toc(), takeResult);
}

void forgetFoundTitles() {
    if (s_lookup) s_lookup->cancel();
    s_found = Found();
    if (CD_Database) CD_Database->Edit1->setPlaceholderText(QString());
}

bool editorHoldsFoundDiscTitle() {
    return s_found.discTitlePut && CD_Database->Edit1->Text() == *s_found.discTitlePut;
}

void fillTitlesFoundOnline() {
    if (!editorWaitsForTitles()) return;
    if (s_found.running) return showNote(QCoreApplication::translate("OnlineTitles", kLookingUp));
    if (!s_found.result) return;
    showNote(s_found.result->note);
    if (s_found.chosen) return putFoundTitles(*s_found.chosen);
    if (s_found.result->releases.size() > 1 && !s_found.choiceOffered)
        QTimer::singleShot(0, CD_Database, offerChoice);
}
