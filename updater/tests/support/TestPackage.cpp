#include "TestPackage.h"

#include "TestFiles.h"
#include "VellPackageBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

TestPackage::TestPackage(const QString &name, const QString &type, const QString &project)
    : project(project)
    , name(name)
    , type(type)
{ }

TestPackage &TestPackage::add(const QString &relativeName, const QByteArray &contents)
{
    instructions.append({false, relativeName, contents});
    return *this;
}

TestPackage &TestPackage::remove(const QString &relativeName)
{
    instructions.append({true, relativeName, QByteArray()});
    return *this;
}

TestPackage &TestPackage::setDescriptorEntry(const QString &entry)
{
    descriptorEntry = entry;
    return *this;
}

bool TestPackage::write(const QString &archivePath, QString *errorText) const
{
    QTemporaryDir staging;
    if (!staging.isValid()) {
        if (errorText) {
            *errorText = staging.errorString();
        }
        return false;
    }
    VellPackageBuilder builder(project, name, type, QStringLiteral("2.0"));
    builder.setSourceDir(staging.path());
    for (const Instruction &instruction : instructions) {
        if (instruction.remove) {
            builder.addInstruction(VellPackageBuilder::Action::Remove, instruction.relativeName);
            continue;
        }
        if (!writeFile(staging.filePath(instruction.relativeName), instruction.contents)) {
            if (errorText) {
                *errorText = QStringLiteral("cannot stage %1").arg(instruction.relativeName);
            }
            return false;
        }
        builder.addInstruction(VellPackageBuilder::Action::Add, instruction.relativeName);
    }
    QDir().mkpath(QFileInfo(archivePath).absolutePath());
    return builder.write(archivePath, descriptorEntry, errorText);
}

QByteArray TestPackage::bytes(const QString &base) const
{
    QTemporaryDir folder;
    const QString archive = folder.filePath(base + QLatin1String(".zip"));
    if (!folder.isValid() || !write(archive)) {
        return QByteArray();
    }
    return readFile(archive);
}
