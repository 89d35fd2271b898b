#ifndef VELLDBMODULE_H
#define VELLDBMODULE_H

#include "db_module_export.h"

#include <QString>

namespace VellDatabase {

class VellDBConnection;

/**
 * Hands out connections to the client's SQLite 3 databases.
 *
 * Every connection opened for writing runs in write-ahead-log mode with
 * synchronous=NORMAL where it can: a commit appends to the log without waiting
 * for the disk, and a crash of the process never loses a committed
 * transaction (the log is in the operating system's hands once written); only
 * a power failure may drop the last transactions, never corrupting the file.
 * This is several times faster than the rollback journal with synchronous=FULL
 * for the archive's many small transactions. SQLite copies the log back into
 * the database by its own default policy.
 *
 * Where the log cannot be used (another process reads a database in rollback
 * mode, the folder takes no new file, the disk is full) the connection keeps
 * the database's journal mode; where the file cannot be written at all it is
 * opened for reading only, and every changing statement fails.
 *
 * A statement waits up to 5 s for a lock that another process holds.
 */
class DB_MODULE_EXPORT VellDBModule
{
public:
    /**
     * Opens the database file @p databaseName (":memory:" for a private
     * in-memory database).
     *
     * @p flag asks for a read-only connection: true opens an existing file for
     * reading only (every changing statement then fails); false opens it for
     * reading and writing, creating the file when it does not exist.
     *
     * Returns a connection owned by the caller, or null when there is no
     * database: an empty name, a file that can neither be opened nor created,
     * or a file that is not an SQLite database. A file that SQLite can read
     * but not write gives a read-only connection, whatever @p flag says.
     */
    static VellDBConnection *getDBConnection(const QString &databaseName, bool flag);
};

} // namespace VellDatabase

#endif // VELLDBMODULE_H
