#include "VellOnlineFilter.h"

#include "VellBuddy.h"
#include "VellBuddyContact.h"
#include "VellBuddyTemporary.h"
#include "VellPluginAction.h"
#include "VellPresence.h"
#include "VellService.h"

#include <QCoreApplication>

namespace {

// Built when the client loads the file, destroyed when it unloads it.
VellOnlineFilter onlineFilter;

// An entry that cannot be read as the kind its type names stays hidden.
template<typename View>
bool isOnline(const VellBuddy &buddy)
{
    const View view(buddy);
    return view.isValid() && view.getPresence().getFlag() != VellPresence::Offline;
}

} // namespace

extern "C" Q_DECL_EXPORT VellPlugin *get_plugin_handle()
{
    return &onlineFilter;
}

bool VellOnlineFilter::load()
{
    return true;
}

void VellOnlineFilter::unload() { }

QString VellOnlineFilter::name() const
{
    return QStringLiteral("OnlineFilter");
}

QString VellOnlineFilter::icon(int) const
{
    // Empty but not null: the client tells "no icon" from "not asked".
    return QLatin1String("");
}

QString VellOnlineFilter::author() const
{
    return QStringLiteral("Vellnet Software");
}

QString VellOnlineFilter::description() const
{
    return QCoreApplication::translate(
        "translation", "Show only online buddies in roster", "plugin description");
}

int VellOnlineFilter::version() const
{
    return 1;
}

QString VellOnlineFilter::web() const
{
    return QStringLiteral("https://www.vellnet.example/");
}

QString VellOnlineFilter::email() const
{
    return QStringLiteral("plugins@vellnet.example");
}

QList<VellService> VellOnlineFilter::getProvidedServices() const
{
    return {VellService(QStringLiteral("filter"),
        QCoreApplication::translate("translation", "filter", "service name"), QString(),
        VellPluginAction())};
}

QString VellOnlineFilter::filterName() const
{
    return QCoreApplication::translate("translation", "show online", "filter name");
}

bool VellOnlineFilter::filter(const VellBuddy &buddy) const
{
    switch (buddy.getType()) {
    case VellBuddy::Contact:
        return isOnline<VellBuddyContact>(buddy);
    case VellBuddy::Temporary:
        return isOnline<VellBuddyTemporary>(buddy);
    default:
        return false;
    }
}
