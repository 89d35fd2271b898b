#ifndef MINIHTTPSERVER_H
#define MINIHTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>

/**
 * A small HTTP/1.1 server on 127.0.0.1 for the window tests: answers HEAD and
 * GET for the files it was given, 404 for anything else, and can stall a file
 * halfway, so that a download stays in progress as long as a test needs.
 * Runs on the GUI thread (the engine's downloads are asynchronous).
 */
class MiniHttpServer : public QObject
{
    Q_OBJECT

public:
    bool listen(quint16 port = 80);
    void addFile(const QByteArray &path, const QByteArray &content, bool stallHalfway = false);
    /** The request lines received, e.g. "HEAD /a.zip". */
    QList<QByteArray> requests;

private:
    void accept();
    void serve(QTcpSocket *socket);

    struct File
    {
        QByteArray content;
        bool stall = false;
    };
    QTcpServer server;
    QHash<QByteArray, File> files;
    QHash<QTcpSocket *, QByteArray> pending;
};

#endif // MINIHTTPSERVER_H
