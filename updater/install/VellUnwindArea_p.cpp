#include "VellUnwindArea_p.h"

#include "VellFileCopy_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QUuid>

#include <algorithm>

namespace {

bool makeParent(QString const &file)
{
    return QDir().mkpath(QFileInfo(file).absolutePath());
}

QString backupError(QString const &what)
{
    return QCoreApplication::translate("translation", "Could not back up %1",
        "error while installing a package; %1 is a file name")
        .arg(what);
}

QByteArray const &runToken()
{
    static QByteArray const token = QUuid::createUuid().toByteArray();
    return token;
}

} // namespace

bool VellUnwindArea::claimForThisRun(QString const &root)
{
    QFile stamp(root + QLatin1String("/run"));
    if (stamp.open(QIODevice::ReadOnly) && stamp.readAll() == runToken()) {
        return true;
    }
    stamp.close();
    QFileInfo const info(root);
    if (info.isSymLink() || info.isFile()) {
        QFile::remove(root);
    } else if (info.isDir()) {
        QDir(root).removeRecursively();
    }
    return QDir().mkpath(root) && stamp.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && stamp.write(runToken()) == runToken().size() && stamp.flush();
}

VellUnwindArea::VellUnwindArea(QString const &dir)
    : dir(dir)
{ }

VellUnwindArea::State VellUnwindArea::stateOf(QString const &relative) const
{
    if (QFileInfo(savedPath(relative)).isFile()) {
        return State::Saved;
    }
    if (QFileInfo(absentPath(relative)).isFile()) {
        return State::Absent;
    }
    return State::Unknown;
}

QString VellUnwindArea::savedPath(QString const &relative) const
{
    return dir + QLatin1String("/saved/") + relative;
}

QString VellUnwindArea::absentPath(QString const &relative) const
{
    return dir + QLatin1String("/absent/") + relative;
}

QString VellUnwindArea::createdDirsPath() const
{
    return dir + QLatin1String("/created-dirs");
}

bool VellUnwindArea::save(QString const &file, QString const &relative, QString &errorText) const
{
    QString const backup = savedPath(relative);
    if (!makeParent(backup) || !VellFileCopy::copy(file, backup)) {
        // A partial copy must not pass for the saved state later.
        QFile::remove(backup);
        errorText = backupError(file);
        return false;
    }
    return true;
}

bool VellUnwindArea::recordAbsent(QString const &relative, QString &errorText) const
{
    QFile marker(absentPath(relative));
    if (!makeParent(marker.fileName()) || !marker.open(QIODevice::WriteOnly)) {
        errorText = backupError(relative);
        return false;
    }
    return true;
}

bool VellUnwindArea::recordCreatedDir(QString const &relative, QString &errorText) const
{
    QFile list(createdDirsPath());
    QByteArray const line = QUrl::toPercentEncoding(relative) + '\n';
    if (!makeParent(list.fileName()) || !list.open(QIODevice::WriteOnly | QIODevice::Append)
        || list.write(line) != line.size() || !list.flush()) {
        errorText = backupError(relative);
        return false;
    }
    return true;
}

QStringList VellUnwindArea::createdDirs() const
{
    QFile list(createdDirsPath());
    QStringList dirs;
    if (list.open(QIODevice::ReadOnly)) {
        for (QByteArray const &line : list.readAll().split('\n')) {
            if (!line.isEmpty()) {
                dirs << QUrl::fromPercentEncoding(line);
            }
        }
    }
    dirs.removeDuplicates();
    // A folder's descendants are longer than the folder itself.
    std::sort(dirs.begin(), dirs.end(),
        [](QString const &a, QString const &b) { return a.size() > b.size(); });
    return dirs;
}
