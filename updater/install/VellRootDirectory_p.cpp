#include "VellRootDirectory_p.h"

#include "VellText.h"

#include <QDir>
#include <QList>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <deque>
#include <vector>

using namespace VellFileSystem;

namespace {

constexpr int folderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
/// As the kernel counts: more links than this on one path is a loop.
constexpr int maxLinks = 40;

std::atomic<bool> walkForced {false};
/// Cleared for good once the kernel (or a seccomp filter) turns openat2 down.
std::atomic<bool> kernelResolves {true};

bool sameObject(const struct stat &info, const std::pair<dev_t, ino_t> &identity)
{
    return info.st_dev == identity.first && info.st_ino == identity.second;
}

} // namespace

void VellRootDirectory::forceWalk(bool forced)
{
    walkForced = forced;
}

VellRootDirectory::VellRootDirectory(const QString &path)
    : rootPath(QDir::cleanPath(path))
    , root(::open(native(path).constData(), folderFlags))
    , rootError(root.isValid() ? 0 : errno)
{ }

QString VellRootDirectory::pathOf(const QString &relative) const
{
    return relative.isEmpty() ? rootPath : rootPath + QLatin1Char('/') + relative;
}

void VellRootDirectory::fence(int folder)
{
    struct stat info;
    if (::fstat(folder, &info) == 0) {
        fences.append({info.st_dev, info.st_ino});
    }
}

bool VellRootDirectory::isFenced(int folder) const
{
    if (fences.isEmpty()) {
        return false;
    }
    // A fenced folder's own folders are fenced as well: saved/ holds empty
    // folders (the backups of folders), one level deep, nothing below them.
    struct stat info;
    struct stat parent;
    if (::fstat(folder, &info) != 0 || ::fstatat(folder, "..", &parent, 0) != 0) {
        return true; // what cannot be told apart is not written to
    }
    for (const auto &identity : fences) {
        if (sameObject(info, identity) || sameObject(parent, identity)) {
            return true;
        }
    }
    return false;
}

FileDescriptor VellRootDirectory::openFolder(const QString &relative, int &error) const
{
    if (!root.isValid()) {
        error = rootError;
        return FileDescriptor();
    }
    const QByteArray path = relative.isEmpty() ? QByteArray(".") : native(relative);
    FileDescriptor folder;
    if (kernelResolves && !walkForced) {
        folder = resolveInKernel(path, error);
    }
    if (!folder.isValid() && (walkForced || !kernelResolves)) {
        folder = walk(path, error);
    }
    if (folder.isValid() && isFenced(folder.get())) {
        error = LeadsOut;
        return FileDescriptor();
    }
    if (folder.isValid()) {
        error = 0; // the walk may have met a link on the way
    }
    return folder;
}

FileDescriptor VellRootDirectory::resolveInKernel(const QByteArray &path, int &error) const
{
    struct open_how how
    { };
    how.flags = folderFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const long fd = ::syscall(SYS_openat2, root.get(), path.constData(), &how, sizeof how);
        if (fd >= 0) {
            return FileDescriptor(int(fd));
        }
        error = errno;
        // EAGAIN: a rename or mount raced the resolution, which the kernel
        // would not vouch for; it is asked again.
        if (error != EAGAIN && error != EINTR) {
            break;
        }
    }
    // Too old a kernel (ENOSYS), a filter that forbids the call (EPERM), or
    // flags it does not know (EINVAL, E2BIG): the walk takes over for good.
    if (error == ENOSYS || error == EPERM || error == EINVAL || error == E2BIG) {
        kernelResolves = false;
    }
    return FileDescriptor();
}

