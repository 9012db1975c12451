#include "online/MusicBrainzLookup.h"

#include "online/CoverArtFetch.h"
#include "online/ServiceRequest.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUrlQuery>
#include <algorithm>

namespace online {

namespace {

constexpr int kRequestGapMs = 1000;

// The one-line notes the editor shows when no titles came.
const char *const kNotFound = QT_TRANSLATE_NOOP("online", "MusicBrainz にこのＣＤのタイトルはありませんでした");
const char *const kNoAnswer = QT_TRANSLATE_NOOP("online", "MusicBrainz が時間内に応答しませんでした");
const char *const kNoConnection = QT_TRANSLATE_NOOP("online", "MusicBrainz に接続できませんでした");
const char *const kBadAnswer = QT_TRANSLATE_NOOP("online", "MusicBrainz の応答を読めませんでした");
const char *const kBusy = QT_TRANSLATE_NOOP("online", "MusicBrainz が混み合っていて応答しませんでした");
const char *const kTooBig = QT_TRANSLATE_NOOP("online", "MusicBrainz の応答が大きすぎます");
const char *const kRedirected = QT_TRANSLATE_NOOP(
    "online", "MusicBrainz の転送先には従いませんでした (HTTP %1: 別のホストか、転送が多すぎます)");
const char *const kHttpError =
    QT_TRANSLATE_NOOP("online", "MusicBrainz の応答を受け取れませんでした (HTTP %1)");

const char *const kArNoAnswer = QT_TRANSLATE_NOOP("online", "AccurateRip が時間内に応答しませんでした");
const char *const kArNoConnection = QT_TRANSLATE_NOOP("online", "AccurateRip に接続できませんでした");
const char *const kArTooBig = QT_TRANSLATE_NOOP("online", "AccurateRip の応答が大きすぎます");
const char *const kArRedirected =
    QT_TRANSLATE_NOOP("online", "AccurateRip の転送先には従いませんでした (HTTP %1: 別のホストか、転送が多すぎます)");
const char *const kArBadAnswer = QT_TRANSLATE_NOOP("online", "AccurateRip の応答を受け取れませんでした (HTTP %1)");

// An AccurateRip answer is 13 bytes a response and 9 a track: a few KB even for a disc of 99 tracks
// that many pressings share.
constexpr qint64 kMostAccurateRipBytes = 64 * 1024;

AccurateRipAnswer accurateRipAnswerOf(const ServiceAnswer &reply) {
    const auto noAnswer = [](const QString &note) { return AccurateRipAnswer{AccurateRipAnswer::NoAnswer, {}, note}; };
    switch (reply.outcome) {
    case ServiceAnswer::TimedOut: return noAnswer(QCoreApplication::translate("online", kArNoAnswer));
    case ServiceAnswer::Refused:  // a redirect refused keeps its status; an answer cut off has none
        return noAnswer(reply.status == 0
                            ? QCoreApplication::translate("online", kArTooBig)
                            : QCoreApplication::translate("online", kArRedirected).arg(reply.status));
    case ServiceAnswer::Unreachable: return noAnswer(QCoreApplication::translate("online", kArNoConnection));
    case ServiceAnswer::Answered: break;
    }
    if (reply.status == 200) return {AccurateRipAnswer::Answered, reply.body, {}};
    if (reply.status == 404) return {AccurateRipAnswer::NotInDatabase, {}, {}};
    return noAnswer(QCoreApplication::translate("online", kArBadAnswer).arg(reply.status));
}

// Why a release's details did not come; empty for an answer of 200, whose body is read next.
QString detailsFailure(const ServiceAnswer &reply) {
    const auto say = [](const char *text) { return QCoreApplication::translate("online", text); };
    switch (reply.outcome) {
    case ServiceAnswer::TimedOut:
        return say(kNoAnswer);
    case ServiceAnswer::Refused:
        return reply.status == 0 ? say(kTooBig) : say(kRedirected).arg(reply.status);
    case ServiceAnswer::Unreachable:
        return say(kNoConnection);
    case ServiceAnswer::Answered:
        break;
    }
    return reply.status == 200 ? QString() : say(kHttpError).arg(reply.status);
}

LookupResult note(const char *text) { return {{}, QCoreApplication::translate("online", text)}; }

LookupResult unknownDisc() {
    LookupResult result = note(kNotFound);
    result.unknownDisc = true;
    return result;
}

}  // namespace

MusicBrainzLookup::MusicBrainzLookup(QObject *parent) : QObject(parent) {}

MusicBrainzLookup::~MusicBrainzLookup() { cancel(); }

void MusicBrainzLookup::setTimeLimit(int ms) { m_timeLimitMs = ms; }

QString MusicBrainzLookup::accurateRipBase() {
    QString base = qEnvironmentVariable("TUNEWICK_ACCURATERIP_URL");
    if (base.isEmpty()) base = QStringLiteral("http://www.accuraterip.com/accuraterip");
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base;
}

QString MusicBrainzLookup::serviceBase() {
    const QString base = qEnvironmentVariable("TUNEWICK_MUSICBRAINZ_URL");
    QString chosen = base.isEmpty() ? QStringLiteral("https://musicbrainz.org") : base;
    while (chosen.endsWith(QLatin1Char('/'))) chosen.chop(1);
    return chosen;
}

QByteArray MusicBrainzLookup::userAgent() {
    return QByteArrayLiteral("CD-Tunewick32/" TUNEWICK_VERSION " ( " TUNEWICK_CONTACT " )");
}

void MusicBrainzLookup::start(const platform::TableOfContents &toc, Done done) {
    cancel();
    const std::optional<MusicBrainzToc> counted = musicBrainzToc(toc);
    m_discId = counted ? discIdOf(*counted) : QString();
    if (m_discId.isEmpty()) {
        // A disc without audio tracks has no ID: there is nothing to look up, and nothing to say.
        if (done) done({});
        return;
    }
    m_toc = *counted;
    m_done = std::move(done);
    m_retried = false;
    m_fuzzy = false;
    send(discIdUrl(), 0);
}

void MusicBrainzLookup::fetchCover(const QString &releaseId, CoverDone done) {
    if (!m_network) m_network = newNetworkManager(this);
    if (!m_covers) m_covers = new CoverArtFetch(m_network, userAgent(), this);
    m_covers->fetch(releaseId, std::move(done));
}

ServiceFetch *MusicBrainzLookup::newFetch(const QByteArray &accept, qint64 mostBytes) {
    if (!m_network) m_network = newNetworkManager(this);
    return new ServiceFetch(m_network, userAgent(), {accept, {}, mostBytes}, this);
}

// Only a path of the database's own form goes into the address.
void MusicBrainzLookup::fetchAccurateRip(const QString &path, AccurateRipDone done) {
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QStringLiteral("[0-9a-f]/[0-9a-f]/[0-9a-f]/dBAR-[0-9]{3}-[0-9a-f]{8}-[0-9a-f]{8}-[0-9a-f]{8}\\.bin")));
    if (!m_accurateRip) m_accurateRip = newFetch("application/octet-stream", kMostAccurateRipBytes);
    if (!form.match(path).hasMatch()) {
        m_accurateRip->cancel();
        if (done) done(accurateRipAnswerOf({}));
        return;
    }
    m_accurateRip->get(QUrl(accurateRipBase() + QLatin1Char('/') + path), m_timeLimitMs,
                       [done = std::move(done)](const ServiceAnswer &reply) {
                           if (done) done(accurateRipAnswerOf(reply));
                       });
}

