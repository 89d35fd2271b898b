#ifndef VELLCATALOGUEENTRY_H
#define VELLCATALOGUEENTRY_H

#include <QString>

/**
 * One version of a component in the local update server's catalogue: a
 * folder of JSON files, one per component. Writing it adds the version to the
 * component's file, or replaces the entry of the same version, so that
 * publishing a package again updates its link rather than doubling it.
 */
class VellCatalogueEntry
{
public:
    QString project;
    QString name;
    QString type;
    QString version;
    QString link;
    QString description;
    QString changelog;
    bool critical = false;
    qint64 timestamp = 0; ///< seconds since 1970, UTC

    /**
     * Writes the entry into the catalogue folder: into the file that already
     * holds the component, else into a new "<project>-<name>-<type>.json".
     * The file is replaced whole (a temporary file renamed into place).
     */
    bool write(const QString &catalogueDir, QString *errorText = nullptr) const;
};

#endif // VELLCATALOGUEENTRY_H
