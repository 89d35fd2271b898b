#ifndef MINIHTTPSERVER_H
#define MINIHTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

/**
 * A small HTTP/1.1 server for the statuses, bodies and stalls that a real
 * server will not show on demand: it answers each path with a fixed head and
 * body (404 for unknown paths), closes the connection after it or stays open
 * and silent. Runs on the GUI thread (the engine's downloads are asynchronous).
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
        int trickleMs = 0; ///< above 0: the body goes out one byte at a time, this far apart
    };

    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 80);
    /** Serves content with status 200; stallHalfway sends half of it, then nothing. */
    void addFile(const QByteArray &path, const QByteArray &content, bool stallHalfway = false);

    /** What each path is answered with. */
    QHash<QByteArray, Answer> answers;
    /** The request lines received, e.g. "HEAD /a.zip". */
    QList<QByteArray> requests;

private:
    void accept();
    void serve(QTcpSocket *socket);
    void trickle(QTcpSocket *socket, const QByteArray &body, int intervalMs);

    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> pending;
};

#endif // MINIHTTPSERVER_H
