#include "VellInstallability.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

using Verdict = VellInstallability::Verdict;
using Reason = VellInstallability::Reason;

Verdict refused(Reason reason, const QString &folder, int errorCode)
{
    Verdict verdict;
    verdict.reason = reason;
    verdict.folder = QDir::cleanPath(folder);
    verdict.errorCode = errorCode;
    return verdict;
}

/// Writing and entering: what creating and renaming entries inside @p dir needs.
int accessError(const QByteArray &dir)
{
    return ::faccessat(AT_FDCWD, dir.constData(), W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

bool onReadOnlyFileSystem(const QByteArray &dir)
{
    struct statvfs info = {};
    return ::statvfs(dir.constData(), &info) == 0 && (info.f_flag & ST_RDONLY) != 0;
}

} // namespace

VellInstallability::Verdict VellInstallability::check(const QString &installDir)
{
    const QString wanted = QDir::cleanPath(QDir(installDir).absolutePath());
    // The nearest folder that exists: the installation folder itself, or the
    // parent in which it (and the folders between) would be made.
    QString existing = wanted;
    while (!QFileInfo(existing).isDir()) {
        if (QFileInfo::exists(existing) || existing == QLatin1String("/")) {
            return refused(Reason::NoFolder, existing, ENOTDIR);
        }
        existing = QFileInfo(existing).path();
    }
    const QByteArray local = QFile::encodeName(existing);
    if (onReadOnlyFileSystem(local)) {
        return refused(Reason::ReadOnlyFileSystem, existing, EROFS);
    }
    if (const int error = accessError(local)) {
        return refused(Reason::NotWritable, existing, error);
    }
    if (existing != wanted) {
        return Verdict(); // made with the folder, inside a folder this process owns the writing of
    }
    const QString unwind = wanted + QLatin1String("/.vell-unwind");
    const QFileInfo unwindInfo(unwind);
    if (unwindInfo.exists() || unwindInfo.isSymLink()) {
        if (!unwindInfo.isDir() || unwindInfo.isSymLink()) {
            return refused(Reason::UnwindUnusable, unwind, ENOTDIR);
        }
        if (const int error = accessError(QFile::encodeName(unwind))) {
            return refused(Reason::UnwindUnusable, unwind, error);
        }
    }
    return Verdict();
}
