#ifndef VELLARCHIVEUSERSSET_H
#define VELLARCHIVEUSERSSET_H

#include "VellArchiveUser.h"
#include "msgvault_export.h"

#include <QHash>
#include <QString>

namespace VellArchive {

/**
 * In-memory mirror of the Users table, answering the row ID of a (UID,
 * protocol, owner) triple without a query.
 *
 * Invariant: no two users share a key and no two share an index.
 */
class MSGVAULT_EXPORT VellArchiveUsersSet
{
public:
    /// A text that tells every (UID, protocol, owner) triple apart: the UID's
    /// length leads, and the owner follows the protocol after the last '/'.
    QString generateKey(const QString &uid, const QString &protocol, int ownerIndex) const;

    bool isUser(int index) const;
    bool isUser(const QString &uid, const QString &protocol, int ownerIndex) const;
    /// The user's index, 0 when there is none under that key.
    int getUserIndex(const QString &uid, const QString &protocol, int ownerIndex) const;
    /// Fills the outputs that are not null; false when no user has @p index.
    bool getUserData(int index, QString *uid, QString *protocol, int *ownerIndex) const;

    /// False, changing nothing, when the key or the index is taken.
    bool addUser(int index, const QString &uid, const QString &protocol, int ownerIndex);
    bool removeUser(const QString &uid, const QString &protocol, int ownerIndex);
    bool removeUser(int index);
    void clear();

private:
    QHash<QString, VellArchiveUser>::const_iterator findUser(int index) const;

    QHash<QString, VellArchiveUser> entries;
    // Index to key, so that lookups by index do not scan every user (loading
    // n users would otherwise take O(n²)).
    QHash<int, QString> keysByIndex;
};

} // namespace VellArchive

#endif // VELLARCHIVEUSERSSET_H
