#include "InstallTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

Tree snapshot(const QString &root)
{
    Tree tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        struct stat status;
        if (::lstat(QFile::encodeName(info.filePath()).constData(), &status) != 0) {
            continue;
        }
        const QByteArray mode = QByteArray::number(int(status.st_mode & 07777), 8);
        QByteArray state;
        if (S_ISLNK(status.st_mode)) {
            char target[4096];
            const ssize_t size
                = ::readlink(QFile::encodeName(info.filePath()).constData(), target, sizeof target);
            state = "link " + QByteArray(target, int(qMax<ssize_t>(size, 0)));
        } else if (S_ISDIR(status.st_mode)) {
            state = "dir " + mode;
        } else {
            QFile file(info.filePath());
            state = "file " + mode + ' ';
            state += file.open(QIODevice::ReadOnly)
                ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex()
                : QByteArray("unreadable");
        }
        tree.insert(base.relativeFilePath(info.filePath()), state);
    }
    return tree;
}

QByteArray treeDifference(const Tree &actual, const Tree &expected)
{
    QStringList names = actual.keys() + expected.keys();
    names.removeDuplicates();
    names.sort();
    QByteArray text;
    for (const QString &name : qAsConst(names)) {
        if (actual.value(name) != expected.value(name)) {
            text += name.toUtf8() + ": " + actual.value(name, "<none>") + " <> "
                + expected.value(name, "<none>") + '\n';
        }
    }
    return text;
}

TestMount TestMount::tmpfs(const QString &path, qint64 bytes)
{
    const QByteArray where = QFile::encodeName(path);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    const bool ok = ::mount("tmpfs", where.constData(), "tmpfs", 0, options.constData()) == 0;
    return TestMount(ok ? where : QByteArray());
}

TestMount TestMount::readOnly(const QString &path)
{
    const QByteArray where = QFile::encodeName(path);
    if (::mount(where.constData(), where.constData(), nullptr, MS_BIND, nullptr) != 0) {
        return TestMount(QByteArray());
    }
    if (::mount(nullptr, where.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr)
        != 0) {
        ::umount2(where.constData(), MNT_DETACH);
        return TestMount(QByteArray());
    }
    return TestMount(where);
}

TestMount::TestMount(TestMount &&other) noexcept
    : where(other.where)
{
    other.where.clear();
}

TestMount::~TestMount()
{
    if (!where.isEmpty()) {
        ::umount2(where.constData(), MNT_DETACH);
    }
}
