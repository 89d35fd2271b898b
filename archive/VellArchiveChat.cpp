#include "VellArchiveChat.h"

namespace VellArchive {

VellArchiveChat::VellArchiveChat()
    : index(0)
    , timeSet(false)
{ }

VellArchiveChat::VellArchiveChat(int index, int ownerIndex, const QString &ownerID,
    const QString &ownerProtocol, const QDateTime &startTime)
    : index(index)
    , owner(ownerIndex, ownerID, ownerProtocol, 0)
    , timeSet(false)
    , startTime(startTime)
{ }

bool VellArchiveChat::isRecipient(int userIndex) const
{
    return recipientIndexes.contains(userIndex);
}

bool VellArchiveChat::isRecipient(const QString &uid) const
{
    return recipients.contains(uid);
}

int VellArchiveChat::getRecipientIndex(const QString &uid) const
{
    return recipients.value(uid, 0);
}

bool VellArchiveChat::addRecipient(int userIndex, const QString &uid)
{
    if (isRecipient(uid) || isRecipient(userIndex)) {
        return false;
    }
    recipients.insert(uid, userIndex);
    recipientIndexes.insert(userIndex);
    return true;
}

} // namespace VellArchive
