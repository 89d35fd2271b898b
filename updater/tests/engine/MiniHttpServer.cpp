#include "MiniHttpServer.h"

bool MiniHttpServer::listen(const QHostAddress &address, quint16 port)
{
    connect(&server, &QTcpServer::newConnection, this, &MiniHttpServer::accept);
    return server.listen(address, port);
}

void MiniHttpServer::addFile(const QByteArray &path, const QByteArray &content, bool stallHalfway)
{
    answers.insert(path,
        Answer {"HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: "
                + QByteArray::number(content.size()),
            stallHalfway ? content.left(content.size() / 2) : content, stallHalfway});
}

void MiniHttpServer::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void MiniHttpServer::serve(QTcpSocket *socket)
{
    QByteArray &buffer = pending[socket];
    buffer += socket->readAll();
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        return;
    }
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    pending.remove(socket);
    if (requestLine.size() < 2) {
        return socket->disconnectFromHost();
    }

    const QByteArray method = requestLine.at(0);
    const QByteArray path = requestLine.at(1);
    requests << method + ' ' + path;

    const Answer answer = answers.value(
        path, Answer {"HTTP/1.1 404 Not Found\r\nContent-Length: 8", "not here", false});
    socket->write(answer.head + "\r\nConnection: close\r\n\r\n");
    if (method == "HEAD") {
        return socket->disconnectFromHost();
    }
    if (answer.trickleMs > 0) {
        return trickle(socket, answer.body, answer.trickleMs);
    }
    socket->write(answer.body);
    if (!answer.stall) {
        socket->disconnectFromHost();
    }
}

// Every byte comes well within any silence limit; only a limit on the whole
// transfer ends it.
void MiniHttpServer::trickle(QTcpSocket *socket, const QByteArray &body, int intervalMs)
{
    auto *timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [socket, body, timer, sent = 0]() mutable {
        if (sent == body.size()) {
            timer->stop();
            socket->disconnectFromHost();
            return;
        }
        socket->write(body.mid(sent++, 1));
    });
    timer->start(intervalMs);
}
