#include "VellArchiveChatsSet.h"

#include <QLatin1String>

namespace VellArchive {

bool VellArchiveChatsSet::isChat(int id) const
{
    return entries.contains(id);
}

bool VellArchiveChatsSet::addChat(int id, int ownerIndex, const QString &ownerID,
    const QString &ownerProtocol, const QDateTime &startTime)
{
    if (entries.contains(id)) {
        return false;
    }
    entries.insert(id, VellArchiveChat(id, ownerIndex, ownerID, ownerProtocol, startTime));
    return true;
}

bool VellArchiveChatsSet::removeChat(int id)
{
    return entries.remove(id) > 0;
}

int VellArchiveChatsSet::getChatOwnerIndex(int id) const
{
    const auto it = entries.constFind(id);
    return it == entries.constEnd() ? 0 : it->getOwnerIndex();
}

QString VellArchiveChatsSet::getChatProtocol(int id) const
{
    const auto it = entries.constFind(id);
    return it == entries.constEnd() ? QString(QLatin1String("")) : it->getOwnerProtocol();
}

QDateTime VellArchiveChatsSet::getChatStartTime(int id) const
{
    const auto it = entries.constFind(id);
    return it == entries.constEnd() ? QDateTime() : it->getStartTime();
}

bool VellArchiveChatsSet::isSetChatTime(int id) const
{
    const auto it = entries.constFind(id);
    return it != entries.constEnd() && it->isSetTime();
}

void VellArchiveChatsSet::setChatTime(int id)
{
    const auto it = entries.find(id);
    if (it != entries.end()) {
        it->setTime();
    }
}

bool VellArchiveChatsSet::isUserInChat(int id, const QString &uid) const
{
    const auto it = entries.constFind(id);
    return it != entries.constEnd() && (it->getOwnerID() == uid || it->isRecipient(uid));
}

int VellArchiveChatsSet::getUserIndexFromChat(int id, const QString &uid) const
{
    const auto it = entries.constFind(id);
    if (it == entries.constEnd()) {
        return 0;
    }
    return it->getOwnerID() == uid ? it->getOwnerIndex() : it->getRecipientIndex(uid);
}

bool VellArchiveChatsSet::addRecipientToChat(int id, int userIndex, const QString &uid)
{
    const auto it = entries.find(id);
    return it != entries.end() && it->addRecipient(userIndex, uid);
}

} // namespace VellArchive
