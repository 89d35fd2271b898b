#include "VellFilterPlugin.h"

#include "VellBuddy.h"

#include <tuple>

VellFilterPlugin::~VellFilterPlugin() = default;

bool VellFilterPlugin::lessThan(const VellBuddy &left, const VellBuddy &right) const
{
    const auto key = [](const VellBuddy &buddy) {
        const QString name = buddy.getName();
        return std::make_tuple(name.toCaseFolded(), name, buddy.getId());
    };
    return key(left) < key(right);
}
