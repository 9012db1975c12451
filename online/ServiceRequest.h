#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace online {

// The most an answer may hold: a disc-ID answer of a disc on many editions is some hundred KB, a
// front-500 cover well under one MB. A bigger one is cut off and read as none.
constexpr qint64 kMostAnswerBytes = 4 * 1024 * 1024;

// A network manager that keeps no cookies: nothing a service sets is ever sent back.
QNetworkAccessManager *newNetworkManager(QObject *parent);

// A GET of `url` that sends the program's User-Agent, `accept`, no cookies and no locale (Qt would
// otherwise add the user's language), and follows no redirect by itself: a redirect comes back as
// the answer, for the caller to vet (redirectAllowed) and follow (ServiceFetch does both).
QNetworkRequest serviceRequest(const QUrl &url, const QByteArray &userAgent, const QByteArray &accept);

// Whether a redirect from `from` to `to` may be followed: to the same host or one of `otherHosts`
// (".example.org" stands for any host under example.org), and never from HTTPS to plain HTTP.
bool redirectAllowed(const QUrl &from, const QUrl &to, const QStringList &otherHosts = {});

// The wait that a Retry-After value asks for at `nowUtc`, in ms: whole seconds or an HTTP date;
// 0 when it asks for none or cannot be read. At most a day.
qint64 retryAfterMs(const QByteArray &value, const QDateTime &nowUtc);

// What came of a ServiceFetch.
struct ServiceAnswer {
    enum Outcome {
        Answered,     // the service answered: `status` and `body` hold its answer
        Refused,      // an answer over the size limit, a redirect not allowed or one too many
        TimedOut,     // no complete answer within the time limit
        Unreachable,  // no connection, or it broke before an answer
    };
    Outcome outcome = Unreachable;
    int status = 0;
    QByteArray body;
    qint64 retryAfterMs = 0;  // the wait the answer's Retry-After asks for; 0 when none
};

// Gets answers from one web service under the rules every service of the program keeps: at most
// one request a second (counted from the last request or answer, redirects included), redirects
// followed here, at most five, each within the host asked or `otherHosts` and never from HTTPS to
// HTTP, no answer held past `mostBytes` (the reply's own buffer is bounded too, so an endless
// answer is cut off as it comes), and a time limit on the whole exchange. One get at a time: a new
// one drops the one under way. UI thread only; never blocks: the answer comes through the callback.
class ServiceFetch : public QObject {
public:
    struct Rules {
        QByteArray accept;
        QStringList otherHosts;
        qint64 mostBytes = kMostAnswerBytes;
    };
    using Done = std::function<void(const ServiceAnswer &answer)>;

    ServiceFetch(QNetworkAccessManager *network, QByteArray userAgent, Rules rules, QObject *parent = nullptr);
    ~ServiceFetch() override;

    // Gets `url` no sooner than `notBeforeMs` from now (and a second after the last request); the
    // answer must be complete within `timeLimitMs` of this call. `done` is called once, from the
    // event loop, unless another get or cancel() comes first.
    void get(const QUrl &url, qint64 timeLimitMs, Done done, qint64 notBeforeMs = 0);
    // Drops the get under way, if any: its callback is never called.
    void cancel();

private:
    void issue();
    void take();
    void answered();
    bool followRedirect(const QUrl &to);
    void dropReply();
    void finish(ServiceAnswer answer);

    QNetworkAccessManager *m_network;
    QByteArray m_userAgent;
    Rules m_rules;
    QPointer<QNetworkReply> m_reply;
    QTimer m_wait;      // holds the next request back to keep the rate and the asked delay
    QTimer m_deadline;  // the whole exchange's time limit
    QElapsedTimer m_lastRequest;
    QUrl m_url;
    QByteArray m_body;
    int m_redirects = 0;
    Done m_done;
};

}  // namespace online
