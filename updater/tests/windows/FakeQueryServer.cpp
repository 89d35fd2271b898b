#include "FakeQueryServer.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

FakeQueryServer::FakeQueryServer(const QByteArray &answer)
    : answer(answer)
{ }

FakeQueryServer::~FakeQueryServer()
{
    requestInterruption();
    wait();
}

QByteArray FakeQueryServer::address() const
{
    return "127.0.0.1:" + QByteArray::number(listeningPort);
}

bool FakeQueryServer::startListening()
{
    QMutexLocker locker(&mutex);
    start();
    while (!ready) {
        listening.wait(&mutex);
    }
    return listeningPort != 0;
}

void FakeQueryServer::run()
{
    QTcpServer server;
    const bool ok = server.listen(QHostAddress::LocalHost, 0);
    {
        QMutexLocker locker(&mutex);
        listeningPort = ok ? server.serverPort() : 0;
        ready = true;
        listening.wakeAll();
    }
    while (ok && !isInterruptionRequested()) {
        if (!server.waitForNewConnection(50)) {
            continue;
        }
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        // Like a real server: the answer follows the query (a client that
        // has no query sends nothing, hence the short limit), and closing is
        // left to the client, since closing with unread bytes would reset the
        // connection and could lose the answer on its way.
        QByteArray query;
        QElapsedTimer waited;
        waited.start();
        while (!query.contains("</s>") && waited.elapsed() < 200) {
            if (socket->waitForReadyRead(20)) {
                query += socket->readAll();
            }
        }
        socket->write(answer);
        socket->waitForBytesWritten(2000);
        while (!isInterruptionRequested() && socket->state() != QAbstractSocket::UnconnectedState) {
            if (socket->waitForReadyRead(50)) {
                socket->readAll();
            }
        }
    }
}

QByteArray queryAnswer(
    const QList<QPair<QByteArray, QByteArray>> &components, const QByteArray &type)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><response>";
    for (const auto &component : components) {
        xml += "<request project=\"vell\" name=\"" + component.first + "\" type=\"" + type + "\">";
        if (component.second.isEmpty()) {
            xml += "<latest/>";
        } else {
            xml += "<version>2.0</version><description>" + component.first
                + " description</description><changelog>- " + component.first
                + " fixed</changelog><link>" + component.second + "</link>";
        }
        xml += "</request>";
    }
    return xml + "</response>";
}
