#include "VellInstallPaths_p.h"

#include <QDir>
#include <QFileInfo>

namespace VellInstallPaths {

QString resolved(const QString &path)
{
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QString missing;
    while (!info.exists()) {
        if (info.isSymLink()) {
            return QString();
        }
        if (info.isRoot()) {
            return info.absoluteFilePath() + missing;
        }
        missing.prepend(QLatin1Char('/') + info.fileName());
        info = QFileInfo(info.absolutePath());
    }
    const QString existing = info.canonicalFilePath();
    if (existing == QLatin1String("/")) {
        return missing.isEmpty() ? existing : missing;
    }
    return existing + missing;
}

bool liesInside(const QString &dir, const QString &path)
{
    QString base = resolved(dir);
    const QString target = resolved(path);
    if (base.isEmpty() || target.isEmpty()) {
        return false;
    }
    if (!base.endsWith(QLatin1Char('/'))) {
        base += QLatin1Char('/');
    }
    return target.startsWith(base) && target.size() > base.size();
}

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
