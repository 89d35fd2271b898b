#ifndef ARCHIVEFIXTURE_H
#define ARCHIVEFIXTURE_H

#include "SqliteProbe.h"
#include "VellArchiveModule.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

/**
 * An archive file of its own in a temporary folder, opened by the module under
 * test and by a plain SQLite probe that reads back what the module stored.
 */
class ArchiveFixture
{
public:
    /// Opens a new archive, or a copy of the file @p original; false when the
    /// folder or the copy cannot be made.
    bool open(const QString &original = QString())
    {
        m_dir.reset(new QTemporaryDir);
        if (!m_dir->isValid() || (!original.isEmpty() && !QFile::copy(original, path()))) {
            return false;
        }
        module.reset(new VellArchive::VellArchiveModule(path()));
        probe.reset(new SqliteProbe(path()));
        return true;
    }

    void close()
    {
        probe.reset();
        module.reset();
        m_dir.reset();
    }

    QString path() const { return m_dir->filePath(QStringLiteral("archive.db")); }

    std::unique_ptr<VellArchive::VellArchiveModule> module;
    std::unique_ptr<SqliteProbe> probe;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

#endif // ARCHIVEFIXTURE_H
