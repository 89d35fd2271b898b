#include "VellUpdatePackage.h"

#include "Update.h"
#include "VellFileSystem_p.h"
#include "VellInstallPaths_p.h"
#include "VellInstallRoot_p.h"
#include "VellInstallSteps_p.h"
#include "VellPackageArchive_p.h"
#include "VellRootDirectory_p.h"
#include "VellText.h"
#include "VellUnwindJournal_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

using namespace VellFileSystem;

namespace {

QString fromBytes(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<int>(bytes.size()));
}

bool isInstallableType(const std::string &type)
{
    return type == "app" || type == "plugin";
}

// A file of a folder that did not exist yet gets what a user file normally has.
constexpr QFile::Permissions defaultFilePermissions = QFile::ReadOwner | QFile::WriteOwner
    | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;

QString folderOf(const QString &relative)
{
    const int slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relative.left(slash);
}

/// The folders on the way to @p relative, outermost first.
QStringList foldersOnTheWay(const QString &relative)
{
    QStringList folders;
    for (int slash = relative.indexOf(QLatin1Char('/')); slash > 0;
         slash = relative.indexOf(QLatin1Char('/'), slash + 1)) {
        folders << relative.left(slash);
    }
    return folders;
}

} // namespace

/// One file instruction as it will be carried out.
struct VellUpdatePackage::Change
{
    enum class Action { Add, Remove, KeepOnly };

    Action action = Action::KeepOnly;
    QString relative; ///< empty: the target lies outside, the instruction is skipped
    int entry = -1; ///< for Add: the archive entry, -1 when the package lacks it
    QByteArray staged; ///< for Add: the new content in new/, ready to be renamed into place
};

VellUpdatePackage::VellUpdatePackage(Update *update)
    : VellUpdatePackage(update, installDirFor(update->getType()))
{ }

VellUpdatePackage::VellUpdatePackage(Update *update, const QString &installDir)
    : update(update)
    , installDir(installDir)
    , packageBase(QUrl(fromBytes(update->getLink())).path())
    , installPermissions(QFileInfo(installDir).permissions())
{
    packageBase.chop(4); // the archive's extension and its dot
}

VellUpdatePackage::~VellUpdatePackage() = default;

QString VellUpdatePackage::installDirFor(const std::string &type)
{
    if (type == "app") {
        return QCoreApplication::applicationDirPath();
    }
    if (type == "plugin") {
        return QDir::homePath() + QLatin1String("/.Vellnet/plugins/");
    }
    return QString();
}

bool VellUpdatePackage::install(
    const QString &workDir, QString &errorText, QStringList &installedFiles)
{
    if (!checkInstallable(errorText)) {
        return false;
    }
    VellPackageArchive archive(archivePathIn(workDir));
    VellPackageDescriptor descriptor;
    if (!archive.list(installedFiles, errorText)
        || !readDescriptor(archive, workDir, descriptor, errorText) || !joinRun(errorText)) {
        return false;
    }
    QVector<Change> changes = planChanges(descriptor.files(), archive);
    if (!checkFreeSpace(changes, archive, errorText) || !stageNewFiles(changes, archive, errorText)
        || !keepPreviousState(changes, errorText) || !applyChanges(changes, errorText)) {
        return false;
    }
    switch (descriptor.end()) {
    case VellPackageDescriptor::End::ForeignPackage:
        return false; // a package of another component: no text, as ever
    case VellPackageDescriptor::End::Malformed:
        errorText = VellText::tr("The package descriptor %1 is malformed (line %2): %3",
            "error while installing a package")
                        .arg(descriptorName())
                        .arg(descriptor.errorLine())
                        .arg(descriptor.errorString());
        return false;
    case VellPackageDescriptor::End::Complete:
        break;
    }
    return true;
}

bool VellUpdatePackage::checkInstallable(QString &errorText) const
{
    if (isInstallableType(update->getType()) && !installDir.isEmpty()) {
        return true;
    }
    errorText = VellText::tr("The package has the component type \"%1\", which cannot be installed",
        "error while installing a package")
                    .arg(fromBytes(update->getType()));
    return false;
}

QString VellUpdatePackage::archivePathIn(const QString &workDir) const
{
    return workDir + QLatin1Char('/') + QUrl(fromBytes(update->getLink())).path();
}

QString VellUpdatePackage::descriptorName() const
{
    return packageBase.mid(packageBase.lastIndexOf(QLatin1Char('/')) + 1) + QLatin1String(".xml");
}

