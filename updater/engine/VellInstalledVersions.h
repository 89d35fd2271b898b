#ifndef VELLINSTALLEDVERSIONS_H
#define VELLINSTALLEDVERSIONS_H

#include <QByteArray>
#include <QMap>

class Component;

/**
 * The installed version of each component, as the client's update query
 * names them (one "component" element per installed component). The install
 * run judges downgrades against it; a component the query does not name has
 * no installed version.
 */
class VellInstalledVersions
{
public:
    /** Reads the query document; an unreadable one names no component. */
    static VellInstalledVersions fromQuery(const QByteArray &query);

    /** The installed version of the component, empty when none is installed. */
    QByteArray versionOf(const Component &component) const;

private:
    // project, name and type kept apart: their concatenation is ambiguous.
    QMap<QByteArray, QByteArray> versions;
};

#endif // VELLINSTALLEDVERSIONS_H
