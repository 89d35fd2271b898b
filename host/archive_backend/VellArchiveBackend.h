#ifndef VELLARCHIVEBACKEND_H
#define VELLARCHIVEBACKEND_H

#include "VellArchiveBackendConversation.h"
#include "VellArchiveBackendConversationEntry.h"
#include "VellArchiveBackendSMS.h"
#include "VellArchiveBackendSearchCriteria.h"
#include "vell_archive_backend_export.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

/**
 * The client's message archive interface. An archive implementation derives
 * from it; the client calls nothing else. The order of the virtual operations
 * is the client's binary interface: never reorder them, only append.
 */
class VELL_ARCHIVE_BACKEND_EXPORT VellArchiveBackend
{
public:
    virtual ~VellArchiveBackend();

    /// Stores a new conversation; its ID, or -1 on failure.
    virtual int startConversation(VellArchiveBackendConversation::Type type, QStringList recipients,
        const QString &ownerUid, const QString &protocol, const QString &properties)
        = 0;
    virtual void addEntry(int conversationId, const QString &senderUid, const QString &text,
        const QDateTime &time, const QString &properties,
        VellArchiveBackendConversationEntry::Type type)
        = 0;
    virtual void addRecipient(int conversationId, const QString &uid) = 0;
    virtual void finishConversation(int conversationId) = 0;

    virtual QList<VellArchiveBackendConversation> getAllConversations(bool withEntries) const = 0;
    /// The conversation with that ID, or the empty conversation (ID 0).
    virtual VellArchiveBackendConversation getConversation(int id, bool withEntries) const = 0;
    virtual QList<VellArchiveBackendConversation> getConversationsForProtocol(
        const QString &protocol, bool withEntries) const = 0;
    virtual QList<VellArchiveBackendConversation> getConversationsForAccount(
        const QString &protocol, const QString &ownerUid, bool withEntries) const = 0;
    virtual QList<VellArchiveBackendConversation> getConversationsForRecipients(
        const QString &protocol, const QString &ownerUid, const QStringList &recipients,
        bool withEntries) const = 0;
    virtual QList<VellArchiveBackendConversation> getConversationsForType(
        VellArchiveBackendConversation::Type type, bool withEntries) const = 0;
    virtual QList<VellArchiveBackendConversation> searchForConversations(
        const VellArchiveBackendSearchCriteria &criteria, bool withEntries) const = 0;
    virtual QList<VellArchiveBackendSMS> searchForTextMessages(
        const VellArchiveBackendSearchCriteria &criteria, bool withBody) const = 0;
    virtual VellArchiveBackendConversation getLastConversationForRecipient(const QString &protocol,
        const QString &ownerUid, const QString &recipientUid, bool withEntries) const = 0;
    virtual QStringList getSMSRecipients() const = 0;
    virtual void removeConversation(int id) = 0;
    virtual void removeConversations(const VellArchiveBackendSearchCriteria &criteria) = 0;

    /// Stores an SMS; its ID, or 0 on failure.
    virtual int addSMS(const QString &sender, const QStringList &recipients, const QString &body,
        const QDateTime &time)
        = 0;
    virtual QList<VellArchiveBackendSMS> getAllTextMessages(bool withBody) = 0;
    virtual void removeSMS(int id) = 0;
    virtual void removeSMS(const VellArchiveBackendSearchCriteria &criteria) = 0;

    /// Identifies the implementation, e.g. in the client's settings.
    virtual QString backendId() const = 0;
};

#endif // VELLARCHIVEBACKEND_H
