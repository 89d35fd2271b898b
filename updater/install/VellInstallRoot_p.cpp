#include "VellInstallRoot_p.h"

#include "VellFileSystem_p.h"
#include "VellInstallPaths_p.h"
#include "VellUnwindJournal_p.h"

#include <QFileInfo>

VellInstallRoot::VellInstallRoot(const QString &installDir)
    : installDir(installDir)
    , resolvedRoot(VellInstallPaths::resolved(installDir))
{
    if (!resolvedRoot.isEmpty() && !resolvedRoot.endsWith(QLatin1Char('/'))) {
        resolvedRoot += QLatin1Char('/');
    }
}

QString VellInstallRoot::relativeTarget(const QString &path, const QString &name)
{
    const QString relative = VellInstallPaths::cleanRelative(path + QLatin1Char('/') + name);
    if (relative.isEmpty() || resolvedRoot.isEmpty()) {
        return QString();
    }
    const QString unwind = VellUnwindJournal::folderName();
    if (relative == unwind || relative.startsWith(unwind + QLatin1Char('/'))) {
        return QString();
    }
    const int lastSlash = relative.lastIndexOf(QLatin1Char('/'));
    if (lastSlash > 0 && !folderLiesInside(relative.left(lastSlash))) {
        return QString();
    }
    return relative;
}

bool VellInstallRoot::folderLiesInside(const QString &relativeFolder)
{
    if (checkedFolders.contains(relativeFolder)) {
        return true;
    }
    const int lastSlash = relativeFolder.lastIndexOf(QLatin1Char('/'));
    if (lastSlash > 0 && !folderLiesInside(relativeFolder.left(lastSlash))) {
        return false;
    }
    const QString folder = installDir + QLatin1Char('/') + relativeFolder;
    struct stat info;
    if (VellFileSystem::statName(folder, info) && S_ISLNK(info.st_mode)) {
        // A link on the way counts by where it leads: inside, but not into the backups.
        const QString resolved = VellInstallPaths::resolved(folder);
        const QString unwind = resolvedRoot + VellUnwindJournal::folderName();
        if (resolved.isEmpty() || !QString(resolved + QLatin1Char('/')).startsWith(resolvedRoot)
            || resolved + QLatin1Char('/') == resolvedRoot || resolved == unwind
            || resolved.startsWith(unwind + QLatin1Char('/'))) {
            return false;
        }
    }
    // Real folders, missing ones (made by the run) and files (which fail later) are inside.
    checkedFolders.insert(relativeFolder);
    return true;
}
