#ifndef VELLBUDDY_H
#define VELLBUDDY_H

#include "vell_roster_export.h"

#include <QSharedPointer>
#include <QString>

class VellPresence;

/// A handle to one entry of the roster. Copies share the entry; the views
/// VellBuddyContact and VellBuddyTemporary read the same entry as their kind.
class VELL_ROSTER_EXPORT VellBuddy
{
public:
    /// Values of the client's entry kinds; plug-ins compare the raw numbers.
    enum Type {
        Unknown = 0,
        Account = 1,
        Group = 2,
        Contact = 3,
        Conference = 4,
        Temporary = 5,
    };

    /// An empty handle: not valid, of type Unknown.
    VellBuddy();
    /// A bare entry that carries no presence. An entry of type Contact or
    /// Temporary made this way cannot be read through its view: the view is not valid.
    VellBuddy(int type, const QString &id, const QString &name = QString());
    ~VellBuddy();

    int getType() const;
    QString getId() const;
    /// The name the roster shows; falls back to the id when the entry has none.
    QString getName() const;
    bool isValid() const;

protected:
    /// A complete entry of @p type with its presence.
    VellBuddy(int type, const QString &id, const QString &name, const VellPresence &presence);
    /// A view of @p entry as @p type: it shares the entry when the entry is of
    /// that type and carries a presence, and stays empty (not valid) otherwise.
    VellBuddy(const VellBuddy &entry, int type);

    /// The entry's presence; unknown for an empty handle.
    VellPresence presence() const;

private:
    struct Entry;
    QSharedPointer<const Entry> d;
};

#endif // VELLBUDDY_H