FileDescriptor VellRootDirectory::walk(const QByteArray &path, int &error) const
{
    // The folders opened so far, each a real child of the one before: ".."
    // goes back one of them, never above the first.
    std::vector<FileDescriptor> opened;
    std::deque<QByteArray> pending;
    for (const QByteArray &component : path.split('/')) {
        pending.push_back(component);
    }
    int links = 0;
    while (!pending.empty()) {
        const QByteArray component = pending.front();
        pending.pop_front();
        if (component.isEmpty() || component == ".") {
            continue;
        }
        if (component == "..") {
            if (opened.empty()) {
                error = LeadsOut;
                return FileDescriptor();
            }
            opened.pop_back();
            continue;
        }
        const int current = opened.empty() ? root.get() : opened.back().get();
        FileDescriptor next(::openat(current, component.constData(), folderFlags | O_NOFOLLOW));
        if (next.isValid()) {
            opened.push_back(std::move(next));
            continue;
        }
        // A link refuses O_DIRECTORY with O_NOFOLLOW: it is read and followed here.
        error = errno;
        struct stat info;
        if ((error != ENOTDIR && error != ELOOP)
            || ::fstatat(current, component.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISLNK(info.st_mode)) {
            return FileDescriptor();
        }
        std::array<char, 4096> buffer;
        const ssize_t size
            = ::readlinkat(current, component.constData(), buffer.data(), buffer.size());
        if (size < 0 || size_t(size) >= buffer.size()) {
            error = size < 0 ? errno : ENAMETOOLONG;
            return FileDescriptor();
        }
        if (++links > maxLinks) {
            error = ELOOP;
            return FileDescriptor();
        }
        const QByteArray target(buffer.data(), int(size));
        if (target.startsWith('/')) {
            error = LeadsOut;
            return FileDescriptor();
        }
        // The link's own components come next, in place of its name.
        const QList<QByteArray> inner = target.split('/');
        for (auto it = inner.rbegin(); it != inner.rend(); ++it) {
            pending.push_front(*it);
        }
    }
    if (opened.empty()) {
        FileDescriptor self(::openat(root.get(), ".", folderFlags));
        error = self.isValid() ? 0 : errno;
        return self;
    }
    return std::move(opened.back());
}

bool VellRootDirectory::entry(const QString &relative, Entry &found, int &error) const
{
    const int slash = relative.lastIndexOf(QLatin1Char('/'));
    found.folder = openFolder(slash < 0 ? QString() : relative.left(slash), error);
    found.name = native(relative.mid(slash + 1));
    return found.folder.isValid();
}

bool VellRootDirectory::makeFolders(const QString &relative, QSet<QString> &known,
    const std::function<void(const QString &made)> &made, QString &failed, int &error) const
{
    QStringList folders;
    for (int slash = relative.indexOf(QLatin1Char('/')); slash > 0;
         slash = relative.indexOf(QLatin1Char('/'), slash + 1)) {
        folders << relative.left(slash);
    }
    folders << relative;
    for (const QString &folder : qAsConst(folders)) {
        if (folder.isEmpty() || known.contains(folder)) {
            continue;
        }
        Entry place;
        if (entry(folder, place, error)) {
            if (::mkdirat(place.folder.get(), place.name.constData(), 0777) == 0) {
                made(folder);
                known.insert(folder);
                continue;
            }
            error = errno;
            // Something is there already: fine when it is a folder beneath the root.
            if (error == EEXIST) {
                error = 0;
                if (!openFolder(folder, error).isValid()) {
                    error = error == ENOTDIR || error == ENOENT ? ENOTDIR : error;
                }
            }
        }
        if (error != 0) {
            failed = pathOf(folder);
            return false;
        }
        known.insert(folder);
    }
    return true;
}

QString VellRootDirectory::reason(int error) const
{
    if (error == LeadsOut) {
        return VellText::tr(
            "a symbolic link on the way leads out of %1", "error while installing a package")
            .arg(rootPath);
    }
    return VellFileSystem::reason(error);
}

QString VellRootDirectory::withReason(const QString &text, int error) const
{
    return text + QLatin1String(": ") + reason(error);
}
