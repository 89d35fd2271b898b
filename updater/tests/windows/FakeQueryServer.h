#ifndef FAKEQUERYSERVER_H
#define FAKEQUERYSERVER_H

#include <QByteArray>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

/**
 * An update server that answers every query with one fixed document. It runs
 * on its own thread, since the engine blocks the GUI thread while it waits
 * for the answer. Listens on a free port of 127.0.0.1.
 */
class FakeQueryServer : public QThread
{
    Q_OBJECT

public:
    explicit FakeQueryServer(const QByteArray &answer);
    ~FakeQueryServer() override;

    /** The port it listens on, once started; 0 when it could not listen. */
    quint16 port() const { return listeningPort; }
    /** "127.0.0.1:port", as VELL_UPDATE_SERVER takes it. */
    QByteArray address() const;

    /** Starts the thread and waits until it listens. */
    bool startListening();

protected:
    void run() override;

private:
    const QByteArray answer;
    quint16 listeningPort = 0;
    QMutex mutex;
    QWaitCondition listening;
    bool ready = false;
};

/** A document of request elements: each pair is (component name, link or empty for "latest"). */
QByteArray queryAnswer(
    const QList<QPair<QByteArray, QByteArray>> &components, const QByteArray &type = "plugin");

#endif // FAKEQUERYSERVER_H
