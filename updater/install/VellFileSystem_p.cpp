#include "VellFileSystem_p.h"

#include "VellInstallHeartbeat.h"
#include "VellSystemError.h"

#include <QFile>
#include <QFileDevice>
#include <QVector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

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
    return VellSystemError::text(error);
}

QString withReason(const QString &text, int error)
{
    return text + QLatin1String(": ") + reason(error);
}

bool statName(const QString &path, struct stat &info)
{
    return ::lstat(native(path).constData(), &info) == 0;
}

bool statAt(int folder, const QByteArray &name, struct stat &info)
{
    return ::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

QByteArray linkTargetAt(int folder, const QByteArray &name)
{
    std::array<char, 4096> buffer;
    const ssize_t size = ::readlinkat(folder, name.constData(), buffer.data(), buffer.size());
    return size < 0 ? QByteArray() : QByteArray(buffer.data(), int(size));
}

qint64 freeBytes(const QString &path)
{
    struct statvfs info;
    if (::statvfs(native(path).constData(), &info) != 0) {
        return -1;
    }
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

int writeAll(int fd, const char *data, qint64 size)
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

bool sameBytes(const NameAt &a, const NameAt &b)
{
    const FileDescriptor first(
        ::openat(a.folder, a.name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    const FileDescriptor second(
        ::openat(b.folder, b.name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!first.isValid() || !second.isValid()) {
        return false;
    }
    std::array<char, 64 * 1024> one;
    std::array<char, 64 * 1024> two;
    for (;;) {
        const ssize_t left = ::read(first.get(), one.data(), one.size());
        if (left < 0) {
            return false;
        }
        // Regular files give what they hold in full until the end.
        size_t right = 0;
        while (right < size_t(left)) {
            const ssize_t more = ::read(second.get(), two.data() + right, size_t(left) - right);
            if (more <= 0) {
                return false;
            }
            right += size_t(more);
        }
        if (left == 0) {
            char extra;
            return ::read(second.get(), &extra, 1) == 0;
        }
        if (std::memcmp(one.data(), two.data(), size_t(left)) != 0) {
            return false;
        }
    }
}

} // namespace

int copyFaithfully(
    int sourceFolder, const QByteArray &source, int targetFolder, const QByteArray &target)
{
    FileDescriptor in(
        ::openat(sourceFolder, source.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info;
    if (!in.isValid() || ::fstat(in.get(), &info) != 0) {
        return errno;
    }
    FileDescriptor out(::openat(targetFolder, target.constData(),
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
        ::unlinkat(targetFolder, target.constData(), 0);
    }
    return error;
}

int removeContentsAt(int folder)
{
    // The listing gets its own descriptor, which closedir() closes.
    FileDescriptor own(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR *listing = own.isValid() ? ::fdopendir(own.get()) : nullptr;
    if (!listing) {
        return errno;
    }
    own.release();
    QVector<QByteArray> names;
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") {
            names << name;
        }
    }
    ::closedir(listing);
    int firstError = 0;
    for (const QByteArray &name : qAsConst(names)) {
        int error = 0;
        const FileDescriptor inner(
            ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (inner.isValid()) {
            error = removeContentsAt(inner.get());
            if (error == 0 && ::unlinkat(folder, name.constData(), AT_REMOVEDIR) != 0) {
                error = errno;
            }
        } else if (::unlinkat(folder, name.constData(), 0) != 0 && errno != ENOENT) {
            error = errno; // a link or a file: the name itself goes
        }
        firstError = firstError != 0 ? firstError : error;
    }
    return firstError;
}

bool sameState(const NameAt &current, const NameAt &saved)
{
    const struct stat &now = current.info;
    const struct stat &then = saved.info;
    if (now.st_dev == then.st_dev && now.st_ino == then.st_ino) {
        return true;
    }
    if ((now.st_mode & S_IFMT) != (then.st_mode & S_IFMT)) {
        return false;
    }
    if (S_ISLNK(now.st_mode)) {
        return linkTargetAt(current.folder, current.name) == linkTargetAt(saved.folder, saved.name);
    }
    if ((now.st_mode & 07777) != (then.st_mode & 07777) || now.st_uid != then.st_uid
        || now.st_gid != then.st_gid) {
        return false;
    }
    if (S_ISDIR(now.st_mode)) {
        return true;
    }
    return S_ISREG(now.st_mode) && now.st_size == then.st_size
        && now.st_mtim.tv_sec == then.st_mtim.tv_sec && now.st_mtim.tv_nsec == then.st_mtim.tv_nsec
        && sameBytes(current, saved);
}

} // namespace VellFileSystem
