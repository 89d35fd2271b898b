#ifndef VELLFILESYSTEM_P_H
#define VELLFILESYSTEM_P_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

/// Thin POSIX helpers of the package installer, errors as errno values. Not installed.
namespace VellFileSystem {

/// An open file descriptor, closed with the object.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1)
        : fd(fd)
    { }
    ~FileDescriptor();
    FileDescriptor(FileDescriptor &&other) noexcept
        : fd(other.release())
    { }
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return fd; }
    bool isValid() const { return fd >= 0; }
    int release()
    {
        const int old = fd;
        fd = -1;
        return old;
    }
    /// Closes now; returns the errno of a failed close(), 0 on success.
    int close();

private:
    int fd;
};

QByteArray native(const QString &path);
/// The operating system's text for @p error ("Permission denied").
QString reason(int error);
/// "<text>: <reason>".
QString withReason(const QString &text, int error);

/// lstat(): the name itself, a symbolic link not followed. False when it does not exist.
bool statName(const QString &path, struct stat &info);
/// fstatat() of @p name in @p folder, a symbolic link not followed.
bool statAt(int folder, const QByteArray &name, struct stat &info);
/// The target of the symbolic link @p name in @p folder; empty when it is none.
QByteArray linkTargetAt(int folder, const QByteArray &name);

/// Bytes that an unprivileged writer may still use on the file system of @p path; -1 unknown.
qint64 freeBytes(const QString &path);

/// Writes all of @p size bytes to @p fd, again after an interruption; 0 or the errno.
int writeAll(int fd, const char *data, qint64 size);

/// The permission bits of a QFile::Permissions set.
mode_t modeOf(int qtPermissions);

/**
 * Copies the regular file @p source of @p sourceFolder to @p target of
 * @p targetFolder, which must not exist, keeping its permission bits
 * (set-user-ID and the like included), owner where allowed and times.
 * Neither name is followed if it is a link. Returns 0 or the errno of the
 * failing step; a partial target is removed.
 */
int copyFaithfully(
    int sourceFolder, const QByteArray &source, int targetFolder, const QByteArray &target);

/**
 * Removes everything inside the open folder @p folder, reached from that
 * descriptor alone: a symbolic link inside is removed as a link, never
 * followed. Returns 0 or the errno of the first failure (it goes on past it).
 */
int removeContentsAt(int folder);

/// A name in an open folder, for comparing it with another.
struct NameAt
{
    int folder;
    QByteArray name;
    struct stat info;
};

/**
 * True when @p current and @p saved are the same thing: the same inode, or
 * the same kind with the same permission bits, owner and contents (bytes,
 * times and size for files, the target for symbolic links).
 */
bool sameState(const NameAt &current, const NameAt &saved);

} // namespace VellFileSystem

#endif // VELLFILESYSTEM_P_H
