#ifndef VELLARCHIVEBACKENDCONVERSATIONENTRY_H
#define VELLARCHIVEBACKENDCONVERSATIONENTRY_H

#include "vell_archive_backend_export.h"

#include <QDateTime>
#include <QString>

/// One message of an archived conversation, as the client receives it.
class VELL_ARCHIVE_BACKEND_EXPORT VellArchiveBackendConversationEntry
{
public:
    /// Kind of entry. Archives store the integer value and cast it back, so
    /// the underlying type is fixed: every int read back is a valid Type.
    enum Type : int {
        Message = 0, ///< text written by a participant
        Notice = 1, ///< event shown in the conversation (file sent, status change)
    };

    VellArchiveBackendConversationEntry(const QString &senderUid, const QString &text,
        const QDateTime &time, const QString &properties, Type type);

    QString getSenderUid() const { return m_senderUid; }
    QString getText() const { return m_text; }
    QDateTime getTime() const { return m_time; }
    QString getProperties() const { return m_properties; }
    Type getType() const { return m_type; }

private:
    QString m_senderUid;
    QString m_text;
    QDateTime m_time;
    QString m_properties;
    Type m_type;
};

#endif // VELLARCHIVEBACKENDCONVERSATIONENTRY_H
