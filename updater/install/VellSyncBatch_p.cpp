#include "VellSyncBatch_p.h"

#include "VellFileSystem_p.h"
#include "VellRootDirectory_p.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

using VellFileSystem::FileDescriptor;

namespace {

/**
 * fsync() on every descriptor, several at once, and the errno of the first
 * that failed in @p error. fsyncs that wait together share one commit of the
 * file system's journal and one flush of the disk's cache; one after the
 * other, each would pay a flush of its own (a thousand small files took
 * seconds rather than a few hundredths on a busy disk).
 */
int syncTogether(const std::vector<std::pair<QString, FileDescriptor>> &open, int &error)
{
    constexpr size_t workers = 8;
    std::atomic<size_t> next {0};
    std::mutex firstFailure;
    int failed = -1;
    error = 0;
    const auto work = [&] {
        for (size_t i = next++; i < open.size(); i = next++) {
            if (::fsync(open[i].second.get()) != 0) {
                const int reason = errno;
                const std::lock_guard<std::mutex> lock(firstFailure);
                if (failed < 0 || int(i) < failed) {
                    failed = int(i);
                    error = reason;
                }
            }
        }
    };
    // The one place a deliverable starts threads. It may: they only call
    // fsync() on descriptors opened before they start, touch no Qt object
    // (the paths stay with the caller), and are joined before this function
    // returns, so install() never leaves one running. One file needs none:
    // the loop starts no helper and this thread syncs it alone.
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < std::min(workers, open.size()); ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error &) {
            break; // no more threads to be had: this one does the rest
        }
    }
    work();
    for (std::thread &helper : helpers) {
        helper.join();
    }
    return failed;
}

bool isGone(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

} // namespace

void VellSyncBatch::addFile(const QString &relative)
{
    files.append({-1, QByteArray(), relative});
}

void VellSyncBatch::addFolder(const QString &relative)
{
    const bool known = std::any_of(folders.begin(), folders.end(),
        [&](const Item &item) { return item.folder < 0 && item.relative == relative; });
    if (!known) {
        folders.append({-1, QByteArray(), relative});
    }
}

void VellSyncBatch::addFileIn(int folder, const QByteArray &name, const QString &path)
{
    files.append({folder, name, path});
}

void VellSyncBatch::addOpenFolder(int folder, const QString &path)
{
    const bool known = std::any_of(folders.begin(), folders.end(),
        [&](const Item &item) { return item.folder == folder && item.name.isEmpty(); });
    if (!known) {
        folders.append({folder, QByteArray(), path});
    }
}

int VellSyncBatch::open(const VellRootDirectory &root, const Item &item, bool isFolder, int &error)
{
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | (isFolder ? O_DIRECTORY : 0);
    FileDescriptor parent;
    int base = item.folder;
    QByteArray name = item.name.isEmpty() ? QByteArray(".") : item.name;
    if (base < 0 && isFolder) {
        // The resolved folder is an O_PATH descriptor; its "." opens the folder itself.
        parent = root.openFolder(item.relative, error);
        base = parent.get();
    } else if (base < 0) {
        VellRootDirectory::Entry place;
        root.entry(item.relative, place, error);
        parent = std::move(place.folder);
        name = place.name;
        base = parent.get();
    }
    if (base < 0) {
        return -1;
    }
    const int fd = ::openat(base, name.constData(), flags);
    error = fd < 0 ? errno : 0;
    return fd;
}

bool VellSyncBatch::run(const VellRootDirectory &root, QString &failedPath, int &error)
{
    // Files go in groups, so that a large batch stays well below the limit of
    // open descriptors; folders after the files they hold.
    rlimit limit {};
    const int group = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 1024
        ? qMax(8, int(limit.rlim_cur / 4))
        : 256;
    struct Pass
    {
        QVector<Item> items;
        bool folders;
    };
    QVector<Pass> passes;
    for (int first = 0; first < files.size(); first += group) {
        passes.append({files.mid(first, group), false});
    }
    for (int first = 0; first < folders.size(); first += group) {
        passes.append({folders.mid(first, group), true});
    }
    for (const Pass &pass : qAsConst(passes)) {
        std::vector<std::pair<QString, FileDescriptor>> open;
        for (const Item &item : pass.items) {
            const QString path = item.folder < 0 ? root.pathOf(item.relative) : item.relative;
            FileDescriptor fd(this->open(root, item, pass.folders, error));
            if (!fd.isValid() && isGone(error)) {
                continue; // removed since: syncing its folder records that
            }
            if (!fd.isValid()) {
                failedPath = path;
                return false;
            }
            if (!pass.folders) {
                // Starts the writeback of every file before waiting for any.
                ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
            }
            open.emplace_back(path, std::move(fd));
        }
        const int failed = syncTogether(open, error);
        if (failed >= 0) {
            failedPath = open[size_t(failed)].first;
            return false;
        }
    }
    files.clear();
    folders.clear();
    return true;
}
