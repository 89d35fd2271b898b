#ifndef VELLSERVICE_H
#define VELLSERVICE_H

#include "VellPluginAction.h"
#include "vell_plugin_export.h"

#include <QString>

/// One service a plug-in offers the client: an untranslated id the client keys
/// it by, the name shown to the user, an icon name (null for none) and the action
/// the client runs when the user chooses it.
class VELL_PLUGIN_EXPORT VellService
{
public:
    VellService(const QString &id, const QString &name, const QString &icon,
        const VellPluginAction &action);

    QString getId() const { return m_id; }
    QString getName() const { return m_name; }
    QString getIcon() const { return m_icon; }
    VellPluginAction getAction() const { return m_action; }

private:
    QString m_id;
    QString m_name;
    QString m_icon;
    VellPluginAction m_action;
};

#endif // VELLSERVICE_H
