#include "VellInstallPaths_p.h"

#include <QDir>

namespace VellInstallPaths {

QString cleanRelative(const QString &relative)
{
    QString clean = QDir::cleanPath(QLatin1Char('/') + relative);
    // The leading slash keeps cleanPath from leaving ".." at the front...
    // unless the path climbs above it, which it reports as a "/.." prefix.
    if (clean == QLatin1String("/..") || clean.startsWith(QLatin1String("/../"))) {
        return QString();
    }
    clean.remove(0, 1);
    return clean;
}

} // namespace VellInstallPaths
