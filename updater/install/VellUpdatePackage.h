#ifndef VELLUPDATEPACKAGE_H
#define VELLUPDATEPACKAGE_H

#include "VellPackageDescriptor.h"

#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class Update;
class VellPackageArchive;
class VellUnwindJournal;

/**
 * Installs the package archive of one update and rolls it back.
 *
 * install() reads the archive (downloaded to workDir + the link's URL path),
 * checks its descriptor ("<archive base>.xml") against the update and carries
 * out the descriptor's file instructions in the installation directory: the
 * program's directory for type "app", the user's "~/.Vellnet/plugins/" for
 * type "plugin".
 *
 * Every file is replaced atomically: its new content is staged on the
 * installation's own file system and renamed over the target, so no target
 * is ever missing or partial. Before anything changes, the previous state of
 * every touched name is kept durably in a hidden unwind folder inside the
 * installation directory, with a journal (see VellUnwindJournal_p.h) that
 * lets unwind(), or the next start after a crash, put it back exactly.
 * The packages of one run that share an installation directory share its
 * journal: the oldest state of a name wins.
 */
class VellUpdatePackage
{
public:
    /// @p update is not owned and must outlive the package.
    explicit VellUpdatePackage(Update *update);
    /// Installs into @p installDir instead of the directory the component type
    /// selects (the type must still be "app" or "plugin").
    VellUpdatePackage(Update *update, const QString &installDir);
    ~VellUpdatePackage();
    VellUpdatePackage(const VellUpdatePackage &) = delete;
    VellUpdatePackage &operator=(const VellUpdatePackage &) = delete;

    /// The installation directory of a component type; empty for an unknown type.
    static QString installDirFor(const std::string &type);

    /**
     * Unpacks and installs the package. Returns true on success. On failure
     * returns false with the reason in @p errorText, except when the package
     * belongs to another component (errorText left empty). Appends
     * " - <entry name>" to @p installedFiles for every file entry of the
     * archive, in archive order. May be called again (a retry); the records
     * for unwind() accumulate.
     */
    bool install(const QString &workDir, QString &errorText, QStringList &installedFiles);
    /**
     * Puts back every name that the run changed in this package's
     * installation directory: replaced and removed files get their previous
     * inode (bytes, mode, owner, times), symbolic links and folders come back
     * as such, new files and the folders made for them go. Names that still
     * equal their backup are left alone. Tries every name; returns false when
     * any of them could not be restored (the records then stay for the next
     * start).
     */
    bool unwind(const QString &workDir);
    /**
     * Ends a successful run: the installed files are made durable and the
     * backups dropped. Until then a crash leaves the run to be rolled back.
     */
    bool finish(QString &errorText);

    const QString &getInstallDir() const { return installDir; }
    /// Folders (relative to the installation directory) of the files kept with
    /// their previous state, each once.
    const QStringList &getRestoreDirs() const { return restoreDirs; }
    /// Relative names of the files kept with their previous state, once per install() call.
    const QStringList &getRestoreFiles() const { return restoreFiles; }
    /// Relative names of the files that did not exist before the run, once per install() call.
    const QStringList &getAddedFiles() const { return addedFiles; }

private:
    struct Change;

    bool checkInstallable(QString &errorText) const;
    QString archivePathIn(const QString &workDir) const;
    /// The descriptor's file name, for messages.
    QString descriptorName() const;
    bool readDescriptor(const VellPackageArchive &archive, const QString &workDir,
        VellPackageDescriptor &descriptor, QString &errorText) const;
    bool joinRun(QString &errorText);
    QVector<Change> planChanges(const QVector<VellPackageDescriptor::File> &instructions,
        const VellPackageArchive &archive) const;
    bool checkFreeSpace(const QVector<Change> &changes, const VellPackageArchive &archive,
        QString &errorText) const;
    bool stageNewFiles(
        QVector<Change> &changes, const VellPackageArchive &archive, QString &errorText);
    bool keepPreviousState(const QVector<Change> &changes, QString &errorText);
    bool applyChanges(const QVector<Change> &changes, QString &errorText);
    /// Makes the folders on the way to @p relative; @p knownFolders spares asking twice.
    bool createFolders(const QString &relative, QSet<QString> &knownFolders, QString &errorText);
    bool putInPlace(const Change &change, QString &errorText);

    Update *update;
    QString unwindDir;
    QString installDir;
    QString packageBase;
    QStringList restoreDirs;
    QStringList restoreFiles;
    /// Relative names of files that did not exist before the run: unwind() deletes them.
    QStringList addedFiles;
    QFile::Permissions installPermissions;
    std::shared_ptr<VellUnwindJournal> journal;
};

#endif // VELLUPDATEPACKAGE_H
