#ifndef VELLFILECOPY_P_H
#define VELLFILECOPY_P_H

#include <QString>

/// File copies of the package installer. Not installed.
namespace VellFileCopy {

/**
 * Copies @p source to @p target, which must not exist, streaming through a
 * fixed buffer and keeping the source's permissions. A partial target is
 * removed on failure. Unlike QFile::copy() it does not flush every file to
 * disk: the installer syncs once when it is done (syncFileSystemOf()).
 */
bool copy(const QString &source, const QString &target);

/// Flushes the file system that holds @p path to disk.
void syncFileSystemOf(const QString &path);

} // namespace VellFileCopy

#endif // VELLFILECOPY_P_H
