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

QString decoded(const QByteArray &field)
{
    return QFile::decodeName(QByteArray::fromPercentEncoding(field));
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

int syncFolder(const QString &path)
{
    FileDescriptor fd(::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.isValid() && ::fsync(fd.get()) == 0 ? 0 : errno;
}

QString parentOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

QByteArray linkTarget(const QString &path)
{
    std::array<char, 4096> buffer;
    const ssize_t size = ::readlink(native(path).constData(), buffer.data(), buffer.size());
    return size < 0 ? QByteArray() : QByteArray(buffer.data(), int(size));
}

/// Puts the saved state @p backup back at @p target; 0 or the errno.
int restoreSaved(const QString &target, const QString &backup, SyncBatch &folders)
{
    struct stat saved;
    if (!statName(backup, saved)) {
        return errno;
    }
    struct stat current;
    const bool exists = statName(target, current);
    if (exists && sameState(target, current, backup, saved)) {
        return 0; // never changed: left alone
    }
    const QString parent = parentOf(target);
    if (!QDir().mkpath(parent)) {
        return errno ? errno : EIO;
    }
    folders.addFolder(parent);
    const QByteArray nativeTarget = native(target);
    if (S_ISDIR(saved.st_mode)) {
        if (exists && !S_ISDIR(current.st_mode) && ::unlink(nativeTarget.constData()) != 0) {
            return errno;
        }
        if ((!exists || !S_ISDIR(current.st_mode))
            && ::mkdir(nativeTarget.constData(), saved.st_mode & 07777) != 0) {
            return errno;
        }
        ::lchown(nativeTarget.constData(), saved.st_uid, saved.st_gid);
        return ::chmod(nativeTarget.constData(), saved.st_mode & 07777) == 0 ? 0 : errno;
    }
    // The saved state comes in under a temporary name beside the target and
    // replaces it in one rename: the target is never missing.
    const QString temporary
        = parent + QLatin1String("/.vell-unwind-restore.") + QFileInfo(target).fileName();
    const QByteArray nativeTemporary = native(temporary);
    ::unlink(nativeTemporary.constData()); // left by an interrupted earlier attempt
    int error = 0;
    if (S_ISLNK(saved.st_mode)) {
        if (::symlink(linkTarget(backup).constData(), nativeTemporary.constData()) != 0) {
            return errno;
        }
        ::lchown(nativeTemporary.constData(), saved.st_uid, saved.st_gid);
    } else if (::link(native(backup).constData(), nativeTemporary.constData()) != 0) {
        error = copyFaithfully(backup, temporary);
        if (error == 0) {
            SyncBatch copy;
            QString failed;
            copy.addFile(temporary);
            copy.run(failed, error);
        }
    }
    if (error == 0 && exists && S_ISDIR(current.st_mode)
        && ::rmdir(nativeTarget.constData()) != 0) {
        error = errno;
    }
    if (error == 0 && ::rename(nativeTemporary.constData(), nativeTarget.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(nativeTemporary.constData());
    }
    return error;
}

} // namespace

QString VellUnwindJournal::invalidJournal(const QString &folder, const QString &reason)
{
    return VellText::tr("The journal in %1 is invalid and was left untouched: %2",
        "why the journal of an interrupted update is not used")
        .arg(folder, reason);
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
{ }

// Without finish() or unwind() the records stay on disk: the next start
// rolls the run back.
VellUnwindJournal::~VellUnwindJournal() = default;

bool VellUnwindJournal::lock(const QString &folder, FileDescriptor &fd, int &error)
{
    fd = FileDescriptor(::open(native(folder + QLatin1String("/lock")).constData(),
        O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR));
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
    const QByteArray nativeFolder = native(unwindFolder);
    if (!QDir().mkpath(installDir)
        || (::mkdir(nativeFolder.constData(), S_IRWXU) != 0 && errno != EEXIST)) {
        errorText = withReason(VellText::tr("Could not prepare the backup folder %1",
                                   "error while installing a package")
                                   .arg(unwindFolder),
            errno);
        return false;
    }
    if (!checkArea(installDir, &errorText)) {
        return false;
    }
    int error = 0;
    if (!lock(unwindFolder, lockFile, error)) {
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
    if (!readRecords(unwindFolder, stale, done, &invalid)) {
        errorText = invalidJournal(unwindFolder, invalid);
        lockFile.close();
        return false;
    }
    QStringList unrestored;
    if (!done && !rollBack(installDir, unwindFolder, stale, unrestored)) {
        errorText = VellText::tr("An interrupted earlier update could not be rolled back: %1",
            "error while installing a package")
                        .arg(unrestored.join(QLatin1String(", ")));
        lockFile.close();
        return false;
    }
    QDir(unwindFolder + QLatin1String("/saved")).removeRecursively();
    QDir(unwindFolder + QLatin1String("/new")).removeRecursively();
    const QString journalPath = unwindFolder + QLatin1String("/journal");
    journal = FileDescriptor(::open(native(journalPath).constData(),
        O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR));
    if (!journal.isValid() || ::mkdir(native(unwindFolder + "/saved").constData(), S_IRWXU) != 0
        || ::mkdir(native(unwindFolder + "/new").constData(), S_IRWXU) != 0) {
        errorText = withReason(VellText::tr("Could not prepare the backup folder %1",
                                   "error while installing a package")
                                   .arg(unwindFolder),
            errno);
        lockFile.close();
        return false;
    }
    const QByteArray header
        = "run " + QByteArray::number(qint64(::getpid())) + ' ' + bootId() + '\n';
    if (!append(header, errorText)) {
        lockFile.close();
        return false;
    }
    // The folder and the journal's name must survive a power cut as well.
    if ((error = syncFolder(unwindFolder)) != 0 || (error = syncFolder(installDir)) != 0) {
        errorText = withReason(
            VellText::tr("Could not write the journal %1", "error while installing a package")
                .arg(journalPath),
            error);
        lockFile.close();
        return false;
    }
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
    const QString target = installDir + QLatin1Char('/') + relative;
    const QString backupName = QString::number(nextNumber++);
    const QString backup = unwindFolder + QLatin1String("/saved/") + backupName;
    const QByteArray nativeTarget = native(target);
    const QByteArray nativeBackup = native(backup);
    struct stat info;
    int error = 0;
    if (!statName(target, info)) {
        error = errno;
    } else if (S_ISLNK(info.st_mode)) {
        if (::symlink(linkTarget(target).constData(), nativeBackup.constData()) != 0) {
            error = errno;
        } else {
            ::lchown(nativeBackup.constData(), info.st_uid, info.st_gid);
        }
    } else if (S_ISDIR(info.st_mode)) {
        if (::mkdir(nativeBackup.constData(), S_IRWXU) != 0) {
            error = errno;
        } else {
            ::lchown(nativeBackup.constData(), info.st_uid, info.st_gid);
            ::chmod(nativeBackup.constData(), info.st_mode & 07777);
        }
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
    } else if (::link(nativeTarget.constData(), nativeBackup.constData()) != 0) {
        // Another file system (a mount inside the installation), or links not allowed.
        error = copyFaithfully(target, backup);
        if (error == 0) {
            backups.addFile(backup);
        }
    }
    if (error != 0) {
        errorText = withReason(
            VellText::tr("Could not back up %1", "error while installing a package").arg(target),
            error);
        return false;
    }
    VellInstallSteps::reached("backup made");
    pending.append({Kind::Saved, relative, backupName});
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

QString VellUnwindJournal::stagingPath()
{
    return unwindFolder + QLatin1String("/new/") + QString::number(nextNumber++);
}

bool VellUnwindJournal::flush(QString &errorText)
{
    // Hard links are entries of saved/: syncing it keeps them; copies need their bytes too.
    backups.addFolder(unwindFolder + QLatin1String("/saved"));
    QString failedPath;
    int error = 0;
    if (!backups.run(failedPath, error)) {
        errorText = withReason(
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
    const QString &folder, QVector<Record> &found, bool &done, QString *errorText)
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
    FileDescriptor fd(
        ::open(native(file.fileName()).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
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

bool VellUnwindJournal::checkArea(const QString &installDir, QString *errorText)
{
    // The installation folder itself may be reached through links; below
    // it, nothing of the unwind area may be one, nor belong to someone else.
    const FileDescriptor root(
        ::open(native(installDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QString fault;
    QString where = installDir + QLatin1Char('/') + folderName();
    FileDescriptor area;
    if (!root.isValid()) {
        fault = withReason(VellText::tr("it cannot be opened",
                               "why the journal of an interrupted update is not used"),
            errno);
    } else {
        fault = areaFault(root.get(), native(folderName()).constData(), false, area);
    }
    for (const char *inner : {"saved", "new"}) {
        if (!fault.isEmpty()) {
            break;
        }
        FileDescriptor sub;
        fault = areaFault(area.get(), inner, true, sub);
        if (!fault.isEmpty()) {
            where += QLatin1Char('/') + QLatin1String(inner);
        }
    }
    if (!fault.isEmpty() && errorText) {
        *errorText = VellText::tr("The backup folder %1 is not used: %2",
            "why the journal of an interrupted update is not used")
                         .arg(where, fault);
    }
    return fault.isEmpty();
}

bool VellUnwindJournal::rollBack(const QString &installDir, const QString &folder,
    const QVector<Record> &records, QStringList &unrestored)
{
    SyncBatch folders;
    const auto pathOf = [&](const Record &record) -> QString {
        return installDir + QLatin1Char('/') + record.relative;
    };
    // New names first, then the folders made for them, deepest first, so that
    // a file that a folder replaced can come back.
    for (int i = records.size() - 1; i >= 0; --i) {
        const Record &record = records.at(i);
        struct stat info;
        if (record.kind != Kind::Absent || !statName(pathOf(record), info)
            || S_ISDIR(info.st_mode)) {
            continue;
        }
        if (::unlink(native(pathOf(record)).constData()) != 0 && errno != ENOENT) {
            unrestored << withReason(pathOf(record), errno);
        }
        folders.addFolder(parentOf(pathOf(record)));
        VellInstallSteps::reached("new file removed");
    }
    QVector<Record> created;
    std::copy_if(records.begin(), records.end(), std::back_inserter(created),
        [](const Record &record) { return record.kind == Kind::CreatedFolder; });
    std::sort(created.begin(), created.end(), [](const Record &a, const Record &b) {
        return a.relative.count(QLatin1Char('/')) > b.relative.count(QLatin1Char('/'));
    });
    for (const Record &record : qAsConst(created)) {
        struct stat info;
        // Only once empty: whatever else lies there was not the run's.
        if (statName(pathOf(record), info) && S_ISDIR(info.st_mode)
            && ::rmdir(native(pathOf(record)).constData()) == 0) {
            folders.addFolder(parentOf(pathOf(record)));
            VellInstallSteps::reached("new folder removed");
        }
    }
    for (const Record &record : records) {
        if (record.kind != Kind::Saved) {
            continue;
        }
        const int error = restoreSaved(
            pathOf(record), folder + QLatin1String("/saved/") + record.backup, folders);
        if (error != 0) {
            unrestored << withReason(pathOf(record), error);
        }
        VellInstallSteps::reached("file restored");
    }
    QString failedPath;
    int error = 0;
    if (!folders.run(failedPath, error)) {
        unrestored << withReason(failedPath, error);
    }
    return unrestored.isEmpty();
}

void VellUnwindJournal::drop(
    const QString &installDir, const QString &folder, Durability durability)
{
    // The journal goes first: without it the rest is only leftovers. After a
    // rollback its removal must be durable before the backups go, or a journal
    // that came back after a power cut would name backups that are gone; a
    // journal that ends in "done" asks for nothing and may come back.
    ::unlink(native(folder + QLatin1String("/journal")).constData());
    if (durability == Durability::Synced) {
        syncFolder(folder);
    }
    VellInstallSteps::reached("journal removed");
    QDir(folder).removeRecursively();
    if (durability == Durability::Synced) {
        syncFolder(installDir);
    }
}

void VellUnwindJournal::end()
{
    state = State::Ended;
    journal.close();
    lockFile.close();
}

bool VellUnwindJournal::unwind(QStringList &unrestored)
{
    if (state != State::Open && state != State::Unfinished) {
        return true;
    }
    if (!rollBack(installDir, unwindFolder, records, unrestored)) {
        end(); // the records stay for the next start
        return false;
    }
    drop(installDir, unwindFolder, Durability::Synced);
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
    installed.addFolder(installDir);
    QString failedPath;
    int error = 0;
    const bool synced = installed.run(failedPath, error);
    if (synced) {
        VellInstallSteps::reached("installation synced");
    } else {
        finishError = withReason(
            VellText::tr("Could not write %1", "error while installing a package").arg(failedPath),
            error);
    }
    if (!synced || !append("done\n", finishError)) {
        state = State::Unfinished;
        errorText = finishError;
        return false;
    }
    VellInstallSteps::reached("run done");
    drop(installDir, unwindFolder, Durability::Lazy);
    end();
    return true;
}

VellUnwindJournal::Recovery VellUnwindJournal::recover(
    const QString &installDir, QStringList &unrestored)
{
    const QString folder = installDir + QLatin1Char('/') + folderName();
    struct stat info;
    if (::lstat(native(folder).constData(), &info) != 0 && errno == ENOENT) {
        return Recovery::Nothing;
    }
    QString fault;
    if (!checkArea(installDir, &fault)) {
        unrestored << fault;
        return Recovery::Failed;
    }
    FileDescriptor held;
    int error = 0;
    if (!lock(folder, held, error)) {
        if (error == EWOULDBLOCK) {
            return Recovery::Busy;
        }
        unrestored << withReason(folder, error);
        return Recovery::Failed;
    }
    bool done = false;
    QVector<Record> records;
    if (!readRecords(folder, records, done, &fault)) {
        unrestored << invalidJournal(folder, fault); // kept, untouched, for a person to look at
        return Recovery::Failed;
    }
    if (!done && !rollBack(installDir, folder, records, unrestored)) {
        return Recovery::Failed;
    }
    drop(installDir, folder, done ? Durability::Lazy : Durability::Synced);
    return done || records.isEmpty() ? Recovery::Nothing : Recovery::Restored;
}
