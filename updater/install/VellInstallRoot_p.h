#ifndef VELLINSTALLROOT_P_H
#define VELLINSTALLROOT_P_H

#include <QSet>
#include <QString>

class VellRootDirectory;

/**
 * Decides, when a package's instructions are planned, which targets lie
 * inside the installation directory; the others are skipped. Each folder on
 * the way to a target is resolved once per plan and remembered, so that a
 * thousand targets in twenty folders cost twenty resolutions. Every change
 * resolves its folder again from the directory's descriptor, so a folder
 * swapped for a link after the plan is refused there. Not installed.
 */
class VellInstallRoot
{
public:
    /// @p root must outlive this object.
    explicit VellInstallRoot(const VellRootDirectory &root);

    /**
     * The target's name relative to the installation directory, cleaned; empty
     * when it names the directory itself, climbs out of it, leads out through
     * a symbolic link or into the installer's own hidden folder.
     */
    QString relativeTarget(const QString &path, const QString &name);

private:
    bool folderLiesInside(const QString &relativeFolder);

    const VellRootDirectory &root;
    QSet<QString> checkedFolders;
};

#endif // VELLINSTALLROOT_P_H
