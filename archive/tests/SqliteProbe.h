#ifndef SQLITEPROBE_H
#define SQLITEPROBE_H

#include <QString>
#include <QStringList>

#include <sqlite3.h>

/**
 * A second, plain SQLite connection to the archive's file, so that tests read
 * back what the module stored without going through any of its code. Rows
 * come back as "a|b|c", a SQL NULL as "<null>".
 */
class SqliteProbe
{
public:
    explicit SqliteProbe(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~SqliteProbe() { sqlite3_close_v2(m_db); }
    SqliteProbe(const SqliteProbe &) = delete;
    SqliteProbe &operator=(const SqliteProbe &) = delete;

    bool exec(const QString &sql)
    {
        return sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    QStringList rows(const QString &sql)
    {
        QStringList result;
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr)
            != SQLITE_OK) {
            return {QStringLiteral("<error: %1>").arg(QString::fromUtf8(sqlite3_errmsg(m_db)))};
        }
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList values;
            for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                const auto *text = sqlite3_column_text(statement, column);
                values << (text ? QString::fromUtf8(reinterpret_cast<const char *>(text))
                                : QStringLiteral("<null>"));
            }
            result << values.join(QLatin1Char('|'));
        }
        sqlite3_finalize(statement);
        return result;
    }

    QString value(const QString &sql)
    {
        const QStringList all = rows(sql);
        return all.isEmpty() ? QString() : all.first();
    }

    int count(const QString &table)
    {
        return value(QStringLiteral("SELECT count(*) FROM ") + table).toInt();
    }

    /// Makes every @p event on @p table fail, as a full disk or a damaged file would.
    bool refuse(const QString &table, const QString &event = QStringLiteral("INSERT"))
    {
        return exec(QStringLiteral("CREATE TRIGGER Refuse%1%2 BEFORE %2 ON %1 BEGIN "
                                   "SELECT RAISE(ABORT, 'refused'); END")
                        .arg(table, event));
    }

    bool allow(const QString &table, const QString &event = QStringLiteral("INSERT"))
    {
        return exec(QStringLiteral("DROP TRIGGER Refuse%1%2").arg(table, event));
    }

private:
    sqlite3 *m_db = nullptr;
};

#endif // SQLITEPROBE_H
