#include "VellPluginAction.h"

#include <utility>

VellPluginAction::VellPluginAction(Handler handler)
    : m_handler(std::move(handler))
{ }

bool VellPluginAction::trigger(const QList<VellArg> &arguments) const
{
    return m_handler && m_handler(arguments);
}
