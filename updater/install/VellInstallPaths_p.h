#ifndef VELLINSTALLPATHS_P_H
#define VELLINSTALLPATHS_P_H

#include <QString>

/// Path checks shared by the package extraction and installation. Not installed.
namespace VellInstallPaths {

/**
 * @p relative cleaned of "." segments, doubled and leading slashes; empty when
 * it names the base directory itself or climbs out of it through "..".
 */
QString cleanRelative(const QString &relative);

} // namespace VellInstallPaths

#endif // VELLINSTALLPATHS_P_H
