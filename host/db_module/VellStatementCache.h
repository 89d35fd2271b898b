#ifndef VELLSTATEMENTCACHE_H
#define VELLSTATEMENTCACHE_H

#include <QByteArray>
#include <QHash>

struct sqlite3_stmt;

namespace VellDatabase {

/**
 * Compiled statements of one connection, keyed by their SQL text, the least
 * recently used one finalized when the cache is full. The cache owns the
 * statements; it must be cleared before the connection closes.
 */
class VellStatementCache
{
public:
    explicit VellStatementCache(int capacity);
    ~VellStatementCache();

    /// The statement compiled from @p sql, or null; @p usesLike tells whether it evaluates LIKE.
    sqlite3_stmt *find(const QByteArray &sql, bool *usesLike);
    /// Takes ownership of @p statement, compiled from @p sql.
    void insert(const QByteArray &sql, sqlite3_stmt *statement, bool usesLike);
    /// The statement compiled from @p sql evaluates LIKE since SQLite compiled it again.
    void markUsesLike(const QByteArray &sql);
    void clear();

private:
    struct Entry
    {
        sqlite3_stmt *statement = nullptr;
        quint64 lastUse = 0;
        bool usesLike = false;
    };

    void evictLeastRecentlyUsed();

    QHash<QByteArray, Entry> m_entries;
    quint64 m_clock = 0;
    int m_capacity;

    VellStatementCache(const VellStatementCache &) = delete;
    VellStatementCache &operator=(const VellStatementCache &) = delete;
};

} // namespace VellDatabase

#endif // VELLSTATEMENTCACHE_H
