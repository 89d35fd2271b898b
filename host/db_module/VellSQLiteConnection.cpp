#include "VellSQLiteConnection.h"

#include "VellDBResult.h"

#include <QLatin1String>

#include <sqlite3.h>

#include <limits>

namespace VellDatabase {

namespace {

// Enough for every statement shape of the archive, including the variants of
// its IN lists; a text seen once only costs one slot until it ages out.
constexpr int StatementCacheCapacity = 128;
constexpr int BusyTimeoutMs = 5000;

// Reading an archive of a million messages touches a few hundred megabytes
// of index pages: a larger page cache and a memory map keep repeated searches
// off the file system. Both only bound what SQLite may use.
const char *const CacheSize = "PRAGMA cache_size = -65536"; // KiB: 64 MiB
const char *const MmapSize = "PRAGMA mmap_size = 268435456"; // 256 MiB
// Temporary b-trees of INTERSECT, UNION and DISTINCT stay in memory.
const char *const TempStore = "PRAGMA temp_store = MEMORY";

struct StatementFinalizer
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using UniqueStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Leaves a cached statement ready for its next use, whatever happened.
class StatementReset
{
public:
    explicit StatementReset(sqlite3_stmt *statement)
        : m_statement(statement)
    { }
    ~StatementReset()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    StatementReset(const StatementReset &) = delete;
    StatementReset &operator=(const StatementReset &) = delete;

private:
    sqlite3_stmt *m_statement;
};

bool isBlank(const char *text)
{
    for (; *text; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') {
            return false;
        }
    }
    return true;
}

QString columnText(sqlite3_stmt *statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) {
        return QString();
    }
    const auto *text = static_cast<const QChar *>(sqlite3_column_text16(statement, column));
    const int bytes = sqlite3_column_bytes16(statement, column);
    if (!text || bytes == 0) {
        return QString(QLatin1String("")); // empty, but not null
    }
    return QString(text, bytes / int(sizeof(QChar)));
}

} // namespace

