#include "VellSQLiteConnection.h"

#include "VellDBResult.h"

#include <QFileInfo>
#include <QLatin1String>
#include <QUrl>

#include <sqlite3.h>

#include <iterator>
#include <limits>

namespace VellDatabase {

namespace {

// Enough for every statement shape of the archive, including the variants of
// its IN lists; a text seen once only costs one slot until it ages out.
constexpr int StatementCacheCapacity = 128;
// How long a statement waits for another process's lock before it fails.
constexpr int BusyTimeoutMs = 5000;
// Rows that ANALYZE reads per index: enough for the planner to tell a
// dictionary from a link table, cheap on any archive (a few milliseconds
// where a full analysis of a million messages reads every page for seconds).
const char *const AnalysisLimit = "PRAGMA analysis_limit = 1000";
// Pages the write-ahead log may hold before it is copied back into the
// database (64 MiB). The copy runs before the next transaction begins, not
// inside a COMMIT, so a recording call pays for it at most once per this much
// written instead of every time the log passes SQLite's 1000 pages. A page
// that several transactions changed is copied, and made durable, once per
// checkpoint: successive removals change many of the same index pages (the
// links of common words), and four days' removals, 28,000 pages in the log,
// are 12,000 distinct pages. Checkpointing every 16 MiB copied each day anew.
constexpr int CheckpointPages = 16384;
// What the log file keeps of its size after a checkpoint reset it.
const char *const JournalSizeLimit = "PRAGMA journal_size_limit = 67108864";

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
    if (!sqlite3_db_readonly(m_database, "main")) {
        useWriteAheadLog();
    }
    // Tuning only: a database that refuses one of these works all the same.
    for (const char *pragma : {CacheSize, MmapSize, TempStore, AnalysisLimit}) {
        sqlite3_exec(m_database, pragma, nullptr, nullptr, nullptr);
    }
    // A read-only connection cannot write statistics.
    m_statisticsChecked = sqlite3_db_readonly(m_database, "main");
}

void VellSQLiteConnection::useWriteAheadLog()
{
    // See VellDBModule.h for why. Switching needs the database to itself: when
    // another process reads it, or the folder or disk takes no log file, the
    // archive keeps its journal mode (and SQLite's safe synchronous default)
    // for this connection, without waiting for the other process.
    const LockWait noWait(this, false);
    if (firstValue(m_database, "PRAGMA journal_mode = WAL") != "wal") {
        return;
    }
    for (const char *pragma :
        {"PRAGMA synchronous = NORMAL", "PRAGMA wal_autocheckpoint = 0", JournalSizeLimit}) {
        sqlite3_exec(m_database, pragma, nullptr, nullptr, nullptr);
    }
    sqlite3_wal_hook(m_database, &VellSQLiteConnection::onWalCommit, this);
}

int VellSQLiteConnection::onWalCommit(void *self, sqlite3 *, const char *, int pages)
{
    static_cast<VellSQLiteConnection *>(self)->m_walPages = pages;
    return SQLITE_OK;
}

void VellSQLiteConnection::checkpointIfDue()
{
    // Before a transaction begins, never inside one: PASSIVE copies what no
    // reader still needs and waits for nobody.
    if (m_walPages >= CheckpointPages && sqlite3_get_autocommit(m_database)) {
        m_walPages = 0;
        sqlite3_wal_checkpoint_v2(m_database, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
}

int VellSQLiteConnection::onBusy(void *self, int attempt)
{
    return static_cast<VellSQLiteConnection *>(self)->waitForLock(attempt);
}

int VellSQLiteConnection::waitForLock(int attempt)
{
    // A lock that outlasted one whole wait is not waited for again until a
    // statement gets through: a run of statements against a database locked
    // elsewhere (opening, creating the schema) stalls the caller once, not
    // once per statement.
    if (!m_waitForLocks || m_lockOutlasted) {
        return 0;
    }
    if (attempt == 0) {
        m_lockWait.start();
    }
    const qint64 left = BusyTimeoutMs - m_lockWait.elapsed();
    if (left <= 0) {
        m_lockOutlasted = true;
        return 0;
    }
    static const int delays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    const int delay = attempt < int(std::size(delays)) ? delays[attempt] : 100;
    sqlite3_sleep(int(qMin<qint64>(delay, left)));
    return 1;
}

void VellSQLiteConnection::analyzeUnanalyzedIndexes()
{
    // Without statistics the planner takes every table for equally large and
    // may scan a link table of millions of rows to find a dictionary entry.
    // Indexes that have none (an archive that was never analyzed, or indexes
    // created since) get them before the first query reads through them;
    // afterwards "PRAGMA optimize" at closing keeps them current. The analysis
    // limit bounds the cost on any archive; the statistics are worth having,
    // not waiting for: under a lock held elsewhere they wait for a later run.
    m_statisticsChecked = true;
    const LockWait noWait(this, false);
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
    if (!tables || tables->isEmpty() || exec(QStringLiteral("BEGIN IMMEDIATE")) < 0) {
        return;
    }
    bool analyzedAll = true;
    for (int row = 0; analyzedAll && row < tables->rowCount(); ++row) {
        // An empty table gets no statistics and is looked at again next time: that costs nothing.
        QString table = tables->value(row, 0);
        analyzedAll
            = exec(QStringLiteral("ANALYZE \"")
                  + table.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"'))
            >= 0;
    }
    if (!analyzedAll || exec(QStringLiteral("COMMIT")) < 0) {
        exec(QStringLiteral("ROLLBACK"));
    }
}

VellSQLiteConnection::VellSQLiteConnection(sqlite3 *database)
    : m_database(database)
    , m_statements(StatementCacheCapacity)
{
    sqlite3_busy_handler(m_database, &VellSQLiteConnection::onBusy, this);
    sqlite3_set_authorizer(m_database, &VellSQLiteConnection::onAuthorize, this);
}

VellSQLiteConnection::~VellSQLiteConnection()
{
    m_statements.clear(); // every statement must be finalized before the handle closes
    // Refreshes the statistics of the tables this connection used whose
    // indexes were never analyzed or which grew manifold since (within the
    // analysis limit). Closing the last connection checkpoints the log.
    if (!sqlite3_db_readonly(m_database, "main")) {
        m_waitForLocks = false;
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
    bool caseSensitive = false;
    if (VellLikeCase::parse(text, &caseSensitive)) {
        m_likeCase.request(caseSensitive);
        // LIKE in a CHECK constraint, a generated column or a partial index is
        // compiled with the schema, where no authorizer sees it: such a schema
        // gets the switch at once.
        return !m_likeCase.isPending() || !schemaEvaluatesLike() || applyLikeCase();
    }
    checkpointIfDue();
    const bool done = runStatement(text, rows);
    if (done) {
        m_lockOutlasted = false;
    }
    return done;
}

bool VellSQLiteConnection::schemaEvaluatesLike()
{
    static const QByteArray probe(
        "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'index') AND instr(lower(sql), "
        "'like') > 0 UNION ALL SELECT 1 FROM sqlite_temp_master WHERE type IN ('table', 'index') "
        "AND instr(lower(sql), 'like') > 0 LIMIT 1");
    Rows rows;
    if (!runStatement(probe, &rows)) {
        m_lastError.clear();
        return true; // unreadable, taken to hold LIKE: the switch goes in force at once
    }
    return !rows.values.isEmpty();
}

bool VellSQLiteConnection::runStatement(const QByteArray &text, Rows *rows)
{
    const bool lifted = VellLiteralLifter::lift(text, &m_lifted, &m_literals);
    if (!lifted) {
        m_literals.resize(0);
    }
    const QByteArray &key = lifted ? m_lifted : text;

    bool usesLike = false;
    sqlite3_stmt *statement = m_statements.find(key, &usesLike);
    if (!statement) {
        const char *tail = nullptr;
        const int rc = prepare(key.constData(), key.size() + 1, SQLITE_PREPARE_PERSISTENT,
            &statement, &tail, &usesLike);
        // A switch of LIKE's case is compiled every time it runs, so that the
        // authorizer sees it.
        if (rc != SQLITE_OK || !statement || !isBlank(tail) || m_compiledLikeSwitch) {
            // Several statements, nothing but blanks, or a lifted form that the
            // database refuses: the text as written decides, and reports its error.
            sqlite3_finalize(statement);
            return runEach(text, rows);
        }
        // A copy: the cache must not share the buffer that the next statement reuses.
        m_statements.insert(QByteArray(key.constData(), key.size()), statement, usesLike);
    } else if (usesLike && m_likeCase.isPending() && !applyLikeCase()) {
        return false;
    }
    if (sqlite3_bind_parameter_count(statement) != m_literals.size()) {
        return runEach(text, rows);
    }
    m_compiledLike = false;
    const bool done = runCached(statement, m_literals, rows);
    if (m_compiledLike && !usesLike) {
        m_statements.markUsesLike(key);
    }
    return done;
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
        bool usesLike = false;
        if (prepare(next, int(end - next), 0, &prepared, &tail, &usesLike) != SQLITE_OK) {
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
        const int rc = step(statement);
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

int VellSQLiteConnection::onAuthorize(
    void *self, int action, const char *first, const char *second, const char *, const char *)
{
    auto *connection = static_cast<VellSQLiteConnection *>(self);
    // A switch of LIKE's case that SQLite runs itself, however it is written
    // (after a comment, inside EXPLAIN, among other statements): whatever it
    // sets is what the client wants.
    if (action == SQLITE_PRAGMA && first && second && !connection->m_applyingLikeCase
        && qstricmp(first, "case_sensitive_like") == 0) {
        connection->m_compiledLikeSwitch = true;
        if (connection->m_likeCase.isPending()) {
            // The setting asked for goes in force first (prepare() compiles
            // again then), so that an EXPLAIN of the switch leaves it right.
            connection->m_compiledLike = true;
            return SQLITE_DENY;
        }
        connection->m_likeCase.markUnknown();
        return SQLITE_OK;
    }
    // LIKE, written as an operator or a function, in the statement itself or
    // in a view or trigger that it uses, resolves to the function "like".
    if (action != SQLITE_FUNCTION || !second || qstricmp(second, "like") != 0) {
        return SQLITE_OK;
    }
    connection->m_compiledLike = true;
    // Compiled now, LIKE would keep the setting in force; refused, the
    // statement is compiled again once the setting asked for is.
    return connection->m_likeCase.isPending() ? SQLITE_DENY : SQLITE_OK;
}

bool VellSQLiteConnection::applyLikeCase()
{
    const char *const pragma = m_likeCase.wantsCaseSensitive() ? "PRAGMA case_sensitive_like = 1"
                                                               : "PRAGMA case_sensitive_like = 0";
    m_applyingLikeCase = true;
    const int rc = sqlite3_exec(m_database, pragma, nullptr, nullptr, nullptr);
    m_applyingLikeCase = false;
    if (rc != SQLITE_OK) {
        return fail();
    }
    m_likeCase.markApplied();
    return true;
}

int VellSQLiteConnection::prepare(const char *sql, int bytes, unsigned flags,
    sqlite3_stmt **statement, const char **tail, bool *usesLike)
{
    m_compiledLike = false;
    m_compiledLikeSwitch = false;
    int rc = sqlite3_prepare_v3(m_database, sql, bytes, flags, statement, tail);
    // A refused function fails the compilation as a plain error.
    if (rc != SQLITE_OK && m_compiledLike && m_likeCase.isPending()) {
        if (!applyLikeCase()) {
            return SQLITE_ERROR;
        }
        m_compiledLike = false;
        rc = sqlite3_prepare_v3(m_database, sql, bytes, flags, statement, tail);
    }
    *usesLike = m_compiledLike;
    return rc;
}

int VellSQLiteConnection::step(sqlite3_stmt *statement)
{
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE || !m_compiledLike || !m_likeCase.isPending()) {
        return rc;
    }
    // The schema changed since the statement was compiled, and compiled anew
    // it evaluates LIKE, which was refused before anything ran: run it again
    // under the setting asked for.
    sqlite3_reset(statement);
    return applyLikeCase() ? sqlite3_step(statement) : rc;
}

bool VellSQLiteConnection::fail()
{
    m_lastError = QString::fromUtf8(sqlite3_errmsg(m_database));
    return false;
}

} // namespace VellDatabase
