#include "VellPackageBuilder.h"

#include "Component.h"
#include "ComponentsFile.h"
#include "Util.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamWriter>

#include <zip.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace {

constexpr int chunkSize = 64 * 1024;
// The updater reads entry names into a buffer of this size, terminator included.
constexpr int maxEntryName = 255;

QString actionName(VellPackageBuilder::Action action)
{
    switch (action) {
    case VellPackageBuilder::Action::Add:
        return QStringLiteral("add");
    case VellPackageBuilder::Action::Remove:
        return QStringLiteral("remove");
    case VellPackageBuilder::Action::Keep:
        break;
    }
    return QStringLiteral("keep");
}

/// The operating system's text for the last failed call.
QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool fail(QString *errorText, const QString &reason)
{
    if (errorText) {
        *errorText = reason;
    }
    return false;
}

class ZipWriter
{
public:
    explicit ZipWriter(const QString &path)
        : handle(zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE))
    { }
    ~ZipWriter()
    {
        if (handle) {
            zipClose(handle, nullptr);
        }
    }
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    bool isOpen() const { return handle != nullptr; }

    bool beginEntry(const QByteArray &entryName, const QDateTime &modified, bool large)
    {
        zip_fileinfo info {};
        const QDate date = modified.date();
        const QTime time = modified.time();
        info.tmz_date.tm_year = static_cast<uInt>(date.year());
        info.tmz_date.tm_mon = static_cast<uInt>(date.month() - 1);
        info.tmz_date.tm_mday = static_cast<uInt>(date.day());
        info.tmz_date.tm_hour = static_cast<uInt>(time.hour());
        info.tmz_date.tm_min = static_cast<uInt>(time.minute());
        info.tmz_date.tm_sec = static_cast<uInt>(time.second());
        return zipOpenNewFileInZip64(handle, entryName.constData(), &info, nullptr, 0, nullptr, 0,
                   nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, large ? 1 : 0)
            == ZIP_OK;
    }
    bool write(const char *data, int size)
    {
        return zipWriteInFileInZip(handle, data, static_cast<unsigned>(size)) == ZIP_OK;
    }
    bool endEntry() { return zipCloseFileInZip(handle) == ZIP_OK; }
    bool close()
    {
        const int status = zipClose(handle, nullptr);
        handle = nullptr;
        return status == ZIP_OK;
    }

private:
    zipFile handle;
};

bool toEntryName(const QString &name, QByteArray &entryName, QString *errorText)
{
    // Entry names travel as Latin-1 and must fit the updater's name buffer.
    entryName = name.toLatin1();
    if (QString::fromLatin1(entryName) != name || entryName.size() > maxEntryName) {
        return fail(errorText,
            QStringLiteral("%1: the name must be Latin-1 and at most %2 bytes")
                .arg(name)
                .arg(maxEntryName));
    }
    return true;
}

bool packBytes(ZipWriter &zip, const QByteArray &bytes, const QString &name, QString *errorText)
{
    QByteArray entryName;
    if (!toEntryName(name, entryName, errorText)) {
        return false;
    }
    if (!zip.beginEntry(entryName, QDateTime::currentDateTime(), false)
        || !zip.write(bytes.constData(), bytes.size()) || !zip.endEntry()) {
        return fail(errorText, QStringLiteral("%1: cannot write the archive entry").arg(name));
    }
    return true;
}

bool packFile(ZipWriter &zip, const QString &file, const QString &name, QString *errorText)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        return fail(errorText, QStringLiteral("%1: %2").arg(file, in.errorString()));
    }
    QByteArray entryName;
    if (!toEntryName(name, entryName, errorText)) {
        return false;
    }
    if (!zip.beginEntry(entryName, QFileInfo(in).lastModified(), in.size() >= 0xffffffffLL)) {
        return fail(errorText, QStringLiteral("%1: cannot start the archive entry").arg(name));
    }
    std::array<char, chunkSize> buffer;
    for (;;) {
        const qint64 read = in.read(buffer.data(), chunkSize);
        if (read < 0) {
            return fail(errorText, QStringLiteral("%1: %2").arg(file, in.errorString()));
        }
        if (read == 0) {
            break;
        }
        if (!zip.write(buffer.data(), static_cast<int>(read))) {
            return fail(errorText, QStringLiteral("%1: cannot write the archive entry").arg(name));
        }
    }
    if (!zip.endEntry()) {
        return fail(errorText, QStringLiteral("%1: cannot finish the archive entry").arg(name));
    }
    return true;
}

} // namespace

VellPackageBuilder::VellPackageBuilder(
    const QString &project, const QString &name, const QString &type, const QString &version)
    : project(project)
    , name(name)
    , type(type)
    , version(version)
{ }

void VellPackageBuilder::addInstruction(Action action, const QString &relativeName)
{
    instructions.append({action, QDir::cleanPath(relativeName), QByteArray()});
}

