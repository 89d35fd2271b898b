#ifndef VELLSQLITECONNECTION_H
#define VELLSQLITECONNECTION_H

#include "VellDBConnection.h"

#include <QVector>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace VellDatabase {

/**
 * VellDBConnection over one SQLite 3 handle, as plain as a client's module:
 * each statement is prepared, stepped to its end and finalized, and every
 * value comes back as text.
 *
 * A database that cannot be written (read-only file, folder or file system,
 * a full disk, another process that keeps it from changing journal mode) is
 * used as far as it goes: in its own journal mode, or for reading only.
 */
class VellSQLiteConnection final : public VellDBConnection
{
public:
    enum Mode { ReadWrite, ReadOnly };

    /// Null when there is no database under @p databaseName (see VellDBModule).
    static std::unique_ptr<VellSQLiteConnection> open(const QString &databaseName, Mode mode);
    ~VellSQLiteConnection() override;

    bool isOpen() const override;
    int exec(const QString &sql) override;
    VellDBResult *query(const QString &sql) override;
    int lastInsertId() override;
    QString lastError() const override;

private:
    struct Rows
    {
        int columnCount = 0;
        QVector<QString> values;
    };

    explicit VellSQLiteConnection(sqlite3 *database);
    // Journal mode of a newly opened database, then the lock wait.
    void configure();

    // Runs the statements of @p sql; with @p rows, keeps the rows of the last
    // statement that has columns.
    bool run(const QString &sql, Rows *rows);
    bool stepToEnd(sqlite3_stmt *statement, Rows *rows);
    bool fail();

    sqlite3 *m_database;
    QString m_lastError;
};

} // namespace VellDatabase

#endif // VELLSQLITECONNECTION_H
