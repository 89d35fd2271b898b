#ifndef VELLUPDATERENGINE_H
#define VELLUPDATERENGINE_H

#include "VellInstallRun.h"
#include "VellPackageDownloads.h"
#include "VellWorkDirectory.h" // removeDir()

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QVector>

#include <memory>

class Update;
class VellUserPrompt;

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
        /// for the whole download of one signature: a few hundred bytes that
        /// trickle in must not keep the run waiting
        int signatureDeadlineMs = 30000;
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
     * Runs the client program with "-updatequery" (VellClientQuery), sends
     * its query to the update server and builds the update list from the
     * answer. Blocks. Returns false when the client gave no query (nothing is
     * sent) or after a connection or communication failure, which has then
     * been told to the user.
     */
    bool checkUpdates();
    bool updatesAvailable() const;
    /** The run's updates in answer order; the engine keeps ownership. */
    QVector<Update *> getUpdates() const;
    /**
     * Leaves only @p kept, a part of getUpdates(), for the download and the
     * installation, in the answer's order; the other updates are deleted.
     * For the start-up, before beginDownload().
     */
    void keepOnlyUpdates(const QVector<Update *> &kept);
    /** The installation log shown by the summary window. */
    QString getLog() const;

    State downloadState() const;
    /** The directory that receives the downloads, with a trailing slash. */
    QString workDirectory() const { return workDir; }

    void setLimits(const Limits &limits)
    {
        this->limits = limits;
        downloads.setStallMs(limits.downloadStallMs);
        downloads.setSignatureDeadlineMs(limits.signatureDeadlineMs);
    }
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

private:
    void clearUpdates();
    void takeInstallOutcome();

    QTcpSocket querySocket;
    VellPackageDownloads downloads;
    VellInstallRun installRun;
    QVector<Update *> updates;
    QString workDir;
    Limits limits;
    QString clientProgram;
    QString trustedKeysFolder;
    std::unique_ptr<VellWorkDirectory> workDirHolder;
    VellUserPrompt *prompt;
};

#endif // VELLUPDATERENGINE_H