bool VellUpdatePackage::readDescriptor(const VellPackageArchive &archive, const QString &workDir,
    VellPackageDescriptor &descriptor, QString &errorText) const
{
    const QString name = descriptorName();
    const int entry = archive.find(QDir::cleanPath(packageBase + QLatin1String(".xml")).mid(1));
    if (entry < 0) {
        errorText = VellText::tr(
            "The package has no readable descriptor %1: %2", "error while installing a package")
                        .arg(name, reason(ENOENT));
        return false;
    }
    // Unpacked into a private file of the work directory, which no entry name can reach.
    QTemporaryFile file(workDir + QLatin1String("/.descriptor-XXXXXX"));
    if (!file.open()) {
        errorText = VellText::tr(
            "The package has no readable descriptor %1: %2", "error while installing a package")
                        .arg(name, file.errorString());
        return false;
    }
    const qint64 free = freeBytes(workDir);
    if (free >= 0 && qint64(archive.entry(entry).size) > free) {
        errorText = withReason(
            VellText::tr("Could not unpack %1", "error while installing a package").arg(name),
            ENOSPC);
        return false;
    }
    if (!archive.extract(entry, file.handle(), errorText) || !file.seek(0)) {
        return false;
    }
    descriptor = VellPackageDescriptor::read(file, *update);
    return true;
}

bool VellUpdatePackage::joinRun(QString &errorText)
{
    if (!journal || journal->hasEnded()) {
        journal = VellUnwindJournal::forRun(installDir);
    }
    unwindDir = journal->folder();
    return journal->open(errorText);
}

QVector<VellUpdatePackage::Change> VellUpdatePackage::planChanges(
    const QVector<VellPackageDescriptor::File> &instructions,
    const VellPackageArchive &archive) const
{
    VellInstallRoot root(journal->rootDirectory());
    QVector<Change> changes;
    changes.reserve(instructions.size());
    for (const VellPackageDescriptor::File &file : instructions) {
        Change change;
        change.relative = root.relativeTarget(file.path, file.name);
        if (file.action == QLatin1String("add")) {
            change.action = Change::Action::Add;
            change.entry = archive.find(
                VellInstallPaths::cleanRelative(file.path + QLatin1Char('/') + file.name));
        } else if (file.action == QLatin1String("remove")) {
            change.action = Change::Action::Remove;
        }
        changes.append(change);
    }
    return changes;
}

bool VellUpdatePackage::checkFreeSpace(
    const QVector<Change> &changes, const VellPackageArchive &archive, QString &errorText) const
{
    qint64 needed = 0;
    for (const Change &change : changes) {
        if (change.action == Change::Action::Add && change.entry >= 0
            && !change.relative.isEmpty()) {
            needed += qint64(archive.entry(change.entry).size);
        }
    }
    const qint64 free = freeBytes(unwindDir);
    if (free < 0 || needed <= free) {
        return true;
    }
    const QLocale locale;
    errorText
        = VellText::tr("Not enough free space in %1: the package needs %2, %3 are free",
            "error while installing a package")
              .arg(installDir, locale.formattedDataSize(needed), locale.formattedDataSize(free));
    return false;
}

