#ifndef CRITERIA_H
#define CRITERIA_H

#include "VellArchiveBackendSearchCriteria.h"

/// Search criteria built field by field, as the client fills them in.
struct Criteria : VellArchiveBackendSearchCriteria
{
    Criteria &account(const QString &protocolName, const QString &owner)
    {
        protocol = protocolName;
        ownerUid = owner;
        return *this;
    }
    Criteria &to(const QStringList &uids, int mode)
    {
        recipients = uids;
        recipientsMode = mode;
        return *this;
    }
    Criteria &text(const QStringList &words, int mode)
    {
        texts = words;
        textMode = mode;
        return *this;
    }
    Criteria &between(const QDateTime &from, const QDateTime &until)
    {
        timeFrom = from;
        timeTo = until;
        return *this;
    }
    Criteria &ofTypes(const QList<VellArchiveBackendConversation::Type> &kinds)
    {
        types = kinds;
        return *this;
    }
};

#endif // CRITERIA_H
