#include "VellInstallRoot_p.h"

#include "VellInstallPaths_p.h"
#include "VellRootDirectory_p.h"
#include "VellUnwindJournal_p.h"

#include <cerrno>

VellInstallRoot::VellInstallRoot(const VellRootDirectory &root)
    : root(root)
{ }

QString VellInstallRoot::relativeTarget(const QString &path, const QString &name)
{
    const QString relative = VellInstallPaths::cleanRelative(path + QLatin1Char('/') + name);
    if (relative.isEmpty() || !root.isOpen()) {
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
    int error = 0;
    // Real folders, missing ones (made by the run) and files (which fail
    // later) are inside; a link on the way counts by where it leads.
    if (!root.openFolder(relativeFolder, error).isValid() && error != ENOENT && error != ENOTDIR) {
        return false;
    }
    checkedFolders.insert(relativeFolder);
    return true;
}
