#include "online/CoverArtFetch.h"

#include "online/DiscId.h"
#include "online/ServiceRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>

namespace online {

namespace {

constexpr int kRequestGapMs = 1000;
// The archive's images are served from archive.org and its numbered mirrors (ia800…).
const QStringList kImageHosts = {QStringLiteral("archive.org"), QStringLiteral(".archive.org")};

}  // namespace

CoverArtFetch::CoverArtFetch(QNetworkAccessManager *network, QByteArray userAgent, QObject *parent)
    : QObject(parent), m_network(network), m_userAgent(std::move(userAgent)) {
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    m_deadline.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &CoverArtFetch::issue);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        dropReply();
        finish({});
    });
}

CoverArtFetch::~CoverArtFetch() {
    m_done = nullptr;
    dropReply();
}

QString CoverArtFetch::archiveBase() {
    QString base = qEnvironmentVariable("TUNEWICK_COVERART_URL");
    if (base.isEmpty()) base = QStringLiteral("https://coverartarchive.org");
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base;
}

void CoverArtFetch::fetch(const QString &releaseId, TitleLookup::CoverDone done) {
    m_wait.stop();
    m_deadline.stop();
    dropReply();
    m_done = std::move(done);
    if (!isMusicBrainzId(releaseId)) return finish({});
    m_url = QUrl(archiveBase() + QStringLiteral("/release/") + releaseId + QStringLiteral("/front-500"));
    const qint64 sinceLast = m_lastRequest.isValid() ? m_lastRequest.elapsed() : kRequestGapMs;
    m_wait.start(static_cast<int>(std::max<qint64>(kRequestGapMs - sinceLast, 0)));
}

void CoverArtFetch::issue() {
    m_lastRequest.start();
    m_reply = m_network->get(serviceRequest(m_url, m_userAgent, "image/*"));
    connect(m_reply, &QNetworkReply::finished, this, &CoverArtFetch::answered);
    connect(m_reply, &QNetworkReply::readyRead, this, &CoverArtFetch::checkSize);
    connect(m_reply, &QNetworkReply::redirected, this, &CoverArtFetch::redirected);
    m_deadline.start(m_timeLimitMs);
}

void CoverArtFetch::redirected(const QUrl &to) {
    if (!m_reply) return;
    if (!redirectAllowed(m_url, to, kImageHosts)) {
        dropReply();
        return finish({});
    }
    Q_EMIT m_reply->redirectAllowed();
}

void CoverArtFetch::checkSize() {
    if (!m_reply || m_reply->bytesAvailable() <= kMostAnswerBytes) return;
    dropReply();
    finish({});
}

void CoverArtFetch::answered() {
    QNetworkReply *reply = m_reply;
    if (!reply) return;
    m_reply = nullptr;
    reply->deleteLater();
    m_lastRequest.start();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200 || reply->bytesAvailable() > kMostAnswerBytes) return finish({});
    finish(reply->readAll());
}

void CoverArtFetch::dropReply() {
    if (!m_reply) return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void CoverArtFetch::finish(const QByteArray &image) {
    m_deadline.stop();
    TitleLookup::CoverDone done = std::move(m_done);
    m_done = nullptr;
    if (done) done(image);
}

}  // namespace online
