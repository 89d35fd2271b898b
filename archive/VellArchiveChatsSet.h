#ifndef VELLARCHIVECHATSSET_H
#define VELLARCHIVECHATSSET_H

#include "VellArchiveChat.h"
#include "msgvault_export.h"

#include <QDateTime>
#include <QHash>
#include <QString>

namespace VellArchive {

/**
 * The conversations started in this run and not finished yet, by Chats.ID.
 * Every query about an ID that is not in the set answers an empty value
 * (false, 0, an empty text, a null time) and changes nothing.
 */
class MSGVAULT_EXPORT VellArchiveChatsSet
{
public:
    bool isChat(int id) const;
    /// False, changing nothing, when @p id is already in the set.
    bool addChat(int id, int ownerIndex, const QString &ownerID, const QString &ownerProtocol,
        const QDateTime &startTime);
    bool removeChat(int id);

    int getChatOwnerIndex(int id) const;
    QString getChatProtocol(int id) const;
    QDateTime getChatStartTime(int id) const;
    bool isSetChatTime(int id) const;
    void setChatTime(int id);

    /// True when @p uid is the conversation's owner or one of its recipients.
    bool isUserInChat(int id, const QString &uid) const;
    /// The owner's index for the owner's UID, else the recipient's index, else 0.
    int getUserIndexFromChat(int id, const QString &uid) const;
    bool addRecipientToChat(int id, int userIndex, const QString &uid);

private:
    QHash<int, VellArchiveChat> entries;
};

} // namespace VellArchive

#endif // VELLARCHIVECHATSSET_H
