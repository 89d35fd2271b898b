#ifndef VELLUPDATERENGINE_H
#define VELLUPDATERENGINE_H

#include <QFile>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QVector>

#include <memory>
#include <vector>

class QNetworkReply;
class Update;
class VellUpdatePackage;
class VellUserPrompt;
class VellWorkDirectory;

/**
 * Carries one update run: asks the client program for its update query,
 * exchanges it with the update server, downloads the package archives over
 * HTTP into the work directory and installs them through VellUpdatePackage,
 * rolling the whole run back when the user gives up after a failure.
 *
 * Progress goes out through signals; the windows drive the engine through its
 * public slots. What the user must see or decide goes through the user prompt
 * (setUserPrompt()). Everything runs on the GUI thread.
 */
class VellUpdaterEngine : public QObject
{
    Q_OBJECT

public:
    /** Where the download stands. */
    enum State { Idle = 0, Sizing = 1, Downloading = 2, Aborted = 3 };

    /**
     * Time and size limits of the query and the downloads. The program keeps
     * the defaults; tests shorten them.
     */
    struct Limits
    {
        int connectMs = 30000; ///< to reach the update server
        int writeMs = 30000; ///< for the query to be written
        int answerSilenceMs = 30000; ///< between two chunks of the server's answer
        /// for the whole exchange with the update server, from connecting to the
        /// end of the answer, however steadily the bytes come
        int exchangeMs = 120000;
        int downloadStallMs = 60000; ///< a HEAD or GET that receives nothing fails after this
        qint64 maxAnswerBytes = 4 * 1024 * 1024; ///< one byte more and the answer is refused
        int maxAnswerDepth = 256; ///< elements open at one time in the answer
        int maxAnswerRequests = 10000; ///< request elements in one answer
    };

    VellUpdaterEngine();
    ~VellUpdaterEngine() override;

    /**
     * Who is told about failures and asked whether to retry a failed
     * installation; the engine does not own it. Without one, nobody is told
     * and every failed installation is given up.
     */
    void setUserPrompt(VellUserPrompt *prompt);

    /**
     * Runs the client program with "-updatequery", sends its query to the
     * update server and builds the update list from the answer. Blocks.
     * Returns false after a connection or communication failure, which has
     * then been told to the user.
     */
    bool checkUpdates();
    bool updatesAvailable() const;
    /** The run's updates in answer order; the engine keeps ownership. */
    QVector<Update *> getUpdates() const;
    /** The installation log shown by the summary window. */
    QString getLog() const;

    State downloadState() const { return state; }
    /** The directory that receives the downloads, with a trailing slash. */
    QString workDirectory() const { return workDir; }

    void setLimits(const Limits &limits) { this->limits = limits; }
    Limits getLimits() const { return limits; }
    /** The client program; by default "vell" beside the updater. */
    void setClientProgram(const QString &path) { clientProgram = path; }
    QString getClientProgram() const { return clientProgram; }
    /**
     * The folder of trusted minisign public keys; by default "update-keys"
     * beside the updater. With a key there, every package must be signed by
     * one of them; without, packages install unsigned.
     */
    void setTrustedKeysFolder(const QString &path) { trustedKeysFolder = path; }
    QString getTrustedKeysFolder() const { return trustedKeysFolder; }

    /** True once installUpdates() has installed every package. */
    bool installSucceeded = false;

signals:
    /** Percent of the whole download, after every chunk received. */
    void downloadProgress(int done);
    /** The update's name, when the download of its package starts. */
    void downloadFile(const QString &name);
    void downloadFinished();
    /** Percent of the installation or of the rollback. */
    void installProgress(int done);
    /** The update's name, or "Rollback update" when a rollback starts. */
    void installFile(const QString &name);
    void installFinished();
    /** A download step failed; str says why. Never emitted after abortDownload(). */
    void error(const QString &str);

public slots:
    void beginDownload();
    void abortDownload();
    void installUpdates();

private slots:
    void requestFinished();
    void dataReadProgress();
    void responseHeaderReceived();
    void redirectReceived(const QUrl &target);
    void transferStalled();

private:
    void getUpdatesSize();
    void sizeNextUpdate();
    void downloadUpdates();
    void getCurUpdate();
    void getNextUpdate();
    void getCurSignature();

    QByteArray readClientQuery() const;
    void sendRequest(const QByteArray &verb, const QUrl &link);
    bool refuseUnsafeLink(const QUrl &link);
    bool openTargetFile(const QUrl &link);
    void storeReceivedBytes();
    void failDownload(const QString &reason);
    void detachReply();
    void discardTargetFile();
    void emitProgress();
    void clearUpdates();
    bool installPackage(VellUpdatePackage &package, const QString &name);
    void rollback(const std::vector<std::unique_ptr<VellUpdatePackage>> &packages);
    QStringList refusedPackages() const;
    void refuseRun(const QStringList &refusals);

    QTcpSocket querySocket;
    QNetworkAccessManager http;
    QString log;
    QFile targetFile;
    QString targetPath; ///< where targetFile lies (it is opened from a descriptor)
    QVector<Update *> updates;
    int currentIndex = 0;
    QString workDir;
    qint64 requestDone = 0;
    qint64 totalDone = 0;
    qint64 totalSize = 0;
    State state = Idle;
    int downloadRun = 0; ///< counts beginDownload() calls: a late error knows its own run

    QPointer<QNetworkReply> reply; ///< the HEAD or GET in progress
    QUrl replyLink; ///< the package link that reply fetches
    QTimer stallTimer;
    int sizedIndex = 0; ///< the update whose HEAD is in progress
    Limits limits;
    QString clientProgram;
    QString trustedKeysFolder;
    bool signaturesWanted = false; ///< this run's downloads fetch each package's signature
    bool fetchingSignature = false; ///< the GET in progress is a signature's
    std::unique_ptr<VellWorkDirectory> workDirHolder;
    VellUserPrompt *prompt;
};

/**
 * Deletes every file below path, hidden ones included; the directories
 * themselves stay. Symbolic links are removed, never followed.
 */
void removeDir(const QString &path);

#endif // VELLUPDATERENGINE_H
