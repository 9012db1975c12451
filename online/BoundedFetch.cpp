#include "online/BoundedFetch.h"

#include "online/ServiceRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <algorithm>

namespace online {

namespace {

constexpr int kRequestGapMs = 1000;

} // namespace

BoundedFetch::BoundedFetch(QNetworkAccessManager *network, QByteArray userAgent, QObject *parent)
    : QObject(parent), m_network(network), m_userAgent(std::move(userAgent)) {
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    m_deadline.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &BoundedFetch::issue);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        dropReply();
        finish({0, {}, true});
    });
}

BoundedFetch::~BoundedFetch() {
    cancel();
}

void BoundedFetch::fetch(const QUrl &url, const QByteArray &accept, qint64 mostBytes, Done done) {
    cancel();
    m_url = url;
    m_accept = accept;
    m_mostBytes = mostBytes;
    m_done = std::move(done);
    const qint64 sinceLast = m_lastRequest.isValid() ? m_lastRequest.elapsed() : kRequestGapMs;
    m_wait.start(static_cast<int>(std::max<qint64>(kRequestGapMs - sinceLast, 0)));
}

void BoundedFetch::cancel() {
    m_done = nullptr;
    m_wait.stop();
    m_deadline.stop();
    dropReply();
}

void BoundedFetch::issue() {
    m_lastRequest.start();
    m_reply = m_network->get(serviceRequest(m_url, m_userAgent, m_accept));
    // Qt stops reading from the connection once this much waits: an endless answer stays in the
    // sender's buffers, never in ours.
    m_reply->setReadBufferSize(m_mostBytes + 1);
    connect(m_reply, &QNetworkReply::finished, this, &BoundedFetch::answered);
    connect(m_reply, &QNetworkReply::readyRead, this, &BoundedFetch::checkSize);
    connect(m_reply, &QNetworkReply::redirected, this, &BoundedFetch::redirected);
    m_deadline.start(m_timeLimitMs);
}

void BoundedFetch::redirected(const QUrl &to) {
    if (!m_reply) return;
    if (!redirectAllowed(m_url, to)) {
        dropReply();
        return finish({});
    }
    Q_EMIT m_reply->redirectAllowed();
}

void BoundedFetch::checkSize() {
    if (!m_reply || m_reply->bytesAvailable() <= m_mostBytes) return;
    dropReply();
    finish({0, {}, false, true});
}

void BoundedFetch::answered() {
    QNetworkReply *reply = m_reply;
    if (!reply) return;
    m_reply = nullptr;
    reply->deleteLater();
    m_lastRequest.start();
    if (reply->bytesAvailable() > m_mostBytes) return finish({0, {}, false, true});
    finish({reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()});
}

void BoundedFetch::dropReply() {
    if (!m_reply) return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void BoundedFetch::finish(Reply reply) {
    m_deadline.stop();
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done) done(reply);
}

} // namespace online
