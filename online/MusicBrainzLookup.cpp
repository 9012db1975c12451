#include "online/MusicBrainzLookup.h"

#include "online/BoundedFetch.h"
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

const char *const kArNoAnswer = QT_TRANSLATE_NOOP("online", "AccurateRip が時間内に応答しませんでした");
const char *const kArNoConnection = QT_TRANSLATE_NOOP("online", "AccurateRip に接続できませんでした");
const char *const kArTooBig = QT_TRANSLATE_NOOP("online", "AccurateRip の応答が大きすぎます");
const char *const kArBadAnswer = QT_TRANSLATE_NOOP("online", "AccurateRip の応答を受け取れませんでした (HTTP %1)");

// An AccurateRip answer is 13 bytes a response and 9 a track: a few KB even for a disc of 99 tracks
// that many pressings share.
constexpr qint64 kMostAccurateRipBytes = 64 * 1024;

AccurateRipAnswer accurateRipAnswerOf(const BoundedFetch::Reply &reply) {
    const auto noAnswer = [](const QString &note) { return AccurateRipAnswer{AccurateRipAnswer::NoAnswer, {}, note}; };
    if (reply.status == 200) return {AccurateRipAnswer::Answered, reply.body, {}};
    if (reply.status == 404) return {AccurateRipAnswer::NotInDatabase, {}, {}};
    if (reply.timedOut) return noAnswer(QCoreApplication::translate("online", kArNoAnswer));
    if (reply.tooBig) return noAnswer(QCoreApplication::translate("online", kArTooBig));
    if (reply.status == 0) return noAnswer(QCoreApplication::translate("online", kArNoConnection));
    return noAnswer(QCoreApplication::translate("online", kArBadAnswer).arg(reply.status));
}

LookupResult note(const char *text) { return {{}, QCoreApplication::translate("online", text)}; }

LookupResult unknownDisc() {
    LookupResult result = note(kNotFound);
    result.unknownDisc = true;
    return result;
}

// The wait the service asks for in a Retry-After header of whole seconds; 0 when none.
qint64 retryAfterMs(const QNetworkReply *reply) {
    bool ok = false;
    const qint64 seconds = reply->rawHeader("Retry-After").trimmed().toLongLong(&ok);
    return ok && seconds > 0 ? std::min<qint64>(seconds, 24 * 3600) * 1000 : 0;
}

}  // namespace

MusicBrainzLookup::MusicBrainzLookup(QObject *parent) : QObject(parent) {
    m_wait.setSingleShot(true);
    // A coarse timer may fire a little early: the service counts whole seconds, the user 15 of them.
    m_wait.setTimerType(Qt::PreciseTimer);
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &MusicBrainzLookup::issue);
    connect(&m_deadline, &QTimer::timeout, this, &MusicBrainzLookup::timedOut);
}

MusicBrainzLookup::~MusicBrainzLookup() { cancel(); }

void MusicBrainzLookup::setTimeLimit(int ms) {
    m_timeLimitMs = ms;
    if (m_accurateRip) m_accurateRip->setTimeLimit(ms);
    if (m_details) m_details->setTimeLimit(ms);
}

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

BoundedFetch *MusicBrainzLookup::newFetch() {
    if (!m_network) m_network = newNetworkManager(this);
    auto *fetch = new BoundedFetch(m_network, userAgent(), this);
    fetch->setTimeLimit(m_timeLimitMs);
    return fetch;
}

// Only a path of the database's own form goes into the address.
void MusicBrainzLookup::fetchAccurateRip(const QString &path, AccurateRipDone done) {
    static const QRegularExpression form(
        QStringLiteral("^[0-9a-f]/[0-9a-f]/[0-9a-f]/dBAR-[0-9]{3}-[0-9a-f]{8}-[0-9a-f]{8}-[0-9a-f]{8}\\.bin$"));
    if (!m_accurateRip) m_accurateRip = newFetch();
    if (!form.match(path).hasMatch()) {
        m_accurateRip->cancel();
        if (done) done(accurateRipAnswerOf({}));
        return;
    }
    m_accurateRip->fetch(QUrl(accurateRipBase() + QLatin1Char('/') + path), "application/octet-stream",
                         kMostAccurateRipBytes, [done = std::move(done)](const BoundedFetch::Reply &reply) {
                             if (done) done(accurateRipAnswerOf(reply));
                         });
}

