#ifndef MINIHTTPSERVER_H
#define MINIHTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

/**
 * A small HTTP/1.1 server for the statuses, bodies and stalls that a real
 * server will not show on demand: it answers each path with a fixed head and
 * body (404 for unknown paths), closes the connection after it or stays open
 * and silent. Resources are served like a real server serves files (ETag,
 * Last-Modified, Range and If-Range), and can be made to cut connections or
 * to ignore Range. Runs on the GUI thread (the engine's downloads are
 * asynchronous).
 */
class MiniHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Answer
    {
        QByteArray head; ///< status line and headers, without the blank line
        QByteArray body; ///< not sent for HEAD
        bool stall = false; ///< after the body, keep the connection open and silent
    };

    /** A file served with validators; Range is honoured unless told otherwise. */
    struct Resource
    {
        QByteArray content;
        QByteArray etag; ///< the ETag header's value, quotes included; empty: none sent
        QByteArray lastModified; ///< the Last-Modified header's value; empty: none sent
        bool ignoresRange = false; ///< every GET is answered 200 with the whole content
        /// offsets into content: an answer is cut at the first one past its
        /// first byte (the same request sent twice is cut at the same place)
        QList<int> cutAt;
        bool cutBySilence = false; ///< a cut leaves the connection open and silent
    };

    /** A request as received: its line ("GET /a.zip") and its headers. */
    struct Request
    {
        QByteArray line;
        QHash<QByteArray, QByteArray> headers; ///< names in lower case

        QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    };

    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 80);
    /** Serves content with status 200; stallHalfway sends half of it, then nothing. */
    void addFile(const QByteArray &path, const QByteArray &content, bool stallHalfway = false);

    /** What each path is answered with; before resources. */
    QHash<QByteArray, Answer> answers;
    QHash<QByteArray, Resource> resources;
    /** The request lines received, e.g. "HEAD /a.zip". */
    QList<QByteArray> requests;
    /** The same requests with their headers. */
    QList<Request> received;

signals:
    /** A request for path has been answered (or cut); the answer may be changed now. */
    void answered(const QByteArray &path);

private:
    void accept();
    void serve(QTcpSocket *socket);
    /** Sends the answer a file server gives for resource. */
    void serveResource(
        QTcpSocket *socket, const Request &request, const QByteArray &method, Resource &resource);

    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> pending;
};

#endif // MINIHTTPSERVER_H
