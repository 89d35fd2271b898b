#ifndef VELLPACKAGEDOWNLOADS_H
#define VELLPACKAGEDOWNLOADS_H

#include <QFile>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QVector>

class QNetworkReply;
class Update;

/**
 * Downloads a run's packages over HTTP (HTTPS where the link asks for it)
 * into the work directory: a HEAD for
 * every package first (the sizes give the progress its whole), then for each
 * package a GET of the archive and, when signatures are wanted, a GET of its
 * ".minisig" beside it. One request at a time; the server sees them in
 * answer order.
 *
 * States and the transitions between them (the function that makes each):
 *
 *   Idle      --start()--------------------------------------------> Sizing
 *   Sizing    --HEAD finished, more packages: sizeNext()-------------> Sizing
 *   Sizing    --last HEAD finished: startPackages()------------------> Package
 *             (no packages at all: startPackages() ends in Idle and
 *             reports finished())
 *   Package   --GET finished, signatures wanted: startSignature()----> Signature
 *   Package   --GET finished, no signatures: nextPackage()-----------> Package
 *   Signature --GET finished (or 4xx/5xx: no signature): nextPackage()-> Package
 *   Package or
 *   Signature --last one done: nextPackage()------------------------> Idle
 *                                                        (finished() sent)
 *   any busy  --failure: fail()-------------------------------------> Idle
 *                                                        (failed() sent)
 *   any       --abort()---------------------------------------------> Aborted
 *   Aborted   --start()--------------------------------------------> Sizing
 *
 * fail() has one deferred path: met inside one of the reply's own signals
 * (the network code is still on the stack, and a listener may open a modal
 * box whose event loop would delete the reply under it), the state moves to
 * Idle at once but failed() is sent from the event loop by
 * reportLaterUnlessSuperseded(), and only if no abort() or start() came
 * between.
 *
 * Invariants: reply is set only in Sizing, Package and Signature; the target
 * file is open only while a GET stores into it, and a target file closed by a
 * failure or an abort is removed (a partial package is never left for a
 * complete one). Progress counts package bytes only and never goes back
 * within one run.
 */
class VellPackageDownloads : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Sizing, Package, Signature, Aborted };

    VellPackageDownloads();
    ~VellPackageDownloads() override;

    /**
     * Starts downloading the packages of @p updates (not owned; they must
     * outlive the run) into @p workDir. Does nothing while a run is busy.
     * @p signaturesWanted fetches each package's signature beside it.
     */
    void start(const QVector<Update *> &updates, const QString &workDir, bool signaturesWanted);
    /** Stops the request in progress; nothing more is reported for this run. */
    void abort();

    State state() const { return current; }
    bool isBusy() const
    {
        return current == State::Sizing || current == State::Package || current == State::Signature;
    }
    /** A HEAD or GET that receives nothing for this long fails. */
    void setStallMs(int ms) { stallMs = ms; }
    /** A signature that has not arrived whole this long after its GET fails. */
    void setSignatureDeadlineMs(int ms) { signatureDeadlineMs = ms; }

signals:
    /** Percent of the whole download, after every chunk received. */
    void progress(int percent);
    /** The update's name, when the download of its package starts. */
    void packageStarted(const QString &name);
    void finished();
    /** A download step failed; reason says why. Never sent after abort(). */
    void failed(const QString &reason);

private:
    void sizeNext();
    void startPackages();
    void startPackage();
    void startSignature();
    void nextPackage();
    void fail(const QString &reason);
    void reportLaterUnlessSuperseded(const QString &reason);

    void onFinished();
    void onReadyRead();
    void onMetaDataChanged();
    void onRedirected(const QUrl &target);
    void onSslErrors(const QList<QSslError> &errors);
    void onStalled();
    void onSignatureDeadline();

    void sendRequest(const QByteArray &verb, const QUrl &link);
    bool refuseUnsafeLink(const QUrl &link);
    bool openTargetFile(const QUrl &link);
    void storeReceivedBytes();
    void detachReply();
    void discardTargetFile();
    void emitProgress();
    /// a GET is storing what it receives into the target file
    bool isStoring() const { return current == State::Package || current == State::Signature; }

    QNetworkAccessManager http;
    QPointer<QNetworkReply> reply; ///< the HEAD or GET in progress
    QUrl replyLink; ///< the link that reply fetches
    QTimer stallTimer;
    int stallMs = 60000;
    QTimer signatureDeadline; ///< runs while a signature is fetched
    int signatureDeadlineMs = 30000;
    QFile targetFile;
    QString targetPath; ///< where targetFile lies (it is opened from a descriptor)
    QVector<Update *> updates;
    QString workDir;
    bool signaturesWanted = false;
    State current = State::Idle;
    int run = 0; ///< counts start() calls: a late failure knows its own run
    int sizedIndex = 0; ///< the update whose HEAD is in progress
    int currentIndex = 0; ///< the update whose package or signature is fetched
    qint64 requestDone = 0;
    qint64 totalDone = 0;
    qint64 totalSize = 0;
};

#endif // VELLPACKAGEDOWNLOADS_H
