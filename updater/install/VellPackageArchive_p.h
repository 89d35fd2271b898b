#ifndef VELLPACKAGEARCHIVE_P_H
#define VELLPACKAGEARCHIVE_P_H

#include <QString>
#include <QStringList>

/**
 * Unpacks a package archive (ZIP) below an extraction root, streaming every
 * entry through a fixed buffer. Entry names are untrusted: a name that is
 * absolute, holds a ".." segment, is 256 bytes or longer, would land outside
 * the root or in one of @p reservedPaths (the root's own bookkeeping) is
 * refused and nothing is written for it. Not installed.
 */
class VellPackageArchive
{
public:
    explicit VellPackageArchive(const QString &archivePath);

    /**
     * Unpacks every entry in archive order and appends " - <name>" to
     * @p unpackedFiles for each file entry. Returns false at the first entry
     * that cannot be unpacked, with the reason in @p errorText.
     */
    bool extractTo(const QString &root, const QStringList &reservedPaths, QString &errorText,
        QStringList &unpackedFiles) const;

private:
    QString archivePath;
};

#endif // VELLPACKAGEARCHIVE_P_H
