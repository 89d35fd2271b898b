#include "VellBuddyTemporary.h"

VellBuddyTemporary::VellBuddyTemporary(
    const QString &id, const QString &name, const VellPresence &presence)
    : VellBuddy(Temporary, id, name, presence)
{ }

VellBuddyTemporary::VellBuddyTemporary(const VellBuddy &entry)
    : VellBuddy(entry, Temporary)
{ }
