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
 *   Package   --GET broke after bytes were stored (connection lost or
 *             silent), resumes left: resumePackage()---------------> Package
 *             (asks, from the event loop, for the rest with Range and
 *             If-Range, or for the whole file again when its last whole
 *             answer named no validator; dropped if abort() or start()
 *             came between; a body shorter than its Content-Length is a
 *             break too)
 *   Package   --answer to a resumed GET: takeAnswerHead()-------------> Package
 *             (206 with the asked Content-Range: appended; 200: the
 *             file is emptied and taken whole; any other 206: fail())
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
 * file is open only while a GET stores into it or a resumed GET is about to
 * be sent, and a target file closed by a
 * failure or an abort is removed (a partial package is never left for a
 * complete one). Progress counts package bytes only and never goes back
 * within one run: when a resumed package is taken whole again, the shown
 * progress holds until the new bytes pass what had been counted of it.
 *
 * Resuming: a package whose GET breaks after some bytes were stored is asked
 * for again, at most MaxResumes times in one run; the next break fails as
 * before. The rest is asked for only when the package's last whole answer
 * named a strong ETag or a Last-Modified, so that a server holding another version answers
 * the whole file (If-Range) rather than the rest of a different one. The
 * signature check before the installation is what proves the file.
 */
class VellPackageDownloads : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Sizing, Package, Signature, Aborted };
    /** Broken package downloads taken up again in one run before one fails. */
    static constexpr int MaxResumes = 3;

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
    bool resumePackage();
    bool takeAnswerHead();
    bool emptyTargetFile();
    void failWritingTarget();
    bool isCutShort(const QNetworkReply *finished) const;
    void fail(const QString &reason);
    void reportLaterUnlessSuperseded(const QString &reason);

    void onFinished();
    void onReadyRead();
    void onMetaDataChanged();
    void onRedirected(const QUrl &target);
    void onSslErrors(const QList<QSslError> &errors);
    void onStalled();
    void onSignatureDeadline();

    void sendRequest(const QByteArray &verb, const QUrl &link, qint64 resumeFrom = 0);
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
    qint64 requestDone = 0; ///< bytes in the target file
    int resumesLeft = 0;
    /// If-Range of a resumed GET: the ETag or Last-Modified of the package's
    /// last whole answer; empty: the package is taken whole again
    QByteArray validator;
    qint64 packageLength = -1; ///< the whole package, as its last whole answer said
    QByteArray readBuffer; ///< what each read of the reply lands in, kept between reads
    qint64 resumedFrom = 0; ///< the first byte the GET in progress asked for
    bool answerHeadTaken = false; ///< the GET in progress has been judged by its head
    qint64 packageCounted = 0; ///< bytes of this package counted in totalDone
    qint64 totalDone = 0;
    qint64 totalSize = 0;
};

#endif // VELLPACKAGEDOWNLOADS_H
