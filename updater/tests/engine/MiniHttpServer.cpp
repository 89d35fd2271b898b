#include "MiniHttpServer.h"

#include <algorithm>

namespace {

/**
 * The first byte asked for by a "bytes=N-" range, or -1 when the header is
 * absent or asks for anything else (such ranges are answered whole here).
 */
qint64 rangeStart(const QByteArray &range)
{
    if (!range.startsWith("bytes=") || !range.endsWith('-')) {
        return -1;
    }
    bool ok = false;
    const qint64 start = range.mid(6, range.size() - 7).toLongLong(&ok);
    return ok && start >= 0 ? start : -1;
}

} // namespace

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
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    pending.remove(socket);
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() < 2) {
        return socket->disconnectFromHost();
    }

    const QByteArray method = requestLine.at(0);
    const QByteArray path = requestLine.at(1);
    Request request;
    request.line = method + ' ' + path;
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0) {
            request.headers.insert(
                lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
        }
    }
    requests << request.line;
    received << request;

    if (!answers.contains(path) && resources.contains(path)) {
        serveResource(socket, request, method, resources[path]);
        emit answered(path);
        return;
    }
    const Answer answer = answers.value(
        path, Answer {"HTTP/1.1 404 Not Found\r\nContent-Length: 8", "not here", false});
    socket->write(answer.head + "\r\nConnection: close\r\n\r\n");
    if (method == "HEAD") {
        socket->disconnectFromHost();
    } else {
        socket->write(answer.body);
        if (!answer.stall) {
            socket->disconnectFromHost();
        }
    }
    emit answered(path);
}

void MiniHttpServer::serveResource(
    QTcpSocket *socket, const Request &request, const QByteArray &method, Resource &resource)
{
    const qint64 size = resource.content.size();
    qint64 start = resource.ignoresRange ? -1 : rangeStart(request.header("Range"));
    // If-Range: the part only while the validator still names this version.
    const QByteArray ifRange = request.header("If-Range");
    if (start >= 0 && !ifRange.isEmpty() && ifRange != resource.etag
        && ifRange != resource.lastModified) {
        start = -1;
    }

    QByteArray head;
    QByteArray body;
    if (start >= size) {
        head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */"
            + QByteArray::number(size) + "\r\nContent-Length: 0";
    } else if (start >= 0) {
        body = resource.content.mid(int(start));
        head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(start)
            + '-' + QByteArray::number(size - 1) + '/' + QByteArray::number(size)
            + "\r\nContent-Length: " + QByteArray::number(body.size());
    } else {
        body = resource.content;
        head = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(size);
    }
    head += "\r\nContent-Type: application/zip";
    if (!resource.etag.isEmpty()) {
        head += "\r\nETag: " + resource.etag;
    }
    if (!resource.lastModified.isEmpty()) {
        head += "\r\nLast-Modified: " + resource.lastModified;
    }
    if (!resource.ignoresRange) {
        head += "\r\nAccept-Ranges: bytes";
    }
    socket->write(head + "\r\nConnection: close\r\n\r\n");

    const qint64 first = qMax<qint64>(0, start);
    const auto cut = std::find_if(resource.cutAt.cbegin(), resource.cutAt.cend(),
        [first, size](int offset) { return offset > first && offset < size; });
    if (method != "HEAD" && cut != resource.cutAt.cend()) {
        socket->write(body.left(int(*cut - first)));
        if (resource.cutBySilence) {
            return;
        }
    } else if (method != "HEAD") {
        socket->write(body);
    }
    // The bytes written go out before the connection closes, cut or not.
    socket->disconnectFromHost();
}