std::unique_ptr<VellSQLiteConnection> VellSQLiteConnection::open(
    const QString &databaseName, Mode mode)
{
    if (databaseName.isEmpty()) {
        return nullptr; // SQLite would open a throw-away temporary file
    }
    const int flags = SQLITE_OPEN_NOMUTEX
        | (mode == ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3 *database = nullptr;
    if (sqlite3_open_v2(databaseName.toUtf8().constData(), &database, flags, nullptr)
        != SQLITE_OK) {
        sqlite3_close_v2(database);
        return nullptr;
    }
    std::unique_ptr<VellSQLiteConnection> connection(new VellSQLiteConnection(database));
    sqlite3_busy_timeout(database, BusyTimeoutMs);

    // Reading the schema version reads the file header: a file that is not a
    // database fails here rather than at the caller's first statement.
    if (connection->exec(QStringLiteral("PRAGMA schema_version")) < 0) {
        return nullptr;
    }
    if (mode == ReadWrite) {
        // See VellDBModule.h for why. An in-memory database keeps its own mode.
        if (connection->exec(QStringLiteral("PRAGMA journal_mode = WAL")) < 0
            || connection->exec(QStringLiteral("PRAGMA synchronous = NORMAL")) < 0) {
            return nullptr;
        }
    }
    // Tuning only: a database that refuses one of these works all the same.
    for (const char *pragma : {CacheSize, MmapSize, TempStore}) {
        connection->exec(QLatin1String(pragma));
    }
    // A read-only connection cannot write statistics.
    connection->m_statisticsChecked = mode == ReadOnly;
    return connection;
}

void VellSQLiteConnection::analyzeUnanalyzedIndexes()
{
    // Without statistics the planner takes every table for equally large and
    // may scan a link table of millions of rows to find a dictionary entry.
    // Indexes that have none (an archive that was never analyzed, or indexes
    // created since) get them before the first query reads through them;
    // afterwards "PRAGMA optimize" at closing keeps them current. The analysis
    // reads whole indexes (about 2 s for an archive of a million messages,
    // once): sampled statistics take the first keys of a link index, the most
    // frequent words, for typical ones, and lead the planner to scan.
    m_statisticsChecked = true;
    const std::unique_ptr<VellDBResult> analyzed(
        query(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_stat1'")));
    if (!analyzed) {
        return;
    }
    const QString unanalyzed = analyzed->value(0, 0) == QLatin1String("0")
        ? QStringLiteral("SELECT DISTINCT tbl_name FROM sqlite_master WHERE type = 'index'")
        : QStringLiteral("SELECT DISTINCT tbl_name FROM sqlite_master m WHERE type = 'index' AND "
                         "NOT EXISTS (SELECT 1 FROM sqlite_stat1 s WHERE s.idx = m.name)");
    const std::unique_ptr<VellDBResult> tables(query(unanalyzed));
    for (int row = 0; tables && row < tables->rowCount(); ++row) {
        // An empty table gets no statistics and is looked at again next time: that costs nothing.
        QString table = tables->value(row, 0);
        exec(QStringLiteral("ANALYZE \"") + table.replace(QLatin1Char('"'), QLatin1String("\"\""))
            + QLatin1Char('"'));
    }
}

VellSQLiteConnection::VellSQLiteConnection(sqlite3 *database)
    : m_database(database)
    , m_statements(StatementCacheCapacity)
{ }

VellSQLiteConnection::~VellSQLiteConnection()
{
    m_statements.clear(); // every statement must be finalized before the handle closes
    // Refreshes the statistics of the tables this connection used whose
    // indexes were never analyzed or which grew manifold since.
    if (!sqlite3_db_readonly(m_database, "main")) {
        sqlite3_exec(m_database, "PRAGMA optimize", nullptr, nullptr, nullptr);
    }
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
    if (!m_statisticsChecked) {
        analyzeUnanalyzedIndexes();
    }
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
    const bool lifted = VellLiteralLifter::lift(text, &m_lifted, &m_literals);
    if (!lifted) {
        m_literals.resize(0);
    }
    const QByteArray &key = lifted ? m_lifted : text;

    sqlite3_stmt *statement = m_statements.find(key);
    if (!statement) {
        const char *tail = nullptr;
        const int rc = sqlite3_prepare_v3(m_database, key.constData(), key.size() + 1,
            SQLITE_PREPARE_PERSISTENT, &statement, &tail);
        if (rc != SQLITE_OK || !statement || !isBlank(tail)) {
            // Several statements, nothing but blanks, or a lifted form that the
            // database refuses: the text as written decides, and reports its error.
            sqlite3_finalize(statement);
            return runEach(text, rows);
        }
        // A copy: the cache must not share the buffer that the next statement reuses.
        m_statements.insert(QByteArray(key.constData(), key.size()), statement);
    }
    if (sqlite3_bind_parameter_count(statement) != m_literals.size()) {
        return runEach(text, rows);
    }
    return runCached(statement, m_literals, rows);
}

bool VellSQLiteConnection::runCached(
    sqlite3_stmt *statement, const QVector<VellLiteralLifter::Literal> &literals, Rows *rows)
{
    const StatementReset reset(statement);
    for (int i = 0; i < literals.size(); ++i) {
        const VellLiteralLifter::Literal &literal = literals.at(i);
        // The literals outlive the statement's run, so SQLite need not copy them.
        const int rc = literal.kind == VellLiteralLifter::Literal::Integer
            ? sqlite3_bind_int64(statement, i + 1, literal.integer)
            : sqlite3_bind_text(statement, i + 1, literal.text, literal.textSize, SQLITE_STATIC);
        if (rc != SQLITE_OK) {
            return fail();
        }
    }
    return stepToEnd(statement, rows);
}

bool VellSQLiteConnection::runEach(const QByteArray &sql, Rows *rows)
{
    const char *next = sql.constData();
    const char *const end = next + sql.size();
    while (next < end) {
        sqlite3_stmt *prepared = nullptr;
        const char *tail = nullptr;
        if (sqlite3_prepare_v2(m_database, next, int(end - next), &prepared, &tail) != SQLITE_OK) {
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
