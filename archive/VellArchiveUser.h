#ifndef VELLARCHIVEUSER_H
#define VELLARCHIVEUSER_H

#include "msgvault_export.h"

#include <QString>

namespace VellArchive {

/**
 * One row of the Users table: an account (owner index 0) or a contact of the
 * account whose row ID is the owner index.
 */
class MSGVAULT_EXPORT VellArchiveUser
{
public:
    VellArchiveUser();
    VellArchiveUser(int index, const QString &id, const QString &protocolId, int ownerIndex);

    int getIndex() const { return index; }
    int getOwnerIndex() const { return ownerIndex; }
    QString getID() const { return id; }
    QString getProtocolID() const { return protocolId; }

    /// True when UID, protocol and owner all equal these (case-sensitive).
    bool compare(const QString &id, const QString &protocolId, int ownerIndex) const;

private:
    int index;
    QString id;
    QString protocolId;
    int ownerIndex;
};

} // namespace VellArchive

#endif // VELLARCHIVEUSER_H
