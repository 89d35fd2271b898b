#include "VellUnwindJournal_p.h"

#include "VellInstallSteps_p.h"
#include "VellText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

using namespace VellFileSystem;

namespace {

QByteArray encoded(const QString &relative)
{
    return QUrl::toPercentEncoding(QString::fromLatin1(native(relative)));
}

/**
 * Why the field @p field of a journal is not a name this run could have
 * written: a clean path relative to the installation, outside the unwind
 * area. Empty when it is one. The field is decoded once, as it was encoded;
 * what comes out is a name, never decoded again.
 */
QString nameFault(const QByteArray &field, QString &relative)
{
    const QByteArray raw = QByteArray::fromPercentEncoding(field);
    relative = QFile::decodeName(raw);
    if (raw.isEmpty()) {
        return VellText::tr(
            "an empty name", "why the journal of an interrupted update is not used");
    }
    if (raw.contains('\0') || raw.contains('\\')) {
        return VellText::tr("a name with a NUL or backslash character",
            "why the journal of an interrupted update is not used");
    }
    if (raw.startsWith('/')) {
        return VellText::tr(
            "an absolute name", "why the journal of an interrupted update is not used");
    }
    const QList<QByteArray> components = raw.split('/');
    for (const QByteArray &component : components) {
        if (component.isEmpty() || component == "." || component == "..") {
            return VellText::tr("a name with an empty, \".\" or \"..\" component",
                "why the journal of an interrupted update is not used");
        }
    }
    if (components.first() == native(VellUnwindJournal::folderName())) {
        return VellText::tr("a name inside the journal's own folder",
            "why the journal of an interrupted update is not used");
    }
    return QString();
}

/// A backup is saved/<n>: a plain decimal number, nothing else.
bool isBackupNumber(const QByteArray &field)
{
    return !field.isEmpty() && field.size() <= 9
        && std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/**
 * Why @p name inside @p parent (a descriptor of a folder already checked) is
 * not a folder of this user's own, mode 0700, reached without a link. Empty
 * when it is one, or when it does not exist and @p mayBeMissing.
 */
QString areaFault(int parent, const char *name, bool mayBeMissing, FileDescriptor &opened)
{
    opened
        = FileDescriptor(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info;
    if (!opened.isValid()) {
        const int error = errno;
        if (error == ENOENT && mayBeMissing) {
            return QString();
        }
        if ((error == ELOOP || error == ENOTDIR)
            && ::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
            return VellText::tr(
                "it is a symbolic link", "why the journal of an interrupted update is not used");
        }
        return withReason(VellText::tr("it is not a folder that can be opened",
                              "why the journal of an interrupted update is not used"),
            error);
    }
    if (::fstat(opened.get(), &info) != 0) {
        return withReason(VellText::tr("it cannot be examined",
                              "why the journal of an interrupted update is not used"),
            errno);
    }
    if (info.st_uid != ::geteuid()) {
        return VellText::tr(
            "it belongs to another user", "why the journal of an interrupted update is not used");
    }
    if ((info.st_mode & 07777) != S_IRWXU) {
        return VellText::tr("others may change it (its mode is not 0700)",
            "why the journal of an interrupted update is not used");
    }
    return QString();
}

QByteArray bootId()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("unknown");
}

/// fsync() of the open folder @p folder (an O_PATH descriptor will do); 0 or the errno.
int syncFolder(int folder)
{
    const FileDescriptor fd(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.isValid() && ::fsync(fd.get()) == 0 ? 0 : errno;
}

/// Removes the folder @p name of @p parent with all it holds, no link followed; gone is fine.
int removeFolderAt(int parent, const char *name)
{
    const FileDescriptor folder(
        ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.isValid()) {
        return errno == ENOENT ? 0 : errno;
    }
    const int error = removeContentsAt(folder.get());
    return error != 0 || ::unlinkat(parent, name, AT_REMOVEDIR) == 0 ? error : errno;
}

QString folderOf(const QString &relative)
{
    const int slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relative.left(slash);
}

/// Gives the folder @p name in @p parent the owner and mode of @p saved; 0 or the errno.
int takeOverFolder(int parent, const QByteArray &name, const struct stat &saved)
{
    // Through a descriptor of the folder itself: a link put in its place is not followed.
    const FileDescriptor folder(
        ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.isValid()) {
        return errno;
    }
    if (::fchown(folder.get(), saved.st_uid, saved.st_gid) != 0) {
        errno = 0; // only root may give a folder away; its mode still counts
    }
    return ::fchmod(folder.get(), saved.st_mode & 07777) == 0 ? 0 : errno;
}

/**
 * Puts the saved state @p backup of @p savedFolder back at @p relative
 * below @p root; 0 or the errno (VellRootDirectory::LeadsOut when a link
 * on the way leads out).
 */
int restoreSaved(const VellRootDirectory &root, const QString &relative, int savedFolder,
    const QByteArray &backup, VellSyncBatch &folders)
{
    NameAt saved {savedFolder, backup, {}};
    if (!statAt(savedFolder, backup, saved.info)) {
        return errno;
    }
    VellRootDirectory::Entry place;
    int error = 0;
    if (!root.entry(relative, place, error)) {
        QSet<QString> known;
        QString failed;
        if ((error != ENOENT && error != ENOTDIR)
            || !root.makeFolders(
                folderOf(relative), known, [](const QString &) {}, failed, error)
            || !root.entry(relative, place, error)) {
            return error;
        }
    }
    folders.addFolder(folderOf(relative));
    NameAt current {place.folder.get(), place.name, {}};
    const bool exists = statAt(current.folder, current.name, current.info);
    if (exists && sameState(current, saved)) {
        return 0; // never changed: left alone
    }
    const int parent = place.folder.get();
    const bool isFolder = exists && S_ISDIR(current.info.st_mode);
    if (S_ISDIR(saved.info.st_mode)) {
        if (exists && !isFolder && ::unlinkat(parent, place.name.constData(), 0) != 0) {
            return errno;
        }
        if (!isFolder
            && ::mkdirat(parent, place.name.constData(), saved.info.st_mode & 07777) != 0) {
            return errno;
        }
        return takeOverFolder(parent, place.name, saved.info);
    }
    // The saved state comes in under a temporary name beside the target and
    // replaces it in one rename: the target is never missing.
    const QByteArray temporary = ".vell-unwind-restore." + place.name;
    ::unlinkat(parent, temporary.constData(), 0); // left by an interrupted earlier attempt
    if (S_ISLNK(saved.info.st_mode)) {
        if (::symlinkat(
                linkTargetAt(savedFolder, backup).constData(), parent, temporary.constData())
            != 0) {
            return errno;
        }
        ::fchownat(parent, temporary.constData(), saved.info.st_uid, saved.info.st_gid,
            AT_SYMLINK_NOFOLLOW);
    } else if (::linkat(savedFolder, backup.constData(), parent, temporary.constData(), 0) != 0) {
        error = copyFaithfully(savedFolder, backup, parent, temporary);
        if (error == 0) {
            VellSyncBatch copy;
            QString failed;
            copy.addFileIn(parent, temporary,
                root.pathOf(folderOf(relative)) + QLatin1Char('/') + QFile::decodeName(temporary));
            copy.run(root, failed, error);
        }
    }
    if (error == 0 && isFolder && ::unlinkat(parent, place.name.constData(), AT_REMOVEDIR) != 0) {
        error = errno;
    }
    if (error == 0
        && ::renameat(parent, temporary.constData(), parent, place.name.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlinkat(parent, temporary.constData(), 0);
    }
    return error;
}

} // namespace

QString VellUnwindJournal::invalidJournal(const QString &folder, const QString &reason)
{
    return VellText::tr("The journal in %1 is invalid and was left untouched: %2",
        "why the journal of an interrupted update is not used")
        .arg(QDir::cleanPath(folder), reason);
}

QString VellUnwindJournal::folderName()
{
    return QStringLiteral(".vell-unwind");
}

std::shared_ptr<VellUnwindJournal> VellUnwindJournal::forRun(const QString &installDir)
{
    static QHash<QString, std::weak_ptr<VellUnwindJournal>> runs;
    const QString key = QDir::cleanPath(QFileInfo(installDir).absoluteFilePath());
    std::shared_ptr<VellUnwindJournal> journal = runs.value(key).lock();
    if (!journal || journal->hasEnded()) {
        journal = std::make_shared<VellUnwindJournal>(key);
        runs.insert(key, journal);
    }
    return journal;
}

VellUnwindJournal::VellUnwindJournal(const QString &installDir)
    : installDir(installDir)
    , unwindFolder(installDir + QLatin1Char('/') + folderName())
    , root(installDir)
{ }

// Without finish() or unwind() the records stay on disk: the next start
// rolls the run back.
VellUnwindJournal::~VellUnwindJournal() = default;

bool VellUnwindJournal::lock(int area, FileDescriptor &fd, int &error)
{
    fd = FileDescriptor(
        ::openat(area, "lock", O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR));
    if (!fd.isValid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        fd.close();
        return false;
    }
    return true;
}

bool VellUnwindJournal::open(QString &errorText)
{
    if (state == State::Open) {
        return true;
    }
    if (state == State::Unfinished) {
        errorText = finishError;
        return false;
    }
    const auto unprepared = [&](int error) {
        errorText = withReason(VellText::tr("Could not prepare the backup folder %1",
                                   "error while installing a package")
                                   .arg(unwindFolder),
            error);
        lockFile.close();
        return false;
    };
    // The installation folder itself may be made through links (an /opt/vell
    // that is one); everything below it is reached from its descriptor.
    if (!QDir().mkpath(installDir)) {
        return unprepared(errno ? errno : EIO);
    }
    root = VellRootDirectory(installDir);
    const QByteArray areaName = native(folderName());
    if (!root.isOpen()
        || (::mkdirat(root.fd(), areaName.constData(), S_IRWXU) != 0 && errno != EEXIST)) {
        return unprepared(root.isOpen() ? errno : root.openError());
    }
    Area area;
    if (!checkArea(root, area, &errorText)) {
        return false;
    }
    int error = 0;
    if (!lock(area.area.get(), lockFile, error)) {
        errorText = error == EWOULDBLOCK
            ? VellText::tr("Another update is already running.", "error while installing a package")
            : withReason(VellText::tr("Could not prepare the backup folder %1",
                             "error while installing a package")
                             .arg(unwindFolder),
                error);
        return false;
    }
    // Records of a run whose process died: that run is undone before this one starts.
    bool done = false;
    QVector<Record> stale;
    QString invalid;
    if (!readRecords(area.area.get(), unwindFolder, stale, done, &invalid)) {
        errorText = invalidJournal(unwindFolder, invalid);
        lockFile.close();
        return false;
    }
    QStringList unrestored;
    if (!done && !rollBack(root, area.saved.get(), stale, unrestored)) {
        errorText = VellText::tr("An interrupted earlier update could not be rolled back: %1",
            "error while installing a package")
                        .arg(unrestored.join(QLatin1String(", ")));
        lockFile.close();
        return false;
    }
    // What the earlier run left, removed from the area's descriptor: a link
    // put in the area's place since the check leads nowhere.
    removeFolderAt(area.area.get(), "saved");
    removeFolderAt(area.area.get(), "new");
    const QString journalPath = unwindFolder + QLatin1String("/journal");
    journal = FileDescriptor(::openat(area.area.get(), "journal",
        O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR));
    if (!journal.isValid() || ::mkdirat(area.area.get(), "saved", S_IRWXU) != 0
        || ::mkdirat(area.area.get(), "new", S_IRWXU) != 0) {
        return unprepared(errno);
    }
    saved = FileDescriptor(
        ::openat(area.area.get(), "saved", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    staging = FileDescriptor(
        ::openat(area.area.get(), "new", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!saved.isValid() || !staging.isValid()) {
        return unprepared(errno);
    }
    // No link of the installation may lead a change into the backups.
    for (const FileDescriptor *fenced : {&area.area, &saved, &staging}) {
        root.fence(fenced->get());
    }
    const QByteArray header
        = "run " + QByteArray::number(qint64(::getpid())) + ' ' + bootId() + '\n';
    if (!append(header, errorText)) {
        lockFile.close();
        return false;
    }
    // The folder and the journal's name must survive a power cut as well.
    if ((error = syncFolder(area.area.get())) != 0 || (error = syncFolder(root.fd())) != 0) {
        errorText = withReason(
            VellText::tr("Could not write the journal %1", "error while installing a package")
                .arg(journalPath),
            error);
        lockFile.close();
        return false;
    }
    this->area = std::move(area.area);
    state = State::Open;
    VellInstallSteps::reached("journal opened");
    return true;
}

bool VellUnwindJournal::append(const QByteArray &lines, QString &errorText)
{
    const QString journalPath = unwindFolder + QLatin1String("/journal");
    int error = writeAll(journal.get(), lines.constData(), lines.size());
    if (error == 0 && ::fdatasync(journal.get()) != 0) {
        error = errno;
    }
    if (error != 0) {
        errorText = withReason(
            VellText::tr("Could not write the journal %1", "error while installing a package")
                .arg(journalPath),
            error);
        return false;
    }
    return true;
}

bool VellUnwindJournal::keepSaved(const QString &relative, QString &errorText)
{
    const QString target = root.pathOf(relative);
    const QByteArray backupName = QByteArray::number(nextNumber++);
    const int backups = saved.get();
    VellRootDirectory::Entry place;
    struct stat info;
    int error = 0;
    if (!root.entry(relative, place, error) || !statAt(place.folder.get(), place.name, info)) {
        error = error != 0 ? error : errno;
    } else if (S_ISLNK(info.st_mode)) {
        if (::symlinkat(linkTargetAt(place.folder.get(), place.name).constData(), backups,
                backupName.constData())
            != 0) {
            error = errno;
        } else {
            ::fchownat(
                backups, backupName.constData(), info.st_uid, info.st_gid, AT_SYMLINK_NOFOLLOW);
        }
    } else if (S_ISDIR(info.st_mode)) {
        if (::mkdirat(backups, backupName.constData(), S_IRWXU) != 0) {
            error = errno;
        } else {
            error = takeOverFolder(backups, backupName, info);
        }
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
    } else if (::linkat(
                   place.folder.get(), place.name.constData(), backups, backupName.constData(), 0)
        != 0) {
        // Another file system (a mount inside the installation), or links not allowed.
        error = copyFaithfully(place.folder.get(), place.name, backups, backupName);
        if (error == 0) {
            this->backups.addFileIn(backups, backupName,
                unwindFolder + QLatin1String("/saved/") + QString::fromLatin1(backupName));
        }
    }
    if (error != 0) {
        errorText = root.withReason(
            VellText::tr("Could not back up %1", "error while installing a package").arg(target),
            error);
        return false;
    }
    VellInstallSteps::reached("backup made");
    pending.append({Kind::Saved, relative, QString::fromLatin1(backupName)});
    known.insert(relative, FirstState::Saved);
    return true;
}

void VellUnwindJournal::keepAbsent(const QString &relative)
{
    pending.append({Kind::Absent, relative, QString()});
    known.insert(relative, FirstState::Absent);
}

void VellUnwindJournal::keepCreatedFolder(const QString &relative)
{
    pending.append({Kind::CreatedFolder, relative, QString()});
}

void VellUnwindJournal::placed(const QString &relative)
{
    installed.addFile(relative);
    installed.addFolder(folderOf(relative));
}

QByteArray VellUnwindJournal::stagingName()
{
    return QByteArray::number(nextNumber++);
}

QString VellUnwindJournal::stagingPath(const QByteArray &name) const
{
    return unwindFolder + QLatin1String("/new/") + QString::fromLatin1(name);
}

bool VellUnwindJournal::flush(QString &errorText)
{
    // Hard links are entries of saved/: syncing it keeps them; copies need their bytes too.
    backups.addOpenFolder(saved.get(), unwindFolder + QLatin1String("/saved"));
    QString failedPath;
    int error = 0;
    if (!backups.run(root, failedPath, error)) {
        errorText = root.withReason(
            VellText::tr("Could not write %1", "error while installing a package").arg(failedPath),
            error);
        return false;
    }
    VellInstallSteps::reached("backups synced");
    if (pending.isEmpty()) {
        return true;
    }
    QByteArray lines;
    for (const Record &record : qAsConst(pending)) {
        switch (record.kind) {
        case Kind::Saved:
            lines += "saved " + encoded(record.relative) + ' ' + record.backup.toLatin1() + '\n';
            break;
        case Kind::Absent:
            lines += "absent " + encoded(record.relative) + '\n';
            break;
        case Kind::CreatedFolder:
            lines += "dir " + encoded(record.relative) + '\n';
            break;
        }
    }
    if (!append(lines, errorText)) {
        return false;
    }
    VellInstallSteps::reached("journal written");
    records += pending;
    pending.clear();
    return true;
}

bool VellUnwindJournal::readRecords(
    int area, const QString &folder, QVector<Record> &found, bool &done, QString *errorText)
{
    found.clear();
    done = false;
    const auto invalid = [&](const QString &reason) {
        if (errorText) {
            *errorText = reason;
        }
        found.clear();
        return false;
    };
    QFile file(folder + QLatin1String("/journal"));
    FileDescriptor fd(::openat(area, "journal", O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.isValid()) {
        return errno == ENOENT
            ? true
            : invalid(withReason(VellText::tr("the journal cannot be opened",
                                     "why the journal of an interrupted update is not used"),
                errno));
    }
    struct stat info;
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)
        || !file.open(fd.get(), QIODevice::ReadOnly)) {
        return invalid(VellText::tr("the journal is not a regular file",
            "why the journal of an interrupted update is not used"));
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError || content.size() != info.st_size) {
        return invalid(VellText::tr("the journal cannot be read whole",
            "why the journal of an interrupted update is not used"));
    }
    QList<QByteArray> lines = content.split('\n');
    lines.removeLast(); // empty, or a line cut short by a crash: its change never began
    for (int i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split(' ');
        const QByteArray &kind = fields.at(0);
        QString relative;
        QString fault;
        if (i == 0 ? kind != "run" || fields.size() != 3 : kind == "run") {
            fault = VellText::tr("a line it cannot understand",
                "why the journal of an interrupted update is not used");
        } else if (i == 0) {
            continue;
        } else if (kind == "done" && fields.size() == 1) {
            done = true;
        } else if (kind == "saved" && fields.size() == 3) {
            fault = nameFault(fields.at(1), relative);
            if (fault.isEmpty() && !isBackupNumber(fields.at(2))) {
                fault = VellText::tr("a backup that is not a number inside saved/",
                    "why the journal of an interrupted update is not used");
            }
            found.append({Kind::Saved, relative, QString::fromLatin1(fields.at(2))});
        } else if ((kind == "absent" || kind == "dir") && fields.size() == 2) {
            fault = nameFault(fields.at(1), relative);
            found.append({kind == "dir" ? Kind::CreatedFolder : Kind::Absent, relative, QString()});
        } else {
            fault = VellText::tr("a line it cannot understand",
                "why the journal of an interrupted update is not used");
        }
        if (!fault.isEmpty()) {
            return invalid(VellText::tr(
                "line %1 holds %2", "why the journal of an interrupted update is not used")
                               .arg(i + 1)
                               .arg(fault));
        }
    }
    return true;
}

bool VellUnwindJournal::checkArea(const VellRootDirectory &root, Area &opened, QString *errorText)
{
    // The installation folder itself may be reached through links; below
    // it, nothing of the unwind area may be one, nor belong to someone else.
    QString fault;
    QString where = root.pathOf(folderName());
    if (!root.isOpen()) {
        fault = withReason(VellText::tr("it cannot be opened",
                               "why the journal of an interrupted update is not used"),
            root.openError());
    } else {
        fault = areaFault(root.fd(), native(folderName()).constData(), false, opened.area);
    }
    const std::array<std::pair<const char *, FileDescriptor *>, 2> inner {
        {{"saved", &opened.saved}, {"new", &opened.staging}}};
    for (const auto &sub : inner) {
        if (!fault.isEmpty()) {
            break;
        }
        fault = areaFault(opened.area.get(), sub.first, true, *sub.second);
        if (!fault.isEmpty()) {
            where += QLatin1Char('/') + QLatin1String(sub.first);
        }
    }
    if (!fault.isEmpty() && errorText) {
        *errorText = VellText::tr("The backup folder %1 is not used: %2",
            "why the journal of an interrupted update is not used")
                         .arg(where, fault);
    }
    return fault.isEmpty();
}

bool VellUnwindJournal::rollBack(const VellRootDirectory &root, int savedFolder,
    const QVector<Record> &records, QStringList &unrestored)
{
    VellSyncBatch folders;
    // The name of @p record, resolved now; false when there is nothing to
    // undo there (its folder is gone) or, with the reason noted, when it
    // cannot be reached beneath the root.
    const auto reach
        = [&](const Record &record, VellRootDirectory::Entry &place, struct stat &info) {
              int error = 0;
              if (!root.entry(record.relative, place, error)) {
                  if (error != ENOENT && error != ENOTDIR) {
                      unrestored << root.withReason(root.pathOf(record.relative), error);
                  }
                  return false;
              }
              return statAt(place.folder.get(), place.name, info);
          };
    // New names first, then the folders made for them, deepest first, so that
    // a file that a folder replaced can come back.
    for (int i = records.size() - 1; i >= 0; --i) {
        const Record &record = records.at(i);
        VellRootDirectory::Entry place;
        struct stat info;
        if (record.kind != Kind::Absent || !reach(record, place, info) || S_ISDIR(info.st_mode)) {
            continue;
        }
        if (::unlinkat(place.folder.get(), place.name.constData(), 0) != 0 && errno != ENOENT) {
            unrestored << withReason(root.pathOf(record.relative), errno);
        }
        folders.addFolder(folderOf(record.relative));
        VellInstallSteps::reached("new file removed");
    }
    QVector<Record> created;
    std::copy_if(records.begin(), records.end(), std::back_inserter(created),
        [](const Record &record) { return record.kind == Kind::CreatedFolder; });
    std::sort(created.begin(), created.end(), [](const Record &a, const Record &b) {
        return a.relative.count(QLatin1Char('/')) > b.relative.count(QLatin1Char('/'));
    });
    for (const Record &record : qAsConst(created)) {
        VellRootDirectory::Entry place;
        struct stat info;
        // Only once empty: whatever else lies there was not the run's.
        if (reach(record, place, info) && S_ISDIR(info.st_mode)
            && ::unlinkat(place.folder.get(), place.name.constData(), AT_REMOVEDIR) == 0) {
            folders.addFolder(folderOf(record.relative));
            VellInstallSteps::reached("new folder removed");
        }
    }
    for (const Record &record : records) {
        if (record.kind != Kind::Saved) {
            continue;
        }
        const int error
            = restoreSaved(root, record.relative, savedFolder, record.backup.toLatin1(), folders);
        if (error != 0) {
            unrestored << root.withReason(root.pathOf(record.relative), error);
        }
        VellInstallSteps::reached("file restored");
    }
    QString failedPath;
    int error = 0;
    if (!folders.run(root, failedPath, error)) {
        unrestored << root.withReason(failedPath, error);
    }
    return unrestored.isEmpty();
}

void VellUnwindJournal::drop(const VellRootDirectory &root, int area, Durability durability)
{
    // The journal goes first: without it the rest is only leftovers. After a
    // rollback its removal must be durable before the backups go, or a journal
    // that came back after a power cut would name backups that are gone; a
    // journal that ends in "done" asks for nothing and may come back.
    ::unlinkat(area, "journal", 0);
    if (durability == Durability::Synced) {
        syncFolder(area);
    }
    VellInstallSteps::reached("journal removed");
    removeContentsAt(area);
    // The area's name goes only while it is still this folder: whatever was
    // put in its place since is not the run's.
    const QByteArray name = native(folderName());
    struct stat held;
    struct stat named;
    if (::fstat(area, &held) == 0 && statAt(root.fd(), name, named) && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino) {
        ::unlinkat(root.fd(), name.constData(), AT_REMOVEDIR);
    }
    if (durability == Durability::Synced) {
        syncFolder(root.fd());
    }
}

void VellUnwindJournal::end()
{
    state = State::Ended;
    journal.close();
    lockFile.close();
    area.close();
}

bool VellUnwindJournal::unwind(QStringList &unrestored)
{
    if (state != State::Open && state != State::Unfinished) {
        return true;
    }
    if (!rollBack(root, saved.get(), records, unrestored)) {
        end(); // the records stay for the next start
        return false;
    }
    drop(root, area.get(), Durability::Synced);
    end();
    return true;
}

bool VellUnwindJournal::finish(QString &errorText)
{
    if (state == State::Unfinished) {
        errorText = finishError;
        return false;
    }
    if (state != State::Open) {
        return true;
    }
    installed.addFolder(QString()); // the installation directory itself
    QString failedPath;
    int error = 0;
    const bool synced = installed.run(root, failedPath, error);
    if (synced) {
        VellInstallSteps::reached("installation synced");
    } else {
        finishError = root.withReason(
            VellText::tr("Could not write %1", "error while installing a package").arg(failedPath),
            error);
    }
    if (!synced || !append("done\n", finishError)) {
        state = State::Unfinished;
        errorText = finishError;
        return false;
    }
    VellInstallSteps::reached("run done");
    drop(root, area.get(), Durability::Lazy);
    end();
    return true;
}

VellUnwindJournal::Recovery VellUnwindJournal::recover(
    const QString &installDir, QStringList &unrestored)
{
    const QString folder = installDir + QLatin1Char('/') + folderName();
    VellRootDirectory root(installDir);
    struct stat info;
    if ((!root.isOpen() && root.openError() == ENOENT)
        || (root.isOpen() && !statAt(root.fd(), native(folderName()), info) && errno == ENOENT)) {
        return Recovery::Nothing;
    }
    QString fault;
    Area area;
    if (!checkArea(root, area, &fault)) {
        unrestored << fault;
        return Recovery::Failed;
    }
    FileDescriptor held;
    int error = 0;
    if (!lock(area.area.get(), held, error)) {
        if (error == EWOULDBLOCK) {
            return Recovery::Busy;
        }
        unrestored << withReason(folder, error);
        return Recovery::Failed;
    }
    bool done = false;
    QVector<Record> records;
    if (!readRecords(area.area.get(), folder, records, done, &fault)) {
        unrestored << invalidJournal(folder, fault); // kept, untouched, for a person to look at
        return Recovery::Failed;
    }
    for (const FileDescriptor *fenced : {&area.area, &area.saved, &area.staging}) {
        if (fenced->isValid()) {
            root.fence(fenced->get());
        }
    }
    if (!done && !rollBack(root, area.saved.get(), records, unrestored)) {
        return Recovery::Failed;
    }
    drop(root, area.area.get(), done ? Durability::Lazy : Durability::Synced);
    return done || records.isEmpty() ? Recovery::Nothing : Recovery::Restored;
}