QString VellPackageBuilder::registryFragmentName() const
{
    const std::string id
        = Util::generateComponentID(project.toStdString(), name.toStdString(), type.toStdString());
    return QLatin1String("components.d/") + QString::fromStdString(id) + QLatin1String(".xml");
}

void VellPackageBuilder::addRegistryFragment()
{
    ComponentsFile fragment;
    fragment.addComponent(Component(project.toStdString(), name.toStdString(), type.toStdString(),
        version.toStdString(), "", "", "", "", ""));
    const std::string text = fragment.text();
    instructions.append({Action::Add, registryFragmentName(),
        QByteArray(text.data(), static_cast<int>(text.size()))});
}

bool VellPackageBuilder::addAllFiles(QString *errorText)
{
    const QFileInfo rootInfo(sourceDir);
    const QDir root(rootInfo.absoluteFilePath());
    if (!rootInfo.isDir()) {
        return fail(errorText,
            QStringLiteral("%1: %2").arg(sourceDir,
                QString::fromLocal8Bit(std::strerror(rootInfo.exists() ? ENOTDIR : ENOENT))));
    }
    // QDirIterator would pass over a folder it cannot list and leave its files out.
    if (!rootInfo.isReadable() || !rootInfo.isExecutable()) {
        return fail(errorText,
            QStringLiteral("%1: %2").arg(sourceDir, QString::fromLocal8Bit(std::strerror(EACCES))));
    }
    QStringList names;
    QDirIterator it(root.absolutePath(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        names << root.relativeFilePath(it.next());
    }
    names.sort();
    for (const QString &relativeName : qAsConst(names)) {
        addInstruction(Action::Add, relativeName);
    }
    return true;
}

QByteArray VellPackageBuilder::descriptor() const
{
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("package"));
    writer.writeAttribute(QStringLiteral("project"), project);
    writer.writeAttribute(QStringLiteral("name"), name);
    writer.writeAttribute(QStringLiteral("type"), type);
    writer.writeAttribute(QStringLiteral("version"), version);
    for (const Instruction &instruction : instructions) {
        const QFileInfo file(instruction.relativeName);
        writer.writeEmptyElement(QStringLiteral("file"));
        writer.writeAttribute(QStringLiteral("name"), file.fileName());
        writer.writeAttribute(QStringLiteral("path"), file.path());
        writer.writeAttribute(QStringLiteral("action"), actionName(instruction.action));
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

bool VellPackageBuilder::write(
    const QString &archivePath, QString descriptorEntry, QString *errorText) const
{
    if (descriptorEntry.isEmpty()) {
        descriptorEntry = QFileInfo(archivePath).completeBaseName() + QLatin1String(".xml");
    }
    QByteArray descriptorName;
    if (!toEntryName(descriptorEntry, descriptorName, errorText)) {
        return false;
    }
    for (const Instruction &instruction : instructions) {
        QByteArray entryName;
        if (instruction.relativeName.startsWith(QLatin1String("../"))
            || instruction.relativeName == QLatin1String("..")
            || QDir::isAbsolutePath(instruction.relativeName)) {
            return fail(errorText,
                QStringLiteral("%1: names must stay inside the package")
                    .arg(instruction.relativeName));
        }
        // Only added files become archive entries; the others are named in the descriptor alone.
        if (instruction.action == Action::Add
            && !toEntryName(instruction.relativeName, entryName, errorText)) {
            return false;
        }
    }
    // Written under a temporary name and published only once complete.
    const QString partial = archivePath + QLatin1String(".part");
    if (!writeArchive(partial, descriptorName, errorText)) {
        QFile::remove(partial);
        return false;
    }
    QFile::remove(archivePath);
    if (!QFile::rename(partial, archivePath)) {
        QFile::remove(partial);
        return fail(
            errorText, QStringLiteral("%1: cannot move the archive into place").arg(archivePath));
    }
    return true;
}

bool VellPackageBuilder::writeArchive(
    const QString &path, const QByteArray &descriptorName, QString *errorText) const
{
    errno = 0;
    ZipWriter zip(path);
    if (!zip.isOpen()) {
        return fail(errorText,
            QStringLiteral("%1: cannot create the archive: %2").arg(path, systemReason()));
    }
    if (!packBytes(zip, descriptor(), QString::fromLatin1(descriptorName), errorText)) {
        return fail(errorText, QStringLiteral("%1: cannot write the descriptor").arg(path));
    }
    for (const Instruction &instruction : instructions) {
        if (instruction.action != Action::Add) {
            continue;
        }
        const bool packed = instruction.generatedContents.isNull()
            ? packFile(zip, sourceDir + QLatin1Char('/') + instruction.relativeName,
                instruction.relativeName, errorText)
            : packBytes(zip, instruction.generatedContents, instruction.relativeName, errorText);
        if (!packed) {
            return false;
        }
    }
    if (!zip.close()) {
        return fail(errorText, QStringLiteral("%1: cannot finish the archive").arg(path));
    }
    return true;
}
