#ifndef VELLPACKAGEARCHIVE_P_H
#define VELLPACKAGEARCHIVE_P_H

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <unzip.h>

#include <memory>

/**
 * A package archive (ZIP) read entry by entry. Entry names are untrusted: a
 * name that is absolute, holds a ".." segment or is 256 bytes or longer makes
 * the whole package refused. Entries are streamed through a fixed buffer
 * straight into the file that receives them, and one that grows beyond the
 * size it declares is stopped. Not installed.
 */
class VellPackageArchive
{
public:
    struct Entry
    {
        QString name; ///< as the archive stores it
        QString relative; ///< cleaned, relative to the package's root
        quint64 size = 0; ///< declared unpacked size
        unz_file_pos position {};
    };

    explicit VellPackageArchive(const QString &archivePath);
    ~VellPackageArchive();
    VellPackageArchive(const VellPackageArchive &) = delete;
    VellPackageArchive &operator=(const VellPackageArchive &) = delete;

    /**
     * Opens the archive and reads its directory, appending " - <name>" to
     * @p fileLines for each file entry in archive order. Returns false at the
     * first damaged or refused entry, with the reason in @p errorText.
     */
    bool list(QStringList &fileLines, QString &errorText);
    const Entry &entry(int index) const { return entries.at(index); }
    /// The file entry of a cleaned relative name, -1 when there is none.
    int find(const QString &relative) const;
    /// Unpacks the file entry @p index into the open file @p fd.
    bool extract(int index, int fd, QString &errorText) const;

private:
    class Handle;

    QString archivePath;
    std::unique_ptr<Handle> handle;
    QVector<Entry> entries;
    QHash<QString, int> byRelativeName;
};

#endif // VELLPACKAGEARCHIVE_P_H
