#include "VellBuddy.h"

#include "VellPresence.h"

#include <optional>

struct VellBuddy::Entry
{
    int type = Unknown;
    QString id;
    QString name;
    // Only contacts and temporary buddies whose details the roster could read carry one.
    std::optional<VellPresence> presence;
};

VellBuddy::VellBuddy() = default;

VellBuddy::VellBuddy(int type, const QString &id, const QString &name)
    : d(new Entry {type, id, name, std::nullopt})
{ }

VellBuddy::VellBuddy(int type, const QString &id, const QString &name, const VellPresence &presence)
    : d(new Entry {type, id, name, presence})
{ }

VellBuddy::VellBuddy(const VellBuddy &entry, int type)
{
    if (entry.d && entry.d->type == type && entry.d->presence) {
        d = entry.d;
    }
}

VellBuddy::~VellBuddy() = default;

int VellBuddy::getType() const
{
    return d ? d->type : Unknown;
}

QString VellBuddy::getId() const
{
    return d ? d->id : QString();
}

QString VellBuddy::getName() const
{
    if (!d) {
        return QString();
    }
    return d->name.isEmpty() ? d->id : d->name;
}

bool VellBuddy::isValid() const
{
    return !d.isNull();
}

VellPresence VellBuddy::presence() const
{
    return d && d->presence ? *d->presence : VellPresence();
}
