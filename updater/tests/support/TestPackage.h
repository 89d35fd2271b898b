#ifndef TESTPACKAGE_H
#define TESTPACKAGE_H

#include <QByteArray>
#include <QString>
#include <QVector>

/**
 * An update package for tests, written by the package builder
 * (VellPackageBuilder) exactly as the vell-package program writes it: the
 * files to add are given with their contents and staged in a temporary
 * folder; the instructions keep the order in which they were given.
 */
class TestPackage
{
public:
    TestPackage(
        const QString &name, const QString &type, const QString &project = QStringLiteral("vell"));

    /** Adds the file relativeName ("folder/file") with these contents. */
    TestPackage &add(const QString &relativeName, const QByteArray &contents);
    /** Tells the installer to delete the installed file relativeName. */
    TestPackage &remove(const QString &relativeName);
    /** Names the descriptor entry; by default the archive's base name + ".xml". */
    TestPackage &setDescriptorEntry(const QString &entry);

    /** Writes the package at archivePath, creating its folder; false on failure, with errorText. */
    bool write(const QString &archivePath, QString *errorText = nullptr) const;
    /** The bytes of the package as write() would store it under base + ".zip"; empty on failure. */
    QByteArray bytes(const QString &base) const;

private:
    struct Instruction
    {
        bool remove;
        QString relativeName;
        QByteArray contents;
    };

    QString project;
    QString name;
    QString type;
    QString descriptorEntry;
    QVector<Instruction> instructions;
};

#endif // TESTPACKAGE_H
