#include "VellUnwindArea_p.h"

#include "VellFileCopy_p.h"
#include "VellText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QUuid>

#include <algorithm>

namespace {

bool makeParent(const QString &file)
{
    return QDir().mkpath(QFileInfo(file).absolutePath());
}

QString backupError(const QString &what)
{
    return VellText::tr(
        "Could not back up %1", "error while installing a package; %1 is a file name")
        .arg(what);
}

const QByteArray &runToken()
{
    static const QByteArray token = QUuid::createUuid().toByteArray();
    return token;
}

} // namespace

bool VellUnwindArea::claimForThisRun(const QString &root)
{
    QFile stamp(root + QLatin1String("/run"));
    if (stamp.open(QIODevice::ReadOnly) && stamp.readAll() == runToken()) {
        return true;
    }
    stamp.close();
    const QFileInfo info(root);
    if (info.isSymLink() || info.isFile()) {
        QFile::remove(root);
    } else if (info.isDir()) {
        QDir(root).removeRecursively();
    }
    return QDir().mkpath(root) && stamp.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && stamp.write(runToken()) == runToken().size() && stamp.flush();
}

VellUnwindArea::VellUnwindArea(const QString &dir)
    : dir(dir)
{ }

VellUnwindArea::State VellUnwindArea::stateOf(const QString &relative) const
{
    if (QFileInfo(savedPath(relative)).isFile()) {
        return State::Saved;
    }
    if (QFileInfo(absentPath(relative)).isFile()) {
        return State::Absent;
    }
    return State::Unknown;
}

QString VellUnwindArea::savedPath(const QString &relative) const
{
    return dir + QLatin1String("/saved/") + relative;
}

QString VellUnwindArea::absentPath(const QString &relative) const
{
    return dir + QLatin1String("/absent/") + relative;
}

QString VellUnwindArea::createdDirsPath() const
{
    return dir + QLatin1String("/created-dirs");
}

bool VellUnwindArea::save(const QString &file, const QString &relative, QString &errorText) const
{
    const QString backup = savedPath(relative);
    if (!makeParent(backup) || !VellFileCopy::copy(file, backup)) {
        // A partial copy must not pass for the saved state later.
        QFile::remove(backup);
        errorText = backupError(file);
        return false;
    }
    return true;
}

bool VellUnwindArea::recordAbsent(const QString &relative, QString &errorText) const
{
    QFile marker(absentPath(relative));
    if (!makeParent(marker.fileName()) || !marker.open(QIODevice::WriteOnly)) {
        errorText = backupError(relative);
        return false;
    }
    return true;
}

bool VellUnwindArea::recordCreatedDir(const QString &relative, QString &errorText) const
{
    QFile list(createdDirsPath());
    const QByteArray line = QUrl::toPercentEncoding(relative) + '\n';
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
        for (const QByteArray &line : list.readAll().split('\n')) {
            if (!line.isEmpty()) {
                dirs << QUrl::fromPercentEncoding(line);
            }
        }
    }
    dirs.removeDuplicates();
    // A folder's descendants are longer than the folder itself.
    std::sort(dirs.begin(), dirs.end(),
        [](const QString &a, const QString &b) { return a.size() > b.size(); });
    return dirs;
}
