#ifndef VELLARCHIVEBACKENDSEARCHCRITERIA_H
#define VELLARCHIVEBACKENDSEARCHCRITERIA_H

#include "VellArchiveBackendConversation.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

/**
 * What the client looks for in, or removes from, the archive. Every field left
 * empty (or a null time) sets no condition.
 */
struct VellArchiveBackendSearchCriteria
{
    /// Protocol of the account that held the conversation.
    QString protocol;
    /// The account that held the conversation; for SMS, the sender.
    QString ownerUid;
    /// Conversation recipients' UIDs, or SMS recipients' names.
    QStringList recipients;
    /// 0: any of the recipients, 1: all of them; other values are invalid.
    int recipientsMode = 0;
    /// Words or phrases to look for.
    QStringList texts;
    /// 0: any word, 1: all words, 2: all phrases, 3: any word part,
    /// 4: all word parts; other values are invalid.
    int textMode = 0;
    /// Conversation types, any of which may match.
    QList<VellArchiveBackendConversation::Type> types;
    /// Earliest time, inclusive.
    QDateTime timeFrom;
    /// Latest time, inclusive.
    QDateTime timeTo;
};

#endif // VELLARCHIVEBACKENDSEARCHCRITERIA_H
