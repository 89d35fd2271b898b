#ifndef VELLARCHIVECHAT_H
#define VELLARCHIVECHAT_H

#include "VellArchiveUser.h"
#include "msgvault_export.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

namespace VellArchive {

/**
 * A conversation being recorded: its owner, its recipients (UID to Users row
 * ID) and whether its Chats.Time has been written yet.
 */
class MSGVAULT_EXPORT VellArchiveChat
{
public:
    VellArchiveChat();
    VellArchiveChat(int index, int ownerIndex, const QString &ownerID, const QString &ownerProtocol,
        const QDateTime &startTime);

    int getIndex() const { return index; }
    QDateTime getStartTime() const { return startTime; }
    bool isSetTime() const { return timeSet; }
    /// Marks Chats.Time as written; it is never unmarked.
    void setTime() { timeSet = true; }

    int getOwnerIndex() const { return owner.getIndex(); }
    QString getOwnerID() const { return owner.getID(); }
    QString getOwnerProtocol() const { return owner.getProtocolID(); }

    bool isRecipient(int userIndex) const;
    bool isRecipient(const QString &uid) const;
    /// The recipient's Users row ID, 0 when @p uid is no recipient.
    int getRecipientIndex(const QString &uid) const;
    /// False, changing nothing, when the UID or the index is already a recipient.
    bool addRecipient(int userIndex, const QString &uid);

private:
    int index;
    VellArchiveUser owner;
    QHash<QString, int> recipients;
    // The same recipients by index, so that adding one never scans the others.
    QSet<int> recipientIndexes;
    bool timeSet;
    QDateTime startTime;
};

} // namespace VellArchive

#endif // VELLARCHIVECHAT_H
