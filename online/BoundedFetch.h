#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace online {

// One GET at a time to a web service, within the look-up's rules: the program's User-Agent, no
// cookie, at most one request a second, a time limit, a size limit (a bigger answer is cut off and
// read as none), and redirects only within the requested host, never from HTTPS to HTTP.
// UI thread only; never blocks: the answer comes later through the callback.
class BoundedFetch : public QObject {
    Q_OBJECT
public:
    struct Reply {
        int status = 0; // the HTTP status; 0 when no answer came (no connection, time out, refused)
        QByteArray body;
        bool timedOut = false;
        bool tooBig = false; // cut off at the size limit
    };
    using Done = std::function<void(const Reply &reply)>;

    BoundedFetch(QNetworkAccessManager *network, QByteArray userAgent, QObject *parent = nullptr);
    ~BoundedFetch() override;

    // Fetches `url`; `done` is called once, unless another fetch or cancel() comes first.
    void fetch(const QUrl &url, const QByteArray &accept, qint64 mostBytes, Done done);
    // Drops the fetch under way, if any: its callback is never called.
    void cancel();
    void setTimeLimit(int ms) { m_timeLimitMs = ms; }

private:
    void issue();
    void redirected(const QUrl &to);
    void checkSize();
    void answered();
    void dropReply();
    void finish(Reply reply);

    QNetworkAccessManager *m_network;
    QByteArray m_userAgent;
    QPointer<QNetworkReply> m_reply;
    QTimer m_wait;
    QTimer m_deadline;
    QElapsedTimer m_lastRequest;
    QUrl m_url;
    QByteArray m_accept;
    qint64 m_mostBytes = 0;
    int m_timeLimitMs = 15000;
    Done m_done;
};

} // namespace online
