#include "VellArchiveBackendConversationEntry.h"

VellArchiveBackendConversationEntry::VellArchiveBackendConversationEntry(const QString &senderUid,
    const QString &text, const QDateTime &time, const QString &properties, Type type)
    : m_senderUid(senderUid)
    , m_text(text)
    , m_time(time)
    , m_properties(properties)
    , m_type(type)
{ }
