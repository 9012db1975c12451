#include "app/SaveOnline.h"

#include "app/OnlineConsent.h"
#include "app/SettingsFile.h"
#include "catalogue/CoverArt.h"
#include "online/DiscId.h"
#include "online/ModuleLookup.h"
#include "save/AccurateRipSaveCheck.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <chrono>
#include <future>

namespace {

const char *const kCaption = QT_TRANSLATE_NOOP("SaveOnline", "AccurateRip で照合");
const char *const kQuestion = QT_TRANSLATE_NOOP(
    "SaveOnline",
    "保存したトラックを AccurateRip (www.accuraterip.com) のデータベースと照合しますか？\n"
    "照合には、ＣＤの目次から計算したディスク ID をアドレスに入れ、プログラム名 (User-Agent) を添えて、"
    "暗号化されない HTTP で送ります。Cookie など、ほかのものは送りません。\n"
    "あとでメニューの「AccurateRip で照合」で切り替えられます。");
const char *const kNotSet = QT_TRANSLATE_NOOP(
    "SaveOnline", "AccurateRip で照合していません: %1 の [Online] に AccurateRip=1 と書くと照合します");
const char *const kKey = "AccurateRip";
const char *const kNoDetails = QT_TRANSLATE_NOOP(
    "SaveOnline", "リリースのアーティスト、日付と ID を得られなかったので、タグに入れていません: %1");
const char *const kDetailsLate = QT_TRANSLATE_NOOP("SaveOnline", "リリースの詳細が時間内に届きませんでした");

QString tr(const char *text) {
    return QCoreApplication::translate("SaveOnline", text);
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

// Made on the first save that asks and kept until the program ends, like the module behind it.
online::TitleLookup *detailsLookup() {
    static online::TitleLookup *const lookup = online::makeMusicBrainzLookup().release();
    return lookup;
}

} // namespace

std::optional<bool> storedAccurateRipConsent() {
    return storedConsent(kKey);
}

void setAccurateRipConsent(bool allowed) {
    if (Form1) Form1->PM_ACCURATERIP->setCheckMark(allowed);
    storeConsent(kKey, allowed);
}

bool accurateRipAllowed() {
    if (std::optional<bool> stored = storedAccurateRipConsent()) return *stored;
    const bool allowed = askConsent(tr(kCaption), tr(kQuestion));
    try {
        setAccurateRipConsent(allowed);
    } catch (const std::exception &error) {
        showException(error);
    }
    return allowed;
}

QString accurateRipNotSetLine() {
    return tr(kNotSet).arg(SettingsFile(QStringLiteral("ROTOR.INI")).path());
}

std::shared_ptr<save::SaveCheck> makeAccurateRipCheck(std::optional<bool> consent) {
    if (consent.value_or(false))
        return std::make_shared<ModuleAccurateRipCheck>(online::makeMusicBrainzLookup(), QString());
    return std::make_shared<save::AccurateRipSaveCheck>(nullptr,
                                                        consent ? QString() : accurateRipNotSetLine());
}

void fetchReleaseDetailsOf(const platform::TableOfContents &toc, ReleaseDetailsDone done) {
    const std::optional<online::MusicBrainzToc> counted = online::musicBrainzToc(toc);
    const QString discId = counted ? online::discIdOf(*counted) : QString();
    const QString releaseId = discId.isEmpty() ? QString() : rememberedRelease(discId);
    if (!online::isMusicBrainzId(releaseId) || !storedOnlineConsent().value_or(false))
        return done(std::nullopt, {});
    detailsLookup()->fetchReleaseDetails(releaseId, discId, counted->lastTrack - counted->firstTrack + 1,
                                         std::move(done));
}

ReleaseDetailsAnswer releaseDetailsOf(const platform::TableOfContents &toc) {
    // The service has 15 s; the wait ends a little after, should the answer never be delivered
    // (the main thread busy ending the program).
    constexpr auto kMostWait = std::chrono::seconds(17);
    auto promise = std::make_shared<std::promise<ReleaseDetailsAnswer>>();
    std::future<ReleaseDetailsAnswer> answer = promise->get_future();
    QMetaObject::invokeMethod(QCoreApplication::instance(), [toc, promise] {
        fetchReleaseDetailsOf(
            toc, [promise](const std::optional<online::ReleaseDetails> &details, const QString &failure) {
                promise->set_value({details, failure});
            });
    });
    if (answer.wait_for(kMostWait) != std::future_status::ready) return {std::nullopt, tr(kDetailsLate)};
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
        while (metadata.trackArtists.size() <= at)
            metadata.trackArtists << QString();
        while (metadata.musicBrainzTrackIds.size() <= at)
            metadata.musicBrainzTrackIds << QString();
        fill(metadata.trackArtists[at], details.tracks[i].artist);
        // MUSICBRAINZ_TRACKID names the recording, as the service's own tagger writes it.
        fill(metadata.musicBrainzTrackIds[at], details.tracks[i].recordingId);
    }
}

QStringList addReleaseDetailsOfDisc(const save::DiscLayout &disc, save::SaveMetadata &metadata) {
    const ReleaseDetailsAnswer answer = releaseDetailsOf(disc.toc);
    if (answer.details) addReleaseDetails(*answer.details, metadata);
    if (answer.failure.isEmpty()) return {};
    return {tr(kNoDetails).arg(answer.failure)};
}

// Switching the check on or off holds for the next save.
void TForm1::PM_ACCURATERIPClick(QObject *) {
    setAccurateRipConsent(!storedAccurateRipConsent().value_or(false));
}
