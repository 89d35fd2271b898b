#include "VellStatementCache.h"

#include <sqlite3.h>

namespace VellDatabase {

VellStatementCache::VellStatementCache(int capacity)
    : m_capacity(qMax(1, capacity))
{ }

VellStatementCache::~VellStatementCache()
{
    clear();
}

sqlite3_stmt *VellStatementCache::find(const QByteArray &sql, bool *usesLike)
{
    const auto it = m_entries.find(sql);
    if (it == m_entries.end()) {
        return nullptr;
    }
    it->lastUse = ++m_clock;
    *usesLike = it->usesLike;
    return it->statement;
}

void VellStatementCache::markUsesLike(const QByteArray &sql)
{
    const auto it = m_entries.find(sql);
    if (it != m_entries.end()) {
        it->usesLike = true;
    }
}

void VellStatementCache::insert(const QByteArray &sql, sqlite3_stmt *statement, bool usesLike)
{
    const auto it = m_entries.find(sql);
    if (it != m_entries.end()) {
        sqlite3_finalize(it->statement);
        m_entries.erase(it);
    } else if (m_entries.size() >= m_capacity) {
        evictLeastRecentlyUsed();
    }
    m_entries.insert(sql, Entry {statement, ++m_clock, usesLike});
}

void VellStatementCache::clear()
{
    for (const Entry &entry : qAsConst(m_entries)) {
        sqlite3_finalize(entry.statement);
    }
    m_entries.clear();
}

void VellStatementCache::evictLeastRecentlyUsed()
{
    auto oldest = m_entries.begin();
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->lastUse < oldest->lastUse) {
            oldest = it;
        }
    }
    if (oldest != m_entries.end()) {
        sqlite3_finalize(oldest->statement);
        m_entries.erase(oldest);
    }
}

} // namespace VellDatabase
