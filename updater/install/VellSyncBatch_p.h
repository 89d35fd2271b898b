#ifndef VELLSYNCBATCH_P_H
#define VELLSYNCBATCH_P_H

#include <QByteArray>
#include <QString>
#include <QVector>

class VellRootDirectory;

/**
 * Files and folders to flush to disk together: writeback of every file is
 * started first, then each is waited for, so the disk sees one batch rather
 * than a flush per file. Folders are synced after the files they hold.
 *
 * Nothing is opened by path. A name below the installation directory is
 * resolved from its descriptor when the batch runs (a folder swapped for a
 * link that leads out fails the batch rather than flushing what lies
 * outside); a name in a folder held open (the unwind area's) is opened from
 * that descriptor. The last component is never followed. Not installed.
 */
class VellSyncBatch
{
public:
    /// A file below the installation directory.
    void addFile(const QString &relative);
    /// A folder below the installation directory; empty: the directory itself.
    void addFolder(const QString &relative);
    /// The file @p name of the open folder @p folder, shown as @p path in messages.
    void addFileIn(int folder, const QByteArray &name, const QString &path);
    /// The open folder @p folder itself, shown as @p path in messages.
    void addOpenFolder(int folder, const QString &path);
    bool isEmpty() const { return files.isEmpty() && folders.isEmpty(); }

    /**
     * Flushes everything, names below the installation resolved from
     * @p root; on failure names the path and the errno (or
     * VellRootDirectory::LeadsOut). Names that are gone are skipped:
     * syncing their folder records that.
     */
    bool run(const VellRootDirectory &root, QString &failedPath, int &error);

private:
    struct Item
    {
        int folder; ///< an open folder, or -1: relative is below the root
        QByteArray name; ///< in the open folder; empty for the folder itself
        QString relative; ///< below the root, or the full path of a held name
    };
    /// Opens @p item for syncing; -1 with @p error (ENOENT or ENOTDIR: gone).
    static int open(const VellRootDirectory &root, const Item &item, bool isFolder, int &error);

    QVector<Item> files;
    QVector<Item> folders;
};

#endif // VELLSYNCBATCH_P_H
