#include "online/CoverArtFetch.h"

#include "online/DiscId.h"
#include "online/ServiceRequest.h"

namespace online {

namespace {

// The archive's images are served from archive.org and its numbered mirrors (ia800…).
const QStringList kImageHosts = {QStringLiteral("archive.org"), QStringLiteral(".archive.org")};

}  // namespace

CoverArtFetch::CoverArtFetch(QNetworkAccessManager *network, QByteArray userAgent, QObject *parent)
    : QObject(parent), m_fetch(network, std::move(userAgent), {"image/*", kImageHosts}) {}

CoverArtFetch::~CoverArtFetch() {
    m_done = nullptr;
    m_fetch.cancel();
}

QString CoverArtFetch::archiveBase() {
    QString base = qEnvironmentVariable("TUNEWICK_COVERART_URL");
    if (base.isEmpty()) base = QStringLiteral("https://coverartarchive.org");
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base;
}

void CoverArtFetch::fetch(const QString &releaseId, TitleLookup::CoverDone done) {
    m_fetch.cancel();
    m_done = std::move(done);
    if (!isMusicBrainzId(releaseId)) return finish({});
    const QUrl url(archiveBase() + QStringLiteral("/release/") + releaseId + QStringLiteral("/front-500"));
    m_fetch.get(url, m_timeLimitMs, [this](const ServiceAnswer &answer) {
        const bool image = answer.outcome == ServiceAnswer::Answered && answer.status == 200;
        finish(image ? answer.body : QByteArray());
    });
}

void CoverArtFetch::finish(const QByteArray &image) {
    TitleLookup::CoverDone done = std::move(m_done);
    m_done = nullptr;
    if (done) done(image);
}

}  // namespace online
