#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTcpServer>

#include <deque>

// A stand-in for the web service on 127.0.0.1: answers each request with the next scripted
// answer (or a 404 when none is left) and records what came.
class FakeService : public QObject {
    Q_OBJECT
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray extraHeaders;  // "Name: value\r\n" lines
        bool silent = false;      // never answers, keeping the connection open
    };
    struct Request {
        QByteArray target;     // path and query
        QByteArray userAgent;
        qint64 atMs = 0;       // since the service started
    };

    FakeService();
    QString base() const;
    void script(Answer answer) { m_answers.push_back(std::move(answer)); }

    QList<Request> requests;

private:
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QElapsedTimer m_clock;
    std::deque<Answer> m_answers;
};

// A recorded answer's bytes.
QByteArray recordedAnswer(const char *fileName);
