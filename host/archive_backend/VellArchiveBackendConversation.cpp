#include "VellArchiveBackendConversation.h"

#include <QLatin1String>

VellArchiveBackendConversation::VellArchiveBackendConversation()
    : VellArchiveBackendConversation(
        0, QLatin1String(""), QLatin1String(""), QStringList(), QDateTime(), Type(0))
{ }

VellArchiveBackendConversation::VellArchiveBackendConversation(int id, const QString &protocol,
    const QString &ownerUid, const QStringList &recipients, QDateTime startTime, Type type)
    : m_id(id)
    , m_protocol(protocol)
    , m_ownerUid(ownerUid)
    , m_recipients(recipients)
    , m_startTime(std::move(startTime))
    , m_type(type)
{ }

void VellArchiveBackendConversation::addEntry(const QString &senderUid, const QString &text,
    const QDateTime &time, const QString &properties,
    VellArchiveBackendConversationEntry::Type type)
{
    m_entries.append(VellArchiveBackendConversationEntry(senderUid, text, time, properties, type));
}
