#include "VellWorkDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString withTrailingSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path;
}

} // namespace

VellWorkDirectory::VellWorkDirectory(const QString &preferredPath)
{
    const QByteArray nativePath = QFile::encodeName(preferredPath);
    // The temporary folder itself may not exist yet (a TMPDIR never created).
    QDir().mkpath(QDir::cleanPath(preferredPath + QLatin1String("/..")));
    // mkdir() never follows a link planted at the path; EEXIST is judged below.
    ::mkdir(nativePath.constData(), S_IRWXU);
    if (isPrivateDirectory(preferredPath)) {
        usedPath = withTrailingSlash(preferredPath);
        return;
    }

    QString base = preferredPath;
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    fallback.reset(new QTemporaryDir(base + QLatin1String("-XXXXXX")));
    if (!fallback->isValid()) {
        fallback.reset(new QTemporaryDir());
    }
    if (fallback->isValid()) {
        usedPath = withTrailingSlash(fallback->path());
    }
}

VellWorkDirectory::~VellWorkDirectory() = default;

bool VellWorkDirectory::isPrivateDirectory(const QString &path)
{
    // A trailing slash would make lstat() follow a symbolic link.
    QString linkPath = path;
    while (linkPath.size() > 1 && linkPath.endsWith(QLatin1Char('/'))) {
        linkPath.chop(1);
    }
    struct stat info;
    if (::lstat(QFile::encodeName(linkPath).constData(), &info) != 0) {
        return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

void removeDir(const QString &path)
{
    if (path.isEmpty()) {
        return; // QDir would take it for the current directory
    }
    const QDir dir(path);
    const QFileInfoList entries
        = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // A link is removed as a link, never followed into what it points at.
        if (entry.isDir() && !entry.isSymLink()) {
            removeDir(entry.filePath());
        } else {
            QFile::remove(entry.filePath());
        }
    }
}
