#include "VellSQLiteConnection.h"

#include "VellDBResult.h"

#include <QFileInfo>
#include <QLatin1String>
#include <QUrl>

#include <sqlite3.h>

#include <limits>

namespace VellDatabase {

namespace {

// How long a statement waits for another process's lock before it fails.
constexpr int BusyTimeoutMs = 5000;

struct StatementFinalizer
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using UniqueStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The value as text, converted once: integers are formatted directly and
// texts decoded from the UTF-8 the database holds, without SQLite's own
// conversion to UTF-16 in between.
QString columnText(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return QString();
    case SQLITE_INTEGER:
        return QString::number(sqlite3_column_int64(statement, column));
    default: {
        // Reals take SQLite's own text form; blobs are read as UTF-8 text.
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
        const int bytes = sqlite3_column_bytes(statement, column);
        if (!text || bytes == 0) {
            return QString(QLatin1String("")); // empty, but not null
        }
        return QString::fromUtf8(text, bytes);
    }
    }
}

// Every way to open @p databaseName for @p mode, the most capable first.
struct OpenAttempt
{
    int flags;
    bool immutable;
};

// A URI that opens the file as immutable: SQLite then reads a database in
// write-ahead-log mode without creating its shared-memory file, which a
// read-only folder or file system does not allow.
QByteArray immutableUri(const QString &databaseName)
{
    return "file:" + QUrl::toPercentEncoding(QFileInfo(databaseName).absoluteFilePath(), "/")
        + "?immutable=1";
}

// The first column of the first row of @p sql, empty when there is none.
QByteArray firstValue(sqlite3 *database, const char *sql)
{
    sqlite3_stmt *prepared = nullptr;
    if (sqlite3_prepare_v2(database, sql, -1, &prepared, nullptr) != SQLITE_OK) {
        sqlite3_finalize(prepared);
        return QByteArray();
    }
    const UniqueStatement statement(prepared);
    if (sqlite3_step(statement.get()) != SQLITE_ROW) {
        return QByteArray();
    }
    return QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), 0)));
}

} // namespace

std::unique_ptr<VellSQLiteConnection> VellSQLiteConnection::open(
    const QString &databaseName, Mode mode)
{
    if (databaseName.isEmpty()) {
        return nullptr; // SQLite would open a throw-away temporary file
    }
    // Whatever SQLite can read is opened: when the file cannot be written (a
    // read-only file, folder or file system) it opens for reading only, and a
    // write-ahead log it cannot share is read as an immutable file. Writing
    // statements then fail; every reading one works.
    const int readOnly = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_READONLY;
    QVector<OpenAttempt> attempts;
    if (mode == ReadWrite) {
        attempts.append({SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, false});
    }
    attempts.append({readOnly, false});
    if (databaseName != QLatin1String(":memory:")) {
        attempts.append({readOnly | SQLITE_OPEN_URI, true});
    }
    for (const OpenAttempt &attempt : qAsConst(attempts)) {
        const QByteArray name
            = attempt.immutable ? immutableUri(databaseName) : databaseName.toUtf8();
        sqlite3 *database = nullptr;
        if (sqlite3_open_v2(name.constData(), &database, attempt.flags, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(database);
            continue;
        }
        std::unique_ptr<VellSQLiteConnection> connection(new VellSQLiteConnection(database));
        // Reading the schema version reads the file header: a file that is not
        // a database fails here rather than at the caller's first statement.
        // A lock held elsewhere says nothing against the file: it is used.
        const int rc = sqlite3_exec(database, "PRAGMA schema_version", nullptr, nullptr, nullptr);
        if (rc == SQLITE_NOTADB) {
            return nullptr;
        }
        if (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            connection->configure();
            return connection;
        }
    }
    return nullptr;
}

void VellSQLiteConnection::configure()
{
    // See VellDBModule.h for why. Switching needs the database to itself: when
    // another process reads it, or the folder or disk takes no log file, the
    // database keeps its journal mode (and SQLite's safe synchronous default).
    // The lock wait is set afterwards, so that the switch waits for nobody.
    if (!sqlite3_db_readonly(m_database, "main")
        && firstValue(m_database, "PRAGMA journal_mode = WAL") == "wal") {
        sqlite3_exec(m_database, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    }
    sqlite3_busy_timeout(m_database, BusyTimeoutMs);
}

VellSQLiteConnection::VellSQLiteConnection(sqlite3 *database)
    : m_database(database)
{ }

VellSQLiteConnection::~VellSQLiteConnection()
{
    sqlite3_close_v2(m_database);
}

bool VellSQLiteConnection::isOpen() const
{
    return m_database != nullptr;
}

int VellSQLiteConnection::exec(const QString &sql)
{
    const int changesBefore = sqlite3_total_changes(m_database);
    if (!run(sql, nullptr)) {
        return -1;
    }
    // sqlite3_changes() keeps the count of an earlier INSERT/UPDATE/DELETE
    // across a CREATE or PRAGMA, so it only answers when this statement
    // changed something; it leaves out rows changed by triggers.
    return sqlite3_total_changes(m_database) == changesBefore ? 0 : sqlite3_changes(m_database);
}

VellDBResult *VellSQLiteConnection::query(const QString &sql)
{
    Rows rows;
    if (!run(sql, &rows)) {
        return nullptr;
    }
    return new VellDBResult(rows.columnCount, std::move(rows.values));
}

int VellSQLiteConnection::lastInsertId()
{
    // SQLite answers 0 until the first insert; automatic row IDs start at 1.
    const sqlite3_int64 id = sqlite3_last_insert_rowid(m_database);
    if (id == 0 || id > std::numeric_limits<int>::max() || id < std::numeric_limits<int>::min()) {
        return -1;
    }
    return int(id);
}

QString VellSQLiteConnection::lastError() const
{
    return m_lastError;
}

bool VellSQLiteConnection::run(const QString &sql, Rows *rows)
{
    m_lastError.clear();
    const QByteArray text = sql.toUtf8();
    const char *next = text.constData();
    const char *const end = next + text.size();
    while (next < end) {
        sqlite3_stmt *prepared = nullptr;
        const char *tail = nullptr;
        if (sqlite3_prepare_v2(m_database, next, int(end - next), &prepared, &tail) != SQLITE_OK) {
            sqlite3_finalize(prepared);
            return fail();
        }
        if (!prepared) {
            break; // only blanks and comments were left
        }
        const UniqueStatement statement(prepared);
        Rows statementRows;
        if (!stepToEnd(statement.get(), rows ? &statementRows : nullptr)) {
            return false;
        }
        if (rows && statementRows.columnCount > 0) {
            *rows = std::move(statementRows);
        }
        next = tail;
    }
    return true;
}

bool VellSQLiteConnection::stepToEnd(sqlite3_stmt *statement, Rows *rows)
{
    const int columns = sqlite3_column_count(statement);
    if (rows) {
        rows->columnCount = columns;
    }
    for (;;) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE) {
            return true;
        }
        if (rc != SQLITE_ROW) {
            return fail();
        }
        if (rows) {
            for (int column = 0; column < columns; ++column) {
                rows->values.append(columnText(statement, column));
            }
        }
    }
}

bool VellSQLiteConnection::fail()
{
    m_lastError = QString::fromUtf8(sqlite3_errmsg(m_database));
    return false;
}

} // namespace VellDatabase
