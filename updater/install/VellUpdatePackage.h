#ifndef VELLUPDATEPACKAGE_H
#define VELLUPDATEPACKAGE_H

#include <QFile>
#include <QString>
#include <QStringList>

class Update;

/**
 * Installs the package archive of one update and rolls it back.
 *
 * install() unpacks the archive (downloaded to workDir + the link's URL path)
 * below the work directory, checks its descriptor ("<archive base>.xml") against
 * the update and carries out the descriptor's file instructions in the
 * installation directory: the program's directory for type "app", the user's
 * "~/.Vellnet/plugins/" for type "plugin". Before a file is touched its state
 * (its bytes, or that it did not exist) is kept in the unwind area below the
 * work directory, so that unwind() puts the installation back as it was.
 *
 * The unwind area ("unwind/<type>/" below the work directory) is shared by
 * all packages of one run of the same component type, that is of the same
 * installation directory: the oldest state of a file in the run wins, so
 * unwinding the packages in any order restores the state before the run.
 */
class VellUpdatePackage
{
public:
    /// @p update is not owned and must outlive the package.
    explicit VellUpdatePackage(Update *update);
    /// Installs into @p installDir instead of the directory the component type
    /// selects (the type must still be "app" or "plugin").
    VellUpdatePackage(Update *update, const QString &installDir);

    /**
     * Unpacks and installs the package. Returns true on success. On failure
     * returns false with the reason in @p errorText, except when the package
     * belongs to another component (errorText left empty). Appends
     * " - <entry name>" to @p installedFiles for every file entry unpacked.
     * May be called again (a retry); the records for unwind() accumulate.
     */
    bool install(const QString &workDir, QString &errorText, QStringList &installedFiles);
    /**
     * Restores every file that install() on this object touched: replaced and
     * removed files get their previous bytes back, files it added are deleted
     * together with the folders created for them once empty. Tries every entry
     * and returns false when any of them could not be restored.
     */
    bool unwind(const QString &workDir);

    const QString &getInstallDir() const { return installDir; }
    /// Folders (relative to the installation directory) of the files kept with
    /// their previous bytes, each once.
    const QStringList &getRestoreDirs() const { return restoreDirs; }
    /// Relative names of the files kept with their previous bytes, once per install() call.
    const QStringList &getRestoreFiles() const { return restoreFiles; }
    /// Relative names of the files that did not exist before the run, once per install() call.
    const QStringList &getAddedFiles() const { return addedFiles; }

private:
    QString unwindDirFor(const QString &workDir) const;

    Update *update;
    QString unwindDir;
    QString installDir;
    QString packageBase;
    QStringList restoreDirs;
    QStringList restoreFiles;
    /// Relative names of files that did not exist before the run: unwind() deletes them.
    QStringList addedFiles;
    QFile::Permissions installPermissions;
};

#endif // VELLUPDATEPACKAGE_H
