#include "SqliteProbe.h"

#include <sqlite3.h>

SqliteProbe::SqliteProbe(const QString &path, Mode mode)
{
    sqlite3_open_v2(path.toUtf8().constData(), &m_db,
        mode == ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(m_db, 5000);
}

SqliteProbe::~SqliteProbe()
{
    sqlite3_close_v2(m_db);
}

bool SqliteProbe::exec(const QString &sql)
{
    return sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

QStringList SqliteProbe::rows(const QString &sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        return {QStringLiteral("<error: %1>").arg(QString::fromUtf8(sqlite3_errmsg(m_db)))};
    }
    QStringList result;
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

QString SqliteProbe::value(const QString &sql)
{
    const QStringList all = rows(sql);
    return all.isEmpty() ? QString() : all.first();
}

int SqliteProbe::count(const QString &table)
{
    return value(QStringLiteral("SELECT count(*) FROM ") + table).toInt();
}

bool SqliteProbe::refuse(const QString &table, const QString &event)
{
    return exec(QStringLiteral("CREATE TRIGGER Refuse%1%2 BEFORE %2 ON %1 BEGIN "
                               "SELECT RAISE(ABORT, 'refused'); END")
                    .arg(table, event));
}

bool SqliteProbe::allow(const QString &table, const QString &event)
{
    return exec(QStringLiteral("DROP TRIGGER Refuse%1%2").arg(table, event));
}
