#include "VellArchiveTransactionGuard.h"

#include "VellDBConnection.h"

namespace VellArchive {

VellArchiveTransactionGuard::VellArchiveTransactionGuard(
    VellDatabase::VellDBConnection *connection, bool begin)
    : connection(connection)
    , active(false)
{
    if (begin) {
        transaction();
    }
}

VellArchiveTransactionGuard::~VellArchiveTransactionGuard()
{
    rollback();
}

void VellArchiveTransactionGuard::transaction()
{
    if (connection) {
        connection->exec(QStringLiteral("BEGIN TRANSACTION"));
        active = true;
    }
}

bool VellArchiveTransactionGuard::commit()
{
    if (!connection || !active) {
        return false;
    }
    if (connection->exec(QStringLiteral("COMMIT TRANSACTION")) < 0) {
        rollback();
        return false;
    }
    active = false;
    return true;
}

void VellArchiveTransactionGuard::rollback()
{
    if (connection && active) {
        connection->exec(QStringLiteral("ROLLBACK TRANSACTION"));
        active = false;
    }
}

} // namespace VellArchive
