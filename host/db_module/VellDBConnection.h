#ifndef VELLDBCONNECTION_H
#define VELLDBCONNECTION_H

#include "db_module_export.h"

#include <QString>

namespace VellDatabase {

class VellDBResult;

/**
 * A connection to one database. Statements are plain SQL text in the SQLite
 * dialect; every value comes back as text. The order of the virtual operations
 * is the client's binary interface: never reorder them, only append.
 */
class DB_MODULE_EXPORT VellDBConnection
{
public:
    virtual ~VellDBConnection();

    virtual bool isOpen() const = 0;
    /**
     * Runs the statements of @p sql, discarding any rows. Returns -1 when one
     * failed, otherwise the number of rows that the statement itself inserted,
     * updated or deleted (0 for CREATE, PRAGMA, BEGIN and the like; rows
     * changed by triggers are not counted).
     */
    virtual int exec(const QString &sql) = 0;
    /**
     * Runs @p sql and returns its rows, owned by the caller, or null when the
     * statement failed.
     */
    virtual VellDBResult *query(const QString &sql) = 0;
    /// Row ID of the row inserted last on this connection, or -1 when none.
    virtual int lastInsertId() = 0;

    /// The database's message for the last failed statement, empty after a success.
    virtual QString lastError() const = 0;

protected:
    VellDBConnection() = default;

private:
    VellDBConnection(const VellDBConnection &) = delete;
    VellDBConnection &operator=(const VellDBConnection &) = delete;
};

} // namespace VellDatabase

#endif // VELLDBCONNECTION_H