bool VellUpdatePackage::stageNewFiles(
    QVector<Change> &changes, const VellPackageArchive &archive, QString &errorText)
{
    const mode_t mode
        = modeOf(int(installPermissions ? installPermissions : defaultFilePermissions));
    for (Change &change : changes) {
        if (change.action != Change::Action::Add || change.entry < 0 || change.relative.isEmpty()) {
            continue;
        }
        change.staged = journal->stagingName();
        FileDescriptor fd(::openat(journal->stagingFolder(), change.staged.constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
        if (!fd.isValid()) {
            errorText
                = withReason(VellText::tr("Could not unpack %1", "error while installing a package")
                                 .arg(journal->stagingPath(change.staged)),
                    errno);
            return false;
        }
        if (!archive.extract(change.entry, fd.get(), errorText)) {
            return false;
        }
        // The creation mode went through the umask; the installation's set is wanted.
        int error = ::fchmod(fd.get(), mode) == 0 ? 0 : errno;
        if (error == 0) {
            error = fd.close();
        }
        if (error != 0) {
            errorText
                = withReason(VellText::tr("Could not unpack %1", "error while installing a package")
                                 .arg(journal->stagingPath(change.staged)),
                    error);
            return false;
        }
        VellInstallSteps::reached("file staged");
    }
    return true;
}

bool VellUpdatePackage::keepPreviousState(const QVector<Change> &changes, QString &errorText)
{
    const VellRootDirectory &root = journal->rootDirectory();
    QSet<QString> plannedFolders;
    for (const Change &change : changes) {
        if (change.relative.isEmpty()) {
            continue;
        }
        if (change.action == Change::Action::Add) {
            // Folders this run may have to make; one that is a file now may
            // become a folder after an earlier instruction removed the file.
            for (const QString &folder : foldersOnTheWay(change.relative)) {
                int error = 0;
                if (!plannedFolders.contains(folder) && !root.openFolder(folder, error).isValid()) {
                    journal->keepCreatedFolder(folder);
                }
                plannedFolders.insert(folder);
            }
        }
        VellUnwindJournal::FirstState state = journal->firstState(change.relative);
        if (state == VellUnwindJournal::FirstState::Unknown) {
            VellRootDirectory::Entry place;
            struct stat info;
            int error = 0;
            const bool reached = root.entry(change.relative, place, error);
            if (!reached && error != ENOENT && error != ENOTDIR) {
                errorText = root.withReason(
                    VellText::tr("Could not back up %1", "error while installing a package")
                        .arg(root.pathOf(change.relative)),
                    error);
                return false;
            }
            if (reached && statAt(place.folder.get(), place.name, info)) {
                if (!journal->keepSaved(change.relative, errorText)) {
                    return false;
                }
                state = VellUnwindJournal::FirstState::Saved;
            } else {
                journal->keepAbsent(change.relative);
                state = VellUnwindJournal::FirstState::Absent;
            }
        }
        if (state == VellUnwindJournal::FirstState::Saved) {
            const QString folder = folderOf(change.relative);
            const QString listed = folder.isEmpty() ? QStringLiteral(".") : folder;
            if (!restoreDirs.contains(listed)) {
                restoreDirs << listed;
            }
            restoreFiles << change.relative;
        } else {
            addedFiles << change.relative;
        }
    }
    // Staged files, backups, then the records: all durable before the first change.
    return journal->flush(errorText);
}

bool VellUpdatePackage::applyChanges(const QVector<Change> &changes, QString &errorText)
{
    const VellRootDirectory &root = journal->rootDirectory();
    QSet<QString> knownFolders;
    for (const Change &change : changes) {
        if (change.relative.isEmpty()) {
            continue;
        }
        const QString target = root.pathOf(change.relative);
        if (change.action == Change::Action::Remove) {
            VellRootDirectory::Entry place;
            int error = 0;
            if (root.entry(change.relative, place, error)) {
                error = ::unlinkat(place.folder.get(), place.name.constData(), 0) == 0 ? 0 : errno;
            }
            if (error != 0 && error != ENOENT && error != ENOTDIR) {
                errorText = root.withReason(
                    VellText::tr("Could not remove %1", "error while installing a package")
                        .arg(target),
                    error);
                return false;
            }
            journal->touched(folderOf(change.relative));
            VellInstallSteps::reached("file removed");
        } else if (change.action == Change::Action::Add) {
            if (change.entry < 0) {
                errorText = VellText::tr("Could not copy %1 to %2: the package holds no such file",
                    "error while installing a package")
                                .arg(change.relative, target);
                return false;
            }
            if (!createFolders(change.relative, knownFolders, errorText)
                || !putInPlace(change, errorText)) {
                return false;
            }
        }
    }
    return true;
}

bool VellUpdatePackage::createFolders(
    const QString &relative, QSet<QString> &knownFolders, QString &errorText)
{
    const VellRootDirectory &root = journal->rootDirectory();
    const QString folder = folderOf(relative);
    QString failed;
    int error = 0;
    const auto made = [&](const QString &created) {
        journal->touched(folderOf(created));
        VellInstallSteps::reached("folder created");
    };
    if (folder.isEmpty() || root.makeFolders(folder, knownFolders, made, failed, error)) {
        return true;
    }
    errorText = root.withReason(
        VellText::tr("Could not create the folder %1", "error while installing a package")
            .arg(failed),
        error);
    return false;
}

bool VellUpdatePackage::putInPlace(const Change &change, QString &errorText)
{
    const VellRootDirectory &root = journal->rootDirectory();
    const QString target = root.pathOf(change.relative);
    const auto failed = [&](int error) {
        errorText = root.withReason(
            VellText::tr("Could not put %1 in place", "error while installing a package")
                .arg(target),
            error);
        return false;
    };
    VellRootDirectory::Entry place;
    int error = 0;
    if (!root.entry(change.relative, place, error)) {
        return failed(error);
    }
    const int folder = place.folder.get();
    const int staging = journal->stagingFolder();
    if (::renameat(staging, change.staged.constData(), folder, place.name.constData()) != 0) {
        if (errno != EXDEV) {
            return failed(errno);
        }
        // The target's folder is another file system (a mount inside the
        // installation): the new file is copied in beside the target first,
        // under a recorded name, so that the rename stays atomic.
        const QByteArray beside = ".vell-new." + place.name;
        const QString besideRelative = VellInstallPaths::cleanRelative(
            folderOf(change.relative) + QLatin1Char('/') + QFile::decodeName(beside));
        ::unlinkat(folder, beside.constData(), 0);
        if (journal->firstState(besideRelative) == VellUnwindJournal::FirstState::Unknown) {
            journal->keepAbsent(besideRelative);
        }
        if (!journal->flush(errorText)) {
            return false;
        }
        if ((error = copyFaithfully(staging, change.staged, folder, beside)) != 0
            || ::renameat(folder, beside.constData(), folder, place.name.constData()) != 0) {
            error = error ? error : errno;
            ::unlinkat(folder, beside.constData(), 0);
            return failed(error);
        }
    }
    journal->placed(change.relative);
    VellInstallSteps::reached("file replaced");
    return true;
}

bool VellUpdatePackage::unwind(const QString &workDir)
{
    Q_UNUSED(workDir) // the records live in the installation directory
    if (!journal) {
        return true;
    }
    QStringList unrestored;
    return journal->unwind(unrestored);
}

bool VellUpdatePackage::finish(QString &errorText)
{
    return !journal || journal->finish(errorText);
}
