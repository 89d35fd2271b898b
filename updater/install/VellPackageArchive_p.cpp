#include "VellPackageArchive_p.h"

#include "VellInstallHeartbeat.h"
#include "VellInstallPaths_p.h"
#include "VellText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unzip.h>

#include <array>
#include <vector>

namespace {

// Entry names longer than this are refused rather than cut short.
constexpr uLong maxNameLength = 255;
constexpr unsigned bufferSize = 4096;

QString damagedEntry(const QString &name)
{
    return VellText::tr("The package entry %1 is damaged", "error while installing a package")
        .arg(name);
}

class ArchiveHandle
{
public:
    explicit ArchiveHandle(const QString &path)
        : handle(unzOpen(QFile::encodeName(path).constData()))
    { }
    ~ArchiveHandle()
    {
        if (handle) {
            unzClose(handle);
        }
    }
    ArchiveHandle(const ArchiveHandle &) = delete;
    ArchiveHandle &operator=(const ArchiveHandle &) = delete;

    unzFile get() const { return handle; }

private:
    unzFile handle;
};

/// Closes the entry opened for reading; reports a CRC mismatch at close().
class OpenEntry
{
public:
    explicit OpenEntry(unzFile archive)
        : archive(archive)
        , opened(unzOpenCurrentFile(archive) == UNZ_OK)
    { }
    ~OpenEntry()
    {
        if (opened) {
            unzCloseCurrentFile(archive);
        }
    }
    OpenEntry(const OpenEntry &) = delete;
    OpenEntry &operator=(const OpenEntry &) = delete;

    bool isOpen() const { return opened; }
    bool close()
    {
        opened = false;
        return unzCloseCurrentFile(archive) == UNZ_OK;
    }

private:
    unzFile archive;
    bool opened;
};

/// The current entry's name as the archive stores it, read in full.
bool currentEntryName(unzFile archive, QByteArray &name)
{
    // minizip dereferences the info record: always pass a real one.
    unz_file_info info;
    std::array<char, maxNameLength + 1> buffer {};
    if (unzGetCurrentFileInfo(archive, &info, buffer.data(), buffer.size(), nullptr, 0, nullptr, 0)
        != UNZ_OK) {
        return false;
    }
    if (info.size_filename <= maxNameLength) {
        name = QByteArray(buffer.data(), static_cast<int>(info.size_filename));
        return true;
    }
    std::vector<char> longName(info.size_filename + 1);
    if (unzGetCurrentFileInfo(
            archive, &info, longName.data(), longName.size(), nullptr, 0, nullptr, 0)
        != UNZ_OK) {
        return false;
    }
    name = QByteArray(longName.data(), static_cast<int>(info.size_filename));
    return true;
}

bool isSafeEntryName(const QByteArray &rawName, const QString &name)
{
    if (rawName.size() > static_cast<int>(maxNameLength) || rawName.contains('\0')
        || name.startsWith(QLatin1Char('/'))) {
        return false;
    }
    const QStringList segments = name.split(QLatin1Char('/'));
    return !segments.contains(QStringLiteral(".."))
        && !VellInstallPaths::cleanRelative(name).isEmpty();
}

bool isReserved(const QString &target, const QStringList &reservedPaths)
{
    const QString resolvedTarget = VellInstallPaths::resolved(target);
    for (const QString &reserved : reservedPaths) {
        const QString resolvedReserved = VellInstallPaths::resolved(reserved);
        if (resolvedTarget == resolvedReserved
            || VellInstallPaths::liesInside(reserved, resolvedTarget)) {
            return true;
        }
    }
    return false;
}

bool unpackFile(unzFile archive, const QString &name, const QString &target, QString &errorText)
{
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        errorText
            = VellText::tr("Could not create the folder of %1", "error while installing a package")
                  .arg(target);
        return false;
    }
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        errorText = out.errorString();
        return false;
    }
    OpenEntry entry(archive);
    if (!entry.isOpen()) {
        errorText = damagedEntry(name);
        return false;
    }
    std::array<char, bufferSize> buffer;
    for (;;) {
        const int read = unzReadCurrentFile(archive, buffer.data(), bufferSize);
        if (read == 0) {
            break;
        }
        if (read < 0) {
            errorText = damagedEntry(name);
            return false;
        }
        if (out.write(buffer.data(), read) != read) {
            errorText = out.errorString();
            return false;
        }
        VellInstallHeartbeat::beat();
    }
    if (!entry.close()) { // checksum mismatch
        errorText = damagedEntry(name);
        return false;
    }
    if (!out.flush()) {
        errorText = out.errorString();
        return false;
    }
    return true;
}

} // namespace

VellPackageArchive::VellPackageArchive(const QString &archivePath)
    : archivePath(archivePath)
{ }

bool VellPackageArchive::extractTo(const QString &root, const QStringList &reservedPaths,
    QString &errorText, QStringList &unpackedFiles) const
{
    ArchiveHandle archive(archivePath);
    unz_global_info global;
    if (!archive.get() || unzGetGlobalInfo(archive.get(), &global) != UNZ_OK) {
        errorText = VellText::tr(
            "%1 is not a readable package archive", "error while installing a package")
                        .arg(QDir::toNativeSeparators(archivePath));
        return false;
    }
    if (global.number_entry == 0) {
        return true;
    }
    int status = UNZ_OK;
    do {
        QByteArray rawName;
        if (!currentEntryName(archive.get(), rawName)) {
            errorText = damagedEntry(archivePath);
            return false;
        }
        const QString name = QString::fromLatin1(rawName);
        const QString target = root + QLatin1Char('/') + name;
        if (!isSafeEntryName(rawName, name) || !VellInstallPaths::liesInside(root, target)
            || isReserved(target, reservedPaths)) {
            errorText = VellText::tr("The package entry %1 was refused: its name leads outside the "
                                     "package folder",
                "error while installing a package")
                            .arg(name);
            return false;
        }
        if (name.endsWith(QLatin1Char('/'))) {
            if (!QDir().mkpath(target)) {
                errorText = VellText::tr(
                    "Could not create the folder %1", "error while installing a package")
                                .arg(target);
                return false;
            }
        } else {
            if (!unpackFile(archive.get(), name, target, errorText)) {
                return false;
            }
            unpackedFiles << QStringLiteral(" - ") + name;
        }
        status = unzGoToNextFile(archive.get());
    } while (status == UNZ_OK);
    if (status != UNZ_END_OF_LIST_OF_FILE) {
        errorText = damagedEntry(archivePath);
        return false;
    }
    return true;
}