void MusicBrainzLookup::fetchReleaseDetails(const QString &releaseId, const QString &discId, int trackCount,
                                            DetailsDone done) {
    if (!m_details) m_details = newFetch("application/json", kMostAnswerBytes);
    if (!isMusicBrainzId(releaseId)) {
        m_details->cancel();
        if (done) done(std::nullopt, {});
        return;
    }
    QUrl url(serviceBase() + QStringLiteral("/ws/2/release/") + releaseId);
    url.setQuery(QStringLiteral("inc=artist-credits+recordings+discids&fmt=json"));
    m_details->get(url, m_timeLimitMs, [=, done = std::move(done)](const ServiceAnswer &reply) {
                         if (!done) return;
                         if (const QString failure = detailsFailure(reply); !failure.isEmpty())
                             return done(std::nullopt, failure);
                         const std::optional<ReleaseDetails> details =
                             readReleaseDetails(reply.body, releaseId, discId, trackCount);
                         done(details,
                              details ? QString() : QCoreApplication::translate("online", kBadAnswer));
                     });
}

void MusicBrainzLookup::cancel() {
    m_done = nullptr;
    if (m_fetch) m_fetch->cancel();
}

QUrl MusicBrainzLookup::discIdUrl() const {
    QUrl url(serviceBase() + QStringLiteral("/ws/2/discid/") + m_discId);
    url.setQuery(QStringLiteral("inc=recordings+artist-credits+labels&fmt=json"));
    return url;
}

