#ifndef TESTARCHIVE_H
#define TESTARCHIVE_H

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

/// Writes ZIP archives that the package builder refuses or never makes: hostile
/// entry names, hand-written or broken descriptors. Every other package of the
/// tests comes from TestPackage.
class TestArchive
{
public:
    using Entry = QPair<QByteArray, QByteArray>; // name, contents

    static bool write(const QString &path, const QVector<Entry> &entries);
};

#endif // TESTARCHIVE_H
