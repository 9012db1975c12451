#include "tests/online/FakeService.h"

#include <QFile>
#include <QTcpSocket>

#include <cstdio>

FakeService::FakeService(const QHostAddress &address) {
    m_clock.start();
    const bool listening = m_server.listen(address);
    m_reachable = listening && canConnect();
    if (!m_reachable)
        std::fprintf(stderr, "The stand-in service on %s cannot be reached (%s). Is the loopback down, as in a "
                     "new network namespace (unshare -n)?\n",
                     qPrintable(address.toString()),
                     listening ? "a connection to it fails" : qPrintable(m_server.errorString()));
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

// A listening socket is no proof: without the loopback, binding works and connecting does not.
bool FakeService::canConnect() {
    QTcpSocket probe;
    probe.connectToHost(m_server.serverAddress(), m_server.serverPort());
    const bool connected = probe.waitForConnected(2000) && m_server.waitForNewConnection(2000);
    delete m_server.nextPendingConnection();
    if (!connected) m_server.close();
    return connected;
}

QString FakeService::base() const {
    return QStringLiteral("http://%1:%2").arg(m_server.serverAddress().toString()).arg(m_server.serverPort());
}

std::optional<QByteArray> FakeService::Request::header(const QByteArray &name) const {
    for (const QByteArray &line : head.split('\n'))
        if (line.toLower().startsWith(name + ':')) return line.mid(name.size() + 1).trimmed();
    return std::nullopt;
}

void FakeService::serve(QTcpSocket *socket) {
    // One request a connection: answered once its head is in.
    if (!socket->property("head").isNull()) return;
    const QByteArray head = socket->peek(socket->bytesAvailable());
    if (!head.contains("\r\n\r\n")) return;
    socket->setProperty("head", head);
    Request request;
    request.target = head.split(' ').value(1);
    request.head = head.left(head.indexOf("\r\n\r\n"));
    request.userAgent = request.header("user-agent").value_or(QByteArray());
    request.atMs = m_clock.elapsed();
    requests.push_back(request);

    Answer answer{404, recordedAnswer("not-found.json"), {}};
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    if (answer.silent) return;
    if (answer.endless) return sendEndlessly(socket);
    socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n" +
                  "Content-Type: application/json; charset=utf-8\r\nConnection: close\r\n" + answer.extraHeaders +
                  "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n\r\n" + answer.body);
    socket->disconnectFromHost();
}

QByteArray recordedAnswer(const char *fileName) {
    QFile file(QStringLiteral(ONLINE_ANSWERS "/") + QString::fromLatin1(fileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 64 KB at a time whenever the last is on its way, up to 256 MB.
void FakeService::sendEndlessly(QTcpSocket *socket) {
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n{\"releases\": [");
    const QByteArray chunk(64 * 1024, ' ');
    const auto more = [this, socket, chunk] {
        if (socket->bytesToWrite() > chunk.size() || endlessBytesSent > (qint64(256) << 20)) return;
        endlessBytesSent += socket->write(chunk);
    };
    connect(socket, &QTcpSocket::bytesWritten, this, more);
    more();
}
