#ifndef VELLARCHIVEBACKENDCONVERSATION_H
#define VELLARCHIVEBACKENDCONVERSATION_H

#include "VellArchiveBackendConversationEntry.h"
#include "vell_archive_backend_export.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

/**
 * An archived conversation as the client receives it: who held it, with whom,
 * when it started and, on request, its entries. A default-constructed value is
 * the empty conversation (ID 0) that archives return when there is none.
 */
class VELL_ARCHIVE_BACKEND_EXPORT VellArchiveBackendConversation
{
public:
    /// Kind of conversation. Archives store the integer value and cast it
    /// back, so the underlying type is fixed: every int read back is valid.
    enum Type : int {
        Chat = 0, ///< two people
        GroupChat = 1, ///< several recipients in one room
    };

    VellArchiveBackendConversation();
    VellArchiveBackendConversation(int id, const QString &protocol, const QString &ownerUid,
        const QStringList &recipients, QDateTime startTime, Type type);

    int getId() const { return m_id; }
    QString getProtocol() const { return m_protocol; }
    QString getOwnerUid() const { return m_ownerUid; }
    QStringList getRecipients() const { return m_recipients; }
    QDateTime getStartTime() const { return m_startTime; }
    Type getType() const { return m_type; }
    /// The entries in the order they were added.
    QList<VellArchiveBackendConversationEntry> getEntries() const { return m_entries; }

    void addEntry(const QString &senderUid, const QString &text, const QDateTime &time,
        const QString &properties, VellArchiveBackendConversationEntry::Type type);

private:
    int m_id;
    QString m_protocol;
    QString m_ownerUid;
    QStringList m_recipients;
    QDateTime m_startTime;
    Type m_type;
    QList<VellArchiveBackendConversationEntry> m_entries;
};

#endif // VELLARCHIVEBACKENDCONVERSATION_H
