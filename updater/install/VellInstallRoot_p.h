#ifndef VELLINSTALLROOT_P_H
#define VELLINSTALLROOT_P_H

#include <QSet>
#include <QString>

/**
 * Decides whether a descriptor's target lies inside the installation
 * directory. The directory is resolved once; each folder on the way to a
 * target is looked at once per run and remembered, so that a thousand
 * targets in twenty folders cost twenty checks. The target's own last
 * segment is never followed: it is replaced by rename, so a symbolic link
 * there is replaced as a link, not written through. Not installed.
 */
class VellInstallRoot
{
public:
    explicit VellInstallRoot(const QString &installDir);

    /**
     * The target's name relative to the installation directory, cleaned; empty
     * when it names the directory itself, climbs out of it, leads out through
     * a symbolic link or into the installer's own hidden folder.
     */
    QString relativeTarget(const QString &path, const QString &name);

private:
    bool folderLiesInside(const QString &relativeFolder);

    QString installDir;
    QString resolvedRoot; ///< with a trailing slash
    QSet<QString> checkedFolders;
};

#endif // VELLINSTALLROOT_P_H
