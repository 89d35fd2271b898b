#ifndef TESTPACKAGE_H
#define TESTPACKAGE_H

#include <QByteArray>
#include <QMap>
#include <QString>

/**
 * Builds an update package for tests: a ZIP archive (made by the zip program)
 * holding the given files below the folder "files" and the descriptor
 * base + ".xml", which adds every one of them for the component
 * project "vell", name `name`, type `type`.
 * Returns the archive's bytes; empty when zip failed.
 */
class TestPackage
{
public:
    static QByteArray build(const QString &scratchDir, const QString &base, const QByteArray &name,
        const QByteArray &type, const QMap<QString, QByteArray> &files);
};

#endif // TESTPACKAGE_H
