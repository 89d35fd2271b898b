#ifndef VELLSQLITECONNECTION_H
#define VELLSQLITECONNECTION_H

#include "VellDBConnection.h"
#include "VellLiteralLifter.h"
#include "VellStatementCache.h"

#include <QVector>

#include <memory>

struct sqlite3;

namespace VellDatabase {

/**
 * VellDBConnection over one SQLite 3 handle. Each statement text has its
 * literals lifted into parameters and its compiled form kept in a cache, so
 * the client's value-filled statements run at the speed of prepared ones.
 *
 * Large databases are read through a 64 MiB page cache and a memory map, and
 * the planner works from statistics: indexes without any are analysed before
 * the first query, and PRAGMA optimize refreshes them when the connection
 * closes.
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
    // Gathers planner statistics for the tables whose indexes have none.
    void analyzeUnanalyzedIndexes();

    // Runs @p sql; with @p rows, keeps the rows of its (last) statement.
    bool run(const QString &sql, Rows *rows);
    bool runCached(
        sqlite3_stmt *statement, const QVector<VellLiteralLifter::Literal> &literals, Rows *rows);
    bool runEach(const QByteArray &sql, Rows *rows);
    bool stepToEnd(sqlite3_stmt *statement, Rows *rows);
    bool fail();

    sqlite3 *m_database;
    VellStatementCache m_statements;
    // Reused by every statement, so that running one allocates little.
    QByteArray m_lifted;
    QVector<VellLiteralLifter::Literal> m_literals;
    QString m_lastError;
    bool m_statisticsChecked = false;
};

} // namespace VellDatabase

#endif // VELLSQLITECONNECTION_H
