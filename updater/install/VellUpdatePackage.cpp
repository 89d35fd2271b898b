#include "VellUpdatePackage.h"

#include "Update.h"
#include "VellFileCopy_p.h"
#include "VellInstallPaths_p.h"
#include "VellPackageArchive_p.h"
#include "VellText.h"
#include "VellUnwindArea_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QXmlStreamReader>

namespace {

QString fromBytes(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<int>(bytes.size()));
}

QString installDirFor(const std::string &type)
{
    if (type == "app") {
        return QCoreApplication::applicationDirPath();
    }
    if (type == "plugin") {
        return QDir::homePath() + QLatin1String("/.Vellnet/plugins/");
    }
    return QString();
}

bool isInstallableType(const std::string &type)
{
    return type == "app" || type == "plugin";
}

// A file of a folder that did not exist yet gets what a user file normally has.
constexpr QFile::Permissions defaultFilePermissions = QFile::ReadOwner | QFile::WriteOwner
    | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;

bool existsOrIsLink(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

struct FileElement
{
    QString name;
    QString path;
    QString action;
};

/// Carries out the descriptor's instructions of one install() call.
class InstructionRunner
{
public:
    InstructionRunner(const QString &installDir, const QString &extractionRoot,
        const VellUnwindArea &area, QFile::Permissions permissions)
        : installDir(installDir)
        , extractionRoot(extractionRoot)
        , area(area)
        , permissions(permissions ? permissions : defaultFilePermissions)
    { }

    QStringList savedDirs;
    QStringList savedFiles;
    QStringList addedFiles;

    bool run(const FileElement &file, QString &errorText)
    {
        const QString relative
            = VellInstallPaths::cleanRelative(file.path + QLatin1Char('/') + file.name);
        if (relative.isEmpty()) {
            return true; // names the installation directory itself or climbs out of it
        }
        const QString target = installDir + QLatin1Char('/') + relative;
        if (!VellInstallPaths::liesInside(installDir, target)) {
            return true; // leads outside through a symbolic link
        }
        if (!keepState(relative, target, errorText)) {
            return false;
        }
        if (file.action == QLatin1String("remove")) {
            return removeTarget(target, errorText);
        }
        if (file.action == QLatin1String("add")) {
            return removeTarget(target, errorText) && createFolders(relative, errorText)
                && copyIntoPlace(relative, target, errorText);
        }
        return true;
    }

private:
    bool keepState(const QString &relative, const QString &target, QString &errorText)
    {
        VellUnwindArea::State state = area.stateOf(relative);
        if (state == VellUnwindArea::State::Unknown) {
            if (existsOrIsLink(target)) {
                if (!area.save(target, relative, errorText)) {
                    return false;
                }
                state = VellUnwindArea::State::Saved;
            } else {
                if (!area.recordAbsent(relative, errorText)) {
                    return false;
                }
                state = VellUnwindArea::State::Absent;
            }
        }
        if (state == VellUnwindArea::State::Saved) {
            const QString dir = QFileInfo(relative).path();
            if (!savedDirs.contains(dir)) {
                savedDirs << dir;
            }
            savedFiles << relative;
        } else {
            addedFiles << relative;
        }
        return true;
    }

    bool removeTarget(const QString &target, QString &errorText)
    {
        if (existsOrIsLink(target) && !QFile::remove(target)) {
            errorText = VellText::tr("Could not remove %1", "error while installing a package")
                            .arg(target);
            return false;
        }
        return true;
    }

    /// Creates the missing folders on the way to @p relative, recording each one first.
    bool createFolders(const QString &relative, QString &errorText)
    {
        QStringList missing;
        for (QString dir = QFileInfo(relative).path(); dir != QLatin1String(".");
             dir = QFileInfo(dir).path()) {
            if (!QFileInfo::exists(installDir + QLatin1Char('/') + dir)) {
                missing.prepend(dir);
            }
        }
        for (const QString &dir : qAsConst(missing)) {
            if (!area.recordCreatedDir(dir, errorText)) {
                return false;
            }
        }
        const QString folder = QFileInfo(installDir + QLatin1Char('/') + relative).absolutePath();
        if (!QDir().mkpath(folder)) {
            errorText
                = VellText::tr("Could not create the folder %1", "error while installing a package")
                      .arg(folder);
            return false;
        }
        return true;
    }

    bool copyIntoPlace(const QString &relative, const QString &target, QString &errorText)
    {
        const QString source = extractionRoot + QLatin1Char('/') + relative;
        if (!QFileInfo(source).isFile() || !VellFileCopy::copy(source, target)) {
            errorText = VellText::tr("Could not copy %1 to %2", "error while installing a package")
                            .arg(relative, target);
            return false;
        }
        QFile::setPermissions(target, permissions);
        return true;
    }

    QString installDir;
    QString extractionRoot;
    VellUnwindArea area;
    QFile::Permissions permissions;
};

void appendNew(QStringList &list, const QStringList &items)
{
    for (const QString &item : items) {
        if (!list.contains(item)) {
            list << item;
        }
    }
}

} // namespace

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

