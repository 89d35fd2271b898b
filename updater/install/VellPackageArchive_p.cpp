#include "VellPackageArchive_p.h"

#include "VellFileSystem_p.h"
#include "VellInstallHeartbeat.h"
#include "VellInstallPaths_p.h"
#include "VellText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unzip.h>

#include <unistd.h>

#include <cerrno>

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
bool currentEntryName(unzFile archive, QByteArray &name, unz_file_info &info)
{
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

} // namespace

class VellPackageArchive::Handle
{
public:
    explicit Handle(const QString &path)
        : archive(unzOpen(QFile::encodeName(path).constData()))
    { }
    ~Handle()
    {
        if (archive) {
            unzClose(archive);
        }
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    unzFile archive;
};

VellPackageArchive::VellPackageArchive(const QString &archivePath)
    : archivePath(archivePath)
{ }

VellPackageArchive::~VellPackageArchive() = default;

bool VellPackageArchive::list(QStringList &unpackedFiles, QString &errorText)
{
    handle = std::make_unique<Handle>(archivePath);
    unz_global_info global;
    if (!handle->archive || unzGetGlobalInfo(handle->archive, &global) != UNZ_OK) {
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
        unz_file_info info;
        Entry entry;
        if (!currentEntryName(handle->archive, rawName, info)
            || unzGetFilePos(handle->archive, &entry.position) != UNZ_OK) {
            errorText = damagedEntry(archivePath);
            return false;
        }
        entry.name = QString::fromLatin1(rawName);
        if (!isSafeEntryName(rawName, entry.name)) {
            errorText = VellText::tr("The package entry %1 was refused: its name leads outside the "
                                     "package folder",
                "error while installing a package")
                            .arg(entry.name);
            return false;
        }
        if (!entry.name.endsWith(QLatin1Char('/'))) {
            entry.size = info.uncompressed_size;
            entry.relative = VellInstallPaths::cleanRelative(entry.name);
            byRelativeName.insert(entry.relative, entries.size());
            entries.append(entry);
            unpackedFiles << QStringLiteral(" - ") + entry.name;
        }
        status = unzGoToNextFile(handle->archive);
    } while (status == UNZ_OK);
    if (status != UNZ_END_OF_LIST_OF_FILE) {
        errorText = damagedEntry(archivePath);
        return false;
    }
    return true;
}

int VellPackageArchive::find(const QString &relative) const
{
    // Unpacking in order would let a later entry of the same name overwrite an
    // earlier one: the last entry of a name wins (list() inserts in order).
    return byRelativeName.value(relative, -1);
}

bool VellPackageArchive::extract(int index, int fd, QString &errorText) const
{
    const Entry &entry = entries.at(index);
    unz_file_pos position = entry.position;
    if (unzGoToFilePos(handle->archive, &position) != UNZ_OK) {
        errorText = damagedEntry(entry.name);
        return false;
    }
    OpenEntry open(handle->archive);
    if (!open.isOpen()) {
        errorText = damagedEntry(entry.name);
        return false;
    }
    std::array<char, bufferSize> buffer;
    quint64 written = 0;
    for (;;) {
        const int read = unzReadCurrentFile(handle->archive, buffer.data(), bufferSize);
        if (read == 0) {
            break;
        }
        if (read < 0) {
            errorText = damagedEntry(entry.name);
            return false;
        }
        written += quint64(read);
        if (written > entry.size) {
            errorText = VellText::tr("The package entry %1 is larger than the package declares",
                "error while installing a package")
                            .arg(entry.name);
            return false;
        }
        if (const int error = VellFileSystem::writeAll(fd, buffer.data(), read)) {
            errorText = VellFileSystem::withReason(
                VellText::tr("Could not unpack %1", "error while installing a package")
                    .arg(entry.name),
                error);
            return false;
        }
        VellInstallHeartbeat::beat();
    }
    if (!open.close() || written != entry.size) { // checksum or size mismatch
        errorText = damagedEntry(entry.name);
        return false;
    }
    return true;
}
