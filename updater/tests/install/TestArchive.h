#ifndef TESTARCHIVE_H
#define TESTARCHIVE_H

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

/// Writes ZIP archives with any entry names, hostile ones included.
class TestArchive
{
public:
    using Entry = QPair<QByteArray, QByteArray>; // name, contents

    static bool write(const QString &path, const QVector<Entry> &entries);
};

#endif // TESTARCHIVE_H
