#ifndef VELLUNWINDJOURNAL_P_H
#define VELLUNWINDJOURNAL_P_H

#include "VellFileSystem_p.h"
#include "VellRootDirectory_p.h"
#include "VellSyncBatch_p.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

/**
 * The record of one run's changes in one installation directory, kept in a
 * hidden folder inside it (".vell-unwind/"), on the same file system as the
 * files it protects, so that it survives a crash and a reboot:
 *
 *   lock        held (flock) by the process whose run this is
 *   journal     one line per touched name, made durable before the change:
 *                 "run <pid> <boot id>"    who wrote it
 *                 "saved <name> <backup>"  the name existed; saved/<backup> is it
 *                 "absent <name>"          nothing was there
 *                 "dir <name>"             the run created this folder
 *                 "done"                   the run finished: nothing to undo
 *   saved/<n>   the previous state: a hard link of the old file (same inode,
 *               never written through, since targets are replaced by rename),
 *               a faithful copy where no link can be made, a symbolic link
 *               with the same target, or an empty folder with the same mode
 *   new/<n>     new files staged for their rename into place
 *
 * Durability: before a name changes, its backup and its record are on disk;
 * the new files need not be, since until "done" a crash rolls the run back to
 * the backups. finish() makes every placed file and changed folder durable
 * in one batch, then writes "done". So the disk is flushed once per file and
 * the journal commits a handful of times per run, whatever its size.
 *
 * Names are percent-encoded relative paths, decoded once on reading; each
 * must then be clean (not empty nor absolute, no "." or ".." component, no
 * NUL or backslash, not inside .vell-unwind), and a backup a plain number.
 * A journal with anything else, or one that cannot be read whole, is left
 * alone and reported: it was not written by this class. The first record of a name in a
 * run wins, so every package of the run that touches it restores one state.
 * Not installed.
 */
class VellUnwindJournal
{
public:
    enum class Recovery { Nothing, Restored, Failed, Busy };
    /// What a name was before the run first touched it.
    enum class FirstState { Unknown, Saved, Absent };

    static QString folderName();
    /// The journal of this process's current run in @p installDir, shared by its packages.
    static std::shared_ptr<VellUnwindJournal> forRun(const QString &installDir);
    /**
     * Rolls back the run of a process that is gone, byte for byte, and drops
     * its records. Busy while the run's process still holds the lock. On
     * failure @p unrestored names what could not be put back (with the reason)
     * and the records stay for the next attempt.
     */
    static Recovery recover(const QString &installDir, QStringList &unrestored);

    explicit VellUnwindJournal(const QString &installDir);
    ~VellUnwindJournal();
    VellUnwindJournal(const VellUnwindJournal &) = delete;
    VellUnwindJournal &operator=(const VellUnwindJournal &) = delete;

    /// Takes the lock and starts the journal, after rolling back a run that died. Idempotent.
    bool open(QString &errorText);
    bool hasEnded() const { return state == State::Ended; }
    QString folder() const { return unwindFolder; }

    FirstState firstState(const QString &relative) const
    {
        return known.value(relative, FirstState::Unknown);
    }
    /// Saves what @p relative is now; the record is written by flush().
    bool keepSaved(const QString &relative, QString &errorText);
    void keepAbsent(const QString &relative);
    void keepCreatedFolder(const QString &relative);
    /// The installation directory, held open since open(); every change goes through it.
    const VellRootDirectory &rootDirectory() const { return root; }
    /// new/, held open since open(): staged files are made in it.
    int stagingFolder() const { return staging.get(); }
    /// A fresh name in stagingFolder() for a staged file.
    QByteArray stagingName();
    /// The full path of the staged file @p name, for messages.
    QString stagingPath(const QByteArray &name) const;
    /// A folder of the installation (relative) whose entries the run changed; finish() syncs it.
    void touched(const QString &folder) { installed.addFolder(folder); }
    /// A file the run put in place (relative); finish() syncs it and its folder.
    void placed(const QString &relative);
    /// Makes the backups and then the records durable.
    bool flush(QString &errorText);

    /// Restores every recorded name and ends the run; false names what stayed wrong.
    bool unwind(QStringList &unrestored);
    /// Makes the run's changes durable, marks it done and drops the backups.
    /// After a failure the run can only be unwound.
    bool finish(QString &errorText);

private:
    enum class Kind { Saved, Absent, CreatedFolder };
    /// Unfinished: finish() failed, so only unwind() may follow (a failed
    /// fsync is reported once; a second one could vouch for lost data).
    enum class State { Closed, Open, Unfinished, Ended };
    enum class Durability { Synced, Lazy };
    struct Record
    {
        Kind kind;
        QString relative;
        QString backup;
    };

    static bool lock(int area, VellFileSystem::FileDescriptor &fd, int &error);
    /// False when the journal cannot be read whole or holds anything this
    /// class never writes (a name that is not clean, a backup outside saved/).
    /// The journal is read from @p area, the open unwind area shown as @p folder.
    static bool readRecords(int area, const QString &folder, QVector<Record> &found, bool &done,
        QString *errorText = nullptr);
    /// The unwind area's folders, opened once checked.
    struct Area
    {
        VellFileSystem::FileDescriptor area;
        VellFileSystem::FileDescriptor saved; ///< invalid while it does not exist
        VellFileSystem::FileDescriptor staging; ///< new/; invalid while it does not exist
    };
    /// False unless the unwind area, saved/ and new/ are folders of the
    /// effective user's own, mode 0700, none of them a link.
    static bool checkArea(
        const VellRootDirectory &root, Area &opened, QString *errorText = nullptr);
    static QString invalidJournal(const QString &folder, const QString &reason);
    static bool rollBack(const VellRootDirectory &root, int savedFolder,
        const QVector<Record> &records, QStringList &unrestored);
    /// Removes the journal, then the rest of the open unwind @p area and the area itself.
    static void drop(const VellRootDirectory &root, int area, Durability durability);
    bool append(const QByteArray &lines, QString &errorText);
    void end();

    QString installDir;
    QString unwindFolder;
    VellRootDirectory root;
    VellFileSystem::FileDescriptor area; ///< the unwind area, held open since open()
    VellFileSystem::FileDescriptor saved;
    VellFileSystem::FileDescriptor staging;
    State state = State::Closed;
    QString finishError; ///< why the run is Unfinished
    VellFileSystem::FileDescriptor lockFile;
    VellFileSystem::FileDescriptor journal;
    QVector<Record> records;
    QVector<Record> pending;
    QHash<QString, FirstState> known;
    VellSyncBatch backups;
    VellSyncBatch installed;
    int nextNumber = 0;
};

#endif // VELLUNWINDJOURNAL_P_H
