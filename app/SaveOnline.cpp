#include "app/SaveOnline.h"

#include "app/OnlineConsent.h"
#include "app/SettingsFile.h"
#include "catalogue/CoverArt.h"
#include "online/DiscId.h"
#include "online/ModuleLookup.h"
#include "save/AccurateRipSaveCheck.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/Modal.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMessageBox>
#include <QPushButton>

#include <chrono>
#include <future>

namespace {

const QString kSettingsFile = QStringLiteral("ROTOR.INI");

const char *const kCaption = QT_TRANSLATE_NOOP("SaveOnline", "AccurateRip で照合");
const char *const kQuestion = QT_TRANSLATE_NOOP(
    "SaveOnline",
    "保存したトラックを AccurateRip (www.accuraterip.com) のデータベースと照合しますか？\n"
    "照合には、ＣＤの目次から計算したディスク ID をアドレスに入れ、プログラム名 (User-Agent) を添えて、"
    "暗号化されない HTTP で送ります。Cookie など、ほかのものは送りません。\n"
    "あとでメニューの「AccurateRip で照合」で切り替えられます。");
const char *const kYes = QT_TRANSLATE_NOOP("SaveOnline", "はい(&Y)");
const char *const kNo = QT_TRANSLATE_NOOP("SaveOnline", "いいえ(&N)");
const char *const kNotSet = QT_TRANSLATE_NOOP(
    "SaveOnline", "AccurateRip で照合していません: %1 の [Online] に AccurateRip=1 と書くと照合します");
const char *const kAnswerOfThisRun = "accurateRipConsentOfThisRun";

QString tr(const char *text) { return QCoreApplication::translate("SaveOnline", text); }

bool askForConsent() {
    QMessageBox box(QMessageBox::Question, tr(kCaption), tr(kQuestion), QMessageBox::NoButton, Form1);
    QPushButton *yes = box.addButton(tr(kYes), QMessageBox::YesRole);
    QPushButton *no = box.addButton(tr(kNo), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    execModal(&box);
    return box.clickedButton() == yes;
}

// The check owns the look-up it asks: the module is loaded on the first request, and the look-up
// lives as long as the check, whose callbacks it holds.
struct LookupHolder {
    std::unique_ptr<online::TitleLookup> lookup;
};

class ModuleAccurateRipCheck : private LookupHolder, public save::AccurateRipSaveCheck {
public:
    ModuleAccurateRipCheck(std::unique_ptr<online::TitleLookup> lookup, const QString &notAskedLine)
        : LookupHolder{std::move(lookup)}, AccurateRipSaveCheck(LookupHolder::lookup.get(), notAskedLine) {}
};

online::TitleLookup *detailsLookup() {
    static std::unique_ptr<online::TitleLookup> lookup = online::makeMusicBrainzLookup();
    return lookup.get();
}

}  // namespace

std::optional<bool> storedAccurateRipConsent() {
    const std::string value = SettingsFile(kSettingsFile).ReadText("Online", "AccurateRip", "");
    if (value == "1") return true;
    if (value == "0") return false;
    const QVariant ofThisRun = Form1 ? Form1->property(kAnswerOfThisRun) : QVariant();
    if (ofThisRun.isValid()) return ofThisRun.toBool();
    return std::nullopt;
}

void setAccurateRipConsent(bool allowed) {
    if (Form1) {
        Form1->setProperty(kAnswerOfThisRun, allowed);
        Form1->PM_ACCURATERIP->setCheckMark(allowed);
    }
    SettingsFile(kSettingsFile).WriteText("Online", "AccurateRip", allowed ? "1" : "0");
}

bool accurateRipAllowed() {
    if (std::optional<bool> stored = storedAccurateRipConsent()) return *stored;
    const bool allowed = askForConsent();
    try {
        setAccurateRipConsent(allowed);
    } catch (const std::exception &error) {
        showException(error);
    }
    return allowed;
}

QString accurateRipNotSetLine() { return tr(kNotSet).arg(SettingsFile(kSettingsFile).path()); }

std::shared_ptr<save::SaveCheck> makeAccurateRipCheck(std::optional<bool> consent) {
    if (consent.value_or(false))
        return std::make_shared<ModuleAccurateRipCheck>(online::makeMusicBrainzLookup(), QString());
    return std::make_shared<save::AccurateRipSaveCheck>(nullptr, consent ? QString() : accurateRipNotSetLine());
}

void fetchReleaseDetailsOf(const platform::TableOfContents &toc, ReleaseDetailsDone done) {
    const std::optional<online::MusicBrainzToc> counted = online::musicBrainzToc(toc);
    const QString discId = counted ? online::discIdOf(*counted) : QString();
    const QString releaseId = discId.isEmpty() ? QString() : rememberedRelease(discId);
    if (!online::isMusicBrainzId(releaseId) || !storedOnlineConsent().value_or(false)) return done(std::nullopt);
    detailsLookup()->fetchReleaseDetails(releaseId, discId, counted->lastTrack - counted->firstTrack + 1,
                                         std::move(done));
}

std::optional<online::ReleaseDetails> releaseDetailsOf(const platform::TableOfContents &toc) {
    // The service has 15 s; the wait ends a little after, should the answer never be delivered
    // (the main thread busy ending the program).
    constexpr auto kMostWait = std::chrono::seconds(17);
    auto promise = std::make_shared<std::promise<std::optional<online::ReleaseDetails>>>();
    std::future<std::optional<online::ReleaseDetails>> answer = promise->get_future();
    QMetaObject::invokeMethod(QCoreApplication::instance(), [toc, promise] {
        fetchReleaseDetailsOf(toc, [promise](const std::optional<online::ReleaseDetails> &details) {
            promise->set_value(details);
        });
    });
    if (answer.wait_for(kMostWait) != std::future_status::ready) return std::nullopt;
    return answer.get();
}

void addReleaseDetails(const online::ReleaseDetails &details, save::SaveMetadata &metadata) {
    const auto fill = [](QString &field, const QString &value) {
        if (field.isEmpty()) field = value;
    };
    fill(metadata.albumArtist, details.albumArtist);
    fill(metadata.artist, details.albumArtist);
    fill(metadata.date, details.date);
    fill(metadata.musicBrainzAlbumId, details.releaseId);
    for (size_t i = 0; i < details.tracks.size(); ++i) {
        const auto at = qsizetype(i);
        while (metadata.trackArtists.size() <= at) metadata.trackArtists << QString();
        while (metadata.musicBrainzTrackIds.size() <= at) metadata.musicBrainzTrackIds << QString();
        fill(metadata.trackArtists[at], details.tracks[i].artist);
        // MUSICBRAINZ_TRACKID names the recording, as the service's own tagger writes it.
        fill(metadata.musicBrainzTrackIds[at], details.tracks[i].recordingId);
    }
}

// Switching the check on or off holds for the next save.
void TForm1::PM_ACCURATERIPClick(QObject *) { setAccurateRipConsent(!storedAccurateRipConsent().value_or(false)); }
