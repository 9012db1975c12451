#include "online/MusicBrainzLookup.h"

#include "online/CoverArtFetch.h"
#include "online/ServiceRequest.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
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
