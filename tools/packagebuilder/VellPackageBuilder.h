#ifndef VELLPACKAGEBUILDER_H
#define VELLPACKAGEBUILDER_H

#include <QString>
#include <QVector>

/**
 * Writes an update package: a ZIP archive holding the files to add and the
 * package descriptor, an XML document that names the component and lists one
 * instruction per file. The updater looks for the descriptor under the
 * archive's own base name (the archive "b.zip" carries "b.xml").
 */
class VellPackageBuilder
{
public:
    enum class Action { Add, Remove, Keep };

    VellPackageBuilder(
        const QString &project, const QString &name, const QString &type, const QString &version);

    /// The folder that holds the files to add, under their relative names.
    void setSourceDir(const QString &dir) { sourceDir = dir; }
    /// Adds an instruction for @p relativeName ("folder/file"); Add also packs
    /// the file from the source folder.
    void addInstruction(Action action, const QString &relativeName);
    /// An Add instruction for every file below the source folder, in name order.
    bool addAllFiles(QString *errorText);
    /**
     * An Add instruction for the component's own registry fragment,
     * registryFragmentName(): a one-component registry (the format
     * ComponentsFile::save() writes) that carries the package's version, so
     * the installed client reports the new version once the package is in,
     * and the old one again after a rollback.
     */
    void addRegistryFragment();
    /// "components.d/" + the component identifier + ".xml".
    QString registryFragmentName() const;

    /// The descriptor document.
    QByteArray descriptor() const;
    /**
     * Writes the archive to @p archivePath with the descriptor as the entry
     * @p descriptorEntry (by default the archive's base name + ".xml").
     */
    bool write(const QString &archivePath, QString descriptorEntry, QString *errorText) const;

private:
    struct Instruction
    {
        Action action;
        QString relativeName;
        /// For an added file made here rather than taken from the source folder.
        QByteArray generatedContents;
    };

    bool writeArchive(
        const QString &path, const QByteArray &descriptorName, QString *errorText) const;

    QString project;
    QString name;
    QString type;
    QString version;
    QString sourceDir;
    QVector<Instruction> instructions;
};

#endif // VELLPACKAGEBUILDER_H
