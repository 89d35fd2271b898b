#include "VellDBModule.h"

#include "VellSQLiteConnection.h"

namespace VellDatabase {

VellDBConnection *VellDBModule::getDBConnection(const QString &databaseName, bool flag)
{
    return VellSQLiteConnection::open(
        databaseName, flag ? VellSQLiteConnection::ReadOnly : VellSQLiteConnection::ReadWrite)
        .release();
}

} // namespace VellDatabase
