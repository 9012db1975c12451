#include "tests/online/FakeService.h"

#include <QFile>
#include <QTcpSocket>

FakeService::FakeService() {
    m_clock.start();
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString FakeService::base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

void FakeService::serve(QTcpSocket *socket) {
    // One request a connection: answered once its head is in.
    if (!socket->property("head").isNull()) return;
    const QByteArray head = socket->peek(socket->bytesAvailable());
    if (!head.contains("\r\n\r\n")) return;
    socket->setProperty("head", head);
    Request request;
    request.target = head.split(' ').value(1);
    for (const QByteArray &line : head.split('\n'))
        if (line.toLower().startsWith("user-agent:")) request.userAgent = line.mid(11).trimmed();
    request.atMs = m_clock.elapsed();
    requests.push_back(request);

    Answer answer{404, recordedAnswer("not-found.json"), {}};
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    if (answer.silent) return;
    socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n" +
                  "Content-Type: application/json; charset=utf-8\r\nConnection: close\r\n" + answer.extraHeaders +
                  "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n\r\n" + answer.body);
    socket->disconnectFromHost();
}

QByteArray recordedAnswer(const char *fileName) {
    QFile file(QStringLiteral(ONLINE_ANSWERS "/") + QString::fromLatin1(fileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
