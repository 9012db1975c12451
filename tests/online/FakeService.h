#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>

#include <deque>
#include <optional>

// A stand-in for the web service on 127.0.0.1 (or another loopback address): answers each request
// with the next scripted answer (or a 404 when none is left) and records what came.
class FakeService : public QObject {
    Q_OBJECT
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray extraHeaders;  // "Name: value\r\n" lines
        bool silent = false;      // never answers, keeping the connection open
        bool endless = false;     // a body without end: sent until the client hangs up
    };
    struct Request {
        QByteArray target;     // path and query
        QByteArray userAgent;
        QByteArray head;       // the request line and headers
        qint64 atMs = 0;       // since the service started
        // The value of header `name` (lower case), or nothing when the request has none.
        std::optional<QByteArray> header(const QByteArray &name) const;
    };

    explicit FakeService(const QHostAddress &address = QHostAddress::LocalHost);
    // Whether a client can reach it; when not, the reason is printed.
    bool listening() const { return m_reachable; }
    QString base() const;
    void script(Answer answer) { m_answers.push_back(std::move(answer)); }

    QList<Request> requests;
    qint64 endlessBytesSent = 0;

private:
    void serve(QTcpSocket *socket);
    void sendEndlessly(QTcpSocket *socket);
    bool canConnect();

    QTcpServer m_server;
    QElapsedTimer m_clock;
    std::deque<Answer> m_answers;
    bool m_reachable = false;
};

// A recorded answer's bytes.
QByteArray recordedAnswer(const char *fileName);