QUrl MusicBrainzLookup::fuzzyUrl() const {
    QUrl url(serviceBase() + QStringLiteral("/ws/2/discid/-"));
    url.setQuery(QStringLiteral("toc=") + tocParameter(m_toc) +
                 QStringLiteral("&cdstubs=no&inc=recordings+artist-credits+labels&fmt=json"));
    return url;
}

// A new address gets the whole time limit; a retry only what is left of it after its wait.
void MusicBrainzLookup::send(const QUrl &url, qint64 notBeforeMs) {
    if (!m_retried) m_sinceFirstTry.start();
    m_url = url;
    if (!m_network) m_network = newNetworkManager(this);
    if (!m_fetch) m_fetch = new ServiceFetch(m_network, userAgent(), {"application/json", {}}, this);
    const qint64 timeLeft = m_timeLimitMs - m_sinceFirstTry.elapsed();
    m_fetch->get(
        url, timeLeft, [this](const ServiceAnswer &answer) { answered(answer); }, notBeforeMs);
}

void MusicBrainzLookup::answered(const ServiceAnswer &answer) {
    if (answer.outcome == ServiceAnswer::TimedOut) return finish(note(kNoAnswer));
    if (answer.outcome == ServiceAnswer::Unreachable) return finish(note(kNoConnection));
    if (answer.outcome == ServiceAnswer::Refused) return finish(note(kBadAnswer));
    const int status = answer.status;
    if (status == 503 && !m_retried) {
        m_retried = true;
        const qint64 wait = std::max<qint64>(kRequestGapMs, answer.retryAfterMs);
        if (wait > m_timeLimitMs - m_sinceFirstTry.elapsed()) return finish(note(kBusy));
        return send(m_url, wait);
    }
    if (status == 404 && !m_fuzzy) {
        m_fuzzy = true;
        m_retried = false;
        return send(fuzzyUrl(), 0);
    }
    if (status == 404) return finish(unknownDisc());
    if (status == 503) return finish(note(kBusy));
    if (status != 200) return finish(note(kBadAnswer));

    const DiscMatch match{m_fuzzy ? QString() : m_discId, m_toc.lastTrack - m_toc.firstTrack + 1};
    std::optional<std::vector<Release>> releases = readAnswer(answer.body, match);
    if (!releases) return finish(note(kBadAnswer));
    LookupResult result{std::move(*releases), QString()};
    finish(result.releases.empty() ? unknownDisc() : std::move(result));
}

void MusicBrainzLookup::finish(LookupResult result) {
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done) done(result);
}

}  // namespace online