void MusicBrainzLookup::fetchReleaseDetails(const QString &releaseId, const QString &discId, int trackCount,
                                            DetailsDone done) {
    if (!m_details) m_details = newFetch();
    if (!isMusicBrainzId(releaseId)) {
        m_details->cancel();
        if (done) done(std::nullopt);
        return;
    }
    QUrl url(serviceBase() + QStringLiteral("/ws/2/release/") + releaseId);
    url.setQuery(QStringLiteral("inc=artist-credits+recordings+discids&fmt=json"));
    m_details->fetch(url, "application/json", kMostAnswerBytes,
                     [=, done = std::move(done)](const BoundedFetch::Reply &reply) {
                         if (!done) return;
                         if (reply.status != 200) return done(std::nullopt);
                         done(readReleaseDetails(reply.body, releaseId, discId, trackCount));
                     });
}

void MusicBrainzLookup::cancel() {
    m_done = nullptr;
    m_wait.stop();
    m_deadline.stop();
    dropReply();
}

void MusicBrainzLookup::dropReply() {
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
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

// The request waits until a second has passed since the one before and until `notBeforeMs`. A
// new address gets the whole time limit; a retry only what is left of it.
void MusicBrainzLookup::send(const QUrl &url, qint64 notBeforeMs) {
    if (!m_retried) m_sinceFirstTry.start();
    m_url = url;
    const qint64 sinceLast = m_lastRequest.isValid() ? m_lastRequest.elapsed() : kRequestGapMs;
    const qint64 wait = std::max<qint64>(notBeforeMs, kRequestGapMs - sinceLast);
    m_wait.start(static_cast<int>(std::max<qint64>(wait, 0)));
}

void MusicBrainzLookup::issue() {
    if (!m_network) m_network = newNetworkManager(this);
    m_lastRequest.start();
    m_reply = m_network->get(serviceRequest(m_url, userAgent(), "application/json"));
    connect(m_reply, &QNetworkReply::finished, this, &MusicBrainzLookup::answered);
    connect(m_reply, &QNetworkReply::readyRead, this, &MusicBrainzLookup::checkSize);
    connect(m_reply, &QNetworkReply::redirected, this, &MusicBrainzLookup::redirected);
    m_deadline.start(static_cast<int>(std::max<qint64>(m_timeLimitMs - m_sinceFirstTry.elapsed(), 0)));
}

// An answer past the size limit is cut off where it stands.
void MusicBrainzLookup::checkSize() {
    if (m_reply && m_reply->bytesAvailable() > kMostAnswerBytes) refuse();
}

void MusicBrainzLookup::redirected(const QUrl &to) {
    if (!m_reply) return;
    if (!redirectAllowed(m_url, to)) return refuse();
    Q_EMIT m_reply->redirectAllowed();
}

void MusicBrainzLookup::refuse() {
    m_deadline.stop();
    dropReply();
    finish(note(kBadAnswer));
}

void MusicBrainzLookup::timedOut() {
    dropReply();
    finish(note(kNoAnswer));
}

void MusicBrainzLookup::answered() {
    QNetworkReply *reply = m_reply;
    if (!reply) return;
    m_reply = nullptr;
    m_deadline.stop();
    reply->deleteLater();
    // The next request's second counts from this answer: the service saw the request before it.
    m_lastRequest.start();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 503 && !m_retried) {
        m_retried = true;
        const qint64 wait = std::max<qint64>(kRequestGapMs, retryAfterMs(reply));
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
    if (status != 200) return finish(note(status == 0 ? kNoConnection : kBadAnswer));

    if (reply->bytesAvailable() > kMostAnswerBytes) return finish(note(kBadAnswer));
    const DiscMatch match{m_fuzzy ? QString() : m_discId, m_toc.lastTrack - m_toc.firstTrack + 1};
    std::optional<std::vector<Release>> releases = readAnswer(reply->readAll(), match);
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
