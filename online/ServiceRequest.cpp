#include "online/ServiceRequest.h"

#include <QDateTime>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QTimeZone>
#include <algorithm>
#include <climits>

namespace online {

namespace {

class NoCookies : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl &) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};

constexpr int kMostRedirects = 5;
constexpr int kRequestGapMs = 1000;
constexpr qint64 kLongestRetryAfterMs = qint64(24) * 3600 * 1000;
// What the reply itself may hold between two reads: the body is moved out as it comes, so that
// the size limit counts every byte and the reply never buffers an answer without end.
constexpr qint64 kReplyBufferBytes = 64 * 1024;

ServiceAnswer failed(ServiceAnswer::Outcome outcome, int status = 0) {
    ServiceAnswer answer;
    answer.outcome = outcome;
    answer.status = status;
    return answer;
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// An HTTP date in any of its three forms: IMF-fixdate, the obsolete RFC 850 form and asctime's.
// All are in GMT.
QDateTime httpDate(QString text) {
    text = text.simplified();
    if (text.endsWith(QLatin1String(" GMT"))) text = text.chopped(4) + QLatin1String(" +0000");
    const QDateTime imf = QDateTime::fromString(text, Qt::RFC2822Date);
    if (imf.isValid()) return imf;
    // Without the weekday: the parser checks it against the date, which a two-digit year puts in
    // the wrong century.
    const QString date = text.section(QLatin1Char(' '), 1).remove(QLatin1String(" +0000"));
    const QLocale c = QLocale::c();
    QDateTime parsed = c.toDateTime(date, QStringLiteral("dd-MMM-yy hh:mm:ss"));
    if (parsed.isValid() && parsed.date().year() < 1970) parsed = parsed.addYears(100);
    if (!parsed.isValid()) parsed = c.toDateTime(date, QStringLiteral("MMM d hh:mm:ss yyyy"));
    if (parsed.isValid()) parsed.setTimeZone(QTimeZone::utc());
    return parsed;
}

}  // namespace

QNetworkAccessManager *newNetworkManager(QObject *parent) {
    auto *network = new QNetworkAccessManager(parent);
    network->setCookieJar(new NoCookies(network));
    return network;
}

QNetworkRequest serviceRequest(const QUrl &url, const QByteArray &userAgent, const QByteArray &accept) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setRawHeader("Accept", accept);
    // Qt fills an absent Accept-Language from the system locale; "*" (any) names no language.
    request.setRawHeader("Accept-Language", "*");
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    // Qt's own following sends the redirects at once, with no gap, and may send a request twice.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return request;
}

bool redirectAllowed(const QUrl &from, const QUrl &to, const QStringList &otherHosts) {
    const QString scheme = to.scheme().toLower();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) return false;
    if (from.scheme().toLower() == QLatin1String("https") && scheme != QLatin1String("https")) return false;
    const QString host = to.host().toLower();
    if (host == from.host().toLower()) return true;
    return std::any_of(otherHosts.begin(), otherHosts.end(), [&](const QString &allowed) {
        return allowed.startsWith(QLatin1Char('.')) ? host.endsWith(allowed.toLower()) : host == allowed.toLower();
    });
}

qint64 retryAfterMs(const QByteArray &value, const QDateTime &nowUtc) {
    const QByteArray text = value.trimmed();
    bool isNumber = false;
    const qint64 seconds = text.toLongLong(&isNumber);
    qint64 wait = 0;
    if (isNumber)
        wait = seconds > 0 ? std::min<qint64>(seconds, kLongestRetryAfterMs / 1000) * 1000 : 0;
    else if (const QDateTime date = httpDate(QString::fromLatin1(text)); date.isValid())
        wait = nowUtc.msecsTo(date);
    return std::clamp<qint64>(wait, 0, kLongestRetryAfterMs);
}

ServiceFetch::ServiceFetch(QNetworkAccessManager *network, QByteArray userAgent, Rules rules, QObject *parent)
    : QObject(parent), m_network(network), m_userAgent(std::move(userAgent)), m_rules(std::move(rules)) {
    m_wait.setSingleShot(true);
    // A coarse timer may fire a little early: the services count whole seconds.
    m_wait.setTimerType(Qt::PreciseTimer);
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &ServiceFetch::issue);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        dropReply();
        finish(failed(ServiceAnswer::TimedOut));
    });
}

ServiceFetch::~ServiceFetch() { cancel(); }

void ServiceFetch::get(const QUrl &url, qint64 timeLimitMs, Done done, qint64 notBeforeMs) {
    cancel();
    m_done = std::move(done);
    m_url = url;
    m_redirects = 0;
    m_deadline.start(static_cast<int>(std::clamp<qint64>(timeLimitMs, 0, INT_MAX)));
    const qint64 sinceLast = m_lastRequest.isValid() ? m_lastRequest.elapsed() : kRequestGapMs;
    const qint64 wait = std::max<qint64>(notBeforeMs, kRequestGapMs - sinceLast);
    m_wait.start(static_cast<int>(std::clamp<qint64>(wait, 0, INT_MAX)));
}

void ServiceFetch::cancel() {
    m_done = nullptr;
    m_wait.stop();
    m_deadline.stop();
    dropReply();
}

void ServiceFetch::issue() {
    m_lastRequest.start();
    m_body.clear();
    m_reply = m_network->get(serviceRequest(m_url, m_userAgent, m_rules.accept));
    m_reply->setReadBufferSize(kReplyBufferBytes);
    connect(m_reply, &QNetworkReply::readyRead, this, &ServiceFetch::take);
    connect(m_reply, &QNetworkReply::finished, this, &ServiceFetch::answered);
}

// Moves what came into the body, and cuts the answer off where it stands once past the limit.
void ServiceFetch::take() {
    if (!m_reply) return;
    m_body += m_reply->read(m_rules.mostBytes + 1 - m_body.size());
    if (m_body.size() <= m_rules.mostBytes) return;
    dropReply();
    finish(failed(ServiceAnswer::Refused));
}

void ServiceFetch::answered() {
    take();
    QNetworkReply *reply = m_reply;
    if (!reply) return;
    m_reply = nullptr;
    reply->deleteLater();
    // The next request's second counts from this answer: the service saw the request before it.
    m_lastRequest.start();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (isRedirect(status) && location.isValid()) {
        if (!followRedirect(m_url.resolved(location))) finish(failed(ServiceAnswer::Refused, status));
        return;
    }
    if (status == 0) return finish(failed(ServiceAnswer::Unreachable));
    const qint64 retryAfter = retryAfterMs(reply->rawHeader("Retry-After"), QDateTime::currentDateTimeUtc());
    finish({ServiceAnswer::Answered, status, std::move(m_body), retryAfter});
}

// A redirect is one more request: it waits its second like any other.
bool ServiceFetch::followRedirect(const QUrl &to) {
    if (++m_redirects > kMostRedirects || !redirectAllowed(m_url, to, m_rules.otherHosts)) return false;
    m_url = to;
    m_wait.start(kRequestGapMs);
    return true;
}

void ServiceFetch::dropReply() {
    if (!m_reply) return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void ServiceFetch::finish(ServiceAnswer answer) {
    m_wait.stop();
    m_deadline.stop();
    m_body.clear();
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done) done(answer);
}

}  // namespace online
