#include "catalogue/OnlineTitles.h"

#include "app/OnlineConsent.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/CoverArt.h"
#include "catalogue/DiscLoading.h"
#include "online/DiscId.h"
#include "platform/SourceSwitch.h"
#include "player/PlayerState.h"
#include "ui/Form1.h"
#include "ui/ReleaseChoice.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

const char *const kLookingUp = QT_TRANSLATE_NOOP("OnlineTitles", "MusicBrainz でタイトルを調べています…");
const char *const kAttach = QT_TRANSLATE_NOOP("OnlineTitles", "MusicBrainz に登録...");

std::unique_ptr<online::TitleLookup> s_lookup;

// The look-up of the loaded disc: where it stands and what it found.
struct Found {
    QString discFile;                            // the catalogue file of the disc looked up
    bool running = false;
    std::optional<online::LookupResult> result;
    std::optional<online::Release> chosen;
    bool choiceOffered = false;
    std::optional<std::string> discTitlePut;     // the disc title put into the editor
    QString releasePut;                          // the release whose titles were put there
};
Found s_found;

bool editorWaitsForTitles() {
    return CD_Database && CD_Database->isVisible() && s_found.discFile == DiscFilePath &&
           !QFileInfo::exists(DiscFilePath);
}

// The link to the service's page for adding the disc: a flat button drawn as a link inside the
// title field, at its right end, shown while the field is empty (the note shows there then, cut
// short before it). Tab reaches it right after the field, and a screen reader announces it as a
// button whose press opens the page. It exists only while offered, so that no empty control stays
// behind in the field for other discs.
QPushButton *attachLink() { return CD_Database->Edit1->findChild<QPushButton *>(QStringLiteral("attachLink")); }

void showAttachLink(QPushButton *link) {
    const bool shown = CD_Database->Edit1->text().isEmpty();
    link->setVisible(shown);
    CD_Database->Edit1->setTextMargins(0, 0, shown ? link->sizeHint().width() + 6 : 0, 0);
}

QPushButton *newAttachLink(const QUrl &url) {
    auto *link = new QPushButton(QCoreApplication::translate("OnlineTitles", kAttach), CD_Database->Edit1);
    link->setObjectName(QStringLiteral("attachLink"));
    link->setFlat(true);
    link->setFocusPolicy(Qt::StrongFocus);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); text-decoration: underline; border: none;"
                                       " padding: 0 2px; } QPushButton:focus { border: 1px dotted palette(link); }"));
    auto *layout = qobject_cast<QHBoxLayout *>(CD_Database->Edit1->layout());
    if (!layout) {
        layout = new QHBoxLayout(CD_Database->Edit1);
        layout->setContentsMargins(0, 0, 4, 0);
        layout->addStretch();
    }
    layout->addWidget(link);
    QWidget::setTabOrder(CD_Database->Edit1, link);
    QObject::connect(link, &QPushButton::clicked, link, [url] { QDesktopServices::openUrl(url); });
    QObject::connect(CD_Database->Edit1, &QLineEdit::textChanged, link, [link] { showAttachLink(link); });
    return link;
}

// Offers the page for adding the loaded disc, or takes the offer back (an empty URL).
void offerAttach(const QUrl &url) {
    delete attachLink();
    CD_Database->Edit1->setTextMargins(0, 0, 0, 0);
    if (!url.isEmpty()) showAttachLink(newAttachLink(url));
}

QUrl attachUrlOfLoadedDisc() {
    const platform::CdDrive *drive = Form1->MediaPlayer1->drive();
    const std::optional<online::MusicBrainzToc> toc = drive ? online::musicBrainzToc(drive->toc()) : std::nullopt;
    return toc ? online::attachUrl(*toc) : QUrl();
}

void showNote(const QString &note) { CD_Database->Edit1->setPlaceholderText(note); }

// The release's titles go where the editor is still empty: what the disc carries or the user
// typed stays. putTitle blanks their control characters.
void putFoundTitles(const online::Release &release) {
    s_found.releasePut = release.id;
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

online::TitleLookup *titleLookup() { return s_lookup.get(); }

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
    if (!CD_Database) return;
    CD_Database->Edit1->setPlaceholderText(QString());
    offerAttach(QUrl());
}

void foundTitlesSaved() {
    if (!s_found.releasePut.isEmpty() && s_found.discFile == DiscFilePath)
        rememberReleaseOfLoadedDisc(s_found.releasePut);
}

bool editorHoldsFoundDiscTitle() {
    return s_found.discTitlePut && CD_Database->Edit1->Text() == *s_found.discTitlePut;
}

void fillTitlesFoundOnline() {
    if (!editorWaitsForTitles()) return;
    if (s_found.running) return showNote(QCoreApplication::translate("OnlineTitles", kLookingUp));
    if (!s_found.result) return;
    showNote(s_found.result->note);
    if (s_found.result->unknownDisc) offerAttach(attachUrlOfLoadedDisc());
    if (s_found.chosen) return putFoundTitles(*s_found.chosen);
    if (s_found.result->releases.size() > 1 && !s_found.choiceOffered)
        QTimer::singleShot(0, CD_Database, offerChoice);
}
