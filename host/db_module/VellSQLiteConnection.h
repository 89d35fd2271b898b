#ifndef VELLSQLITECONNECTION_H
#define VELLSQLITECONNECTION_H

#include "VellDBConnection.h"
#include "VellLikeCase.h"
#include "VellLiteralLifter.h"
#include "VellStatementCache.h"

#include <QElapsedTimer>
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
 * the planner works from statistics: indexes without any are analysed, within
 * a bounded number of rows, before the first query, and PRAGMA optimize
 * refreshes them when the connection closes.
 *
 * "PRAGMA case_sensitive_like" takes effect just before the next statement
 * that evaluates LIKE (see VellLikeCase), so that compiled statements survive
 * a client that switches it around every search.
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

    // Switches lock waiting off (or on) for the length of a scope.
    class LockWait
    {
    public:
        LockWait(VellSQLiteConnection *connection, bool wait)
            : m_connection(connection)
            , m_previous(connection->m_waitForLocks)
        {
            connection->m_waitForLocks = wait;
        }
        ~LockWait() { m_connection->m_waitForLocks = m_previous; }
        LockWait(const LockWait &) = delete;
        LockWait &operator=(const LockWait &) = delete;

    private:
        VellSQLiteConnection *m_connection;
        bool m_previous;
    };

    explicit VellSQLiteConnection(sqlite3 *database);
    // Journal mode and tuning of a newly opened database.
    void configure();
    void useWriteAheadLog();
    // Gathers planner statistics for the tables whose indexes have none.
    void analyzeUnanalyzedIndexes();

    static int onAuthorize(
        void *self, int action, const char *first, const char *second, const char *, const char *);
    // Puts the setting of LIKE that the client asked for in force.
    bool applyLikeCase();
    // True when a table or index definition may evaluate LIKE (or cannot be read).
    bool schemaEvaluatesLike();
    // sqlite3_prepare_v3() that compiles LIKE only under the setting asked for.
    int prepare(const char *sql, int bytes, unsigned flags, sqlite3_stmt **statement,
        const char **tail, bool *usesLike);
    // sqlite3_step() for the same, when SQLite compiles the statement anew.
    int step(sqlite3_stmt *statement);

    static int onBusy(void *self, int attempt);
    int waitForLock(int attempt);
    static int onWalCommit(void *self, sqlite3 *, const char *, int pages);
    void checkpointIfDue();

    // Runs @p sql; with @p rows, keeps the rows of its (last) statement.
    bool run(const QString &sql, Rows *rows);
    bool runStatement(const QByteArray &text, Rows *rows);
    bool runCached(
        sqlite3_stmt *statement, const QVector<VellLiteralLifter::Literal> &literals, Rows *rows);
    bool runEach(const QByteArray &sql, Rows *rows);
    bool stepToEnd(sqlite3_stmt *statement, Rows *rows);
    bool fail();

    sqlite3 *m_database;
    VellStatementCache m_statements;
    VellLikeCase m_likeCase;
    bool m_compiledLike = false; // a compilation since this was cleared resolved LIKE
    bool m_applyingLikeCase = false; // applyLikeCase() runs its own pragma
    bool m_compiledLikeSwitch = false; // the last compilation holds a case_sensitive_like switch
    // Reused by every statement, so that running one allocates little.
    QByteArray m_lifted;
    QVector<VellLiteralLifter::Literal> m_literals;
    QString m_lastError;
    bool m_statisticsChecked = false;
    bool m_waitForLocks = true;
    bool m_lockOutlasted = false;
    QElapsedTimer m_lockWait;
    int m_walPages = 0; // pages in the write-ahead log after the last commit
};

} // namespace VellDatabase

#endif // VELLSQLITECONNECTION_H
