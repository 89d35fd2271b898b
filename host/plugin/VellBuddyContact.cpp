#include "VellBuddyContact.h"

VellBuddyContact::VellBuddyContact(
    const QString &id, const QString &name, const VellPresence &presence)
    : VellBuddy(Contact, id, name, presence)
{ }

VellBuddyContact::VellBuddyContact(const VellBuddy &entry)
    : VellBuddy(entry, Contact)
{ }
