#ifndef VELLARCHIVETRANSACTIONGUARD_H
#define VELLARCHIVETRANSACTIONGUARD_H

#include "msgvault_export.h"

namespace VellDatabase {
class VellDBConnection;
}

namespace VellArchive {

/**
 * One database transaction for the length of a scope: every writing operation
 * of the archive opens one, and whatever it wrote is rolled back unless it
 * reached commit(). A null connection makes every call do nothing.
 */
class MSGVAULT_EXPORT VellArchiveTransactionGuard
{
public:
    /// Begins the transaction at once when @p begin is true.
    VellArchiveTransactionGuard(VellDatabase::VellDBConnection *connection, bool begin);
    /// Rolls back unless committed.
    ~VellArchiveTransactionGuard();

    /// Sends BEGIN. The guard counts as active even when BEGIN failed, so
    /// that the closing statement is always sent.
    void transaction();
    /// Sends COMMIT; true when the transaction is committed. A COMMIT that
    /// the database refuses is rolled back, so no transaction stays open.
    bool commit();
    void rollback();

private:
    VellDatabase::VellDBConnection *connection;
    bool active;

    VellArchiveTransactionGuard(const VellArchiveTransactionGuard &) = delete;
    VellArchiveTransactionGuard &operator=(const VellArchiveTransactionGuard &) = delete;
};

} // namespace VellArchive

#endif // VELLARCHIVETRANSACTIONGUARD_H
