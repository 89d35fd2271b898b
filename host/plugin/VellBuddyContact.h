#ifndef VELLBUDDYCONTACT_H
#define VELLBUDDYCONTACT_H

#include "VellBuddy.h"
#include "VellPresence.h"
#include "vell_roster_export.h"

/// A roster entry read as a contact of the roster.
class VELL_ROSTER_EXPORT VellBuddyContact : public VellBuddy
{
public:
    /// A new entry of type Contact.
    VellBuddyContact(const QString &id, const QString &name, const VellPresence &presence);
    /// A view of @p entry; not valid unless the entry is a Contact with a presence.
    explicit VellBuddyContact(const VellBuddy &entry);

    VellPresence getPresence() const { return presence(); }
};

#endif // VELLBUDDYCONTACT_H
