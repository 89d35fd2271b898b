#ifndef VELLBUDDYTEMPORARY_H
#define VELLBUDDYTEMPORARY_H

#include "VellBuddy.h"
#include "VellPresence.h"
#include "vell_roster_export.h"

/// A roster entry read as a temporary buddy: someone who is not in the contact list but talked to
/// the user.
class VELL_ROSTER_EXPORT VellBuddyTemporary : public VellBuddy
{
public:
    /// A new entry of type Temporary.
    VellBuddyTemporary(const QString &id, const QString &name, const VellPresence &presence);
    /// A view of @p entry; not valid unless the entry is a Temporary with a presence.
    explicit VellBuddyTemporary(const VellBuddy &entry);

    VellPresence getPresence() const { return presence(); }
};

#endif // VELLBUDDYTEMPORARY_H
