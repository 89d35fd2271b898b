#include "MiniHttpServer.h"

#include <QHostAddress>

bool MiniHttpServer::listen(quint16 port)
{
    connect(&server, &QTcpServer::newConnection, this, &MiniHttpServer::accept);
    return server.listen(QHostAddress::LocalHost, port);
}

void MiniHttpServer::addFile(const QByteArray &path, const QByteArray &content, bool stallHalfway)
{
    files.insert(path, File {content, stallHalfway});
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
    if (end < 0)
        return;
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    pending.remove(socket);
    if (requestLine.size() < 2)
        return socket->disconnectFromHost();

    const QByteArray method = requestLine.at(0);
    const QByteArray path = requestLine.at(1);
    requests << method + ' ' + path;

    const auto file = files.constFind(path);
    if (file == files.constEnd()) {
        const QByteArray body = "not here";
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\nConnection: close\r\n\r\n");
        if (method != "HEAD")
            socket->write(body);
        return socket->disconnectFromHost();
    }
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: "
        + QByteArray::number(file->content.size()) + "\r\nConnection: close\r\n\r\n");
    if (method == "HEAD")
        return socket->disconnectFromHost();
    if (file->stall) {
        // Half the body, then silence: the download stays in progress.
        socket->write(file->content.left(file->content.size() / 2));
        return;
    }
    socket->write(file->content);
    socket->disconnectFromHost();
}
