#pragma once

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

/// Writes ZIP archives with any entry names, hostile ones included.
class TestArchive
{
public:
    using Entry = QPair<QByteArray, QByteArray>; // name, contents

    static bool write(QString const &path, QVector<Entry> const &entries);
};
