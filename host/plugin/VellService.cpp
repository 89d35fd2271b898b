#include "VellService.h"

VellService::VellService(
    const QString &id, const QString &name, const QString &icon, const VellPluginAction &action)
    : m_id(id)
    , m_name(name)
    , m_icon(icon)
    , m_action(action)
{ }
