#ifndef VELLLIKECASE_H
#define VELLLIKECASE_H

#include <QByteArray>

namespace VellDatabase {

/**
 * The letter case that LIKE follows on one connection: the setting its client
 * asked for with "PRAGMA case_sensitive_like" and the one in force in SQLite.
 *
 * SQLite changes the setting by defining LIKE anew, which makes it compile
 * every prepared statement of the connection again before its next run. A
 * client that switches around each search would so lose its whole statement
 * cache every time. The connection therefore only notes what is asked for and
 * puts it in force just before a statement that evaluates LIKE runs: statements
 * without LIKE behave the same under either setting, and a search that asks
 * for the setting already in force costs nothing.
 */
class VellLikeCase
{
public:
    /**
     * True when @p sql is nothing but "PRAGMA [schema.]case_sensitive_like =
     * value" (or "(value)") with a plain value (0, 1, on, off, yes, no, true,
     * false), which is written to @p caseSensitive.
     */
    static bool parse(const QByteArray &sql, bool *caseSensitive);

    void request(bool caseSensitive) { m_wanted = caseSensitive ? Sensitive : Insensitive; }
    bool wantsCaseSensitive() const { return m_wanted == Sensitive; }
    /// True when a setting was asked for that is not the one in force.
    bool isPending() const { return m_wanted != Unknown && m_wanted != m_applied; }
    void markApplied() { m_applied = m_wanted; }
    /// SQLite itself runs a text that sets it: whatever that sets is what the client wants.
    void markUnknown() { m_wanted = m_applied = Unknown; }

private:
    enum Setting { Insensitive, Sensitive, Unknown };

    // SQLite's default: LIKE ignores the case of ASCII letters.
    Setting m_wanted = Insensitive;
    Setting m_applied = Insensitive;
};

} // namespace VellDatabase

#endif // VELLLIKECASE_H
