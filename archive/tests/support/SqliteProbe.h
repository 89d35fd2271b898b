#ifndef SQLITEPROBE_H
#define SQLITEPROBE_H

#include <QString>
#include <QStringList>

struct sqlite3;

/**
 * A plain SQLite connection of its own to a database file, so that tests read
 * back what the code under test stored without going through any of it. Rows
 * come back as "a|b|c", a SQL NULL as "<null>", a statement that SQLite refuses
 * as one row "<error: message>".
 */
class SqliteProbe
{
public:
    enum Mode { ReadWrite, ReadOnly };

    explicit SqliteProbe(const QString &path, Mode mode = ReadWrite);
    ~SqliteProbe();

    /// Runs every statement of @p sql; true when all succeeded.
    bool exec(const QString &sql);
    QStringList rows(const QString &sql);
    /// The first row of @p sql, a null string when there is none.
    QString value(const QString &sql);
    /// The number of rows of @p table (or of any FROM clause).
    int count(const QString &table);

    /// Makes every @p event on @p table fail, as a full disk or a damaged file would.
    bool refuse(const QString &table, const QString &event = QStringLiteral("INSERT"));
    bool allow(const QString &table, const QString &event = QStringLiteral("INSERT"));

private:
    sqlite3 *m_db = nullptr;

    SqliteProbe(const SqliteProbe &) = delete;
    SqliteProbe &operator=(const SqliteProbe &) = delete;
};

#endif // SQLITEPROBE_H