QString VellUpdatePackage::unwindDirFor(const QString &workDir) const
{
    // One area per component type (per installation directory), so that an "app" and a "plugin"
    // file of the same relative name keep their own backups.
    return workDir + QLatin1String("/unwind/") + fromBytes(update->getType()) + QLatin1Char('/');
}

bool VellUpdatePackage::install(
    const QString &workDir, QString &errorText, QStringList &installedFiles)
{
    if (!isInstallableType(update->getType()) || installDir.isEmpty()) {
        errorText
            = VellText::tr("The package has the component type \"%1\", which cannot be installed",
                "error while installing a package")
                  .arg(fromBytes(update->getType()));
        return false;
    }
    const QString extractionRoot = workDir + QLatin1Char('/');
    unwindDir = unwindDirFor(workDir);
    QDir().mkpath(extractionRoot);
    if (!VellUnwindArea::claimForThisRun(workDir + QLatin1String("/unwind"))
        || !QDir().mkpath(unwindDir)) {
        errorText = VellText::tr(
            "Could not prepare the backup folder %1", "error while installing a package")
                        .arg(unwindDir);
        return false;
    }

    const QString archivePath
        = workDir + QLatin1Char('/') + QUrl(fromBytes(update->getLink())).path();
    const QStringList reserved = {workDir + QLatin1String("/unwind"), archivePath};
    if (!VellPackageArchive(archivePath)
             .extractTo(extractionRoot, reserved, errorText, installedFiles)) {
        return false;
    }

    QFile descriptor(QStringLiteral("%1/%2.xml").arg(extractionRoot, packageBase));
    if (!descriptor.open(QIODevice::ReadOnly)) {
        errorText = VellText::tr(
            "The package has no readable descriptor %1: %2", "error while installing a package")
                        .arg(QFileInfo(descriptor.fileName()).fileName(), descriptor.errorString());
        return false;
    }

    InstructionRunner runner(
        installDir, extractionRoot, VellUnwindArea(unwindDir), installPermissions);
    // Whatever was carried out stays recorded for unwind(), also on failure,
    // and reaches the disk before the caller goes on.
    const auto finish = [&]() {
        appendNew(restoreDirs, runner.savedDirs);
        restoreFiles << runner.savedFiles;
        addedFiles << runner.addedFiles;
        VellFileCopy::syncFileSystemOf(installDir);
        VellFileCopy::syncFileSystemOf(unwindDir);
    };
    QXmlStreamReader xml(&descriptor);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == QLatin1String("package")) {
            for (const QXmlStreamAttribute &attribute : attributes) {
                const QString value = attribute.value().toString();
                if ((attribute.name() == QLatin1String("project")
                        && value.toUtf8().toStdString() != update->getProject())
                    || (attribute.name() == QLatin1String("name")
                        && value.toUtf8().toStdString() != update->getName())
                    || (attribute.name() == QLatin1String("type")
                        && value.toUtf8().toStdString() != update->getType())) {
                    finish();
                    return false; // a package of another component
                }
            }
        } else if (xml.name() == QLatin1String("file")) {
            const FileElement file {attributes.value(QLatin1String("name")).toString(),
                attributes.value(QLatin1String("path")).toString(),
                attributes.value(QLatin1String("action")).toString().toLower()};
            if (!runner.run(file, errorText)) {
                finish();
                return false;
            }
        }
    }
    finish();
    if (xml.hasError()) {
        errorText = VellText::tr("The package descriptor %1 is malformed (line %2): %3",
            "error while installing a package")
                        .arg(QFileInfo(descriptor.fileName()).fileName())
                        .arg(xml.lineNumber())
                        .arg(xml.errorString());
        return false;
    }
    return true;
}

bool VellUpdatePackage::unwind(const QString &workDir)
{
    unwindDir = unwindDirFor(workDir);
    const VellUnwindArea area(unwindDir);
    bool restored = true;
    // Every entry is tried, so that one stubborn file does not keep the
    // others from coming back.
    for (const QString &dir : qAsConst(restoreDirs)) {
        if (!QDir().mkpath(installDir + QLatin1Char('/') + dir)) {
            restored = false;
        }
    }
    for (const QString &relative : qAsConst(restoreFiles)) {
        const QString target = installDir + QLatin1Char('/') + relative;
        const QString saved = area.savedPath(relative);
        // Without its backup the file in place is the best there is: keep it.
        if (!QFileInfo(saved).isFile() || !QDir().mkpath(QFileInfo(target).absolutePath())
            || (existsOrIsLink(target) && !QFile::remove(target))
            || !VellFileCopy::copy(saved, target)) {
            restored = false;
        }
    }
    for (const QString &relative : qAsConst(addedFiles)) {
        const QString target = installDir + QLatin1Char('/') + relative;
        if (existsOrIsLink(target) && !QFile::remove(target)) {
            restored = false;
        }
    }
    for (const QString &dir : area.createdDirs()) {
        QDir().rmdir(installDir + QLatin1Char('/') + dir); // only succeeds once empty
    }
    VellFileCopy::syncFileSystemOf(installDir);
    return restored;
}
