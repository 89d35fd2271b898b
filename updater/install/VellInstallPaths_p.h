#ifndef VELLINSTALLPATHS_P_H
#define VELLINSTALLPATHS_P_H

#include <QString>

/// Path checks shared by the package extraction and installation. Not installed.
namespace VellInstallPaths {

/**
 * @p path with every symbolic link resolved, also when its last segments do not
 * exist yet (they are appended to the resolved existing ancestor). Empty when
 * a dangling symbolic link is on the way, since where it leads is unknown.
 */
QString resolved(const QString &path);

/// True when @p path, symbolic links resolved, lies strictly inside @p dir.
bool liesInside(const QString &dir, const QString &path);

/**
 * @p relative cleaned of "." segments, doubled and leading slashes; empty when
 * it names the base directory itself or climbs out of it through "..".
 */
QString cleanRelative(const QString &relative);

} // namespace VellInstallPaths

#endif // VELLINSTALLPATHS_P_H
