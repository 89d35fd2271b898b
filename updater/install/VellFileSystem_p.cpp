#include "VellFileSystem_p.h"

#include "VellInstallHeartbeat.h"

#include <QFile>
#include <QFileDevice>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace VellFileSystem {

FileDescriptor::~FileDescriptor()
{
    close();
}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept
{
    if (this != &other) {
        close();
        fd = other.release();
    }
    return *this;
}

int FileDescriptor::close()
{
    if (fd < 0) {
        return 0;
    }
    const int result = ::close(fd);
    fd = -1;
    return result == 0 ? 0 : errno;
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString withReason(const QString &text, int error)
{
    return text + QLatin1String(": ") + reason(error);
}

bool statName(const QString &path, struct stat &info)
{
    return ::lstat(native(path).constData(), &info) == 0;
}

bool nameExists(const QString &path)
{
    struct stat info;
    return statName(path, info);
}

qint64 freeBytes(const QString &path)
{
    struct statvfs info;
    if (::statvfs(native(path).constData(), &info) != 0) {
        return -1;
    }
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

mode_t modeOf(int qtPermissions)
{
    mode_t mode = 0;
    const std::array<std::pair<int, mode_t>, 9> bits {{{QFileDevice::ReadOwner, S_IRUSR},
        {QFileDevice::WriteOwner, S_IWUSR}, {QFileDevice::ExeOwner, S_IXUSR},
        {QFileDevice::ReadGroup, S_IRGRP}, {QFileDevice::WriteGroup, S_IWGRP},
        {QFileDevice::ExeGroup, S_IXGRP}, {QFileDevice::ReadOther, S_IROTH},
        {QFileDevice::WriteOther, S_IWOTH}, {QFileDevice::ExeOther, S_IXOTH}}};
    for (const auto &bit : bits) {
        if (qtPermissions & bit.first) {
            mode |= bit.second;
        }
    }
    return mode;
}

namespace {

/// Writes all of @p size bytes; returns 0 or the errno.
int writeAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += written;
        size -= written;
    }
    return 0;
}

int copyBytes(int in, int out)
{
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t read = ::read(in, buffer.data(), buffer.size());
        if (read < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (read == 0) {
            return 0;
        }
        if (const int error = writeAll(out, buffer.data(), read)) {
            return error;
        }
        VellInstallHeartbeat::beat();
    }
}

bool sameBytes(const QString &a, const QString &b)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly)) {
        return false;
    }
    std::array<char, 64 * 1024> one;
    std::array<char, 64 * 1024> two;
    for (;;) {
        const qint64 left = first.read(one.data(), qint64(one.size()));
        const qint64 right = second.read(two.data(), qint64(two.size()));
        if (left != right || left < 0) {
            return false;
        }
        if (left == 0) {
            return true;
        }
        if (std::memcmp(one.data(), two.data(), size_t(left)) != 0) {
            return false;
        }
    }
}

QByteArray linkTarget(const QString &path)
{
    std::array<char, 4096> buffer;
    const ssize_t size = ::readlink(native(path).constData(), buffer.data(), buffer.size());
    return size < 0 ? QByteArray() : QByteArray(buffer.data(), int(size));
}

} // namespace

int copyFaithfully(const QString &source, const QString &target)
{
    FileDescriptor in(::open(native(source).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info;
    if (!in.isValid() || ::fstat(in.get(), &info) != 0) {
        return errno;
    }
    FileDescriptor out(::open(native(target).constData(),
        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR));
    if (!out.isValid()) {
        return errno;
    }
    int error = copyBytes(in.get(), out.get());
    if (error == 0) {
        // Ownership first: changing it clears set-user-ID bits, which come after.
        if (::fchown(out.get(), info.st_uid, info.st_gid) != 0) {
            errno = 0; // only root may give a file away; the bytes and mode still count
        }
        const struct timespec times[2] = {info.st_atim, info.st_mtim};
        if (::fchmod(out.get(), info.st_mode & 07777) != 0 || ::futimens(out.get(), times) != 0) {
            error = errno;
        }
    }
    if (error == 0) {
        error = out.close();
    }
    if (error != 0) {
        ::unlink(native(target).constData());
    }
    return error;
}

bool sameState(const QString &current, const struct stat &currentInfo, const QString &saved,
    const struct stat &savedInfo)
{
    if (currentInfo.st_dev == savedInfo.st_dev && currentInfo.st_ino == savedInfo.st_ino) {
        return true;
    }
    if ((currentInfo.st_mode & S_IFMT) != (savedInfo.st_mode & S_IFMT)) {
        return false;
    }
    if (S_ISLNK(currentInfo.st_mode)) {
        return linkTarget(current) == linkTarget(saved);
    }
    if ((currentInfo.st_mode & 07777) != (savedInfo.st_mode & 07777)
        || currentInfo.st_uid != savedInfo.st_uid || currentInfo.st_gid != savedInfo.st_gid) {
        return false;
    }
    if (S_ISDIR(currentInfo.st_mode)) {
        return true;
    }
    return S_ISREG(currentInfo.st_mode) && currentInfo.st_size == savedInfo.st_size
        && currentInfo.st_mtim.tv_sec == savedInfo.st_mtim.tv_sec
        && currentInfo.st_mtim.tv_nsec == savedInfo.st_mtim.tv_nsec && sameBytes(current, saved);
}

void SyncBatch::addFolder(const QString &path)
{
    if (!folders.contains(path)) {
        folders << path;
    }
}

bool SyncBatch::run(QString &failedPath, int &error)
{
    std::vector<FileDescriptor> open;
    open.reserve(size_t(files.size()));
    for (const QString &file : qAsConst(files)) {
        FileDescriptor fd(::open(native(file).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd.isValid()) {
            failedPath = file;
            error = errno;
            return false;
        }
        // Starts the writeback of every file before waiting for any.
        ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
        open.push_back(std::move(fd));
    }
    for (int i = 0; i < files.size(); ++i) {
        if (::fsync(open[size_t(i)].get()) != 0) {
            failedPath = files.at(i);
            error = errno;
            return false;
        }
    }
    for (const QString &folder : qAsConst(folders)) {
        FileDescriptor fd(::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd.isValid() && (errno == ENOENT || errno == ENOTDIR)) {
            continue; // removed since: syncing its parent records that
        }
        if (!fd.isValid() || ::fsync(fd.get()) != 0) {
            failedPath = folder;
            error = errno;
            return false;
        }
    }
    files.clear();
    folders.clear();
    return true;
}

} // namespace VellFileSystem
